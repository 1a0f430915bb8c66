#pragma once
// The link of a process as the TN3964R_* functions see it: opened by
// Initialize (port, link thread, engine), used by Send and Receive, closed
// by Shutdown, which ends the link thread within 5000 ms and then hands
// every queued ECB back through its callback.
#include "link/LinkApi.h"
#include "link/LinkEngine.h"
#include "platform/Messages.h"
#include "platform/NonCopyable.h"

#include <atomic>
#include <memory>
#include <mutex>

namespace zk::link {

class LinkDriver : private NonCopyable {
 public:
  LinkDriver();
  ~LinkDriver();

  uint8_t Initialize(LinkParams* params);
  uint8_t Shutdown();
  uint8_t Send(ECB* ecb);
  // Queues ecb; null hands back the whole queue through the callbacks.
  uint8_t Receive(ECB* ecb);
  // Sets the receive fields of ecb and queues it, in one step.
  uint8_t Receive(ECB& ecb, const ReceiveSetup& setup);
  ECB* CurrentEcb();
  // The peer's messages refused so far for want of a posted receive (0
  // while the link is closed).
  uint32_t RefusedOffers();
  WindowHandle PassCallBack(WindowHandle window);

  bool IsOpen();

 private:
  struct OpenLink;
  std::shared_ptr<OpenLink> CurrentLink();
  // Moves the open link out; see the definition for the link thread case.
  std::shared_ptr<OpenLink> TakeLink();
  // Stops the link thread and closes the port; the queue is returned.
  std::vector<ECB*> Close(const std::shared_ptr<OpenLink>& openLink);
  // A link closed from a callback on its own thread still holds the port
  // until that callback returns: the next Initialize (or the unload) waits
  // for the thread to end first.
  void FinishEnding();
  static void HandBack(const std::vector<ECB*>& ecbs);

  std::mutex mutex_;
  std::shared_ptr<OpenLink> open_;
  std::shared_ptr<OpenLink> ending_;
  std::atomic<WindowHandle> notifyWindow_{nullptr};
};

}  // namespace zk::link
