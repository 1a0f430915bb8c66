#include "modsim/Options.h"

#include "modsim/BaudRates.h"
#include "modsim/Numbers.h"

#include <functional>
#include <map>
#include <string_view>

namespace zk::modsim {
namespace {

bool ValidRate(uint32_t rate) {
  for (uint8_t i = 1; i <= 10; ++i) {
    if (HandshakeRate(i) == rate) return true;
  }
  return false;
}

}  // namespace

bool ParseOptions(int argc, const char* const* argv, Options& o, std::string* error) {
  auto fail = [&](std::string message) {
    if (error) *error = std::move(message);
    return false;
  };
  using Handler = std::function<bool(std::string_view)>;
  std::string faultError;
  auto probability = [&](double& target) -> Handler {
    return [&target](std::string_view v) {
      const auto p = ParseProbability(v);
      if (p) target = *p;
      return p.has_value();
    };
  };
  auto text = [](std::string& target) -> Handler {
    return [&target](std::string_view v) {
      target = v;
      return !v.empty();
    };
  };
  auto both = [&](double& a, double& b) -> Handler {
    return [&a, &b](std::string_view v) {
      const auto p = ParseProbability(v);
      if (p) a = b = *p;
      return p.has_value();
    };
  };
  const std::map<std::string_view, Handler> valued = {
      {"--config", text(o.configPath)},
      {"--set",
       [&](std::string_view v) {
         const auto dot = v.find('.');
         const auto eq = v.find('=');
         if (dot == std::string_view::npos || eq == std::string_view::npos || dot > eq || dot == 0) return false;
         o.overrides.emplace_back(std::string(v.substr(0, eq)), std::string(v.substr(eq + 1)));
         return true;
       }},
      {"--device", text(o.device)},
      {"--link", text(o.linkPath)},
      {"--start",
       [&](std::string_view v) {
         if (v != "boot" && v != "firmware") return false;
         o.startFirmware = v == "firmware";
         return true;
       }},
      {"--baud",
       [&](std::string_view v) {
         const auto rate = ParseU32(v);
         if (rate && ValidRate(*rate)) o.baud = *rate;
         return rate && ValidRate(*rate);
       }},
      {"--reset-input",
       [&](std::string_view v) {
         o.resetInput = v;
         return v == "cts" || v == "dsr" || v == "dcd" || v == "ri" || v == "none";
       }},
      {"--rate-check",
       [&](std::string_view v) {
         static const std::map<std::string_view, RateCheck> kModes = {
             {"off", RateCheck::kOff}, {"warn", RateCheck::kWarn}, {"garble", RateCheck::kGarble}};
         const auto mode = kModes.find(v);
         if (mode != kModes.end()) o.rateCheck = mode->second;
         return mode != kModes.end();
       }},
      {"--flash-file", text(o.flashFile)},
      {"--usb-latency",
       [&](std::string_view v) {
         const auto ms = ParseU32(v);
         if (ms && *ms > 0 && *ms <= 1000) o.usbLatencyMs = *ms;
         return ms && *ms > 0 && *ms <= 1000;
       }},
      {"--seed",
       [&](std::string_view v) {
         const auto seed = ParseNumber(v);
         if (seed) o.seed = *seed;
         return seed.has_value();
       }},
      {"--drop", both(o.rates.dropRx, o.rates.dropTx)},
      {"--drop-rx", probability(o.rates.dropRx)},
      {"--drop-tx", probability(o.rates.dropTx)},
      {"--corrupt", both(o.rates.corruptRx, o.rates.corruptTx)},
      {"--corrupt-rx", probability(o.rates.corruptRx)},
      {"--corrupt-tx", probability(o.rates.corruptTx)},
      {"--fault",
       [&](std::string_view v) {
         const auto rule = ParseFaultRule(v, &faultError);
         if (rule) o.faults.push_back(*rule);
         return rule.has_value();
       }},
      {"--control", text(o.controlPath)},
      {"--trace",
       [&](std::string_view v) {
         o.tracePath = std::string(v);
         return true;
       }},
  };
  const std::map<std::string_view, std::function<void()>> flags = {
      {"--help", [&] { o.help = true; }},
      {"-h", [&] { o.help = true; }},
      {"--version", [&] { o.version = true; }},
      {"--baud-emulation", [&] { o.baudEmulation = true; }},
      {"--line-faults-in-firmware", [&] { o.lineFaultsInFirmware = true; }},
      {"--no-open-reset", [&] { o.openReset = false; }},
      {"--header-mode", [&] { o.headerMode = true; }},
      {"--raw-mode", [&] { o.headerMode = false; }},
      {"--trace-bytes", [&] { o.traceBytes = true; }},
  };
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i];
    std::string_view value;
    bool inlineValue = false;
    if (const auto eq = arg.find('='); arg.substr(0, 2) == "--" && eq != std::string_view::npos) {
      value = arg.substr(eq + 1);
      arg = arg.substr(0, eq);
      inlineValue = true;
    }
    if (const auto flag = flags.find(arg); flag != flags.end() && !inlineValue) {
      flag->second();
      continue;
    }
    const auto option = valued.find(arg);
    if (option == valued.end()) return fail("unknown option " + std::string(argv[i]) + " (see --help)");
    if (!inlineValue) {
      if (i + 1 >= argc) return fail(std::string(arg) + " needs a value");
      value = argv[++i];
    }
    if (!option->second(value)) {
      return fail("bad value \"" + std::string(value) + "\" for " + std::string(arg) +
                  (faultError.empty() ? "" : ": " + faultError));
    }
  }
  return true;
}

