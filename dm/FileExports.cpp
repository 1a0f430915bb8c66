// DmLoadFile and DmSaveFile: reading an image file into the memory image and
// writing the flat image to a file, each on an own worker.
#include "common/DmApi.h"
#include "common/Export.h"
#include "common/ImageFormat.h"
#include "common/WorkerThread.h"
#include "dm/Buffers.h"
#include "dm/ElfReader.h"
#include "dm/FileStreams.h"
#include "dm/HexReader.h"
#include "dm/HexWriter.h"
#include "dm/OwnWorker.h"
#include "dm/Progress.h"
#include "dm/ReadOutcome.h"
#include "dm/SrecReader.h"
#include "dm/SrecWriter.h"
#include "dm/State.h"
#include "platform/MessageBox.h"
#include "platform/Messages.h"

#include <cstdio>
#include <functional>
#include <optional>
#include <string>

namespace zk::dm {
namespace {

// Posted to the thread that started a load that met an unknown record type.
constexpr uint32_t kLoadEndMessage = 34;
constexpr char kSaveCaption[] = "Save File";
constexpr char kLoadCaption[] = "Load File";

// The format the low byte of a mode names; nullopt: the one the file's
// content shows (loads only). Values without a name of their own are HEX.
std::optional<ImageFormat> FormatOfMode(uint32_t mode) {
  switch (mode & 0xFF) {
    case kLoadBinary: return ImageFormat::kBinary;
    case kLoadSrec: return ImageFormat::kSrec;
    case kLoadElf: return ImageFormat::kElf;
    case kLoadByContent: return std::nullopt;
    default: return ImageFormat::kHex;
  }
}

// The whole file in a buffer; null when it is too large or reads short.
std::unique_ptr<uint8_t[]> ReadWhole(InputFile& file) {
  if (file.Size() > 0xFFFFFFFFu) return nullptr;
  const auto size = static_cast<std::size_t>(file.Size());
  std::unique_ptr<uint8_t[]> buffer = TryBuffer(size);
  if (!buffer || file.Read(buffer.get(), size) != size) return nullptr;
  return buffer;
}

ResultCode LoadBinary(InputFile& file) {
  std::unique_ptr<uint8_t[]> buffer = ReadWhole(file);
  if (!buffer) return kFileLoadError;
  State().image.SetFlat(std::move(buffer), static_cast<uint32_t>(file.Size()));
  return kOk;
}

ResultCode LoadElf(InputFile& file) {
  const std::unique_ptr<uint8_t[]> bytes = ReadWhole(file);
  if (!bytes) return kFileLoadError;
  ElfReadResult read = ReadElf({bytes.get(), static_cast<std::size_t>(file.Size())});
  if (read.outcome != ElfLoad::Complete) return kInvalidFileFormat;
  State().image.SetPages(std::move(read.pages));
  SetProgress(ProgressPoint::kDone);
  return kOk;
}

using RecordReader = HexReadResult (*)(ByteSource&, const HexReadHooks&);

// A file of text records, HEX or S-record: a bad record is refused with its
// line.
ResultCode LoadRecords(InputFile& file, RecordReader reader, const std::string& path, ThreadId caller) {
  const uint64_t size = file.Size();
  HexReadHooks hooks;
  hooks.stopRequested = [] { return StopRequested(); };
  hooks.progress = [size](uint64_t consumed) { SetProgress(consumed, size); };
  HexReadResult read = reader(file, hooks);
  switch (read.outcome) {
    case HexLoad::Complete:
      if (read.droppedLine != 0) {
        MessageBox("Records from line " + std::to_string(read.droppedLine) + " of " + path +
                       " on follow the end record and are not loaded.",
                   kLoadCaption, MB_OK | MB_ICONWARNING);
      }
      State().image.SetPages(std::move(read.pages));
      SetProgress(ProgressPoint::kDone);
      return kOk;
    case HexLoad::Overlap: {
      char address[16];
      std::snprintf(address, sizeof address, "0x%08X", read.conflict->address);
      MessageBox("Line " + std::to_string(read.conflict->firstLine) + " and line " +
                     std::to_string(read.conflict->secondLine) + " of " + path + " give different data for " +
                     address + ": the file is not loaded.",
                 kLoadCaption, MB_OK | MB_ICONERROR);
      return kInvalidFileFormat;
    }
    case HexLoad::ChecksumError:
      MessageBox("CheckSum falsch !\nline " + std::to_string(read.line) + " of " + path, "DEBUG BOX", MB_OK);
      return kReceiveChecksum;
    case HexLoad::UnknownType:
      PostThreadMessage(caller, kLoadEndMessage, kInvalidFileFormat, 0);
      return kInvalidFileFormat;
    case HexLoad::FormatError:
      return kInvalidFileFormat;
    case HexLoad::ReadError:
      return kFileLoadError;
    case HexLoad::Stopped:
      return kStopped;
  }
  return kInvalidFileFormat;
}

// The format the first bytes of file show, the path's extension as hint;
// the file is read from its start again afterwards.
std::optional<ImageFormat> FormatOfFile(InputFile& file, const std::string& path) {
  std::string head(kFormatHeadBytes, '\0');
  head.resize(file.Read(reinterpret_cast<uint8_t*>(head.data()), head.size()));
  if (file.Failed() || !file.Rewind()) return std::nullopt;
  return FormatByContent(head, path);
}

ResultCode Load(const std::string& path, std::optional<ImageFormat> format, ThreadId caller) {
  std::unique_ptr<InputFile> file = InputFile::Open(LocalPath(path));
  if (!file || file->Size() == 0) return kFileLoadError;  // the image is left as it was
  State().image.Discard();
  if (!format) format = FormatOfFile(*file, path);
  if (!format) return kFileLoadError;
  switch (*format) {
    case ImageFormat::kBinary: return LoadBinary(*file);
    case ImageFormat::kSrec: return LoadRecords(*file, ReadSrec, path, caller);
    case ImageFormat::kElf: return LoadElf(*file);
    case ImageFormat::kHex: break;
  }
  return LoadRecords(*file, ReadHex, path, caller);
}

// A save that could not be completed names the file and the system's reason.
ResultCode SaveFailed(const std::string& path, const OutputFile& file) {
  MessageBox("Error saving " + path + ": " + file.Reason(), kSaveCaption, MB_OK | MB_ICONERROR);
  return kFileSaveError;
}

using RecordWriter = HexSave (*)(const uint8_t*, uint32_t, uint32_t, ByteSink&, const std::function<bool()>&);

ResultCode Save(const std::string& path, std::optional<ImageFormat> format) {
  // Only formats of records are written besides the bytes themselves.
  if (format != ImageFormat::kHex && format != ImageFormat::kSrec && format != ImageFormat::kBinary) {
    return kInvalidFileFormat;
  }
  const FlatImage& flat = State().image.Flat();
  if (!flat.present) return kFileNotFound;  // nothing to save: pages are not saved
  OutputFile file(LocalPath(path));
  if (file.Failed()) return SaveFailed(path, file);
  SetProgress(ProgressPoint::kSaveWriting);
  if (format == ImageFormat::kBinary) {
    file.Write(flat.buffer.get(), flat.length);
  } else {
    const RecordWriter writer = format == ImageFormat::kSrec ? WriteSrec : WriteHex;
    const HexSave saved = writer(flat.buffer.get(), flat.length, flat.base, file, [] { return StopRequested(); });
    if (saved == HexSave::Stopped) return kStopped;  // the old file stays
  }
  if (!file.Commit()) return SaveFailed(path, file);
  SetProgress(ProgressPoint::kDone);
  return kOk;
}

}  // namespace
}  // namespace zk::dm

using namespace zk;

ZK_EXPORT uint32_t DmLoadFile(const char* path, uint32_t mode, WorkerThreadInfo* threadInfo) {
  std::string file = path != nullptr ? path : "";
  const ThreadId caller = GetCurrentThreadId();
  const std::optional<ImageFormat> format = dm::FormatOfMode(mode);
  return dm::StartOwnWorker([file = std::move(file), format, caller] { return dm::Load(file, format, caller); },
                            threadInfo);
}

ZK_EXPORT uint32_t DmSaveFile(const char* path, uint32_t mode, WorkerThreadInfo* threadInfo) {
  // A read that failed or was stopped has left no image: the worker then
  // finds nothing to save.
  dm::SettleRead();
  std::string file = path != nullptr ? path : "";
  const std::optional<ImageFormat> format = dm::FormatOfMode(mode);
  return dm::StartOwnWorker([file = std::move(file), format] { return dm::Save(file, format); }, threadInfo);
}
