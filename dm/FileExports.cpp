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

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <optional>
#include <string>

namespace zk::dm {
namespace {

constexpr char kSaveCaption[] = "Save File";
constexpr char kLoadCaption[] = "Load File";

// The format the low byte of a mode names; nullopt: the one the file's
// content shows (loads only). Values without a name of their own are HEX.
void SetLoadProblem(std::string text) {
  DmState& state = State();
  const std::lock_guard lock(state.problemLock);
  state.loadProblem = std::move(text);
}

// A file's problem where reading stopped: "line 7: ...".
std::string AtLine(uint64_t line, const std::string& problem) {
  return line == 0 ? problem : "line " + std::to_string(line) + ": " + problem;
}

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

const char* ElfProblem(ElfLoad outcome) {
  switch (outcome) {
    case ElfLoad::Complete: break;
    case ElfLoad::NotElf: return "no ELF magic at its start";
    case ElfLoad::Unsupported: return "an ELF class, byte order, version or file type that is not read";
    case ElfLoad::BadHeader: return "the ELF header is cut short or states a wrong size";
    case ElfLoad::BadProgramHeaders: return "the program header table does not lie in the file";
    case ElfLoad::BadSegment: return "a loadable segment is larger in the file than in memory";
    case ElfLoad::SegmentOutsideFile: return "a loadable segment's bytes do not lie in the file";
    case ElfLoad::PastAddressSpace: return "a loadable segment reaches past 4 GB";
    case ElfLoad::Overlapping: return "two loadable segments share addresses";
    case ElfLoad::NothingToLoad: return "no loadable segment has bytes in the file";
  }
  return "";
}

ResultCode LoadElf(InputFile& file) {
  const std::unique_ptr<uint8_t[]> bytes = ReadWhole(file);
  if (!bytes) return kFileLoadError;
  ElfReadResult read = ReadElf({bytes.get(), static_cast<std::size_t>(file.Size())});
  if (read.outcome != ElfLoad::Complete) {
    SetLoadProblem(ElfProblem(read.outcome));
    return kInvalidFileFormat;
  }
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
  if (read.outcome != HexLoad::Complete && !read.problem.empty()) SetLoadProblem(AtLine(read.line, read.problem));
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
                     std::to_string(read.conflict->secondLine) + " of " + path + " give different data for " + address +
                     ": the file is not loaded.",
                 kLoadCaption, MB_OK | MB_ICONERROR);
      return kInvalidFileFormat;
    }
    case HexLoad::ChecksumError:
      MessageBox("CheckSum falsch !\nline " + std::to_string(read.line) + " of " + path, "DEBUG BOX", MB_OK);
      return kReceiveChecksum;
    case HexLoad::UnknownType:
      PostWorkerEnd(caller, kInvalidFileFormat);  // to the thread that started a load of an unknown record type
      return kInvalidFileFormat;
    case HexLoad::FormatError: return kInvalidFileFormat;
    case HexLoad::ReadError: return kFileLoadError;
    case HexLoad::Stopped: return kStopped;
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
  SetLoadProblem("");
  errno = 0;
  std::unique_ptr<InputFile> file = InputFile::Open(LocalPath(path));
  // The image is left as it was.
  if (!file) {
    SetLoadProblem(errno != 0 ? std::strerror(errno) : "not a regular file");
    return kFileLoadError;
  }
  if (file->Size() == 0) {
    SetLoadProblem("the file is empty");
    return kFileLoadError;
  }
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

ZK_EXPORT uint32_t DmGetLoadProblem(char* text, uint32_t capacity) {
  dm::DmState& state = dm::State();
  const std::lock_guard lock(state.problemLock);
  const std::string& problem = state.loadProblem;
  if (text != nullptr && capacity != 0) {
    const std::size_t kept = std::min<std::size_t>(problem.size(), capacity - 1);
    std::memcpy(text, problem.data(), kept);
    text[kept] = '\0';
  }
  return static_cast<uint32_t>(problem.size());
}

ZK_EXPORT uint32_t DmSaveFile(const char* path, uint32_t mode, WorkerThreadInfo* threadInfo) {
  // A read that failed or was stopped has left no image: the worker then
  // finds nothing to save.
  dm::SettleRead();
  std::string file = path != nullptr ? path : "";
  const std::optional<ImageFormat> format = dm::FormatOfMode(mode);
  return dm::StartOwnWorker([file = std::move(file), format] { return dm::Save(file, format); }, threadInfo);
}
