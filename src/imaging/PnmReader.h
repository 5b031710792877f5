#pragma once
// The Netpbm family, read by the program itself: PBM, PGM and PPM in their plain (P1,
// P2, P3) and raw (P4, P5, P6) forms, and PAM (P7: grey, RGB, each with or without
// alpha), whatever the file is named. It runs in the codec helper process like the
// codec library (OpenIL.h).
//
// Every sample is read exactly: a value of 0..maxval (1..65535; two bytes, most
// significant first, above 255) becomes value * 255 / maxval rounded to the nearest,
// halves up, as Netpbm's own tools scale. PBM's 1 is black; a PAM alpha channel is
// composited over white (PixelSink.h). Comments run from "#" to the end of the line
// wherever whitespace may stand in the header, and between the numbers of a plain
// raster. Of a file with several pictures the first is read.
//
// The file is read as a stream; the size in the header is checked against the bitmap
// limits before anything is allocated. A value past maxval, a short file or anything
// malformed fails the read.

#include <string>

#include "imaging/OpenIL.h"

namespace quorvane {

// Reads the picture of `path` into the memory `target` provides (see CodecLoadInto):
// B, G, R, top row first. False on any failure; the target may then hold anything.
bool ReadPnmFile(const std::string& path, const CodecPixelTarget& target);

}  // namespace quorvane
