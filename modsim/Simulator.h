#pragma once
// The simulator's event loop: one thread, woken by the line, the signals and
// the control channel, or by the next deadline of the wire pacing and the
// module's timers (ppoll with nanosecond time-outs; deadlines are absolute,
// so a late wake-up never stretches the line).
#include "modsim/Config.h"
#include "modsim/ControlChannel.h"
#include "modsim/FaultInjector.h"
#include "modsim/FlashImageFile.h"
#include "modsim/FlashModel.h"
#include "modsim/Line.h"
#include "modsim/LineQueues.h"
#include "modsim/Module.h"
#include "modsim/Options.h"
#include "modsim/Trace.h"
#include "modsim/WirePacer.h"

#include <memory>
#include <string>

namespace zk::modsim {

class Simulator : public LineControl {
 public:
  Simulator(const Options& options, const SimConfig& config);
  ~Simulator() override;

  // Runs until a stop signal or "quit"; the process exit code.
  int Run();

  uint32_t HostRate() override;
  void SetRate(uint32_t baud) override;

 private:
  bool OpenLine();
  bool OpenFlashImage();
  void ReadLine(TimePoint now);
  void DeliverArrived(TimePoint now);
  void WriteDue(TimePoint now);
  void HandleControl(TimePoint now);
  void HandleSignal(TimePoint now);
  void HandleHostOpen(TimePoint now);
  void PollResetLine(TimePoint now);
  void RemoveLink();

  Options options_;
  SimConfig config_;
  TimePoint started_;
  Trace trace_;
  FaultInjector faults_;
  WirePacer pacer_;
  LineOutput output_;
  LineInput input_;
  FlashModel flash_;
  FlashImageFile image_;
  std::unique_ptr<Line> line_;
  std::unique_ptr<Module> module_;
  ControlChannel control_;
  int signalFd_ = -1;
  bool stop_ = false;
  bool lineFailed_ = false;
  bool resetHeld_ = false;
  bool linkMade_ = false;
};

}  // namespace zk::modsim
