// Writes the demo module's boot and flash files into the directory given.
#include "modsim/DemoFiles.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
  using namespace zk::modsim;
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s DIRECTORY\n", argv[0]);
    return 2;
  }
  const std::string dir = argv[1];
  std::string error;
  if (!WriteRecordFile(dir + "/" + kDemoBootFileName, DemoBootFile(), "ZKBOOT", &error) ||
      !WriteRecordFile(dir + "/" + kDemoFlashFileName, DemoFlashFile(), "ZKFLASH", &error)) {
    std::fprintf(stderr, "%s: %s\n", argv[0], error.c_str());
    return 1;
  }
  return 0;
}
