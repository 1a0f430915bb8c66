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
  read START END -o FILE  read flash back (checked) into a HEX, S-record or
                          binary file
  read START+LENGTH -o FILE
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
  -v, --verbose           more detail; -vv also the wire trace on standard error
  --trace [FILE]          the wire trace of the run into FILE (without it:
                          standard error): every frame both ways, decoded,
                          the link's repetitions and time-outs, modem lines,
                          the boot loader dialogue; ZELKOR_TRACE=FILE does
                          the same for every program
  -h, --help              help for a command: zelkor flash --help
  --version               the version

Passwords (read, flash --verify) come from --password-file F (its first line)
or from the environment variable ZELKOR_PASSWORD, never from the command line;
a missing one ends the command before it connects.

Numbers (addresses, lengths, sectors): decimal (126976), hexadecimal with 0x
(0x1F000), or either with K or M for KiB or MiB (124K, 0x10K, 1M).

Numbers are decimal, or hexadecimal with 0x (0x10000).

Exit codes: 0 done, 1 an operation failed (the message names it), 2 usage or
file error, 3 verification mismatch, 130 cancelled by Ctrl-C
(or SIGTERM, SIGHUP).

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
                    [--format auto|hex|srec|elf|bin] [--erase needed|chip|none]
                    [--verify] [--password-file F] [--disconnect MODE] [--json] [-q] [-v]
       zelkor flash IMAGE --module M --port P1 --port P2 ... [--log FILE]
       zelkor flash IMAGE --module M --ports-file FILE [--log FILE]

Connects, erases, loads IMAGE, programs it, verifies it (with --verify) and
disconnects. IMAGE is Intel HEX, Motorola S-record or ELF (the file bytes of
its loadable segments, at their physical addresses) as its first bytes show;
where they show none of these, its name decides (.hex .h86 .ihex .ihx;
.srec .s19 .s28 .s37 .mot; .elf .axf .out, in any case), and any other name
is a binary image, which needs --address, where its first byte goes. A file
that looks like HEX, S-record or ELF is not programmed as binary (its name
naming no format, or --address given) unless --format bin says so: exit code 2.
IMAGE - is standard input, its type by its content. The whole image is
checked against the module's banks before anything is erased.

  --format F        auto (default): as above; hex, srec, elf, bin: IMAGE is
                    read as that format whatever it looks like
  --bank N          HEX, S-record and ELF images: programmed at N x 0x10000
                    (default 0)
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

Reads the flash from START to END (both included), or LENGTH bytes from
START (0x10000+64K), with a checked read-back and saves it to FILE: Intel HEX
when FILE ends in .hex, .h86, .ihex or .ihx, Motorola S-record when it ends
in .srec, .s19, .s28, .s37 or .mot, binary otherwise. -o - writes to standard
output (not with --json); a device or a pipe (/dev/stdout) is written too.
Reading needs the module's password: --password-file F (its first
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
