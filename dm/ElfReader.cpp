#include "dm/ElfReader.h"

#include "dm/ElfRecords.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <optional>
#include <vector>

namespace zk::dm {
namespace {

using elf::ByteOrder;

constexpr uint64_t kAddressSpace = uint64_t{1} << 32;

// A loadable segment, whatever the file's class.
struct Segment {
  uint64_t offset;
  uint64_t paddr;
  uint64_t filesz;
};

template <typename T>
T Swapped(T value) {
  T out{};
  auto* from = reinterpret_cast<const uint8_t*>(&value);
  auto* to = reinterpret_cast<uint8_t*>(&out);
  for (std::size_t i = 0; i < sizeof(T); ++i) to[i] = from[sizeof(T) - 1 - i];
  return out;
}

class FileOrder {
 public:
  explicit FileOrder(ByteOrder order)
      : swap_((order == ByteOrder::kLittle) != (std::endian::native == std::endian::little)) {}
  template <typename T>
  T operator()(T value) const {
    return swap_ ? Swapped(value) : value;
  }

 private:
  bool swap_;
};

// A copy of the record at offset, when it lies in the file whole.
template <typename Record>
std::optional<Record> RecordAt(std::span<const uint8_t> file, uint64_t offset) {
  if (offset > file.size() || file.size() - offset < sizeof(Record)) return std::nullopt;
  Record record;
  std::memcpy(&record, file.data() + offset, sizeof record);
  return record;
}

bool LiesIn(uint64_t offset, uint64_t size, uint64_t whole) { return offset <= whole && whole - offset >= size; }

// The loadable segments of a file of one class; outcome Complete when the
// headers are consistent.
template <typename Header, typename ProgramHeader>
ElfLoad Segments(std::span<const uint8_t> file, FileOrder order, std::vector<Segment>& out) {
  const std::optional<Header> header = RecordAt<Header>(file, 0);
  if (!header) return ElfLoad::BadHeader;
  const auto type = static_cast<elf::FileType>(order(header->type));
  if (order(header->version) != elf::kCurrentVersion ||
      (type != elf::FileType::kExecutable && type != elf::FileType::kShared)) {
    return ElfLoad::Unsupported;
  }
  if (order(header->ehsize) != sizeof(Header)) return ElfLoad::BadHeader;
  const uint16_t count = order(header->phnum);
  if (count == elf::kExtendedCount) return ElfLoad::Unsupported;
  if (count == 0) return ElfLoad::NothingToLoad;
  const uint64_t table = order(header->phoff);
  if (order(header->phentsize) != sizeof(ProgramHeader) ||
      !LiesIn(table, uint64_t{count} * sizeof(ProgramHeader), file.size())) {
    return ElfLoad::BadProgramHeaders;
  }
  for (uint16_t i = 0; i < count; ++i) {
    const std::optional<ProgramHeader> entry =
        RecordAt<ProgramHeader>(file, table + uint64_t{i} * sizeof(ProgramHeader));
    if (!entry) return ElfLoad::BadProgramHeaders;
    const auto& extent = entry->extent;
    const Segment segment{order(extent.offset), order(extent.paddr), order(extent.filesz)};
    if (static_cast<elf::SegmentType>(order(entry->type)) != elf::SegmentType::kLoad || segment.filesz == 0) continue;
    if (segment.filesz > order(extent.memsz)) return ElfLoad::BadSegment;
    if (!LiesIn(segment.offset, segment.filesz, file.size())) return ElfLoad::SegmentOutsideFile;
    if (!LiesIn(segment.paddr, segment.filesz, kAddressSpace)) return ElfLoad::PastAddressSpace;
    out.push_back(segment);
  }
  return out.empty() ? ElfLoad::NothingToLoad : ElfLoad::Complete;
}

// Whether two segments share a place where start says they begin; sorts
// them by it.
bool Overlap(std::vector<Segment>& segments, uint64_t Segment::*start) {
  std::sort(segments.begin(), segments.end(),
            [start](const Segment& a, const Segment& b) { return a.*start < b.*start; });
  for (std::size_t i = 1; i < segments.size(); ++i) {
    if (segments[i].*start - segments[i - 1].*start < segments[i - 1].filesz) return true;
  }
  return false;
}

}  // namespace

ElfReadResult ReadElf(std::span<const uint8_t> file) {
  ElfReadResult result;
  const std::optional<elf::Ident> ident = RecordAt<elf::Ident>(file, 0);
  if (!ident || std::memcmp(ident->magic, elf::kMagic, sizeof elf::kMagic) != 0) {
    result.outcome = ElfLoad::NotElf;
    return result;
  }
  const auto order = static_cast<ByteOrder>(ident->data);
  const auto fileClass = static_cast<elf::FileClass>(ident->fileClass);
  if ((order != ByteOrder::kLittle && order != ByteOrder::kBig) || ident->version != elf::kCurrentVersion ||
      (fileClass != elf::FileClass::k32 && fileClass != elf::FileClass::k64)) {
    result.outcome = ElfLoad::Unsupported;
    return result;
  }
  std::vector<Segment> segments;
  result.outcome = fileClass == elf::FileClass::k32
                       ? Segments<elf::Header32, elf::ProgramHeader32>(file, FileOrder(order), segments)
                       : Segments<elf::Header64, elf::ProgramHeader64>(file, FileOrder(order), segments);
  if (result.outcome != ElfLoad::Complete) return result;

  // Neither in the flash nor in the file may two segments meet: the pages
  // then hold at most the file's own bytes.
  if (Overlap(segments, &Segment::offset) || Overlap(segments, &Segment::paddr)) {
    result.outcome = ElfLoad::Overlapping;
    return result;
  }
  PageImageBuilder pages;
  for (const Segment& s : segments) {
    pages.AddRun(static_cast<uint32_t>(s.paddr), file.data() + s.offset, s.filesz);
  }
  result.pages = pages.Finish();
  return result;
}

}  // namespace zk::dm
