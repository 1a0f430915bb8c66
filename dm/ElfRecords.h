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

struct Header32 {
  Ident ident;
  uint16_t type;
  uint16_t machine;
  uint32_t version;
  uint32_t entry;
  uint32_t phoff;
  uint32_t shoff;
  uint32_t flags;
  uint16_t ehsize;
  uint16_t phentsize;
  uint16_t phnum;
  uint16_t shentsize;
  uint16_t shnum;
  uint16_t shstrndx;
};
static_assert(sizeof(Header32) == 52);
static_assert(offsetof(Header32, type) == 16 && offsetof(Header32, version) == 20 && offsetof(Header32, phoff) == 28 &&
              offsetof(Header32, ehsize) == 40 && offsetof(Header32, phentsize) == 42 &&
              offsetof(Header32, phnum) == 44);

struct Header64 {
  Ident ident;
  uint16_t type;
  uint16_t machine;
  uint32_t version;
  uint64_t entry;
  uint64_t phoff;
  uint64_t shoff;
  uint32_t flags;
  uint16_t ehsize;
  uint16_t phentsize;
  uint16_t phnum;
  uint16_t shentsize;
  uint16_t shnum;
  uint16_t shstrndx;
};
static_assert(sizeof(Header64) == 64);
static_assert(offsetof(Header64, type) == 16 && offsetof(Header64, version) == 20 && offsetof(Header64, phoff) == 32 &&
              offsetof(Header64, ehsize) == 52 && offsetof(Header64, phentsize) == 54 &&
              offsetof(Header64, phnum) == 56);

struct ProgramHeader32 {
  uint32_t type;
  uint32_t offset;
  uint32_t vaddr;
  uint32_t paddr;
  uint32_t filesz;
  uint32_t memsz;
  uint32_t flags;
  uint32_t align;
};
static_assert(sizeof(ProgramHeader32) == 32);
static_assert(offsetof(ProgramHeader32, offset) == 4 && offsetof(ProgramHeader32, paddr) == 12 &&
              offsetof(ProgramHeader32, filesz) == 16 && offsetof(ProgramHeader32, memsz) == 20);

struct ProgramHeader64 {
  uint32_t type;
  uint32_t flags;
  uint64_t offset;
  uint64_t vaddr;
  uint64_t paddr;
  uint64_t filesz;
  uint64_t memsz;
  uint64_t align;
};
static_assert(sizeof(ProgramHeader64) == 56);
static_assert(offsetof(ProgramHeader64, offset) == 8 && offsetof(ProgramHeader64, paddr) == 24 &&
              offsetof(ProgramHeader64, filesz) == 32 && offsetof(ProgramHeader64, memsz) == 40);

}  // namespace zk::dm::elf
