#pragma once
// Symbols of libZkPlatform.so that other libraries and programs may call.
#define ZK_PLATFORM_API __attribute__((visibility("default")))
