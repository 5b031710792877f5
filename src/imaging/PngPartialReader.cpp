// The readable part of a PNG file that ends early, through libpng (in the codec helper),
// as other viewers show an interrupted download: the rows read, the rest grey. An
// interlaced (Adam7) file shows what its passes so far tell: each pixel read stands for
// the block of pixels the later passes would have filled.
#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "imaging/AlphaBlend.h"
#include "imaging/PictureDecoders.h"
#include "platform/FileIO.h"

namespace quorvane {

namespace {

struct FileClose {
  void operator()(FILE* f) const { std::fclose(f); }
};

constexpr uint8_t kMissingGrey = 128;

}  // namespace

bool DecodePartialPng(const std::string& path, const CodecPixelTarget& target) {
  UniqueFd fd = UniqueFd::OpenRead(path);
  std::unique_ptr<FILE, FileClose> file(fd.Ok() ? ::fdopen(fd.Get(), "rb") : nullptr);
  if (!file) return false;
  fd.Release();
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (!png) return false;
  png_infop info = png_create_info_struct(png);
  // Everything that must survive the jump back lives here, not in locals set after it:
  // the picture as B, G, R, A rows, grey until read.
  struct State {
    std::vector<uint8_t> image;
    png_uint_32 width = 0, height = 0, rowsRead = 0;
  };
  auto state = std::make_unique<State>();
  State& st = *state;
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    if (st.image.empty() || st.rowsRead == 0) return false;
  } else {
    if (!info) png_error(png, "no memory");
    png_init_io(png, file.get());
    // Compressed data is read in small pieces, so that little is lost before the break.
    png_set_compression_buffer_size(png, 512);
    png_read_info(png, info);
    st.width = png_get_image_width(png, info);
    st.height = png_get_image_height(png, info);
    if (!Bitmap::SizeAllowed(st.width, st.height)) png_error(png, "too large");
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    png_set_bgr(png);
    png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
    const int passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);
    const size_t rowBytes = size_t(st.width) * 4;
    st.image.assign(rowBytes * st.height, kMissingGrey);
    for (size_t at = 3; at < st.image.size(); at += 4) st.image[at] = 0xFF;
    for (int pass = 0; pass < passes; ++pass) {
      for (png_uint_32 y = 0; y < st.height; ++y, ++st.rowsRead) {
        uint8_t* row = &st.image[y * rowBytes];
        // Interlaced rows go to the display row, each pixel filling its block (libpng's
        // "rectangle" mode); rows a pass has none of repeat the row above.
        png_read_row(png, passes == 1 ? row : nullptr, passes == 1 ? nullptr : row);
      }
    }
    png_destroy_read_struct(&png, &info, nullptr);
  }
  uint8_t* rows = target(int(st.width), int(st.height));
  if (!rows) return false;
  const size_t stride = Bitmap::StrideFor(int(st.width));
  for (png_uint_32 y = 0; y < st.height; ++y) {
    uint8_t* out = rows + y * stride;
    BgraRowOverWhite(&st.image[y * size_t(st.width) * 4], out, st.width);
    std::memset(out + size_t(st.width) * 3, 0, stride - size_t(st.width) * 3);
  }
  return true;
}

}  // namespace quorvane
