// WebP files through libwebp: the picture encoded as one still image (lossy VP8 or
// lossless VP8L), then EXIF and ICCP chunks added around it by libwebpmux.

#include <webp/encode.h>
#include <webp/mux.h>

#include <algorithm>
#include <memory>

#include "processing/EncodedWriters.h"
#include "processing/OutputFile.h"

namespace quorvane {

namespace {

// libwebp's method 4: cwebp's default, the usual balance of speed and size.
constexpr int kWebpMethod = 4;

struct PictureFree {
  void operator()(WebPPicture* p) const { WebPPictureFree(p); }
};
struct MuxDelete {
  void operator()(WebPMux* m) const { WebPMuxDelete(m); }
};

}  // namespace

void WriteWebpFile(const std::string& path, const Bitmap& bmp, const EncodeOptions& options) {
  if (bmp.Empty()) throw ImageWriteError("cannot write an empty picture");
  if (bmp.Width() > WEBP_MAX_DIMENSION || bmp.Height() > WEBP_MAX_DIMENSION)
    throw ImageWriteError("a WebP picture is at most 16383 pixels on a side");
  WebPConfig config;
  if (!WebPConfigInit(&config)) throw ImageWriteError("libwebp does not match its headers");
  config.method = kWebpMethod;
  config.thread_level = options.threads > 1 ? 1 : 0;
  if (options.lossless) {
    config.lossless = 1;
    config.exact = 1;
    config.quality = 75;  // the effort of the lossless coder, as cwebp -lossless
  } else {
    config.quality = float(std::clamp(options.quality, 1, 100));
  }
  WebPPicture picture;
  if (!WebPPictureInit(&picture)) throw ImageWriteError("libwebp does not match its headers");
  std::unique_ptr<WebPPicture, PictureFree> owner(&picture);
  picture.use_argb = options.lossless ? 1 : 0;
  picture.width = bmp.Width();
  picture.height = bmp.Height();
  if (!WebPPictureImportBGR(&picture, bmp.Bits(), int(bmp.Stride()))) throw std::bad_alloc();

  WebPMemoryWriter writer;
  WebPMemoryWriterInit(&writer);
  std::unique_ptr<WebPMemoryWriter, void (*)(WebPMemoryWriter*)> written(&writer,
                                                                         WebPMemoryWriterClear);
  picture.writer = WebPMemoryWrite;
  picture.custom_ptr = &writer;
  if (!WebPEncode(&config, &picture)) {
    if (picture.error_code == VP8_ENC_ERROR_OUT_OF_MEMORY) throw std::bad_alloc();
    throw ImageWriteError("libwebp refused the picture");
  }

  const EmbeddedMetadata* meta = options.metadata;
  if (!meta || (meta->exif.empty() && meta->icc.empty())) {
    WriteWholeFile(path, writer.mem, writer.size);
    return;
  }
  const WebPData image = {writer.mem, writer.size};
  std::unique_ptr<WebPMux, MuxDelete> mux(WebPMuxCreate(&image, 0));
  if (!mux) throw std::bad_alloc();
  // The EXIF chunk holds the TIFF structure itself, without JPEG's "Exif\0\0".
  const std::pair<const char*, const std::vector<uint8_t>*> chunks[] = {{"EXIF", &meta->exif},
                                                                        {"ICCP", &meta->icc}};
  for (const auto& [fourcc, bytes] : chunks) {
    if (bytes->empty()) continue;
    const WebPData data = {bytes->data(), bytes->size()};
    if (WebPMuxSetChunk(mux.get(), fourcc, &data, 0) != WEBP_MUX_OK)
      throw ImageWriteError("cannot add the metadata to the WebP file");
  }
  WebPData assembled = {nullptr, 0};
  if (WebPMuxAssemble(mux.get(), &assembled) != WEBP_MUX_OK) throw std::bad_alloc();
  std::unique_ptr<WebPData, void (*)(WebPData*)> free(&assembled, WebPDataClear);
  WriteWholeFile(path, assembled.bytes, assembled.size);
}

}  // namespace quorvane
