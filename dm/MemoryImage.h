#pragma once
// The one memory image of the library: the bytes to be programmed or the
// bytes read back. It has a page form (a loaded HEX file) and a flat form (a
// loaded binary file or a read of flash); at most one of them holds data.
#include "common/Records.h"
#include "dm/PageImage.h"

#include <cstdint>
#include <memory>

namespace zk::dm {

struct FlatImage {
  std::unique_ptr<uint8_t[]> buffer;
  uint32_t base = 0;  // kept across discards: a binary load does not set it
  uint32_t length = 0;
  bool present = false;  // the flat mark
};

class MemoryImage {
 public:
  // Frees the pages, the flat buffer and the read result record; the image
  // is empty afterwards.
  void Discard();

  bool HasPages() const { return !pages_.Empty(); }
  bool HasFlat() const { return flat_.present; }
  bool Empty() const { return !HasPages() && !HasFlat(); }

  const PageImage& Pages() const { return pages_; }
  const FlatImage& Flat() const { return flat_; }
  uint32_t ByteCount() const { return byteCount_; }
  uint32_t PageCount() const { return pages_.PageCount(); }

  // Takes a finished page image as the new image (after Discard).
  void SetPages(PageImage pages);
  // Takes buffer as the flat image at the base kept so far.
  void SetFlat(std::unique_ptr<uint8_t[]> buffer, uint32_t length);
  // The destination of a read of flash: a zeroed buffer of length bytes,
  // filled by the command layer's worker through the read result record,
  // which stays valid until the next Discard. Null when memory runs out.
  ReadResult* PrepareRead(uint32_t length);
  // Makes the prepared read buffer the flat image at base; it stays a
  // pending read until ConfirmRead (the worker ended with success) or
  // Discard (it did not).
  void CommitRead(uint32_t base);
  bool ReadPending() const { return readPending_; }
  void ConfirmRead() { readPending_ = false; }

 private:
  PageImage pages_;
  FlatImage flat_;
  uint32_t byteCount_ = 0;
  std::unique_ptr<ReadResult> readResult_;
  std::unique_ptr<uint8_t[]> readBuffer_;  // until CommitRead
  uint32_t readLength_ = 0;
  bool readPending_ = false;
};

}  // namespace zk::dm
