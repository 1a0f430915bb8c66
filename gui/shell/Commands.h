#pragma once
// The commands of the sheet's menu, toolbar and accelerators, and what they
// are routed to.
namespace zk::gui {

enum CommandId : int {
  kCmdExit = 40001,
  kCmdProtocol = 40002,
  kCmdInfo = 40004,
  kCmdOpen = 40005,
  kCmdDownload = 40006,
  kCmdProtectedAreas = 40007,
  kCmdConnect = 40009,
  kCmdDisconnect = 40010,
  kCmdToolInfo = 40013,
  kCmdToolDownload = 40014,
  kCmdToolDisconnect = 40016,
  kCmdToolConnect = 40017,
  kCmdToolLoad = 40018,
  kCmdPassword = 40019,
  kCmdToolHelp = 40021,
  kCmdHelpTopics = 57670,
};

// Handles the commands the sheet does not handle itself.
class CommandTarget {
 public:
  virtual ~CommandTarget() = default;
  virtual void OnCommand(CommandId id) = 0;
  // Whether a menu item is enabled when its menu drops down.
  virtual bool CommandEnabled(CommandId id) const = 0;
};

}  // namespace zk::gui
