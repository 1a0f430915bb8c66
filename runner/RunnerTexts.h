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
inline constexpr char kErrorProgramming[] = "Error programming";
inline constexpr char kErrorErasingChip[] = "Error erasing chip";

// Inside commands, before the command's own message.
inline constexpr char kLoginFailed[] = "Login failed";
inline constexpr char kCheckOld[] = "Checkoldzk";
inline constexpr char kNoLibFound[] = "no lib found on mc";
inline constexpr char kGetSectorInfos[] = "GetSectorInfos";
inline constexpr char kEraseChip[] = "EraseChip";
inline constexpr char kLoadFile[] = "LoadFile";
inline constexpr char kFileNotLoaded[] = "File not loaded";
inline constexpr char kDownload[] = "Download";

// Captions of the reports of a result code.
inline constexpr char kConnectCaption[] = "Connect";
inline constexpr char kEraseSectorCaption[] = "EraseSector";

// Status window.
inline constexpr char kStatusTitle[] = "Status";
inline constexpr char kConnecting[] = "Connecting...";
inline constexpr char kErasingSectors[] = "Erasing sectors...";
inline constexpr char kErasingChip[] = "Erasing chip...";
inline constexpr char kLoadingFile[] = "Loading file";
inline constexpr char kDownloading[] = "Downloading...";
inline constexpr char kDisconnecting[] = "Disconnecting...";

}  // namespace zk::runner::texts
