#pragma once
// A pseudo terminal: the module holds the master side and keeps a descriptor
// of the far end open itself, so that the host closing and reopening the port
// never hangs the line up. The far end starts raw (no echo), and its settings,
// which the host chooses, tell the rate the host runs at. Every open of the far
// end by the host is reported.
#include "modsim/Line.h"

#include <memory>
#include <string>

namespace zk::modsim {

class PtyLine : public Line {
 public:
  // Nullptr and a message when no pseudo terminal can be created.
  static std::unique_ptr<PtyLine> Create(std::string* error);
  ~PtyLine() override;

  int Fd() const override { return master_; }
  const std::string& Path() const override { return path_; }
  LineRead Read() override;
  std::size_t Write(const uint8_t* data, std::size_t size) override;
  void SetRate(uint32_t) override {}
  uint32_t HostRate() override;
  int OpenWatchFd() const override { return watch_; }
  int TakeHostOpens() override;

 private:
  PtyLine(int master, int slave, int watch, std::string path)
      : master_(master), slave_(slave), watch_(watch), path_(std::move(path)) {}
  int master_;
  int slave_;
  int watch_;  // inotify: the host opening the far end
  std::string path_;
};

}  // namespace zk::modsim
