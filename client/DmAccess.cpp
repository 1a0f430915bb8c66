#include "client/DmAccess.h"

#include "client/DmAccessWait.h"
#include "platform/AsciiText.h"
#include "platform/Files.h"
#include "platform/Library.h"
#include "platform/Registry.h"

#include <optional>
#include <utility>

namespace zk::client {
namespace {

constexpr std::string_view kDllSuffix = ".dll";
constexpr std::string_view kResourceSuffix = "RES";

// The name without any ".dll", in any case.
std::string WithoutDll(std::string_view name) {
  std::string out;
  while (!name.empty()) {
    if (name.size() >= kDllSuffix.size() && text::EqualsNoCase(name.substr(0, kDllSuffix.size()), kDllSuffix)) {
      name.remove_prefix(kDllSuffix.size());
      continue;
    }
    out.push_back(name.front());
    name.remove_prefix(1);
  }
  return out;
}

// Keeps the busy indicator shown for one call.
class BusyScope {
 public:
  explicit BusyScope(BusyIndicator* indicator) : indicator_(indicator) {
    if (indicator_ != nullptr) indicator_->Begin();
  }
  ~BusyScope() {
    if (indicator_ != nullptr) indicator_->End();
  }
  BusyScope(const BusyScope&) = delete;
  BusyScope& operator=(const BusyScope&) = delete;

