#pragma once
// Marks the C-ABI entry points of a deliverable; everything else is hidden.
#if defined(_WIN32)
#define ZK_EXPORT_ATTRIBUTES __declspec(dllexport)
#else
#define ZK_EXPORT_ATTRIBUTES __attribute__((visibility("default")))
#endif
#define ZK_EXPORT extern "C" ZK_EXPORT_ATTRIBUTES
