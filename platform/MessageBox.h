#pragma once
// Message boxes from libraries: one handler per process, installed by the
// host program. Without a handler the console behaviour applies: the text
// goes to standard error and the default answer is given (OK for an OK box,
// Cancel where there is a Cancel button, No for Yes/No).
//
// A handler installed with marshalling serves every request on the thread
// that installed it: other threads queue their request and block until it is
// answered. The owner thread answers queued requests whenever it waits
// (WaitForSingleObject, WaitForThreadMessage) or calls
// ServeMessageBoxRequests, and the handler's wake hook lets its event loop
// know that a request is pending.
#include "platform/Api.h"

#include <cstdint>
#include <string_view>

namespace zk {

inline constexpr uint32_t MB_OK = 0x0;
inline constexpr uint32_t MB_OKCANCEL = 0x1;
inline constexpr uint32_t MB_ABORTRETRYIGNORE = 0x2;
inline constexpr uint32_t MB_YESNOCANCEL = 0x3;
inline constexpr uint32_t MB_YESNO = 0x4;
inline constexpr uint32_t MB_RETRYCANCEL = 0x5;
inline constexpr uint32_t MB_TYPEMASK = 0xF;
inline constexpr uint32_t MB_ICONERROR = 0x10;
inline constexpr uint32_t MB_ICONQUESTION = 0x20;
inline constexpr uint32_t MB_ICONWARNING = 0x30;
inline constexpr uint32_t MB_ICONINFORMATION = 0x40;

inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDABORT = 3;
inline constexpr int IDRETRY = 4;
inline constexpr int IDIGNORE = 5;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;

class MessageBoxHandler {
 public:
  virtual ~MessageBoxHandler() = default;
  // Shows the box and returns the button pressed (IDOK ...).
  virtual int Show(std::string_view text, std::string_view caption, uint32_t type) = 0;
  // Called from a requesting thread after its request was queued for the
  // owner thread; the owner should call ServeMessageBoxRequests soon.
  virtual void Wake() {}
};

ZK_PLATFORM_API int MessageBox(std::string_view text, std::string_view caption, uint32_t type);

// Installs handler (nullptr: console behaviour). With marshal, requests are
// served on the calling thread. The handler must outlive its installation.
ZK_PLATFORM_API void SetMessageBoxHandler(MessageBoxHandler* handler, bool marshal);

// The console answer for a box type (what MessageBox gives without handler).
ZK_PLATFORM_API int DefaultMessageBoxAnswer(uint32_t type);

// The box as a console shows it: "caption: text" on standard error, with the
// console answer for its type.
ZK_PLATFORM_API int ShowMessageOnConsole(std::string_view text, std::string_view caption, uint32_t type);

// Answers the requests queued for the calling thread; returns how many.
ZK_PLATFORM_API int ServeMessageBoxRequests();

}  // namespace zk
