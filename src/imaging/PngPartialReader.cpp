// The readable rows of a PNG file that ends early, through libpng (in the codec helper):
// rows after the break are grey, as other viewers show an interrupted download.
#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "imaging/AlphaBlend.h"
#include "imaging/PictureDecoders.h"

namespace quorvane {

namespace {

struct FileClose {
  void operator()(FILE* f) const { std::fclose(f); }
};

constexpr uint8_t kMissingGrey = 128;

}  // namespace

bool DecodePartialPng(const std::string& path, const CodecPixelTarget& target) {
  std::unique_ptr<FILE, FileClose> file(std::fopen(path.c_str(), "rbe"));
  if (!file) return false;
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (!png) return false;
  png_infop info = png_create_info_struct(png);
  // Everything that must survive the jump back lives here, not in locals set after it.
  struct State {
    std::vector<uint8_t> row;
    uint8_t* rows = nullptr;
    size_t stride = 0;
    png_uint_32 width = 0, height = 0, done = 0;
  };
  auto state = std::make_unique<State>();
  State& st = *state;
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    if (!st.rows || st.done == 0) return false;
    // The picture's rows after the break are grey.
    for (png_uint_32 y = st.done; y < st.height; ++y) {
      uint8_t* out = st.rows + y * st.stride;
      std::memset(out, kMissingGrey, size_t(st.width) * 3);
      std::memset(out + size_t(st.width) * 3, 0, st.stride - size_t(st.width) * 3);
    }
    return true;
  }
  if (!info) png_error(png, "no memory");
  png_init_io(png, file.get());
  // Compressed data is read in small pieces, so that little is lost before the break.
  png_set_compression_buffer_size(png, 512);
  png_read_info(png, info);
  st.width = png_get_image_width(png, info);
  st.height = png_get_image_height(png, info);
  // Interlaced rows arrive in passes: no readable top part to show.
  if (png_get_interlace_type(png, info) != PNG_INTERLACE_NONE ||
      !Bitmap::SizeAllowed(st.width, st.height))
    png_error(png, "not shown in part");
  png_set_expand(png);
  png_set_strip_16(png);
  png_set_gray_to_rgb(png);
  png_set_bgr(png);
  png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
  png_read_update_info(png, info);
  st.row.resize(size_t(st.width) * 4);
  st.rows = target(int(st.width), int(st.height));
  if (!st.rows) png_error(png, "no room");
  st.stride = Bitmap::StrideFor(int(st.width));
  for (; st.done < st.height; ++st.done) {
    png_read_row(png, st.row.data(), nullptr);
    uint8_t* out = st.rows + st.done * st.stride;
    BgraRowOverWhite(st.row.data(), out, st.width);
    std::memset(out + size_t(st.width) * 3, 0, st.stride - size_t(st.width) * 3);
  }
  png_destroy_read_struct(&png, &info, nullptr);
  return true;
}

}  // namespace quorvane
