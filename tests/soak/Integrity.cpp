#include "tests/soak/Integrity.h"

#include "tests/e2e/ModSimProcess.h"
#include "tests/e2e/QuillrunMessage.h"
#include "tests/runner/RunnerProcess.h"
#include "tests/support/Installation.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

namespace zk::soak {
namespace {

namespace fs = std::filesystem;

constexpr uint32_t kSize = 0x1000;
// The simulator's flash: 768 KB, the banks back to back.
constexpr std::size_t kFlashSize = 0xC0000;

using test::ReadFile;
using test::WriteFile;

// Random bytes, every fourth one 0x00: a lost 0x00 is what the check
// character cannot see.
std::string Image(uint64_t seed) {
  std::string bytes(kSize, '\0');
  std::mt19937_64 random(seed);
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = i % 4 == 3 ? '\0' : static_cast<char>(random());
  return bytes;
}

// What a verification's message must say about the flash.
std::string MismatchText(const std::string& flash, const std::string& image) {
  uint32_t count = 0;
  uint32_t first = 0;
  for (uint32_t i = 0; i < image.size(); ++i) {
    if (flash[i] == image[i]) continue;
    if (count++ == 0) first = i;
  }
  char text[128];
  std::snprintf(text, sizeof text, "Verify failed: %u bytes differ from the image, the first at 0x%08X", count, first);
  return text;
}

bool CommandFailure(std::string_view message) {
  return IsCommandFailure(message) || message == "Error uploading" || message == "Error sending password";
}

}  // namespace

std::string_view IntegrityName(IntegrityKind kind) {
  switch (kind) {
    case IntegrityKind::kVerifiedDownload: return "verified download, corrupt-rx";
    case IntegrityKind::kUploadCorrupted: return "upload, corrupt-tx";
    case IntegrityKind::kUploadDropped: return "upload, drop-tx";
  }
  return "?";
}

IntegrityVerdict RunIntegrity(const RunSetup& setup, IntegrityKind kind, uint64_t seed) {
  IntegrityVerdict verdict;
  const test::TempDir temp("zk-integrity");
  const std::string dir = temp.path();
  const std::string image = Image(seed);
  const std::string module = dir + "/ZkSim";
  fs::create_directories(module);
  e2e::FastModuleCopy("ZkSim-Download", module);
  test::WriteMachineRegistry(dir + "/machine.reg", setup.binDir);
  const bool download = kind == IntegrityKind::kVerifiedDownload;
  std::vector<std::string> simArgs{"--seed", std::to_string(seed), "--line-faults-in-firmware"};
  std::string script = "DISABLE VERBOSE\nCONNECT EXTERNAMD " + module + "\nPASSWORD zelkor\n";
  const std::string saved = dir + "/saved.bin";
  if (download) {
    WriteFile(dir + "/image.bin", image);
    simArgs.insert(simArgs.end(), {"--corrupt-rx", setup.lineRate});
    script += "ERASESECTOR 0 0\nLOADHEX " + dir + "/image.bin\nENABLE VERIFY\nDOWNLOAD\n";
  } else {
    // The flash holds the image from the start; the upload reads it back.
    std::string flash(kFlashSize, '\xFF');
    flash.replace(0, image.size(), image);
    WriteFile(dir + "/flash.img", flash);
    simArgs.insert(simArgs.end(), {kind == IntegrityKind::kUploadCorrupted ? "--corrupt-tx" : "--drop-tx",
                                   setup.lineRate, "--flash-file", dir + "/flash.img"});
    char range[32];
    std::snprintf(range, sizeof range, "UPLOAD 0 %X ", kSize - 1);
    script += range + saved + "\n";
  }
  script += "DISCONNECT SWRESET\n";
  WriteFile(dir + "/script.qrs", script);

  std::string flash;
  runner::test::RunResult run;
  {
    e2e::ModSimProcess sim(simArgs);
    runner::test::RunOptions options;
    options.args = {"--console", dir + "/script.qrs"};
    options.env["ZELKOR_MACHINE_REGISTRY"] = dir + "/machine.reg";
    options.timeoutMs = setup.deadlineMs;
    if (sim.Running()) run = runner::test::RunQuillrun(options);
    flash = ReadFile(download ? sim.Dir() + "/flash.img" : dir + "/flash.img").substr(0, kSize);
  }
  verdict.exitCode = run.exitCode;
  verdict.lastMessage = e2e::LastQuillrunMessage(run.err);
  const bool flashIsImage = flash == image;
  if (run.exitCode == 0) {
    const bool right = download ? flashIsImage : ReadFile(saved) == flash;
    verdict.acceptable = right;
    if (!right) {
      verdict.why = download ? "exit 0, the flash differs from the image" : "exit 0, the file differs from the flash";
    }
  } else if (run.exitCode == -1) {
    verdict.why = "hung or crashed";
  } else if (!CommandFailure(verdict.lastMessage)) {
    verdict.why = "failed without a command's message";
  } else {
    verdict.mismatchReported = run.err.find("Verify failed") != std::string::npos;
    // A reported mismatch is the flash's real one, with its count and address.
    verdict.acceptable = !verdict.mismatchReported || run.err.find(MismatchText(flash, image)) != std::string::npos;
    if (!verdict.acceptable) {
      verdict.why = "the reported mismatch is not the flash's (" + MismatchText(flash, image) + ")";
    }
  }
  if (!verdict.acceptable && !setup.keepDir.empty()) {
    std::error_code ec;
    WriteFile(dir + "/quillrun.err", run.err);
    fs::rename(dir, setup.keepDir + "/" + fs::path(dir).filename().string(), ec);
  }
  return verdict;
}

}  // namespace zk::soak
