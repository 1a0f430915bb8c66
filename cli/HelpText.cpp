// The --help texts of zelkor and its subcommands.
#include "cli/Options.h"

namespace zk::cli {
namespace {

constexpr const char kProgram[] = R"(Usage: zelkor COMMAND [ARGUMENTS] [OPTIONS]

Programs the flash of microcontroller modules over a serial line: connects
(brings up the module's boot loader, downloads the flash firmware, logs in),
erases, programs, verifies and reads back, in one command.

Commands:
  modules                 the modules there are: the name to pass as --module
                          and the first line of its description
  ports                   the serial ports COMn, the devices they name, and
                          the stable device names under /dev/serial/by-id
  info                    connect; print the banks, the flash chips and the
                          sector table (blank, used, protected); disconnect
  flash IMAGE             connect, erase, load, program, verify, disconnect
  read START END -o FILE  read flash back (checked) into a HEX or binary file
  erase SECTOR [LAST]     erase sectors by their number in `info`, or --chip

Options of every command that connects:
  --module M              the module, as `zelkor modules` names it (or the
                          path of a folder holding a modul.ini)
  --port P                the serial device for this run only: a device path
                          (/dev/ttyUSB0) or an rfc2217://host:port URL; without
                          it the module's COMn mapping is used (see `ports`)
  --disconnect MODE       how the module is left: none (default), swreset,
                          hwreset or jump:ADDRESS
  --json                  one JSON object per event line, then a summary object
  -q, --quiet             only errors
  -v, --verbose           more detail
  --trace [FILE]          the wire trace of the run into FILE (without it:
                          standard error): every frame both ways, decoded,
                          the link's repetitions and time-outs, modem lines,
                          the boot loader dialogue; ZELKOR_TRACE=FILE does
                          the same for every program
  -h, --help              help for a command: zelkor flash --help
  --version               the version

Passwords (read, flash --verify) come from --password-file F (its first line)
or from the environment variable ZELKOR_PASSWORD, never from the command line.

Numbers are decimal, or hexadecimal with 0x (0x10000).

Exit codes: 0 done, 1 an operation failed (the message names it), 2 usage or
file error, 3 verification mismatch, 130 cancelled by Ctrl-C.

Try it on the simulated module (its password is zelkor):
  modsim --baud-emulation --link /tmp/zelkor-sim &
  ZELKOR_PASSWORD=zelkor zelkor flash /usr/lib/zelkor/demo/demo.hex \
      --module Simulator/ZkSim-Download --port /tmp/zelkor-sim --verify
  kill %1

See zelkor(1) for gang programming of many modules at once.
)";

constexpr const char kModules[] = R"(Usage: zelkor modules [--json]

Lists the module tree below the installation's target folder: one line per
module, the name to pass as --module (e.g. Simulator/ZkSim-Download) and the
first line of its info.txt.
)";

constexpr const char kPorts[] = R"(Usage: zelkor ports

Lists each COMn whose mapping names a device that is there, the device it
resolves to, where the mapping comes from (ZELKOR_COMn, the user hive
~/.config/zelkor/user.reg, [Ports] of Zelkor.ini, or the default /dev/ttyS<n-1>),
the device's stable names, then the stable names no port names yet.
)";

constexpr const char kInfo[] = R"(Usage: zelkor info --module M [--port P] [--disconnect MODE] [--json]

Connects to the module, prints its banks, its flash chips and the sector
table (number, bank, address range, size, state: blank, used, protected or
no access), then disconnects. The sector numbers are those `erase` takes.
)";

constexpr const char kFlash[] = R"(Usage: zelkor flash IMAGE --module M [--port P] [--bank N | --address A]
                    [--erase needed|chip|none] [--verify] [--password-file F]
                    [--disconnect MODE] [--json] [-q] [-v]
       zelkor flash IMAGE --module M --port P1 --port P2 ... [--log FILE]
       zelkor flash IMAGE --module M --ports-file FILE [--log FILE]

Connects, erases, loads IMAGE, programs it, verifies it (with --verify) and
disconnects. IMAGE is Intel HEX when its name ends in .hex or .h86 (any
case), binary otherwise; a binary image needs --address, where its first
byte goes.

  --bank N          HEX images: programmed at N x 0x10000 (default 0)
  --address A       binary images: the address of the first byte
  --erase MODE      needed (default): the sectors the image touches, bank by
                    bank; chip: every bank whole; none: nothing
  --verify          read the flash back and compare it with the image (needs
                    the password: --password-file F or ZELKOR_PASSWORD);
                    a difference ends with exit code 3

On a terminal each phase (erase, program, verify) shows a bar with bytes,
rate and time left; otherwise plain lines. Ctrl-C stops the running step,
disconnects and ends with 130.

Gang programming: with more than one --port (or a --ports-file, one device
per line, # comments), every module is programmed at once by a zelkor
process of its own, each port shown on a live line, then a table. The exit
code is 0 only when every module succeeded.
  --log FILE        append one JSON line per module: time, host, port,
                    module, image SHA-256, result, duration
  --timeout S       end a module that takes longer than S seconds (failed)
)";

constexpr const char kRead[] = R"(Usage: zelkor read START END -o FILE --module M [--port P] [--password-file F]
                   [--disconnect MODE] [--json]

Reads the flash from START to END (both included) with a checked read-back
and saves it to FILE: Intel HEX when FILE ends in .hex or .h86, binary
otherwise. Reading needs the module's password: --password-file F (its first
line) or the environment variable ZELKOR_PASSWORD.
)";

constexpr const char kErase[] = R"(Usage: zelkor erase SECTOR [LAST] --module M [--port P] [--json]
       zelkor erase --chip --module M [--port P] [--json]

Erases the sectors SECTOR to LAST (numbered as `zelkor info` shows them), or
with --chip every bank whole (refused by modules with protected areas).
)";

}  // namespace

const char* HelpText(Subcommand command) {
  switch (command) {
    case Subcommand::kModules: return kModules;
    case Subcommand::kPorts: return kPorts;
    case Subcommand::kInfo: return kInfo;
    case Subcommand::kFlash: return kFlash;
    case Subcommand::kRead: return kRead;
    case Subcommand::kErase: return kErase;
    case Subcommand::kNone: break;
  }
  return kProgram;
}

}  // namespace zk::cli
