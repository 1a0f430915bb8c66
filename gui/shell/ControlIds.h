#pragma once
// Dialog and control ids of the workbench. Every widget that stands for a
// control carries its id as object name "ctl<id>", which the help window and
// the tests look it up by.
#include <QString>

class QObject;
class QWidget;

namespace zk::gui {

enum DialogId : int {
  kConnectDialog = 106,
  kFlashInfoDialog = 107,
  kDownloadDialog = 108,
  kProtocolDialog = 131,
  kProtectedAreasDialog = 140,
  kInfoDialog = 142,
  kBinAddressDialog = 147,
  kUploadDialog = 150,
  kPasswordDialog = 151,
  kFlashLibDialog = 170,
};

enum ControlId : int {
  kIdOk = 1,
  kIdCancel = 2,
  // Connect page
  kModuleTree = 1000,
  kConnectButton = 1002,
  kModuleInfoText = 1005,
  kJumpAddressEdit = 1030,
  kSoftwareResetBox = 1096,
  kJumpToAddressBox = 1097,
  kJumpToZeroBox = 1098,
  kAutoBootBox = 1110,
  kHardwareResetBox = 1117,
  // Flash info page
  kStatusButton = 1021,
  kEraseSectorsButton = 1022,
  kEraseBankButton = 1023,
  kEraseAllButton = 1024,
  kBankList = 1123,
  kSectorTable = 1125,
  // Download page
  kOpenButton = 1023,
  kStartButton = 1024,
  kFileLoadedText = 1025,
  kFileSizeText = 1026,
  kEraseChipBox = 1031,
  kEraseNeededBox = 1022,
  kDownloadBox = 1033,
  kVerifyBox = 1034,
  kBankOffsetCombo = 1087,
  kBankOffsetLabel = 1088,
  kFileDateText = 1090,
  kMappedAddressText = 1099,
  kDownloadSizeText = 1101,
  kMappedLabel = 1102,
  kBinAddressEdit = 1073,
  // Protected areas page
  kNoAccessList = 1061,
  kProtectedList = 1062,
  // Password dialog and upload page
  kPasswordEdit = 1075,
  kStartAddressEdit = 1079,
  kEndAddressEdit = 1080,
  kSaveButton = 1083,
  kUploadButton = 1084,
  // Communication setup
  kPropertiesButton = 1037,
  kProtocolCombo = 1039,
  // Flash library choice
  kFlashLibCombo = 1094,
  // Info dialog
  kProgramVersionText = 1011,
  kFirmwareText = 1012,
  kMakerAddressText = 1013,
  // The sheet's own widgets
  kSheetTabs = 12320,
  kSheetStatusBar = 59393,
};

QString ControlName(int id);
// Names widget "ctl<id>".
void SetControlId(QObject* widget, int id);
// The id of widget or of the nearest parent that has one; 0 when none has.
int ControlIdOf(const QWidget* widget);

}  // namespace zk::gui
