#include "cmd/CheckedRead.h"

#include "common/WorkerThread.h"

#include <algorithm>
#include <vector>

namespace zk::cmd {
namespace {

// One read of a span: its bytes and which of them came in a whole answer.
struct SpanRead {
  uint32_t offset = 0;  // from the start of the checked range
  std::vector<uint8_t> bytes;
  std::vector<uint8_t> whole;

  bool Covers(uint32_t at) const { return at >= offset && at - offset < bytes.size(); }
  bool Whole(uint32_t at) const { return Covers(at) && whole[at - offset] != 0; }
  uint8_t Byte(uint32_t at) const { return bytes[at - offset]; }
};

// Where a read cuts its range into answers: first `singles` answers of one
// byte each, then one up to `bulk`, then answers of the full size from
// there. The answers of reads with other cuts begin at other addresses, so
// a place of every answer that the line spoils holds other bytes in each
// read; the single bytes keep the first answer, which begins at the same
// address in every read, too short to be spoilt alike.
struct Cut {
  uint32_t singles = 0;
  uint32_t bulk = 0;
};

// The first read, cut as a plain read is; the second, its answers half an
// answer later; the further ones, one each, for the bytes still in doubt
// before the line counts as too poor to read through.
constexpr Cut kFirstCut{};
constexpr Cut kSecondCut{4, kReadDataPerAnswer / 2};
constexpr Cut kFurtherCuts[] = {{6, kReadDataPerAnswer / 4}, {8, kReadDataPerAnswer * 3 / 4}};

ReadPassEnd ReadCut(Session& session, uint32_t start, uint32_t length, Cut cut, SpanRead& read,
                    const std::function<bool(uint32_t)>& checkPoint) {
  read.bytes.assign(length, 0);
  read.whole.assign(length, 0);
  const auto partAt = [&](uint32_t done) {
    if (done < cut.singles) return std::min(1u, length - done);
    if (done < cut.bulk) return std::min(cut.bulk, length) - done;
    return length - done;
  };
  uint32_t done = 0;
  for (;;) {
    const uint32_t part = partAt(done);
    std::vector<uint16_t> counts(AnswersOf(part));
    const ReadPassEnd end = ReadPass(session, start + done, part, read.bytes.data() + done, counts.data(),
                                     [&](uint32_t got) { return checkPoint(done + got); });
    if (end.stopped || end.code != kOk) return end;
    for (uint32_t answer = 0; answer < counts.size(); ++answer) {
      if (counts[answer] == kSpoiltPiece) continue;
      const uint32_t from = done + answer * kReadDataPerAnswer;
      const uint32_t to = std::min(done + part, from + kReadDataPerAnswer);
      std::fill(read.whole.begin() + from, read.whole.begin() + to, uint8_t{1});
    }
    done += part;
    if (done >= length) break;
    if (checkPoint(done)) return ReadPassEnd::Stop();
  }
  ReadPassEnd end;
  end.received = length;
  return end;
}

// The value two whole reads agree on at offset at, if any.
bool Agreed(const std::vector<SpanRead>& reads, uint32_t at, uint8_t& value) {
  for (std::size_t i = 0; i < reads.size(); ++i) {
    if (!reads[i].Whole(at)) continue;
    for (std::size_t j = i + 1; j < reads.size(); ++j) {
      if (reads[j].Whole(at) && reads[j].Byte(at) == reads[i].Byte(at)) {
        value = reads[i].Byte(at);
        return true;
      }
    }
  }
  return false;
}

// The runs of offsets still in doubt, each grown to the answers that hold
// it; runs closer than one answer are read as one.
std::vector<std::pair<uint32_t, uint32_t>> DoubtfulRuns(const std::vector<uint8_t>& settled) {
  std::vector<std::pair<uint32_t, uint32_t>> runs;  // first, last
  for (uint32_t at = 0; at < settled.size(); ++at) {
    if (settled[at] != 0) continue;
    if (!runs.empty() && at - runs.back().second <= kReadDataPerAnswer) {
      runs.back().second = at;
    } else {
      runs.push_back({at, at});
    }
  }
  return runs;
}

// Why bytes stayed in doubt: answers that came short, or reads that differ.
ResultCode DoubtCode(const std::vector<SpanRead>& reads, const std::vector<uint8_t>& settled) {
  const auto at = static_cast<uint32_t>(std::find(settled.begin(), settled.end(), uint8_t{0}) - settled.begin());
  const auto whole = std::count_if(reads.begin(), reads.end(), [at](const SpanRead& r) { return r.Whole(at); });
  return whole < 2 ? kShortAnswer : kReceiveChecksum;
}

}  // namespace

ReadPassEnd ReadChecked(Session& session, uint32_t start, uint32_t length, uint8_t* out,
                        const CheckedReadProgress& progress) {
  std::vector<SpanRead> reads(2);
  for (uint32_t k = 0; k < 2; ++k) {
    if (StopRequested()) return ReadPassEnd::Stop();
    const uint64_t before = uint64_t{k} * length;
    const ReadPassEnd end = ReadCut(session, start, length, k == 0 ? kFirstCut : kSecondCut, reads[k],
                                    [&](uint32_t got) { return progress(before + got); });
    if (end.stopped || end.code != kOk) return end;
  }

  std::vector<uint8_t> settled(length, 0);
  const auto settle = [&] {
    for (uint32_t at = 0; at < length; ++at) {
      if (settled[at] == 0 && Agreed(reads, at, out[at])) settled[at] = 1;
    }
  };
  settle();
  for (const Cut& cut : kFurtherCuts) {
    const std::vector<std::pair<uint32_t, uint32_t>> runs = DoubtfulRuns(settled);
    if (runs.empty()) break;
    for (const auto& [first, last] : runs) {
      if (StopRequested()) return ReadPassEnd::Stop();
      SpanRead read;
      read.offset = first;
      const ReadPassEnd end =
          ReadCut(session, start + first, last - first + 1, cut, read, [](uint32_t) { return StopRequested(); });
      if (end.stopped || end.code != kOk) return end;
      reads.push_back(std::move(read));
    }
    settle();
  }
  if (std::find(settled.begin(), settled.end(), uint8_t{0}) != settled.end()) {
    ReadPassEnd doubt;
    doubt.code = DoubtCode(reads, settled);
    return doubt;
  }
  ReadPassEnd end;
  end.received = length;
  return end;
}

}  // namespace zk::cmd
