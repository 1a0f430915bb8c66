#include "gui/shell/Texts.h"

#include <array>
#include <utility>

namespace zk::gui {
namespace {

constexpr std::array<std::pair<TextId, const char*>, 32> kTable{{
    {TextId::kLoadingFirmware, "Loading firmware"},
    {TextId::kReady, "Ready"},
    {TextId::kLoadingFile, "Loading Hex/Binfile ..."},
    {TextId::kCancel, "Cancel"},
    {TextId::kErasingFlash, "Erasing flash"},
    {TextId::kProgrammingFlash, "Programming flash"},
    {TextId::kErasingSectors, "Erasing sectors"},
    {TextId::kCheckingStatus, "Checking status ..."},
    {TextId::kErasingSector, "Erasing sector ..."},
    {TextId::kErasingBank, "Erasing bank ..."},
    {TextId::kConfigureProtocol, "configure protocol."},
    {TextId::kDisconnect, "Disconnect"},
    {TextId::kConnect, "Connect"},
    {TextId::kOpen, "Open"},
    {TextId::kStart, "Start"},
    {TextId::kSearchingFlashLib, "searching FlashLib..."},
    {TextId::kStartingFlashLib, "starting FlashLib"},
    {TextId::kReadingFlash, "reading flash"},
    {TextId::kStopDownload, "This will stop the download operation. Do you really want to stop ?"},
    {TextId::kStopLoad, "This will stop the load operation. Do you really want to stop ?"},
    {TextId::kRead, "Read"},
    {TextId::kSave, "Save"},
    {TextId::kSavingFile, "Saving Hex/Binfile ..."},
    {TextId::kSheetCaption, "Zelkor 3"},
    {TextId::kInvalidFlashIni, "Invalid Flash.ini file. Entry: "},
    {TextId::kInvalidModulIni, "Invalid Modul.ini file. Entry: "},
    {TextId::kFileChangedStart, "The file "},
    {TextId::kFileChangedEnd, " has been changed by another application. Do you want to reload the file ?"},
    {TextId::kNoDataToSave, "No data to save. Please upload data first."},
    {TextId::kNoDataToDownload, "No data to download. Please open a file first."},
    {TextId::kInstallationCorrupt, "Your installation of Zelkor3 is corrupt. Please run setup again."},
    {TextId::kDownloadReady, "Download ready"},
}};

}  // namespace

const char* LoadString(TextId id) {
  for (const auto& [key, text] : kTable) {
    if (key == id) return text;
  }
  return "";
}

QString Text(TextId id) { return QString::fromUtf8(LoadString(id)); }

}  // namespace zk::gui
