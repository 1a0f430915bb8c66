#pragma once
// Marks the C-ABI entry points of a deliverable; everything else is hidden.
#define ZK_EXPORT extern "C" __attribute__((visibility("default")))