std::string HelpText() {
  return R"(Usage: ModSim [options]

Simulates a module on a serial line: its boot loader (baud rate handshake,
boot download, flash-file protocol) and its firmware behind a 3964R link
(login, password, base address, firmware generation, exit, and the flash
commands on a simulated flash). Without --device it creates a pseudo terminal
and prints its path as the first line on standard output; point the host's
port at it with ZELKOR_COMn=<path>. The module returns to its boot loader
after the exit command, on a line break (serial port), on SIGUSR1, when the
reset line is pulsed (serial port), and when a boot stage hears nothing for
[Boot] SilenceReset milliseconds. A pseudo terminal carries no reset line; in
its place, the host opening the port resets a boot dialogue under way, and
resets a running firmware when the first byte after the open is 0x00 (the
start of a boot loader dialogue, never of a 3964R frame). SIGINT, SIGTERM and
SIGHUP end it.

Line:
  --device PATH          use the serial port PATH instead of a pseudo terminal
  --link PATH            make PATH a symbolic link to the pseudo terminal
  --baud N               rate of a serial port's boot loader, and of the firmware
                         with --start firmware (300..115200; default 57600)
  --reset-input LINE     serial port input wired to the host's reset line:
                         cts (default), dsr, dcd, ri or none
  --baud-emulation       every byte takes its wire time at the current rate
                         (10 bits per byte) in both directions, following the
                         speed switches; the raw boot code is not paced on
                         reception
  --usb-latency MS       the module's bytes reach the host in packets of 64, or
                         MS milliseconds after the first byte of a packet, as
                         through a USB serial adapter's latency timer
  --no-open-reset        pseudo terminal: the host opening the port does not
                         stand in for its reset line (see above)
  --rate-check MODE      pseudo terminal: what happens to bytes the host sends
                         at another rate than the module's: garble (default),
                         warn (trace only) or off

Module:
  --config FILE          the simulator's configuration (default: ModSim.ini
                         beside the program, if present)
  --set SECTION.KEY=VAL  override one configuration key (repeatable)
  --start boot|firmware  start in the boot loader (default) or with the
                         firmware already running at --baud
  --header-mode          the firmware exchanges a header message (type,
                         length) before every message ([Firmware] HeaderMode)
  --raw-mode             one 3964R message per request or answer (default)
  --flash-file PATH      keep the flash content in PATH across runs (created
                         erased; a file of another size is refused)

Faults (reproducible for a given seed):
  --seed N               seed of the line faults (default 1)
  --drop P               lose each byte with probability P (both directions)
  --drop-rx P, --drop-tx P         the same for one direction
  --corrupt P            flip one bit of each byte with probability P
  --corrupt-rx P, --corrupt-tx P   the same for one direction
  --line-faults-in-firmware        drop and corrupt bytes only once the
                         firmware runs (the boot loader's dialogue stays clean)
  --fault KIND[@N|@*][:VALUE]      fire a fault at the N-th opportunity of its
                         kind (default 1), or at every one (@*); repeatable:
      nak-block          refuse a received 3964R block (NAK to its check character)
      boot-nak           answer a memory write frame with a NAK frame
                         (VALUE: error byte 1, 2 or 3; default 2)
      ignore-command     receive a firmware command, neither execute nor answer it
      wrong-echo         replace byte 0 of an answer (VALUE; default byte ^ 0x80)
      hostile-length     an answer claims 0xFFFF entries or bytes, or is
                         stretched to 5000 bytes when it has no count
      delay-answer       answer late (VALUE: milliseconds; default 1000)
      handshake-echo     answer the handshake index byte unchanged
      boot-mute          leave out a boot loader answer (ident, handshake,
                         check, ACK or NAK)
      erase-fail         an erased sector fails (status 0x21 in the list)
      slow-erase         an erase takes longer (VALUE: ms; default 5000)
      count-overrun      an answer's count claims VALUE (default 1) more than
                         it carries; a chip erase list more than an answer holds
      long-list          a list carries VALUE (default 60) entries beyond its count
      endless-list       every continuation of a list says that more follows
      stx-flood          VALUE STX characters (default 5000) in place of an answer
      garbage-after-login  VALUE random bytes (default 1000) on the line after
                         the login answer
      cancel-rx          a received message of 16 bytes or more has the same
                         bit (VALUE: mask, default 1) flipped in two data bytes,
                         which the check character cannot see
      cancel-tx          the same for an answer of 16 bytes or more, once on
                         the line (a repetition goes out right)
      drop-zero          an answer of 16 bytes or more goes out once without
                         its first 0x00 data byte, which the check character
                         cannot see either
      repeat-answer      an answer goes out a second time, VALUE ms (default 0)
                         after the first, as from a module that ran a
                         repeated block again
      short-answer       an answer with a count (read, list) carries only
                         VALUE of its data bytes (default half) and still
                         states the full count
  --control PATH         read commands from the FIFO PATH (created if absent)
                         or from standard input (-): "reset", "quit",
                         "fault KIND[:VALUE]" (fires at the next opportunity)

Trace:
  --trace FILE           log every frame both ways with a time stamp, and the
                         module's events (FILE - is standard error)
  --trace-bytes          also log every byte on the line

  -h, --help             this text
  --version              the version
)";
}

}  // namespace zk::modsim
