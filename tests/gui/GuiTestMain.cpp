// The workbench tests run headless, each in a QApplication of its own.
#include <gtest/gtest.h>

#include <QApplication>

// Under the leak checker. Qt's raster engine fills large areas on the
// threads of its pool, and a pool thread that is still ending when the
// process exits holds the only pointer to its thread data where the checker
// does not look: a report of Qt's own, not of this code. The suppression names
// the pool's thread start, which only a full unwind of the allocation shows
// (Qt is built without frame pointers).
extern "C" const char* __lsan_default_suppressions() { return "leak:QThreadPoolPrivate::startThread\n"; }
extern "C" const char* __asan_default_options() { return "fast_unwind_on_malloc=0"; }

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  ::testing::InitGoogleTest(&argc, argv);
  QApplication application(argc, argv);
  return RUN_ALL_TESTS();
}
