#pragma once
// TIFF pictures read through libtiff, in the codec helper process like the codec library
// (OpenIL.h). The first page of the file is read; strips or tiles, contiguous or
// separate planes, any compression libtiff decodes (LZW, Deflate, PackBits, JPEG, ...).
//
// The samples are taken exactly, as Pillow reads them:
//   - grey (black or white is zero) and palette pictures of 1, 2, 4, 8 or 16 bits, RGB
//     and CMYK pictures of 8 or 16 bits; 16-bit samples and palette entries give their
//     high byte, fewer than 8 bits are scaled to 0..255;
//   - grey and RGB pictures of 32-bit floating-point samples (SampleFormat 3), each
//     clamped to 0..1 and scaled to 0..255, rounded;
//   - CMYK becomes red = (255 - C) * (255 - K) / 255 (and so on), rounded;
//   - an alpha channel (ExtraSamples 1, associated, or 2, unassociated) is composited over
//     white like every other source's (PixelSink.h); an unspecified extra sample is no
//     alpha;
//   - JPEG-compressed YCbCr is converted to RGB by the JPEG library.
// Anything else that libtiff's RGBA interface understands (uncompressed YCbCr, CIE Lab,
// old-style JPEG, ...) is read through it.
//
// Orientation: the pixels are delivered AS STORED, row 0 the first row of the file,
// whatever the Orientation tag says; the tag's value (1..8, 1 when absent) is handed back
// for the caller. The program applies it exactly once, where it applies a JPEG's EXIF
// orientation (Orient.h: OrientAsFile reads the same IFD0 tag through the metadata
// helper), and only when auto-orientation is on. So a conversion without
// auto-orientation gets the stored pixels, to keep with the tag as it is.

#include <string>

#include "imaging/OpenIL.h"

namespace quorvane {

// Reads the first page of `path` into the memory `target` provides (see CodecLoadInto):
// B, G, R, top stored row first. `orientation`, when given, receives the Orientation
// tag. False on any failure (the target may then hold anything).
bool ReadTiffFile(const std::string& path, const CodecPixelTarget& target,
                  int* orientation = nullptr);

// For a thumbnail request: the smallest reduced-resolution page (a later page, or a
// sub-page of the first, marked as a reduced image) that serves the box as an embedded
// thumbnail does. False when the file has none (or it cannot be read); on success
// `result` gets the first page's size and fromEmbedded.
bool ReadTiffReducedPage(const std::string& path, const CodecLoadRequest& request,
                       const CodecPixelTarget& target, CodecLoadResult& result);

}  // namespace quorvane
