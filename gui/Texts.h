#pragma once
// The workbench's string table: user texts keyed by their resource ids.
#include <QString>

#include <cstdint>
#include <string>
#include <string_view>

namespace zk::gui {

enum class TextId : uint16_t {
  kLoadingFirmware = 103,
  kReady = 104,
  kCheckingStatus = 111,
  kErasingSector = 112,
  kErasingBank = 113,
  kConfigureProtocol = 114,
  kDisconnect = 115,
  kConnect = 116,
  kSearchingFlashLib = 120,
  kStartingFlashLib = 121,
  kSheetCaption = 173,
  kInvalidFlashIni = 192,
  kInvalidModulIni = 193,
  kInstallationCorrupt = 205,
};

// The text of id, exactly as the table holds it.
const char* LoadString(TextId id);
QString Text(TextId id);

// UTF-8 text for Qt and back.
QString Qs(std::string_view text);
std::string Utf8(const QString& text);

}  // namespace zk::gui
