#pragma once
// What the fuzz targets of the page readers (HEX, S-record) check on a
// complete load: pages in ascending address order whose lengths add up to
// the byte count, and an image that the format's writer writes reads back
// byte for byte.
#include "dm/ByteStreams.h"
#include "dm/HexReader.h"
#include "dm/HexWriter.h"

#include <functional>

namespace zk::fuzz {

using PageReader = dm::HexReadResult (*)(dm::ByteSource&, const dm::HexReadHooks&);
using PageWriter = dm::HexSave (*)(const uint8_t*, uint32_t, uint32_t, dm::ByteSink&, const std::function<bool()>&);

void CheckPages(const dm::PageImage& image);

// image written by write, read again by read.
void CheckRoundTrip(const dm::PageImage& image, PageReader read, PageWriter write);

}  // namespace zk::fuzz
