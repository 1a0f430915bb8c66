#pragma once
// Symbols of the platform library that other libraries and programs may call.
#if defined(_WIN32)
#if defined(ZK_PLATFORM_BUILD)
#define ZK_PLATFORM_API __declspec(dllexport)
#else
#define ZK_PLATFORM_API __declspec(dllimport)
#endif
#else
#define ZK_PLATFORM_API __attribute__((visibility("default")))
#endif
