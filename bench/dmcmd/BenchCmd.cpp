// The least command layer the data manager benchmark needs: a login that
// succeeds at once and an end of flash that is taken and forgotten.
#include <cstdint>

#define BENCH_EXPORT extern "C" __attribute__((visibility("default")))

BENCH_EXPORT uint32_t CmmLogin(const char*, void*, void*) { return 0; }
BENCH_EXPORT uint8_t CmmSetEndOfFlash(uint32_t) { return 0; }
BENCH_EXPORT uint32_t CmmGetCurrentThreadStatus(void) { return 0; }
BENCH_EXPORT uint8_t CmmGetProgress(void) { return 100; }
