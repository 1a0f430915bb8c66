#pragma once
// The workbench's string table: user texts keyed by their resource ids.
#include "client/qt/QtText.h"

#include <QString>

#include <cstdint>
#include <string>
#include <string_view>

namespace zk::gui {

enum class TextId : uint16_t {
  kLoadingFirmware = 103,
  kReady = 104,
  kLoadingFile = 105,
  kCancel = 107,
  kErasingFlash = 108,
  kProgrammingFlash = 109,
  kErasingSectors = 110,
  kCheckingStatus = 111,
  kErasingSector = 112,
  kErasingBank = 113,
  kConfigureProtocol = 114,
  kDisconnect = 115,
  kConnect = 116,
  kOpen = 117,
  kStart = 118,
  kSearchingFlashLib = 120,
  kStartingFlashLib = 121,
  kReadingFlash = 122,
  kStopDownload = 168,
  kStopLoad = 169,
  kRead = 170,
  kSave = 171,
  kSavingFile = 172,
  kSheetCaption = 173,
  kInvalidFlashIni = 192,
  kInvalidModulIni = 193,
  kFileChangedStart = 194,
  kFileChangedEnd = 195,
  kNoDataToSave = 196,
  kNoDataToDownload = 197,
  kInstallationCorrupt = 205,
  kDownloadReady = 206,
};

// The text of id, exactly as the table holds it.
const char* LoadString(TextId id);
QString Text(TextId id);

using client::Qs;
using client::Utf8;

}  // namespace zk::gui
