#include "modsim/Module.h"

#include "modsim/Trace.h"

#include <algorithm>
#include <string>

namespace zk::modsim {

Module::Module(const SimConfig& config, FlashModel& flash, ByteSink& out, LineControl& line, FaultInjector* faults,
               Trace* trace)
    : out_(out),
      line_(line),
      trace_(trace),
      answerDelay_(config.answerDelay),
      boot_(config.boot, out, *this, faults, trace),
      channel_(config.channel, config.link, out, *this, faults, trace),
      dispatcher_(config.firmware, flash, faults, trace) {}

void Module::Note(std::string_view text, TimePoint now) {
  if (trace_) trace_->Note(std::string("module: ") + std::string(text), now);
}

void Module::OnHostOpened(TimePoint now) {
  if (firmware_) {
    openedInFirmware_ = true;
  } else if (boot_.stage() != BootLoader::Stage::kReset) {
    Reset("the host opened the port during a boot dialogue", now);
  }
}

void Module::OnByte(uint8_t c, TimePoint now) {
  if (firmware_ && openedInFirmware_) {
    // A reply character may still belong to the session before the open:
    // bytes written before and after it can arrive in one read.
    if (c == 0x00) {
      Reset("the host opened the port and speaks to the boot loader", now);
    } else if (c != kDle && c != kNak) {
      openedInFirmware_ = false;
    }
  }
  if (firmware_) {
    channel_.OnByte(c, now);
  } else {
    boot_.OnByte(c, now);
  }
}

Deadline Module::NextDeadline() const {
  if (!firmware_) return boot_.NextDeadline();
  Deadline deadline = channel_.NextDeadline();
  if (!pending_.empty()) deadline = Earliest(deadline, pending_.front().due);
  return deadline;
}

void Module::OnTimer(TimePoint now) {
  if (!firmware_) {
    boot_.OnTimer(now);
    return;
  }
  channel_.OnTimer(now);
  SendDueAnswers(now);
}

void Module::SendDueAnswers(TimePoint now) {
  while (firmware_ && !pending_.empty() && now >= pending_.front().due) {
    Reply reply = std::move(pending_.front().reply);
    pending_.pop_front();
    if (reply.stxFlood > 0) {
      PutRaw(std::vector<uint8_t>(reply.stxFlood, kStx), now);
      reply.bytes.clear();
    }
    if (reply.bytes.empty()) {
      if (reply.exitAfter) Reset("exit without an answer", now);
      continue;
    }
    if (reply.repeatAfter) {
      Reply again;
      again.bytes = reply.bytes;
      pending_.push_front({now + *reply.repeatAfter, std::move(again)});
    }
    afterAnswer_.push_back({reply.exitAfter, std::move(reply.rawAfter)});
    channel_.SendAnswer(std::move(reply.bytes), now);
  }
}

void Module::PutRaw(std::span<const uint8_t> bytes, TimePoint now) {
  Note("fault: " + std::to_string(bytes.size()) + " bytes on the raw line", now);
  for (uint8_t b : bytes) out_.Put(b, now);
}

void Module::Reset(std::string_view why, TimePoint now) {
  Note(std::string("reset (") + std::string(why) + "), back to the boot loader", now);
  out_.DiscardPending(now);
  firmware_ = false;
  openedInFirmware_ = false;
  boot_.Reset();
  channel_.Reset();
  dispatcher_.Reset();
  pending_.clear();
  afterAnswer_.clear();
  line_.SetRate(0);
}

void Module::StartFirmware(uint32_t rate, TimePoint now) {
  line_.SetRate(rate);
  OnFirmwareStart(now);
}

void Module::OnRate(uint32_t baud, TimePoint now) {
  if (baud != 0) Note("line rate " + std::to_string(baud), now);
  line_.SetRate(baud);
}

void Module::OnFirmwareStart(TimePoint now) {
  Note("firmware runs", now);
  firmware_ = true;
  channel_.Reset();
  dispatcher_.Reset();
}

void Module::OnRequest(std::vector<uint8_t> request, TimePoint now) {
  Reply reply = dispatcher_.Handle(request, now);
  if (reply.bytes.empty() && !reply.exitAfter) return;
  const TimePoint start = pending_.empty() ? now : std::max(now, pending_.back().due);
  pending_.push_back({start + reply.busy + answerDelay_, std::move(reply)});
  SendDueAnswers(now);  // an answer due at once goes out at once
}

void Module::OnAnswerDone(bool delivered, TimePoint now) {
  if (afterAnswer_.empty()) return;
  const AfterAnswer after = std::move(afterAnswer_.front());
  afterAnswer_.pop_front();
  if (!delivered) Note("an answer could not be delivered", now);
  if (delivered && !after.raw.empty()) PutRaw(after.raw, now);
  if (after.exit) Reset("exit command", now);
}

}  // namespace zk::modsim
