#pragma once
// The texts the script runner shows, exactly as users and scripts know them.
namespace zk::runner::texts {

// Ending the run before a command (%s: the script path, %d: the line).
inline constexpr char kFileNotFound[] = "File %s not found";
inline constexpr char kReadError[] = "Error reading %s";
inline constexpr char kLineTooLong[] = "Line %d to long";
inline constexpr char kTooManyArguments[] = "To many arguments in line %d";
inline constexpr char kUnknownCommand[] = "Unknown command in line %d";
inline constexpr char kMissingArgument[] = "Missing argument in line %d";
inline constexpr char kInvalidNumber[] = "Invalid number in line %d";
inline constexpr char kInvalidArgument[] = "Invalid argument in line %d";
inline constexpr char kInterrupted[] = "interrupted";

// Failing commands.
inline constexpr char kErrorConnecting[] = "Error connecting";
inline constexpr char kErrorErasingSector[] = "Error erasing sector";
inline constexpr char kErrorLoadingHexFile[] = "Error loading hex file";
inline constexpr char kErrorLoadingFile[] = "Error loading file";
inline constexpr char kErrorProgramming[] = "Error programming";
inline constexpr char kErrorErasingChip[] = "Error erasing chip";
inline constexpr char kErrorSendingPassword[] = "Error sending password";
inline constexpr char kErrorVerifying[] = "Error verifying";
inline constexpr char kErrorUploading[] = "Error uploading";

// Inside commands, before the command's own message.
inline constexpr char kLoginFailed[] = "Login failed";
inline constexpr char kCheckOld[] = "Checkoldzk";
inline constexpr char kNoLibFound[] = "no lib found on mc";
inline constexpr char kGetSectorInfos[] = "GetSectorInfos";
inline constexpr char kEraseChip[] = "EraseChip";
inline constexpr char kLoadFile[] = "LoadFile";
inline constexpr char kFileNotLoaded[] = "File not loaded";
inline constexpr char kDownload[] = "Download";
// %u: how many bytes differ; %08X: the address of the first.
inline constexpr char kVerifyMismatch[] = "Verify failed: %u bytes differ from the image, the first at 0x%08X";
inline constexpr char kVerifyNotAvailable[] = "Verify is not available: the data manager has no DmVerifyFlash";
inline constexpr char kNothingToVerify[] = "Nothing downloaded to verify in line %d";
inline constexpr char kInvalidAddress[] = "Invalid address in line %d";

// Captions of the reports of a result code.
inline constexpr char kConnectCaption[] = "Connect";
inline constexpr char kEraseSectorCaption[] = "EraseSector";
inline constexpr char kPasswordCaption[] = "Password";
inline constexpr char kVerifyCaption[] = "Verify";
inline constexpr char kReadFlashCaption[] = "ReadFlash";
inline constexpr char kSaveFileCaption[] = "SaveFile";

// Status window.
inline constexpr char kStatusTitle[] = "Status";
inline constexpr char kConnecting[] = "Connecting...";
inline constexpr char kErasingSectors[] = "Erasing sectors...";
inline constexpr char kErasingChip[] = "Erasing chip...";
inline constexpr char kLoadingFile[] = "Loading file";
inline constexpr char kDownloading[] = "Downloading...";
inline constexpr char kDisconnecting[] = "Disconnecting...";
inline constexpr char kSendingPassword[] = "Sending password...";
inline constexpr char kVerifying[] = "Verifying...";
inline constexpr char kUploading[] = "Uploading...";

}  // namespace zk::runner::texts
