#pragma once
// The binding of a program to the data manager library: loaded by name from
// the installation directory, every entry point looked up by name when it is
// called. A missing library gives kDmDllNotLoaded, a missing entry point
// kDmDllError; the progress, stop and status queries give 0 in both cases,
// which ends every waiting loop at once.
#include "common/DmApi.h"
#include "common/ResultCodes.h"
#include "platform/Library.h"
#include "platform/NonCopyable.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace zk::client {

// Shows that a call blocks the program (the wait cursor) for its duration.
class BusyIndicator {
 public:
  virtual ~BusyIndicator() = default;
  virtual void Begin() = 0;
  virtual void End() = 0;
};

class CDmAccess : private NonCopyable {
 public:
  // What Load does when the installation directory cannot be read from the
  // registry: look for the library beside the program, or load nothing.
  enum class MissingDirectory { kUseProgramDirectory, kFail };

  explicit CDmAccess(MissingDirectory whenMissing = MissingDirectory::kUseProgramDirectory);
  virtual ~CDmAccess();

  // Loads the library named libraryName (a Windows name such as "KORDm" or
  // "KORDm.dll") from the installation directory, preferring its resource
  // variant (name + "RES"). A library already loaded from the same path is
  // kept and nothing is reloaded. A newly loaded library reloads the
  // remembered image file and waits for that load to end.
  bool Load(std::string_view libraryName);
  bool Loaded() const { return library_ != nullptr; }
  // The path Load built for the loaded library (directory and name, as the
  // name mapping of the platform resolves it); empty when none is loaded.
  const std::string& LibraryPath() const { return path_; }

  // The image file Load reloads into a newly loaded library.
  void RememberFile(std::string_view name, uint8_t type);
  const std::string& RememberedFile() const { return rememberedFile_; }

  // Shown around the erase calls; null: none.
  void SetBusyIndicator(BusyIndicator* indicator) { busy_ = indicator; }

  ResultCode Login(const char* modulePath, LoginInfo* loginInfo, WorkerThreadInfo* threadInfo);
  ResultCode ExitZelkor(ExitRequest* request);
  ResultCode FindFlashLib(FlashLibRequest* request, FlashLibInfo* info);
  ResultCode SelectFlashLib(FlashLibSelectionWords* selection);
  ResultCode SetFlashBaseAddress(BaseAddressRecord* record);
  ResultCode GetSectorStatus(RangeRequest* range, SectorList* result, WorkerThreadInfo* threadInfo);
  ResultCode LoadFile(const char* path, uint32_t type, WorkerThreadInfo* threadInfo);
  ResultCode SaveFile(const char* path, uint32_t type, WorkerThreadInfo* threadInfo);
  ResultCode ProgFlash(uint32_t address, WorkerThreadInfo* threadInfo);
  ResultCode ReadFlash(ReadRequest* request, WorkerThreadInfo* threadInfo);
  // kDmDllError from a data manager without verification: ask CanVerify.
  ResultCode VerifyFlash(uint32_t address, VerifyResult* result, WorkerThreadInfo* threadInfo);
  // Whether the loaded data manager offers DmVerifyFlash (an older one
  // does not).
  bool CanVerify() const;
  ResultCode GetSectorInfos(FlashLibInfo* flash, SectorInfos* out);
  ResultCode GetProtectedAreas(ProtectedAreas* out);
  ResultCode GetGeneralInfos(GeneralInfos* out);
  ResultCode SendPassword(PasswordBlock* block);
  ResultCode CheckOldZelkor();
  ResultCode EnableProtectedAreas(uint32_t enable);
  ResultCode FreeMemory(void* buffer);
  ResultCode GetHexFileInfo(uint32_t address, HexFileInfo* out);
  // kDmDllError from a data manager that cannot tell (an older one).
  ResultCode GetImageSpans(uint32_t address, ImageSpans* out);
  // What the last failed load found wrong with its file; empty when the
  // data manager does not say.
  std::string LoadProblem();
  ResultCode EraseChip(SectorList* result);
  ResultCode EraseSectors(RangeRequest* range, SectorList* result, WorkerThreadInfo* threadInfo);

  // 0 without a library or export.
  uint32_t GetProgress();
  uint32_t StopCurrentThread();
  uint32_t GetCurrentThreadStatus();

  // A property page the library adds to the workbench, or null (the data
  // manager of this system offers none).
  void* AddPages();
  void RemovePages();

 private:
  template <typename Fn, typename... Args>
  ResultCode Call(const char* name, Args... args);
  template <typename Fn>
  Fn Find(const char* name) const;
  uint32_t Poll(const char* name);
  bool HoldsLibrary(const std::string& path) const;
  void Adopt(LibraryHandle library, std::string path);
  void Free();

  const MissingDirectory whenMissing_;
  LibraryHandle library_ = nullptr;
  std::string path_;
  std::string rememberedFile_;
  uint8_t rememberedType_ = 0;
  BusyIndicator* busy_ = nullptr;
};

}  // namespace zk::client
