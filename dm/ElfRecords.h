#pragma once
// The ELF file header and program header, 32- and 64-bit, as they lie in a
// file (the byte order of the file's own, see ElfIdent::data), and the
// codes the reader looks at.
#include <cstddef>
#include <cstdint>

namespace zk::dm::elf {

enum class FileClass : uint8_t { k32 = 1, k64 = 2 };
enum class ByteOrder : uint8_t { kLittle = 1, kBig = 2 };
enum class FileType : uint16_t { kExecutable = 2, kShared = 3 };
enum class SegmentType : uint32_t { kLoad = 1 };

inline constexpr uint8_t kMagic[4] = {0x7F, 'E', 'L', 'F'};
inline constexpr uint8_t kCurrentVersion = 1;
// e_phnum of a file whose count lies in section header 0: not read here.
inline constexpr uint16_t kExtendedCount = 0xFFFF;

struct Ident {
  uint8_t magic[4];
  uint8_t fileClass;
  uint8_t data;
  uint8_t version;
  uint8_t osAbi;
  uint8_t abiVersion;
  uint8_t pad[7];
};
static_assert(sizeof(Ident) == 16);
static_assert(offsetof(Ident, fileClass) == 4 && offsetof(Ident, data) == 5 && offsetof(Ident, version) == 6);

// The file header of either class: Address is the width of the class's
// addresses and file offsets.
template <typename Address>
struct Header {
  Ident ident;
  uint16_t type;
  uint16_t machine;
  uint32_t version;
  Address entry;
  Address phoff;
  Address shoff;
  uint32_t flags;
  uint16_t ehsize;
  uint16_t phentsize;
  uint16_t phnum;
  uint16_t shentsize;
  uint16_t shnum;
  uint16_t shstrndx;
};
using Header32 = Header<uint32_t>;
using Header64 = Header<uint64_t>;
static_assert(sizeof(Header32) == 52);
static_assert(offsetof(Header32, type) == 16 && offsetof(Header32, version) == 20 && offsetof(Header32, phoff) == 28 &&
              offsetof(Header32, ehsize) == 40 && offsetof(Header32, phentsize) == 42 &&
              offsetof(Header32, phnum) == 44);
static_assert(sizeof(Header64) == 64);
static_assert(offsetof(Header64, type) == 16 && offsetof(Header64, version) == 20 && offsetof(Header64, phoff) == 32 &&
              offsetof(Header64, ehsize) == 52 && offsetof(Header64, phentsize) == 54 &&
              offsetof(Header64, phnum) == 56);

// Where a segment lies in the file and in memory: the same fields in the
// program header of either class, only their width and place differ.
template <typename Address>
struct Extent {
  Address offset;
  Address vaddr;
  Address paddr;
  Address filesz;
  Address memsz;
};

struct ProgramHeader32 {
  uint32_t type;
  Extent<uint32_t> extent;
  uint32_t flags;
  uint32_t align;
};
static_assert(sizeof(ProgramHeader32) == 32);
static_assert(offsetof(ProgramHeader32, extent) == 4 && offsetof(Extent<uint32_t>, paddr) == 8 &&
              offsetof(Extent<uint32_t>, filesz) == 12 && offsetof(Extent<uint32_t>, memsz) == 16);

struct ProgramHeader64 {
  uint32_t type;
  uint32_t flags;
  Extent<uint64_t> extent;
  uint64_t align;
};
static_assert(sizeof(ProgramHeader64) == 56);
static_assert(offsetof(ProgramHeader64, extent) == 8 && offsetof(Extent<uint64_t>, paddr) == 16 &&
              offsetof(Extent<uint64_t>, filesz) == 24 && offsetof(Extent<uint64_t>, memsz) == 32);

}  // namespace zk::dm::elf
