#include "gui/Texts.h"

#include <array>
#include <utility>

namespace zk::gui {
namespace {

constexpr std::array<std::pair<TextId, const char*>, 14> kTable{{
    {TextId::kLoadingFirmware, "Loading firmware"},
    {TextId::kReady, "Ready"},
    {TextId::kCheckingStatus, "Checking status ..."},
    {TextId::kErasingSector, "Erasing sector ..."},
    {TextId::kErasingBank, "Erasing bank ..."},
    {TextId::kConfigureProtocol, "configure protocol."},
    {TextId::kDisconnect, "Disconnect"},
    {TextId::kConnect, "Connect"},
    {TextId::kSearchingFlashLib, "searching FlashLib..."},
    {TextId::kStartingFlashLib, "starting FlashLib"},
    {TextId::kSheetCaption, "Zelkor 3"},
    {TextId::kInvalidFlashIni, "Invalid Flash.ini file. Entry: "},
    {TextId::kInvalidModulIni, "Invalid Modul.ini file. Entry: "},
    {TextId::kInstallationCorrupt, "Your installation of Zelkor3 is corrupt. Please run setup again."},
}};

}  // namespace

const char* LoadString(TextId id) {
  for (const auto& [key, text] : kTable) {
    if (key == id) return text;
  }
  return "";
}

QString Text(TextId id) { return QString::fromUtf8(LoadString(id)); }

QString Qs(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string Utf8(const QString& text) { return text.toStdString(); }

}  // namespace zk::gui
