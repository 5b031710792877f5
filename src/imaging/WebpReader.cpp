// WebP files through libwebp: still pictures (scaled by the decoder for thumbnails) and
// the first frame of an animation.
#include <webp/decode.h>
#include <webp/demux.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "imaging/ImgResize.h"
#include "imaging/PictureDecoders.h"
#include "platform/FileIO.h"

namespace quorvane {

namespace {

struct DemuxDelete {
  void operator()(WebPDemuxer* d) const { WebPDemuxDelete(d); }
};
struct AnimDelete {
  void operator()(WebPAnimDecoder* d) const { WebPAnimDecoderDelete(d); }
};

// Files beyond this are no WebP picture the program could hold anyway.
constexpr size_t kMaxWebpBytes = size_t(1) << 30;

// A chunk's bytes ("ICCP", "EXIF"); empty when the file has none.
std::vector<uint8_t> Chunk(const WebPDemuxer* demux, uint32_t flag, const char* fourcc) {
  if (!(WebPDemuxGetI(demux, WEBP_FF_FORMAT_FLAGS) & flag)) return {};
  WebPChunkIterator chunk;
  if (!WebPDemuxGetChunk(demux, fourcc, 1, &chunk)) return {};
  std::vector<uint8_t> bytes(chunk.chunk.bytes, chunk.chunk.bytes + chunk.chunk.size);
  WebPDemuxReleaseChunkIterator(&chunk);
  return bytes;
}

std::vector<uint8_t> ColourProfile(const WebPDemuxer* demux) {
  return Chunk(demux, ICCP_FLAG, "ICCP");
}

bool ReadFile(const std::string& path, std::vector<uint8_t>& bytes) {
  std::string error;
  return ReadWholeFile(path, bytes, error) && !bytes.empty() && bytes.size() <= kMaxWebpBytes;
}

// The first frame of an animation on its canvas.
bool DecodeFirstFrame(const WebPData& data, const std::vector<uint8_t>& icc, bool toSrgb,
                      const CodecPixelTarget& target) {
  WebPAnimDecoderOptions options;
  if (!WebPAnimDecoderOptionsInit(&options)) return false;
  options.color_mode = MODE_RGBA;
  options.use_threads = 0;
  std::unique_ptr<WebPAnimDecoder, AnimDelete> decoder(WebPAnimDecoderNew(&data, &options));
  WebPAnimInfo info;
  if (!decoder || !WebPAnimDecoderGetInfo(decoder.get(), &info)) return false;
  uint8_t* canvas = nullptr;
  int timestamp = 0;
  if (!WebPAnimDecoderGetNext(decoder.get(), &canvas, &timestamp) || !canvas) return false;
  return DeliverRgb(canvas, int(info.canvas_width), int(info.canvas_height),
                    size_t(info.canvas_width) * 4, 4, icc, toSrgb, target);
}

}  // namespace

bool ReadWebpMetadata(const std::string& path, std::vector<uint8_t>& exif,
                      std::vector<uint8_t>& icc) {
  std::vector<uint8_t> bytes;
  if (!ReadFile(path, bytes)) return false;
  const WebPData data{bytes.data(), bytes.size()};
  std::unique_ptr<WebPDemuxer, DemuxDelete> demux(WebPDemux(&data));
  if (!demux) return false;
  exif = Chunk(demux.get(), EXIF_FLAG, "EXIF");
  // Some writers keep the "Exif\0\0" of a JPEG segment in front of the TIFF header.
  if (exif.size() >= 6 && std::equal(exif.begin(), exif.begin() + 6, "Exif\0\0"))
    exif.erase(exif.begin(), exif.begin() + 6);
  icc = ColourProfile(demux.get());
  return true;
}

bool DecodeWebp(const std::string& path, const CodecLoadRequest& request,
                const CodecPixelTarget& target, CodecLoadResult& result) {
  std::vector<uint8_t> bytes;
  if (!ReadFile(path, bytes)) return false;
  const WebPData data{bytes.data(), bytes.size()};
  std::unique_ptr<WebPDemuxer, DemuxDelete> demux(WebPDemux(&data));
  if (!demux) return false;
  const std::vector<uint8_t> icc = ColourProfile(demux.get());
  const bool toSrgb = request.flags & kCodecLoadForDisplay;
  result.fullWidth = int(WebPDemuxGetI(demux.get(), WEBP_FF_CANVAS_WIDTH));
  result.fullHeight = int(WebPDemuxGetI(demux.get(), WEBP_FF_CANVAS_HEIGHT));
  if (WebPDemuxGetI(demux.get(), WEBP_FF_FORMAT_FLAGS) & ANIMATION_FLAG)
    return DecodeFirstFrame(data, icc, toSrgb, target);

  WebPDecoderConfig config;
  if (!WebPInitDecoderConfig(&config) ||
      WebPGetFeatures(bytes.data(), bytes.size(), &config.input) != VP8_STATUS_OK)
    return false;
  const int width = config.input.width, height = config.input.height;
  if (!Bitmap::SizeAllowed(width, height) || width <= 0 || height <= 0) return false;
  int outW = width, outH = height;
  if (request.flags & kCodecLoadThumbnail) {
    // The decoder's own scaling, to the size the picture gets in the box.
    const FittedSize fitted =
        FitSize(FitKind(request.fitMode), width, height, request.boxWidth, request.boxHeight);
    if (fitted.Width > 0 && fitted.Height > 0 && fitted.Width < width && fitted.Height < height) {
      config.options.use_scaling = 1;
      config.options.scaled_width = outW = fitted.Width;
      config.options.scaled_height = outH = fitted.Height;
    }
  }
  const bool alpha = config.input.has_alpha != 0;
  config.output.colorspace = alpha ? MODE_RGBA : MODE_RGB;
  if (WebPDecode(bytes.data(), bytes.size(), &config) != VP8_STATUS_OK) return false;
  const WebPRGBABuffer& rgba = config.output.u.RGBA;
  const bool ok = DeliverRgb(rgba.rgba, outW, outH, size_t(rgba.stride), alpha ? 4 : 3, icc,
                             toSrgb, target);
  WebPFreeDecBuffer(&config.output);
  return ok;
}

}  // namespace quorvane
