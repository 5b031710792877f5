#pragma once
// Truevision TGA, read by the program itself in the codec helper process (as PnmReader.h
// and TiffReader.h are):
//   - colour-mapped (types 1 and 9) with indices of 8 or 16 bits; true colour (2 and 10)
//     of 15, 16, 24 or 32 bits; grey (3 and 11) of 8 bits, or 16 with an alpha byte.
//     Types 9, 10 and 11 are run-length encoded; a packet may run on into the next row.
//   - colour map entries of 15, 16, 24 or 32 bits; the map's first entry stands for
//     the index the header names (a pixel below it or past the map's end is damage). A
//     true-colour or grey file may carry a map too: it is passed over.
//   - 5-bit channels scaled exactly: v * 255 / 31, rounded to the nearest.
//   - alpha comes from each pixel's attribute bits: the fourth byte of 32-bit pixels and
//     entries, the top bit of 16-bit ones when the header gives the pixels an attribute
//     bit, the second byte of 16-bit grey. An alpha channel that is zero everywhere, as
//     old writers leave it, is no alpha (PixelSink.h); transparent pixels are composited
//     over white.
//   - all four origins (bottom or top row first, left or right column first).
//   - the TGA 2.0 extension area and footer are ignored.
// The size in the header is checked against the bitmap limits, and against what the rest
// of the file can hold, before anything is allocated. A short file, an interleaved
// (pre-1.0) row order or anything malformed fails the read.

#include "imaging/OpenIL.h"

namespace quorvane {

// Reads the TGA picture of the open file `fd` (read from its start; the descriptor is
// the caller's) into the memory `target` provides (see CodecLoadInto): B, G, R, top row
// first. False on any failure; the target may then hold anything.
bool ReadTgaFile(int fd, const CodecPixelTarget& target);

}  // namespace quorvane
