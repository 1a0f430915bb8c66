#pragma once
// Reader of Motorola S-record files into the page form of the memory image.
// Every line is a record or blank (blanks and a carriage return at a line's
// end are passed over): S0 a header, S1, S2 and S3 data at 16-, 24- and
// 32-bit addresses (a page each), S5 and S6 the count of data records so
// far, which must agree, and S7, S8 or S9 the start address, which ends the
// file; nothing after it is read. Hex digits in either case. Every record's
// checksum is checked and its length must be the one its count states; the
// outcomes are those of the HEX reader, with the line of a failure.
#include "dm/HexReader.h"

namespace zk::dm {

HexReadResult ReadSrec(ByteSource& source, const HexReadHooks& hooks);

}  // namespace zk::dm
