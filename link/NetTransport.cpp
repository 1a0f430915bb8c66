#include "link/NetTransport.h"

#include "link/EcbAccess.h"
#include "link/LinkConfig.h"
#include "link/StringTable.h"
#include "platform/ComPort.h"
#include "platform/FrameTrace.h"
#include "platform/Ini.h"
#include "platform/MessageBox.h"
#include "platform/Trace.h"
#include "platform/WriteWarning.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <limits>
#include <optional>
#include <span>
#include <utility>
#include <vector>

namespace zk::link {
namespace {

constexpr uint16_t kDataBlockSize = 1024;
constexpr uint16_t kHeaderLength = 3;
constexpr uint8_t kReplyAccepted = 0x00;
constexpr uint8_t kReplyRefused = 0xFF;
constexpr std::size_t kNumberBuffer = 10;
constexpr auto kCompletionStep = std::chrono::milliseconds(1);

constexpr const char* kLinkName = "TN3964R";
constexpr const char* kLinkDescription = "Serielle Punkt- zu Punkt-Verbindung";

// Host types 1, 2 and 3 go on the line as they are, every other as 0xFF.
uint8_t TypeCode(uint8_t type) { return type >= 1 && type <= 3 ? type : 0xFF; }

std::string Text(const char* text) { return text != nullptr ? std::string(text) : std::string(); }

// The trace name of a header-mode frame: a header announces a block, a
// reply answers a header.
std::string ControlName(std::span<const uint8_t> frame) {
  char name[64];
  if (frame.size() == kHeaderLength) {
    std::snprintf(name, sizeof name, "header type %u +%u", frame[0], frame[1] | (frame[2] << 8));
  } else if (frame.size() == 2) {
    std::snprintf(name, sizeof name, "header reply %s", frame[1] == kReplyAccepted ? "accepted" : "refused");
  } else {
    std::snprintf(name, sizeof name, "header frame");
  }
  return name;
}

// What the flags of a send that failed say of the peer: it stayed silent,
// or it refused the tries (a NAK, or another byte where DLE was due).
uint8_t SendFault(const ECB& ecb) {
  const uint16_t flags = LoadFlags(ecb);
  return (flags & ECB_TIMEOUT) != 0 && (flags & ECB_NAKED) == 0 ? net::kLineFaultNoReply : net::kLineFaultRefused;
}

// What the flags of a receive that failed say: a block that broke off
// (no character in time), or blocks refused at their check character or
// framed wrongly.
uint8_t ReceiveFault(const ECB& ecb) {
  return (LoadFlags(ecb) & ECB_TIMEOUT) != 0 ? net::kLineFaultRxTimeout : net::kLineFaultBadCheck;
}

}  // namespace

NetTransport::NetTransport(LinkDriver& link, NetServices& services, PortProbe probe, NetTuning tuning)
    : link_(link),
      services_(services),
      tuning_(tuning),
      store_(std::move(probe)),
      info_{kLinkName, kLinkDescription, 0, 0, 0, 0} {
  dataRx_.owner = this;
  headerRx_.owner = this;
}

void NetTransport::OnReceiveComplete(ECB* ecb) {
  NetTransport& self = *reinterpret_cast<OwnedEcb*>(ecb)->owner;
  if (!HasFlags(*ecb, ECB_DONE)) return;
  if (trace::Enabled()) {
    const std::span<const uint8_t> frame(ecb->buffer, LoadCount(*ecb));
    if (ecb == &self.dataRx_.ecb) {
      trace::Frame(trace::Direction::kFromModule, frame);
    } else {
      trace::Frame(trace::Direction::kFromModule, frame, ControlName(frame));
    }
  }
  if (ecb == &self.dataRx_.ecb) self.rxLength_.store(LoadCount(*ecb));
  {
    std::lock_guard lock(self.completionMutex_);
    self.receivePosted_.store(false);
  }
  self.completion_.notify_all();
}

void NetTransport::Prepare(const char* iniFile, const char* section) {
  const std::string file = Text(iniFile);
  language_ = LanguageFor(CountryOf(file), SystemPrimaryLanguage());
  if (store_.Use(file, Text(section))) {
    // Another module: nothing of the previous one's port stays.
    portNumber_ = 2;
    baudRate_ = 9600;
  }
}

uint8_t NetTransport::SelectParams(const char* iniFile, const char* section) {
  Prepare(iniFile, section);
  const std::string file = Text(iniFile);
  const std::string sect = Text(section);
  const PortSettings& s = store_.settings();

  uint8_t resolved = 0;
  if (!s.comText.empty() && !s.baudText.empty()) {
    const std::optional<unsigned> port = com::ParsePortName(s.comText);
    const auto entry = std::find(s.baudList.begin(), s.baudList.end(), s.baudText);
    // A rate must fit the link's 16-bit field to be used at all.
    const uint32_t rate = entry != s.baudList.end() ? LeadingDecimal(*entry) : 0;
    if (port && rate > 0 && rate <= std::numeric_limits<uint16_t>::max()) {
      portNumber_ = static_cast<uint16_t>(*port);
      baudRate_ = static_cast<uint16_t>(rate);
      resolved = 1;
    }
  }
  rawModeIni_ = LeadingDecimal(ini::GetString(file, sect, "RawMode", "1", kNumberBuffer)) != 0;
  sendLockTime_ = LeadingDecimal(ini::GetString(file, sect, "SendLockTime", "0", kNumberBuffer));
  messageBeep_ = LeadingDecimal(ini::GetString(file, sect, "MessageBeep", "0", kNumberBuffer)) != 0;
  return resolved;
}

uint8_t NetTransport::SelectProperty(const char* iniFile, const char* section, SettingsDialog* dialog) {
  Prepare(iniFile, section);
  if (dialog == nullptr) return 0;
  PortSettings& s = store_.settings();
  const bool extended = s.extConfiguration == 1;

  DialogSetup setup;
  setup.templateId = MapResourceId(kSettingsTemplate, language_);
  setup.comList = s.comList;
  setup.baudList = s.baudList;
  setup.comSelection = FindPrefix(s.comList, s.comText);
  setup.baudSelection = FindPrefix(s.baudList, s.baudText);
  setup.extended = extended;
  setup.rawChecked = s.rawModeText == "1";
  const std::optional<DialogChoice> choice = dialog->Run(setup);
  if (!choice) return 0;

  PortSettings chosen = s;
  if (choice->com) chosen.comText = *choice->com;
  if (choice->baud) chosen.baudText = *choice->baud;
  if (extended) chosen.rawModeText.assign(1, choice->rawChecked ? '1' : '0');
  const std::string file = Text(iniFile);
  const bool written = WriteChoice(file, Text(section), chosen, extended);
  // A choice that could not be kept changes nothing, neither the file nor
  // the settings the next connection uses, and the user learns why.
  if (written) s = std::move(chosen);
  return ReportWrite(written, file) ? 1 : 0;
}

bool NetTransport::WriteChoice(const std::string& file, const std::string& section, const PortSettings& chosen,
                               bool extended) {
  struct Key {
    const char* name;
    const std::string& value;
  };
  std::vector<Key> keys{{"COM", chosen.comText}, {"Baud", chosen.baudText}};
  if (extended) keys.push_back({"RawMode", chosen.rawModeText});
  std::vector<std::pair<const char*, std::optional<std::string>>> before;
  for (const Key& key : keys) {
    std::optional<std::string> old = ini::ReadValue(file, section, key.name);
    if (ini::WriteString(file, section, key.name, key.value)) {
      before.emplace_back(key.name, std::move(old));
      continue;
    }
    // Put back what was written so far (a key that was not there keeps
    // the value it now has: the file has no way to drop it).
    for (const auto& [name, value] : before) {
      if (value) ini::WriteString(file, section, name, *value);
    }
    return false;
  }
  return true;
}

uint8_t NetTransport::SelectNode(const char* iniFile) {
  language_ = LanguageFor(CountryOf(Text(iniFile)), SystemPrimaryLanguage());
  MessageBox(LinkString(MapResourceId(kIdsSelectNodeText, language_)),
             LinkString(MapResourceId(kIdsSelectNodeCaption, language_)), MB_OK | MB_ICONINFORMATION);
  return 1;
}

uint8_t NetTransport::Initialize(uint8_t modeByte, NetInfo** infoOut) {
  const uint8_t mode = modeByte & kNetModeMask;
  if (mode > 2) return kNetArgument;
  const bool rawRequest = (modeByte & kNetModeRawBit) != 0 || rawModeIni_;
  if (mode == 0) rawMode_ = rawRequest;

  constexpr LinkConfig kProcedure{};
  LinkParams params{portNumber_, baudRate_, 0, 0, kProcedure.priority, kProcedure.retries,
                    kProcedure.charTimeout, kProcedure.ackTimeout, kProcedure.retryDelay};
  const uint8_t opened = link_.Initialize(&params);
  const uint32_t now = services_.Now();
  lastSendTick_ = now;
  if (sendLockTime_ == 0) sendLockTime_ = tuning_.defaultSendLockMs;

  if (mode == 0) {
    info_.linkStart = now;
    info_.reinitCount = 0;
    info_.bytesPerSecond = 0;
  } else if (mode == 2) {
    ++info_.reinitCount;
  }
  info_.lastInit = now;
  if (infoOut != nullptr) *infoOut = &info_;

  receivePosted_.store(false);
  awaitingHeader_ = false;
  frameSeen_ = false;
  currentEcb_ = nullptr;
  rxStatus_ = kNetNoReceive;
  refusedSeen_ = link_.RefusedOffers();
  return opened == kLinkOk ? kNetOk : kNetLinkError;
}

uint8_t NetTransport::ShutDown(uint8_t value) {
  if (value != kNetShutDownSoft && value != kNetShutDownHard) return kNetArgument;
  link_.Shutdown();
  rxTimer_.Stop();
  replyTimer_.Stop();
  receivePosted_.store(false);
  awaitingHeader_ = false;
  currentEcb_ = nullptr;
  rxStatus_ = kNetNoReceive;
  return kNetOk;
}

bool NetTransport::SendFrame(ECB& ecb, bool dropStrays, bool control) {
  // Frames go out at least sendLockTime apart; one due sooner waits the
  // whole time.
  if (TicksSince(lastSendTick_, services_.Now()) < sendLockTime_) {
    if (messageBeep_) services_.Beep();
    services_.Sleep(sendLockTime_);
  }
  if (dropStrays) DropStrays();
  if (trace::Enabled()) {
    const std::span<const uint8_t> frame(ecb.buffer, ecb.length);
    if (control) {
      trace::Frame(trace::Direction::kToModule, frame, ControlName(frame));
    } else {
      trace::Frame(trace::Direction::kToModule, frame);
    }
  }
  const uint8_t sent = link_.Send(&ecb);
  lastSendTick_ = services_.Now();
  if (sent != kLinkOk) lineFault_.store(SendFault(ecb));
  return sent == kLinkOk;
}

bool NetTransport::SendControl(std::span<const uint8_t> frame) {
  std::copy(frame.begin(), frame.end(), controlBuf_.begin());
  controlTx_ = ECB{controlBuf_.data(), static_cast<uint16_t>(frame.size()), 0, 0, 0, nullptr, nullptr};
  return SendFrame(controlTx_, false, true);
}

uint8_t NetTransport::SendData(const uint8_t* data, uint16_t length, uint8_t type) {
  // The engine only reads a send buffer.
  dataTx_ = ECB{const_cast<uint8_t*>(data), length, 0, kDataBlockSize, 0, nullptr, nullptr};
  const uint32_t start = services_.Now();

  if (!rawMode_) {
    if (!awaitingHeader_) PostHeaderReceive();  // for the reply
    const std::array<uint8_t, 3> header{TypeCode(type), static_cast<uint8_t>(length & 0xFF),
                                        static_cast<uint8_t>(length >> 8)};
    if (!SendControl(header)) return kNetLinkError;
    replyTimer_.Start(services_.Now(), tuning_.headerReplyMs);
    while (receivePosted_.load()) {
      if (replyTimer_.Expired(services_.Now())) {
        lineFault_.store(net::kLineFaultNoReply);
        return kNetLinkError;
      }
      std::unique_lock lock(completionMutex_);
      completion_.wait_for(lock, kCompletionStep, [&] { return !receivePosted_.load(); });
    }
    if (headerBuf_[0] != 0 || headerBuf_[1] != kReplyAccepted) {
      lineFault_.store(net::kLineFaultRefused);
      return kNetLinkError;
    }
    if (awaitingHeader_) PostHeaderReceive();  // the host's receive goes on
  }

  if (!SendFrame(dataTx_, rawMode_)) return kNetLinkError;
  UpdateRate(start, length);
  return kNetOk;
}

void NetTransport::DropStrays() {
  if (rxStatus_ != kNetRxPending || currentEcb_ != &dataRx_.ecb) return;
  const uint32_t refused = link_.RefusedOffers();
  bool offerPending = refused != refusedSeen_;
  refusedSeen_ = refused;
  const uint32_t start = services_.Now();
  while (TicksSince(start, services_.Now()) < tuning_.strayFrameMs) {
    const uint16_t flags = LoadFlags(dataRx_.ecb);
    if (receivePosted_.load() && (flags & ECB_FAILED) == 0) {
      // Nothing came: the line is ours, unless a refused message is due.
      if ((flags & ECB_BUSY) == 0 &&
          (!offerPending || TicksSince(start, services_.Now()) >= tuning_.pendingOfferMs)) {
        return;
      }
      std::unique_lock lock(completionMutex_);
      completion_.wait_for(lock, kCompletionStep, [&] { return !receivePosted_.load(); });
      continue;
    }
    // Whole or spoilt, the block belongs to no request of ours.
    offerPending = false;
    strayFrames_.fetch_add(1);
    if (trace::Enabled()) trace::Line("link stray frame dropped: nothing was sent since its receive was posted");
    if (!QueueData()) {
      rxStatus_ = kNetLinkError;
      return;
    }
    if (HasFlags(dataRx_.ecb, ECB_FAILED)) return;  // the line is gone: the status tells
  }
}

void NetTransport::UpdateRate(uint32_t start, uint16_t length) {
  const uint64_t elapsed = TicksSince(start, services_.Now()) + 1ull;
  const uint64_t rate = std::min<uint64_t>(uint64_t{length} * 1000 / elapsed, std::numeric_limits<uint16_t>::max());
  info_.bytesPerSecond =
      static_cast<uint16_t>(info_.bytesPerSecond == 0 ? rate : (info_.bytesPerSecond + rate) / 2);
}

uint8_t NetTransport::RecData(uint8_t* buffer, uint16_t capacity, uint8_t type, uint32_t timeoutMs) {
  rxStatus_ = kNetRxPending;
  rxLength_.store(0);
  lineFault_.store(net::kLineFaultNone);
  rxBuffer_ = buffer;
  rxCapacity_ = buffer != nullptr ? capacity : uint16_t{0};
  rxTimeout_ = timeoutMs;
  frameSeen_ = false;
  uint8_t result = kNetOk;
  if (!rawMode_) {
    awaitingHeader_ = true;
    expectedType_ = TypeCode(type);
    if (!receivePosted_.load()) PostHeaderReceive();
  } else {
    awaitingHeader_ = false;
    if (!QueueData()) {
      // Reported at once and as the final status, so a host that polls
      // anyway does not wait for a block that cannot come.
      rxStatus_ = kNetLinkError;
      result = kNetLinkError;
    }
  }
  rxTimer_.Start(services_.Now(), timeoutMs);
  return result;
}

bool NetTransport::QueueData() {
  receivePosted_.store(true);
  currentEcb_ = &dataRx_.ecb;
  const ReceiveSetup setup{rxBuffer_, rxCapacity_, kDataBlockSize, &OnReceiveComplete};
  if (link_.Receive(dataRx_.ecb, setup) == kLinkOk) return true;
  receivePosted_.store(false);
  return false;
}

void NetTransport::PostHeaderReceive() {
  // The buffer is only cleared while the engine does not hold it.
  if (!receivePosted_.load()) headerBuf_.fill(0);
  receivePosted_.store(true);
  currentEcb_ = &headerRx_.ecb;
  const ReceiveSetup setup{headerBuf_.data(), kHeaderLength, kHeaderLength, &OnReceiveComplete};
  link_.Receive(headerRx_.ecb, setup);
}

uint8_t NetTransport::GetRxStatus() {
  if (rxStatus_ != kNetRxPending) return rxStatus_;
  if (receivePosted_.load()) {
    const uint16_t flags = LoadFlags(*currentEcb_);
    if (flags & ECB_FAILED) {
      rxStatus_ = kNetLinkError;
      lineFault_.store(ReceiveFault(*currentEcb_));
    } else if (flags & ECB_BUSY) {
      frameSeen_ = true;  // a block is arriving: the time-out waits
    } else {
      if (frameSeen_) {
        rxTimer_.Start(services_.Now(), rxTimeout_);
        frameSeen_ = false;
      }
      if (rxTimer_.Expired(services_.Now())) {
        rxStatus_ = kNetRxTimeout;
        lineFault_.store(net::kLineFaultRxTimeout);
      }
    }
  } else if (awaitingHeader_) {
    JudgeHeader();
  } else {
    rxStatus_ = kNetOk;
  }
  return rxStatus_;
}

void NetTransport::JudgeHeader() {
  const uint16_t announced = static_cast<uint16_t>(headerBuf_[1] | (headerBuf_[2] << 8));
  static constexpr std::array<uint8_t, 2> kRefused{0x00, kReplyRefused};
  static constexpr std::array<uint8_t, 2> kAccepted{0x00, kReplyAccepted};
  if (headerBuf_[0] != expectedType_) {
    if (trace::Enabled()) trace::Line("link header refused: type %u, %u expected", headerBuf_[0], expectedType_);
    SendControl(kRefused);
    rxStatus_ = kNetHeaderType;
  } else if (announced > rxCapacity_) {
    if (trace::Enabled()) trace::Line("link header refused: %u bytes announced, room for %u", announced, rxCapacity_);
    SendControl(kRefused);
    rxStatus_ = kNetHeaderLength;
  } else {
    awaitingHeader_ = false;
    if (!QueueData()) {
      rxStatus_ = kNetNotPosted;
      return;
    }
    SendControl(kAccepted);
    rxTimer_.Start(services_.Now(), tuning_.dataAfterHeaderMs);
  }
}

void NetTransport::RestartRxTimeOut(uint32_t timeoutMs) {
  rxTimer_.Start(services_.Now(), timeoutMs);
  rxTimeout_ = timeoutMs;
}

}  // namespace zk::link
