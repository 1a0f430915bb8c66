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
struct LinkDriver::OpenLink {
  OpenLink(const LinkConfig& config, std::unique_ptr<com::SerialPort> openPort, WindowHandle window)
      : port(std::move(openPort)), engine(config, *port, window), pump(*port, engine) {}

  std::unique_ptr<com::SerialPort> port;
  LinkEngine engine;
  CharPump pump;
  std::atomic<bool> stop{false};
  std::mutex exitMutex;
  std::condition_variable exitSignal;
  bool exited = false;
  std::thread thread;

  ~OpenLink() {
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
  if (std::shared_ptr<OpenLink> openLink = TakeLink()) Close(openLink);
  FinishEnding();
}

uint8_t LinkDriver::Initialize(LinkParams* params) {
  if (params == nullptr) return kLinkOpenFailed;
  params->port &= kPortNumberMask;

  // A link still open is closed first; its queued ECBs are dropped.
  std::shared_ptr<OpenLink> old = TakeLink();
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

  auto openLink = std::make_shared<OpenLink>(ConfigFrom(*params), std::move(port), notifyWindow_.load());
  try {
    openLink->thread = std::thread([openLink] {
      openLink->pump.Run(openLink->stop);
      {
        std::lock_guard lock(openLink->exitMutex);
        openLink->exited = true;
      }
      openLink->exitSignal.notify_all();
    });
  } catch (const std::system_error&) {
    return kLinkOpenFailed;
  }
  std::lock_guard lock(mutex_);
  open_ = std::move(openLink);
  return kLinkOk;
}

uint8_t LinkDriver::Shutdown() {
  if (std::shared_ptr<OpenLink> openLink = TakeLink()) HandBack(Close(openLink));
  return kLinkOk;
}

std::shared_ptr<LinkDriver::OpenLink> LinkDriver::TakeLink() {
  std::lock_guard lock(mutex_);
  std::shared_ptr<OpenLink> openLink = std::move(open_);
  // Taken by a callback on the link thread: the link counts as closed from
  // here on, so the thread is recorded as ending in the same step, and an
  // Initialize that sees the link closed waits for it to let go of the port.
  if (openLink && openLink->OnOwnThread()) ending_ = openLink;
  return openLink;
}

uint8_t LinkDriver::Send(ECB* ecb) {
  const std::shared_ptr<OpenLink> openLink = CurrentLink();
  if (!openLink) return kLinkNotOpen;
  if (ecb == nullptr) return kLinkSendFailed;
  return openLink->engine.Send(*ecb);
}

uint8_t LinkDriver::Receive(ECB* ecb) {
  const std::shared_ptr<OpenLink> openLink = CurrentLink();
  if (!openLink) return kLinkNotOpen;
  if (ecb == nullptr) {
    HandBack(openLink->engine.TakeQueue());
  } else {
    openLink->engine.Queue(*ecb);
  }
  return kLinkOk;
}

uint8_t LinkDriver::Receive(ECB& ecb, const ReceiveSetup& setup) {
  const std::shared_ptr<OpenLink> openLink = CurrentLink();
  if (!openLink) return kLinkNotOpen;
  openLink->engine.Queue(ecb, &setup);
  return kLinkOk;
}

ECB* LinkDriver::CurrentEcb() {
  const std::shared_ptr<OpenLink> openLink = CurrentLink();
  return openLink ? openLink->engine.Head() : nullptr;
}

uint32_t LinkDriver::RefusedOffers() {
  const std::shared_ptr<OpenLink> openLink = CurrentLink();
  return openLink ? openLink->engine.RefusedOffers() : 0;
}

WindowHandle LinkDriver::PassCallBack(WindowHandle window) {
  notifyWindow_.store(window);
  if (const std::shared_ptr<OpenLink> openLink = CurrentLink()) openLink->engine.SetNotifyWindow(window);
  return window;
}

bool LinkDriver::IsOpen() { return CurrentLink() != nullptr; }

std::shared_ptr<LinkDriver::OpenLink> LinkDriver::CurrentLink() {
  std::lock_guard lock(mutex_);
  return open_;
}

std::vector<ECB*> LinkDriver::Close(const std::shared_ptr<OpenLink>& openLink) {
  openLink->engine.BeginClose();
  openLink->stop.store(true);
  openLink->port->Wake();
  // Closed from a callback on the link thread itself: it ends when the
  // callback returns, and is waited for by FinishEnding (TakeLink has
  // recorded it as ending).
  if (openLink->OnOwnThread()) return openLink->engine.TakeQueue();
  const bool ended = openLink->WaitForExit();
  if (ended) {
    openLink->thread.join();
    openLink->port->ClearWake();
    // What is still queued goes out (our last DLE, say); what came in and
    // was not read is dropped.
    openLink->port->Drain(kCloseDrainMs);
    openLink->port->Purge(com::PurgeWhat::Input);
  } else {
    openLink->thread.detach();
  }
  return openLink->engine.TakeQueue();
}

void LinkDriver::FinishEnding() {
  std::shared_ptr<OpenLink> openLink;
  {
    std::lock_guard lock(mutex_);
    openLink = std::move(ending_);
  }
  if (!openLink || openLink->OnOwnThread()) return;
  if (openLink->WaitForExit()) {
    openLink->thread.join();
  } else {
    openLink->thread.detach();
  }
}

void LinkDriver::HandBack(const std::vector<ECB*>& ecbs) {
  for (ECB* ecb : ecbs) {
    if (ecb->callback != nullptr) ecb->callback(ecb);
  }
}

}  // namespace zk::link
