#include "imaging/GIFReader.h"

#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/FileIO.h"

namespace quorvane {

namespace {

[[noreturn]] void Fail(const std::string& why) { throw GifReadError("GIF file: " + why); }

[[noreturn]] void FailGif(const GifFileType* gif, const char* step) {
  const char* text = GifErrorString(gif->Error);
  Fail(std::string(step) + ": " + (text ? text : "unknown error"));
}

struct MemorySource {
  const uint8_t* data;
  size_t size;
  size_t pos;
};

// giflib treats a short read as an error, so truncated data fails cleanly.
int ReadFromMemory(GifFileType* gif, GifByteType* buffer, int length) {
  auto* source = static_cast<MemorySource*>(gif->UserData);
  if (length <= 0) return 0;
  const size_t n = std::min(size_t(length), source->size - source->pos);
  if (n > 0) std::memcpy(buffer, source->data + source->pos, n);
  source->pos += n;
  return int(n);
}

struct GifCloser {
  void operator()(GifFileType* gif) const {
    int error = 0;
    DGifCloseFile(gif, &error);
  }
};
using GifHandle = std::unique_ptr<GifFileType, GifCloser>;

// Reads one extension record; a graphics control block sets the transparent index.
void ReadExtension(GifFileType* gif, int& transparent) {
  int code = 0;
  GifByteType* block = nullptr;
  if (DGifGetExtension(gif, &code, &block) == GIF_ERROR) FailGif(gif, "extension");
  bool first = true;
  while (block) {
    if (first && code == GRAPHICS_EXT_FUNC_CODE && block[0] >= 4) {
      GraphicsControlBlock gcb;
      if (DGifExtensionToGCB(block[0], block + 1, &gcb) == GIF_OK)
        transparent = gcb.TransparentColor;
    }
    first = false;
    if (DGifGetExtensionNext(gif, &block) == GIF_ERROR) FailGif(gif, "extension");
  }
}

// The screen rows of the frame's stored lines, in storage order.
std::vector<int> FrameRows(int height, bool interlaced) {
  std::vector<int> rows;
  rows.reserve(size_t(height));
  if (!interlaced) {
    for (int r = 0; r < height; ++r) rows.push_back(r);
    return rows;
  }
  static constexpr int kStart[4] = {0, 4, 2, 1};
  static constexpr int kStep[4] = {8, 8, 4, 2};
  for (int pass = 0; pass < 4; ++pass)
    for (int r = kStart[pass]; r < height; r += kStep[pass]) rows.push_back(r);
  return rows;
}

void ComposeFrame(GifFileType* gif, int transparent, Bitmap& out) {
  const GifImageDesc& desc = gif->Image;
  const ColorMapObject* map = desc.ColorMap ? desc.ColorMap : gif->SColorMap;
  if (!map || !map->Colors || map->ColorCount <= 0) Fail("no colour map");
  if (desc.Width <= 0 || desc.Height <= 0 || desc.Left < 0 || desc.Top < 0) Fail("bad frame size");
  // The frame is decoded whole even where it is clipped, so its size bounds the work.
  if (!Bitmap::SizeAllowed(desc.Width, desc.Height)) Fail("frame size out of range");
  int64_t screenWidth = gif->SWidth;
  int64_t screenHeight = gif->SHeight;
  if (screenWidth <= 0 || screenHeight <= 0) {
    screenWidth = int64_t(desc.Left) + desc.Width;
    screenHeight = int64_t(desc.Top) + desc.Height;
  }
  if (!Bitmap::SizeAllowed(screenWidth, screenHeight)) Fail("screen size out of range");

  Bitmap picture;
  try {
    picture.SetSize(int(screenWidth), int(screenHeight));
  } catch (const BitmapError& e) {
    Fail(e.what());
  }
  picture.Fill(clWhite);
  std::vector<GifPixelType> line(size_t(desc.Width));
  const std::vector<int> rows = FrameRows(desc.Height, desc.Interlace);
  const int visibleWidth = int(std::clamp<int64_t>(screenWidth - desc.Left, 0, desc.Width));
  for (int row : rows) {
    if (DGifGetLine(gif, line.data(), desc.Width) == GIF_ERROR) FailGif(gif, "pixel data");
    const int64_t y = int64_t(desc.Top) + row;
    if (y >= screenHeight) continue;
    uint8_t* dst = picture.ScanLine(int(y)) + size_t(desc.Left) * 3;
    for (int x = 0; x < visibleWidth; ++x, dst += 3) {
      const int index = line[size_t(x)];
      if (index == transparent) continue;
      if (index >= map->ColorCount) {
        dst[0] = dst[1] = dst[2] = 0;
        continue;
      }
      const GifColorType& c = map->Colors[index];
      dst[0] = c.Blue;
      dst[1] = c.Green;
      dst[2] = c.Red;
    }
  }
  out.Swap(picture);
}

}  // namespace

void DecodeGif(const uint8_t* data, size_t size, Bitmap& out) {
  if (!data && size > 0) Fail("no data");
  MemorySource source{data, size, 0};
  int error = 0;
  GifHandle gif(DGifOpen(&source, &ReadFromMemory, &error));
  if (!gif) {
    const char* text = GifErrorString(error);
    Fail(std::string("open: ") + (text ? text : "unknown error"));
  }
  int transparent = NO_TRANSPARENT_COLOR;
  // Every record consumes input, so this loop ends with the data.
  for (;;) {
    GifRecordType type = UNDEFINED_RECORD_TYPE;
    if (DGifGetRecordType(gif.get(), &type) == GIF_ERROR) FailGif(gif.get(), "record");
    switch (type) {
      case EXTENSION_RECORD_TYPE:
        ReadExtension(gif.get(), transparent);
        break;
      case IMAGE_DESC_RECORD_TYPE:
        if (DGifGetImageDesc(gif.get()) == GIF_ERROR) FailGif(gif.get(), "image descriptor");
        ComposeFrame(gif.get(), transparent, out);
        return;
      case TERMINATE_RECORD_TYPE:
        Fail("no picture in the file");
      default:
        Fail("unexpected record");
    }
  }
}

void ReadGifFile(const std::string& path, Bitmap& out) {
  const std::vector<uint8_t> bytes = ReadWholeFileOrThrow<GifReadError>(path);
  DecodeGif(bytes.data(), bytes.size(), out);
}

}  // namespace quorvane
