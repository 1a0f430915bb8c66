#pragma once
// The integrity runs: seeded downloads with ENABLE VERIFY over a line that
// corrupts what the module receives, and seeded uploads over a line that
// corrupts or loses what it sends, each through Quillrun --console against
// ModSim. A run may fail, but never with wrong data behind exit code 0, and
// a reported mismatch must be the flash's real difference.
#include "tests/soak/SoakRun.h"

#include <cstdint>
#include <string>

namespace zk::soak {

enum class IntegrityKind : uint8_t {
  kVerifiedDownload,  // --corrupt-rx
  kUploadCorrupted,   // --corrupt-tx
  kUploadDropped,     // --drop-tx
};
inline constexpr std::size_t kIntegrityKindCount = 3;

std::string_view IntegrityName(IntegrityKind kind);

struct IntegrityVerdict {
  bool acceptable = false;
  bool mismatchReported = false;  // a download's verification found a difference
  int exitCode = -1;
  std::string lastMessage;
  std::string why;  // what was wrong with an unacceptable run
};

IntegrityVerdict RunIntegrity(const RunSetup& setup, IntegrityKind kind, uint64_t seed);

}  // namespace zk::soak
