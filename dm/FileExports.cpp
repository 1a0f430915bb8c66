// DmLoadFile and DmSaveFile: reading an image file into the memory image and
// writing the flat image to a file, each on an own worker.
#include "common/DmApi.h"
#include "common/Export.h"
#include "common/WorkerThread.h"
#include "dm/Buffers.h"
#include "dm/FileStreams.h"
#include "dm/HexReader.h"
#include "dm/HexWriter.h"
#include "dm/OwnWorker.h"
#include "dm/Progress.h"
#include "dm/ReadOutcome.h"
#include "dm/State.h"
#include "platform/MessageBox.h"
#include "platform/Messages.h"

#include <string>

namespace zk::dm {
namespace {

// Posted to the thread that started a load that met an unknown record type.
constexpr uint32_t kLoadEndMessage = 34;
constexpr char kSaveCaption[] = "Save File";

bool IsBinary(uint32_t mode) { return (mode & 0xFF) == kLoadBinary; }

ResultCode LoadBinary(InputFile& file) {
  MemoryImage& image = State().image;
  if (file.Size() > 0xFFFFFFFFu) return kFileLoadError;
  const auto size = static_cast<uint32_t>(file.Size());
  std::unique_ptr<uint8_t[]> buffer = TryBuffer(size);
  if (!buffer || file.Read(buffer.get(), size) != size) return kFileLoadError;
  image.SetFlat(std::move(buffer), size);
  return kOk;
}

ResultCode LoadHex(InputFile& file, const std::string& path, ThreadId caller) {
  const uint64_t size = file.Size();
  HexReadHooks hooks;
  hooks.stopRequested = [] { return StopRequested(); };
  hooks.progress = [size](uint64_t consumed) { SetProgress(consumed, size); };
  HexReadResult read = ReadHex(file, hooks);
  switch (read.outcome) {
    case HexLoad::Complete:
      State().image.SetPages(std::move(read.pages));
      SetProgress(ProgressPoint::kDone);
      return kOk;
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

ResultCode Load(const std::string& path, bool binary, ThreadId caller) {
  std::unique_ptr<InputFile> file = InputFile::Open(LocalPath(path));
  if (!file || file->Size() == 0) return kFileLoadError;  // the image is left as it was
  State().image.Discard();
  return binary ? LoadBinary(*file) : LoadHex(*file, path, caller);
}

// A save that could not be completed names the file and the system's reason.
ResultCode SaveFailed(const std::string& path, const OutputFile& file) {
  MessageBox("Error saving " + path + ": " + file.Reason(), kSaveCaption, MB_OK | MB_ICONERROR);
  return kFileSaveError;
}

ResultCode Save(const std::string& path, bool binary) {
  const FlatImage& flat = State().image.Flat();
  if (!flat.present) return kFileNotFound;  // nothing to save: pages are not saved
  OutputFile file(LocalPath(path));
  if (file.Failed()) return SaveFailed(path, file);
  SetProgress(ProgressPoint::kSaveWriting);
  if (binary) {
    file.Write(flat.buffer.get(), flat.length);
  } else {
    const HexSave saved = WriteHex(flat.buffer.get(), flat.length, flat.base, file,
                                   [] { return StopRequested(); });
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
  const bool binary = dm::IsBinary(mode);
  return dm::StartOwnWorker([file = std::move(file), binary, caller] { return dm::Load(file, binary, caller); },
                            threadInfo);
}

ZK_EXPORT uint32_t DmSaveFile(const char* path, uint32_t mode, WorkerThreadInfo* threadInfo) {
  // A read that failed or was stopped has left no image: the worker then
  // finds nothing to save.
  dm::SettleRead();
  std::string file = path != nullptr ? path : "";
  const bool binary = dm::IsBinary(mode);
  return dm::StartOwnWorker([file = std::move(file), binary] { return dm::Save(file, binary); }, threadInfo);
}
