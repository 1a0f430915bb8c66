#pragma once
// Building ELF files for the tests: a file header, the program headers right
// behind it, then each segment's bytes; either class, either byte order.
// Offsets and sizes are written out here, apart from the reader's records.
#include <cstdint>
#include <string>
#include <vector>

namespace zk::test {

struct ElfSegment {
  uint64_t paddr = 0;
  uint64_t vaddr = 0;
  std::string bytes;
  uint64_t memsz = 0;  // 0: the size of bytes
  uint32_t type = 1;   // PT_LOAD
};

struct ElfLayout {
  bool wide = false;  // ELF64
  bool bigEndian = false;
};

class ElfImage {
 public:
  // Where the fields the tests spoil lie.
  static constexpr std::size_t kPhoff32 = 28, kPhoff64 = 32;
  static constexpr std::size_t kPhentsize32 = 42, kPhentsize64 = 54;
  static constexpr std::size_t kEhsize32 = 40, kEhsize64 = 52;

  static std::string Build(const std::vector<ElfSegment>& segments, ElfLayout layout = {}) {
    ElfImage image(layout);
    return image.Make(segments);
  }

  // The file offset of field `at` (offset within the entry) of program header i.
  static std::size_t ProgramField(ElfLayout layout, std::size_t i, std::size_t at) {
    return (layout.wide ? 64 : 52) + i * (layout.wide ? 56 : 32) + at;
  }

  // value written at offset with size bytes in the layout's order.
  static void Put(std::string& file, std::size_t offset, uint64_t value, std::size_t size, ElfLayout layout) {
    if (file.size() < offset + size) file.resize(offset + size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
      const std::size_t at = layout.bigEndian ? offset + size - 1 - i : offset + i;
      file[at] = static_cast<char>(value >> (8 * i));
    }
  }

 private:
  explicit ElfImage(ElfLayout layout) : layout_(layout) {}

  std::string Make(const std::vector<ElfSegment>& segments) {
    const bool w = layout_.wide;
    const std::size_t header = w ? 64 : 52;
    const std::size_t entry = w ? 56 : 32;
    std::string file(header + entry * segments.size(), '\0');
    file.replace(0, 4,
                 "\x7F"
                 "ELF");
    file[4] = w ? 2 : 1;
    file[5] = layout_.bigEndian ? 2 : 1;
    file[6] = 1;
    Put(file, 16, 2, 2, layout_);                         // e_type: executable
    Put(file, 18, 0x28, 2, layout_);                      // e_machine
    Put(file, 20, 1, 4, layout_);                         // e_version
    Put(file, w ? 32 : 28, header, w ? 8 : 4, layout_);   // e_phoff
    Put(file, w ? 52 : 40, header, 2, layout_);           // e_ehsize
    Put(file, w ? 54 : 42, entry, 2, layout_);            // e_phentsize
    Put(file, w ? 56 : 44, segments.size(), 2, layout_);  // e_phnum
    for (std::size_t i = 0; i < segments.size(); ++i) {
      const ElfSegment& s = segments[i];
      const uint64_t offset = file.size();
      const uint64_t memsz = s.memsz != 0 ? s.memsz : s.bytes.size();
      const std::size_t at = header + i * entry;
      Put(file, at, s.type, 4, layout_);
      if (w) {
        Put(file, at + 8, offset, 8, layout_);
        Put(file, at + 16, s.vaddr, 8, layout_);
        Put(file, at + 24, s.paddr, 8, layout_);
        Put(file, at + 32, s.bytes.size(), 8, layout_);
        Put(file, at + 40, memsz, 8, layout_);
      } else {
        Put(file, at + 4, offset, 4, layout_);
        Put(file, at + 8, s.vaddr, 4, layout_);
        Put(file, at + 12, s.paddr, 4, layout_);
        Put(file, at + 16, s.bytes.size(), 4, layout_);
        Put(file, at + 20, memsz, 4, layout_);
      }
      file += s.bytes;
    }
    return file;
  }

  ElfLayout layout_;
};

}  // namespace zk::test
