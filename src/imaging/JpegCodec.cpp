#include "imaging/JpegCodec.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

// clang-format off
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

#include "imaging/PictureDecoders.h"
#include "platform/FileIO.h"

namespace quorvane {

namespace {

// libjpeg reports fatal errors through error_exit, which must not return: it jumps
// back to the setjmp of the call in progress. Everything the jump must keep lives in
// this structure, not in locals of the function that called setjmp.
struct ErrorContext {
  jpeg_error_mgr mgr;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
  bool keepPartial = false;  // a premature end gives the rows read so far, the rest grey
};

void ErrorExit(j_common_ptr cinfo) {
  auto* ctx = reinterpret_cast<ErrorContext*>(cinfo->err);
  cinfo->err->format_message(cinfo, ctx->message);
  std::longjmp(ctx->jump, 1);
}

// A premature end of data is only a warning to libjpeg (it pads with grey); a
// truncated file is a failed read here. Other warnings are tolerated.
void EmitMessage(j_common_ptr cinfo, int level) {
  auto* ctx = reinterpret_cast<ErrorContext*>(cinfo->err);
  if (level < 0 && cinfo->err->msg_code == JWRN_JPEG_EOF && !ctx->keepPartial) ErrorExit(cinfo);
}

void InitErrors(ErrorContext& ctx) {
  jpeg_std_error(&ctx.mgr);
  ctx.mgr.error_exit = ErrorExit;
  ctx.mgr.emit_message = EmitMessage;
  ctx.message[0] = 0;
}

struct DecodeState {
  jpeg_decompress_struct cinfo;
  ErrorContext err;
  Bitmap picture;
  std::vector<uint8_t> cmykRow;
  std::vector<uint8_t> icc;
  const char* failure = nullptr;  // a failure of our own (size limits, memory)
};

void ConvertCmykRow(const uint8_t* cmyk, uint8_t* bgr, int width, bool inverted) {
  for (int x = 0; x < width; ++x) {
    int c = cmyk[x * 4], m = cmyk[x * 4 + 1], y = cmyk[x * 4 + 2], k = cmyk[x * 4 + 3];
    if (!inverted) {
      c = 255 - c;
      m = 255 - m;
      y = 255 - y;
      k = 255 - k;
    }
    bgr[x * 3] = uint8_t(y * k / 255);
    bgr[x * 3 + 1] = uint8_t(m * k / 255);
    bgr[x * 3 + 2] = uint8_t(c * k / 255);
  }
}

// Returns false with st.err.message or st.failure set when decoding failed.
bool RunDecode(DecodeState& st, const std::vector<uint8_t>& data, int scaleDenom,
               JpegPerformance performance, bool headerOnly, bool keepPartial = false) {
  jpeg_decompress_struct& cinfo = st.cinfo;
  cinfo.err = &st.err.mgr;
  InitErrors(st.err);
  st.err.keepPartial = keepPartial;
  if (setjmp(st.err.jump)) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  jpeg_create_decompress(&cinfo);
  if (data.empty()) ERREXIT(&cinfo, JERR_INPUT_EMPTY);
  jpeg_mem_src(&cinfo, data.data(), static_cast<unsigned long>(data.size()));
  if (headerOnly) jpeg_save_markers(&cinfo, JPEG_APP0 + 2, 0xFFFF);  // the colour profile
  jpeg_read_header(&cinfo, TRUE);
  if (!Bitmap::SizeAllowed(cinfo.image_width, cinfo.image_height)) {
    st.failure = "picture too large";
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  if (headerOnly) {
    JOCTET* icc = nullptr;
    unsigned int iccBytes = 0;
    if (jpeg_read_icc_profile(&cinfo, &icc, &iccBytes) && icc) {
      st.icc.assign(icc, icc + iccBytes);
      std::free(icc);
    }
    jpeg_destroy_decompress(&cinfo);
    return true;
  }
  const bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
  cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGR;
  cinfo.scale_num = 1;
  cinfo.scale_denom = unsigned(scaleDenom);
  if (performance == JpegPerformance::jpBestSpeed) {
    cinfo.dct_method = JDCT_IFAST;
    cinfo.do_fancy_upsampling = FALSE;
  } else {
    cinfo.dct_method = JDCT_ISLOW;
    cinfo.do_fancy_upsampling = TRUE;
  }
  jpeg_start_decompress(&cinfo);
  try {
    st.picture.SetSize(int(cinfo.output_width), int(cinfo.output_height));
    if (cmyk) st.cmykRow.resize(size_t(cinfo.output_width) * 4);
  } catch (const std::exception&) {
    st.failure = "not enough memory for the picture";
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  while (cinfo.output_scanline < cinfo.output_height) {
    const int y = int(cinfo.output_scanline);
    JSAMPROW row = cmyk ? st.cmykRow.data() : st.picture.ScanLine(y);
    if (jpeg_read_scanlines(&cinfo, &row, 1) != 1) ERREXIT(&cinfo, JERR_INPUT_EOF);
    if (cmyk)
      ConvertCmykRow(st.cmykRow.data(), st.picture.ScanLine(y), int(cinfo.output_width),
                     cinfo.saw_Adobe_marker);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return true;
}

[[noreturn]] void ThrowDecodeFailure(const DecodeState& st) {
  throw JpegError(std::string("JPEG: ") + (st.failure ? st.failure : st.err.message));
}

}  // namespace

JpegReader::JpegReader(std::vector<uint8_t> data) : data_(std::move(data)) {
  auto st = std::make_unique<DecodeState>();
  if (!RunDecode(*st, data_, 1, JpegPerformance::jpBestQuality, true)) ThrowDecodeFailure(*st);
  width_ = int(st->cinfo.image_width);
  height_ = int(st->cinfo.image_height);
  icc_ = std::move(st->icc);
}

void JpegReader::Decode(Bitmap& out, int scaleDenom, JpegPerformance performance,
                        bool keepPartial) const {
  if (scaleDenom != 1 && scaleDenom != 2 && scaleDenom != 4 && scaleDenom != 8)
    throw JpegError("JPEG: scale must be 1/1, 1/2, 1/4 or 1/8");
  auto st = std::make_unique<DecodeState>();
  if (!RunDecode(*st, data_, scaleDenom, performance, false, keepPartial))
    ThrowDecodeFailure(*st);
  out.Swap(st->picture);
}

JpegReader JpegReader::FromFile(const std::string& path) {
  return JpegReader(ReadWholeFileOrThrow<JpegError>(path));
}

void ReadJpegFile(const std::string& path, Bitmap& out, bool toSrgb) {
  JpegReader reader = JpegReader::FromFile(path);
  reader.Decode(out);
  if (toSrgb) ConvertToSrgb(out, reader.IccProfile());
}

namespace {

struct EncodeState {
  jpeg_compress_struct cinfo;
  ErrorContext err;
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
};

bool RunEncode(EncodeState& st, const Bitmap& bitmap, int quality, JpegPerformance performance) {
  jpeg_compress_struct& cinfo = st.cinfo;
  cinfo.err = &st.err.mgr;
  InitErrors(st.err);
  if (setjmp(st.err.jump)) {
    jpeg_destroy_compress(&cinfo);
    return false;
  }
  jpeg_create_compress(&cinfo);
  jpeg_mem_dest(&cinfo, &st.buffer, &st.size);
  cinfo.image_width = JDIMENSION(bitmap.Width());
  cinfo.image_height = JDIMENSION(bitmap.Height());
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_EXT_BGR;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, quality < 1 ? 1 : quality > 100 ? 100 : quality, TRUE);
  cinfo.dct_method = performance == JpegPerformance::jpBestSpeed ? JDCT_IFAST : JDCT_ISLOW;
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = const_cast<uint8_t*>(bitmap.ScanLine(int(cinfo.next_scanline)));
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  return true;
}

}  // namespace

std::vector<uint8_t> EncodeJpeg(const Bitmap& bitmap, int quality, JpegPerformance performance) {
  if (bitmap.Empty()) throw JpegError("JPEG: cannot encode an empty picture");
  auto st = std::make_unique<EncodeState>();
  const bool ok = RunEncode(*st, bitmap, quality, performance);
  std::vector<uint8_t> out;
  if (ok) out.assign(st->buffer, st->buffer + st->size);
  std::free(st->buffer);
  if (!ok) throw JpegError(std::string("JPEG: ") + st->err.message);
  return out;
}

int JpegDecodeScale(int w, int h, int Width, int Height) {
  for (int scale : {8, 4, 2})
    if (h / scale >= Height && w / scale >= Width) return scale;
  return 1;
}

}  // namespace quorvane
