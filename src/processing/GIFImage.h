#pragma once
// The GIF writer: a 24-bit picture becomes a single-frame GIF on the fixed 216-colour web
// palette, dithered as asked, with run-length coded image data ("GIF(RLE)").
//
// File layout: "GIF87a"; logical screen descriptor (no global colour table); image
// descriptor with a local colour table of 256 entries (the 216 palette colours, then
// 40 black padding entries); the image data; the trailer 0x3B.

#include <cstdint>
#include <string>
#include <vector>

#include "processing/GIFCodeStream.h"
#include "processing/GIFQuantize.h"
#include "imaging/Bitmap.h"

namespace quorvane {

enum class GifVersion : int { gvUnknown = 0, gv87a = 1, gv89a = 2 };

// The writer's compression values: the batch always asks for run-length coding.
enum GifCompression : int { gcLZW = 0, gcRLE = 1 };

// A frame's colour table: up to 256 red, green, blue triples.
struct GifColorMap {
  std::vector<RGBTriple> Colors;
  bool Sorted = false;

  int Count() const { return int(Colors.size()); }
  // The smallest n >= 1 with 2^n >= Count().
  int BitsPerPixel() const;
};

// One frame: position and size on the logical screen, its colour table and its pixel
// indices (Width * Height bytes, row by row, top row first).
struct GifSubImage {
  int Left = 0;
  int Top = 0;
  int Width = 0;
  int Height = 0;
  GifColorMap ColorMap;
  std::vector<uint8_t> Pixels;
};

// The frame the writer makes of a bitmap: the bitmap reduced to the web palette with the
// given dithering. Throws GIFError for an empty bitmap.
GifSubImage GIFFrameFromBitmap(const Bitmap& bitmap, DitherMode mode);

// The version a frame needs: 89a for a sorted colour table, else 87a.
GifVersion RequiredGIFVersion(const GifSubImage& frame);

// A whole GIF file holding one frame; the logical screen is Left + Width by
// Top + Height. Throws GIFError ("Unsupported GIF version" for gvUnknown, "Color not in
// color table" for an index beyond the colour table) and std::invalid_argument for a
// malformed frame.
std::vector<uint8_t> EncodeGIFFrame(const GifSubImage& frame);
std::vector<uint8_t> EncodeGIFFrame(const GifSubImage& frame, GifVersion version);

// The GIF file of a bitmap, in memory. compression must be gcRLE (1): the writer has no
// other coder (std::invalid_argument otherwise).
std::vector<uint8_t> EncodeGIF(const Bitmap& bitmap, DitherMode mode, int compression = gcRLE);
// The same with the dithering choice of the settings (see DitherModeFromIndex).
std::vector<uint8_t> EncodeGIF(const Bitmap& bitmap, int ditherIndex, int compression = gcRLE);

// Writes the GIF file of a bitmap to path (created or truncated). The file is made in
// memory first: when encoding fails nothing is written, and when writing fails the
// partial file is removed. Throws GIFError, std::invalid_argument or
// std::system_error (file errors).
void SaveGIF(const Bitmap& bitmap, const std::string& path, DitherMode mode,
             int compression = gcRLE);
void SaveGIF(const Bitmap& bitmap, const std::string& path, int ditherIndex,
             int compression = gcRLE);

}  // namespace quorvane
