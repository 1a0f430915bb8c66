#pragma once
// What the pages and the shell ask of one another, beyond the pages' own
// classes.
namespace zk::gui {

// A page that behaves differently while a module is connected.
class ConnectionListener {
 public:
  virtual ~ConnectionListener() = default;
  virtual void SetConnected(bool connected) = 0;
};

// What the shell and the connect page ask of the download page.
class DownloadPageLink : public ConnectionListener {
 public:
  // The window was activated: look whether the loaded file changed on disk.
  virtual void CheckFileChanged() = 0;
  virtual bool FileLoaded() const = 0;
  // File / Open and File / Download.
  virtual void Open() = 0;
  virtual void Start() = 0;
};

// What the connect page asks of the application when it disconnects.
class ShellLink {
 public:
  virtual ~ShellLink() = default;
  // Clears the protected-areas flag and tells the data manager.
  virtual void DisableProtectedAreas() = 0;
  // Leaves and removes the upload page if it is inserted.
  virtual void RemoveUploadPage() = 0;
  // The hidden protected-areas switch.
  virtual bool ProtectedAreasEnabled() const = 0;
  // Whether the module accepted a password, so that the flash can be read.
  virtual bool ReadAccess() const = 0;
};

}  // namespace zk::gui
