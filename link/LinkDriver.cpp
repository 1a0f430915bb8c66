#include "link/LinkDriver.h"

#include "link/CharPump.h"
#include "link/LinkConfig.h"

#include <chrono>
#include <condition_variable>
#include <system_error>
#include <thread>

namespace zk::link {
namespace {

constexpr uint16_t kPortNumberMask = 0x7FFF;
constexpr auto kThreadEndLimit = std::chrono::milliseconds(5000);
constexpr uint32_t kCloseDrainMs = 5;

}  // namespace

// An open link. The link thread holds a reference of its own, so a thread
// that does not end in time (a callback that never returns) keeps what it
// uses alive; the port is then closed when it finally ends.
struct LinkDriver::Session {
  Session(const LinkConfig& config, std::unique_ptr<com::SerialPort> openPort, WindowHandle window)
      : port(std::move(openPort)), engine(config, *port, window), pump(*port, engine) {}

  std::unique_ptr<com::SerialPort> port;
  LinkEngine engine;
  CharPump pump;
  std::atomic<bool> stop{false};
  std::mutex exitMutex;
  std::condition_variable exitSignal;
  bool exited = false;
  std::thread thread;

  ~Session() {
    // The link thread itself may hold the last reference.
    if (thread.joinable()) thread.detach();
  }

  bool WaitForExit() {
    std::unique_lock lock(exitMutex);
    return exitSignal.wait_for(lock, kThreadEndLimit, [&] { return exited; });
  }

  bool OnOwnThread() const { return std::this_thread::get_id() == thread.get_id(); }
};

LinkDriver::LinkDriver() = default;

LinkDriver::~LinkDriver() {
  // Unloading: the callers' ECBs are not called back any more.
  if (std::shared_ptr<Session> session = TakeSession()) Close(session);
  FinishEnding();
}

uint8_t LinkDriver::Initialize(LinkParams* params) {
  if (params == nullptr) return kLinkOpenFailed;
  params->port &= kPortNumberMask;

  // A link still open is closed first; its queued ECBs are dropped.
  std::shared_ptr<Session> old = TakeSession();
  if (old) {
    Close(old);
    old.reset();  // releases the port before it is opened again
  }
  FinishEnding();

  if (const LinkResult refused = CheckLinkParams(*params); refused != kLinkOk) return refused;
  std::unique_ptr<com::SerialPort> port = com::OpenSerialPort(params->port, params->baudRate);
  if (!port) return kLinkOpenFailed;
  port->SetDtr(false);
  port->SetRts(false);
  port->Purge(com::PurgeWhat::Both);

  auto session = std::make_shared<Session>(ConfigFrom(*params), std::move(port), notifyWindow_.load());
  try {
    session->thread = std::thread([session] {
      session->pump.Run(session->stop);
      {
        std::lock_guard lock(session->exitMutex);
        session->exited = true;
      }
      session->exitSignal.notify_all();
    });
  } catch (const std::system_error&) {
    return kLinkOpenFailed;
  }
  std::lock_guard lock(mutex_);
  session_ = std::move(session);
  return kLinkOk;
}

uint8_t LinkDriver::Shutdown() {
  if (std::shared_ptr<Session> session = TakeSession()) HandBack(Close(session));
  return kLinkOk;
}

std::shared_ptr<LinkDriver::Session> LinkDriver::TakeSession() {
  std::lock_guard lock(mutex_);
  std::shared_ptr<Session> session = std::move(session_);
  // Taken by a callback on the link thread: the link counts as closed from
  // here on, so the thread is recorded as ending in the same step, and an
  // Initialize that sees the link closed waits for it to let go of the port.
  if (session && session->OnOwnThread()) ending_ = session;
  return session;
}

uint8_t LinkDriver::Send(ECB* ecb) {
  const std::shared_ptr<Session> session = CurrentSession();
  if (!session) return kLinkNotOpen;
  if (ecb == nullptr) return kLinkSendFailed;
  return session->engine.Send(*ecb);
}

uint8_t LinkDriver::Receive(ECB* ecb) {
  const std::shared_ptr<Session> session = CurrentSession();
  if (!session) return kLinkNotOpen;
  if (ecb == nullptr) {
    HandBack(session->engine.TakeQueue());
  } else {
    session->engine.Queue(*ecb);
  }
  return kLinkOk;
}

uint8_t LinkDriver::Receive(ECB& ecb, const ReceiveSetup& setup) {
  const std::shared_ptr<Session> session = CurrentSession();
  if (!session) return kLinkNotOpen;
  session->engine.Queue(ecb, &setup);
  return kLinkOk;
}

ECB* LinkDriver::CurrentEcb() {
  const std::shared_ptr<Session> session = CurrentSession();
  return session ? session->engine.Head() : nullptr;
}

uint32_t LinkDriver::RefusedOffers() {
  const std::shared_ptr<Session> session = CurrentSession();
  return session ? session->engine.RefusedOffers() : 0;
}

WindowHandle LinkDriver::PassCallBack(WindowHandle window) {
  notifyWindow_.store(window);
  if (const std::shared_ptr<Session> session = CurrentSession()) session->engine.SetNotifyWindow(window);
  return window;
}

bool LinkDriver::IsOpen() { return CurrentSession() != nullptr; }

std::shared_ptr<LinkDriver::Session> LinkDriver::CurrentSession() {
  std::lock_guard lock(mutex_);
  return session_;
}

std::vector<ECB*> LinkDriver::Close(const std::shared_ptr<Session>& session) {
  session->engine.BeginClose();
  session->stop.store(true);
  session->port->Wake();
  // Closed from a callback on the link thread itself: it ends when the
  // callback returns, and is waited for by FinishEnding (TakeSession has
  // recorded it as ending).
  if (session->OnOwnThread()) return session->engine.TakeQueue();
  const bool ended = session->WaitForExit();
  if (ended) {
    session->thread.join();
    session->port->ClearWake();
    // What is still queued goes out (our last DLE, say); what came in and
    // was not read is dropped.
    session->port->Drain(kCloseDrainMs);
    session->port->Purge(com::PurgeWhat::Input);
  } else {
    session->thread.detach();
  }
  return session->engine.TakeQueue();
}

void LinkDriver::FinishEnding() {
  std::shared_ptr<Session> session;
  {
    std::lock_guard lock(mutex_);
    session = std::move(ending_);
  }
  if (!session || session->OnOwnThread()) return;
  if (session->WaitForExit()) {
    session->thread.join();
  } else {
    session->thread.detach();
  }
}

void LinkDriver::HandBack(const std::vector<ECB*>& ecbs) {
  for (ECB* ecb : ecbs) {
    if (ecb->callback != nullptr) ecb->callback(ecb);
  }
}

}  // namespace zk::link