 private:
  BusyIndicator* const indicator_;
};

using PageFn = void* (*)();
using RemovePagesFn = void (*)();

}  // namespace

CDmAccess::CDmAccess(MissingDirectory whenMissing) : whenMissing_(whenMissing) {}

CDmAccess::~CDmAccess() { Free(); }

bool CDmAccess::HoldsLibrary(const std::string& path) const {
  // The directory is compared as spelt, the library name ignoring case.
  return library_ != nullptr && files::DirName(path) == files::DirName(path_) &&
         text::EqualsNoCase(files::BaseName(path), files::BaseName(path_));
}

void CDmAccess::Adopt(LibraryHandle library, std::string path) {
  Free();
  library_ = library;
  path_ = std::move(path);
  if (rememberedFile_.empty()) return;
  WorkerThreadInfo thread{};
  LoadFile(rememberedFile_.c_str(), rememberedType_, &thread);
  DrainUntilEnded(*this);
}

void CDmAccess::Free() {
  if (library_ != nullptr) FreeLibrary(library_);
  library_ = nullptr;
  path_.clear();
}

bool CDmAccess::Load(std::string_view libraryName) {
  if (!IsPlainLibraryName(libraryName)) return false;  // only the installation's own libraries
  std::string dir;
  if (std::optional<std::string> installed = reg::InstallationDirectory()) {
    dir = files::ToNative(*installed);
  } else if (whenMissing_ == MissingDirectory::kFail) {
    return false;
  }
  const std::string plain = files::Join(dir, WithoutDll(files::ToNative(libraryName)));
  if (plain.empty()) return false;

  const std::string resource = plain + std::string(kResourceSuffix);
  if (HoldsLibrary(resource)) return true;
  if (LibraryHandle library = LoadLibrary(resource)) {
    Adopt(library, resource);
    return true;
  }
  if (HoldsLibrary(plain)) return true;
  Free();
  LibraryHandle library = LoadLibrary(plain);
  if (library == nullptr) return false;
  Adopt(library, plain);
  return true;
}

void CDmAccess::RememberFile(std::string_view name, uint8_t type) {
  rememberedFile_ = std::string(name);
  rememberedType_ = type;
}

template <typename Fn>
Fn CDmAccess::Find(const char* name) const {
  if (library_ == nullptr) return nullptr;
  return reinterpret_cast<Fn>(GetProcAddress(library_, name));
}

template <typename Fn, typename... Args>
ResultCode CDmAccess::Call(const char* name, Args... args) {
  if (library_ == nullptr) return kDmDllNotLoaded;
  const Fn fn = Find<Fn>(name);
  if (fn == nullptr) return kDmDllError;
  return fn(args...);
}

uint32_t CDmAccess::Poll(const char* name) {
  const dm::PollFn fn = Find<dm::PollFn>(name);
  return fn != nullptr ? fn() : 0;
}

ResultCode CDmAccess::Login(const char* modulePath, LoginInfo* loginInfo, WorkerThreadInfo* threadInfo) {
  return Call<dm::LoginFn>("DmLogin", modulePath, loginInfo, threadInfo);
}

ResultCode CDmAccess::ExitZelkor(ExitRequest* request) { return Call<dm::ExitZelkorFn>("DmExitZelkor", request); }

ResultCode CDmAccess::FindFlashLib(FlashLibRequest* request, FlashLibInfo* info) {
  return Call<dm::FindFlashLibFn>("DmFindFlashLib", request, info);
}

ResultCode CDmAccess::SelectFlashLib(FlashLibSelectionWords* selection) {
  return Call<dm::SelectFlashLibFn>("DmSelectFlashLib", reinterpret_cast<FlashLibSelection*>(selection));
}

ResultCode CDmAccess::SetFlashBaseAddress(BaseAddressRecord* record) {
  return Call<dm::SetFlashBaseAddressFn>("DmSetFlashBaseAddress", record);
}

ResultCode CDmAccess::GetSectorStatus(RangeRequest* range, SectorList* result, WorkerThreadInfo* threadInfo) {
  return Call<dm::RangeWorkerFn>("DmGetSectorStatus", range, result, threadInfo);
}

ResultCode CDmAccess::LoadFile(const char* path, uint32_t type, WorkerThreadInfo* threadInfo) {
  return Call<dm::FileFn>("DmLoadFile", path, type, threadInfo);
}

ResultCode CDmAccess::SaveFile(const char* path, uint32_t type, WorkerThreadInfo* threadInfo) {
  return Call<dm::FileFn>("DmSaveFile", path, type, threadInfo);
}

ResultCode CDmAccess::ProgFlash(uint32_t address, WorkerThreadInfo* threadInfo) {
  return Call<dm::ProgFlashFn>("DmProgFlash", address, threadInfo);
}

ResultCode CDmAccess::ReadFlash(ReadRequest* request, WorkerThreadInfo* threadInfo) {
  return Call<dm::ReadFlashFn>("DmReadFlash", request, threadInfo);
}

ResultCode CDmAccess::VerifyFlash(uint32_t address, VerifyResult* result, WorkerThreadInfo* threadInfo) {
  return Call<dm::VerifyFlashFn>("DmVerifyFlash", address, result, threadInfo);
}

bool CDmAccess::CanVerify() const { return Find<dm::VerifyFlashFn>("DmVerifyFlash") != nullptr; }

ResultCode CDmAccess::GetSectorInfos(FlashLibInfo* flash, SectorInfos* out) {
  return Call<dm::GetSectorInfosFn>("DmGetSectorInfos", flash, out);
}

ResultCode CDmAccess::GetProtectedAreas(ProtectedAreas* out) {
  return Call<dm::GetProtectedAreasFn>("DmGetProtectedAreas", out);
}

ResultCode CDmAccess::GetGeneralInfos(GeneralInfos* out) {
  return Call<dm::GetGeneralInfosFn>("DmGetGeneralInfos", out);
}

ResultCode CDmAccess::SendPassword(PasswordBlock* block) { return Call<dm::SendPasswordFn>("DmSendPassword", block); }

ResultCode CDmAccess::CheckOldZelkor() { return Call<dm::CheckOldZelkorFn>("DmCheckOldZelkor"); }

ResultCode CDmAccess::EnableProtectedAreas(uint32_t enable) {
  return Call<dm::FlagFn>("DmEnableProtectedAreas", enable);
}

ResultCode CDmAccess::FreeMemory(void* buffer) { return Call<dm::FreeMemoryFn>("DmFreeMemory", buffer); }

ResultCode CDmAccess::GetHexFileInfo(uint32_t address, HexFileInfo* out) {
  return Call<dm::GetHexFileInfoFn>("DmGetHexFileInfo", address, out);
}

ResultCode CDmAccess::GetImageSpans(uint32_t address, ImageSpans* out) {
  return Call<dm::GetImageSpansFn>("DmGetImageSpans", address, out);
}

std::string CDmAccess::LoadProblem() {
  const auto get = Find<dm::GetLoadProblemFn>("DmGetLoadProblem");
  if (get == nullptr) return "";
  std::string text(get(nullptr, 0), '\0');
  if (text.empty()) return text;
  text.resize(get(text.data(), static_cast<uint32_t>(text.size() + 1)));
  return text;
}

ResultCode CDmAccess::EraseChip(SectorList* result) {
  BusyScope busy(busy_);
  return Call<dm::EraseChipFn>("DmEraseChip", result);
}

ResultCode CDmAccess::EraseSectors(RangeRequest* range, SectorList* result, WorkerThreadInfo* threadInfo) {
  BusyScope busy(busy_);
  return Call<dm::RangeWorkerFn>("DmEraseSectors", range, result, threadInfo);
}

uint32_t CDmAccess::GetProgress() { return Poll("DmGetProgress"); }

uint32_t CDmAccess::StopCurrentThread() { return Poll("DmStopCurrentThread"); }

uint32_t CDmAccess::GetCurrentThreadStatus() { return Poll("DmGetCurrentThreadStatus"); }

void* CDmAccess::AddPages() {
  const PageFn fn = Find<PageFn>("DmAddPages");
  return fn != nullptr ? fn() : nullptr;
}

void CDmAccess::RemovePages() {
  if (const RemovePagesFn fn = Find<RemovePagesFn>("DmRemovePages")) fn();
}

}  // namespace zk::client
