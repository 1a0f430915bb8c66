#include "common/ResultCodes.h"

#include <algorithm>
#include <array>
#include <iterator>

namespace zk {
namespace {

struct MessageEntry {
  ResultCode code;
  const char* text;
};

constexpr const char* kUnknownText = "unknown error code";

// Sorted by code, for the binary search below.
constexpr std::array kMessages{
    MessageEntry{kOk, "The operation completed successfuly"},
    MessageEntry{kFailed, "The operation failed"},
    MessageEntry{kBufferTooSmall, "The communication buffer is to small."},
    MessageEntry{kNoAnswer, "No answer from target"},
    MessageEntry{kShortAnswer, "The answer from target carries fewer bytes than it states."},
    MessageEntry{kBlocksRefused, "The target refused every try of a block sent to it."},
    MessageEntry{kInvalidSector, "The specified sector is invalid."},
    MessageEntry{kNotBlank, "The specified area is not blank."},
    MessageEntry{kBlank, "The specified area is blank."},
    MessageEntry{kUnknownError, "An unknown error has occured. Please contact your distributor."},
    MessageEntry{kInvalidAddress, "The specified address s invalid."},
    MessageEntry{kNotAccessible, "The specified address is not accessible"},
    MessageEntry{kProtected, "The specified address is protected."},
    MessageEntry{kProtectedByHardware, "The specified address is protected by hardware."},
    MessageEntry{kProtectedBySoftware, "The specified address is protected by software."},
    MessageEntry{kUsedByFirmware, "The specified address is used by the firmware."},
    MessageEntry{kPartialAccess, "You only have partial access to this area."},
    MessageEntry{kNoAccess, "You have no access to this area."},
    MessageEntry{kFullAccess, "You have full access to this area."},
    MessageEntry{kFileLoadError, "Error loading the specified file."},
    MessageEntry{kFileSaveError, "Error saving the specified file."},
    MessageEntry{kVerifyMismatch, "The flash differs from the image."},
    MessageEntry{kNoFlashLibrary, "Couldn´t find flash library."},
    MessageEntry{kNoFlashLibrarySelected, "No flash library selected."},
    MessageEntry{kInvalidPassword, "Invalid password"},
    MessageEntry{kTooFewBytes, "To few bytes specified."},
    MessageEntry{kBootFileNotSent, "Couldn´t send boot file."},
    MessageEntry{kBootLoaderNotActive, "Bootloader not active."},
    MessageEntry{kFlashFileNotSent, "Couldn´t send flash file."},
    MessageEntry{kCommandNotSupported, "Command isn´t supported by firmware."},
    MessageEntry{kReceiveChecksum, "Invalid checksum on network reception."},
    MessageEntry{kNoRamArea, "No Ram area at specified address."},
    MessageEntry{kFileNotFound, "Couldn´t find the specified file."},
    MessageEntry{kInvalidFileFormat, "The file format is invalid."},
    MessageEntry{kNoModuleSelected, "No modul selected."},
    MessageEntry{kComPortOpen, "Unable to open the specified COM port"},
    MessageEntry{kComPortInit, "Error initializing com port."},
    MessageEntry{kOldFirmware, "Old Zelkor version found. Please update your module."},
    MessageEntry{kSendFailed, "Network send failed."},
    MessageEntry{kReceiveTimeout, "Timeout on network reception."},
    MessageEntry{kNetDllNotLoaded, "Couldn´t load network dll."},
    MessageEntry{kNetDllError, "Error in network dll."},
    MessageEntry{kNetInitFailed, "Couldn´t init newtork layer."},
    MessageEntry{kCmdDllNotLoaded, "Couldn´t load command dll."},
    MessageEntry{kCmdDllError, "Error in command dll."},
    MessageEntry{kUnknownCode, kUnknownText},
    MessageEntry{kAccessInvalidFileFormat, "invalid file format"},
    MessageEntry{kDmDllNotLoaded, "Data modul dll not loaded."},
    MessageEntry{kDmDllError, "Error in data modul."},
};

constexpr bool SortedByCode() {
  for (std::size_t i = 1; i < kMessages.size(); ++i) {
    if (kMessages[i - 1].code >= kMessages[i].code) return false;
  }
  return true;
}
static_assert(SortedByCode(), "message table must stay sorted by code");

}  // namespace

const char* ResultMessage(ResultCode code) {
  const auto* it = std::lower_bound(std::begin(kMessages), std::end(kMessages), code,
                                    [](const MessageEntry& e, ResultCode c) { return e.code < c; });
  return (it != std::end(kMessages) && it->code == code) ? it->text : kUnknownText;
}

}  // namespace zk
