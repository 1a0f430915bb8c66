#pragma once
// Reader of ELF files, 32 and 64 bit, either byte order, into the page form
// of the memory image: the file bytes of every loadable segment (PT_LOAD with
// a file size above 0) at its physical address, p_paddr, where a linker puts
// the flash copy of a segment that runs elsewhere. Memory a segment has
// beyond its file bytes is not programmed. Only the file header and the
// program headers are read; sections, symbols and debug data are not.
//
// The reader is this file's own rather than a library's: the installed
// libraries gain no runtime dependency for a few hundred lines, and every
// offset, count and size of the file is checked against the file here,
// before it is used. A file that is not consistent throughout is refused.
#include "dm/PageImage.h"

#include <cstdint>
#include <span>

namespace zk::dm {

enum class ElfLoad {
  Complete,
  NotElf,              // no ELF magic
  Unsupported,         // a class, byte order, version or file type not read here, or extended numbering
  BadHeader,           // the file header is cut short or states a wrong size
  BadProgramHeaders,   // the table does not lie in the file, or its entries have the wrong size
  BadSegment,          // a loadable segment larger in the file than in memory
  SegmentOutsideFile,  // a loadable segment's bytes do not lie in the file
  PastAddressSpace,    // a loadable segment reaches past 4 GB
  Overlapping,         // two loadable segments share physical addresses or bytes of the file
  NothingToLoad,       // no loadable segment has bytes in the file
};

struct ElfReadResult {
  ElfLoad outcome = ElfLoad::NotElf;
  PageImage pages;  // complete loads only
};

ElfReadResult ReadElf(std::span<const uint8_t> file);

}  // namespace zk::dm
