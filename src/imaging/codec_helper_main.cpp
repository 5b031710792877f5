// quorvane-codec: the process in which the codec library reads and writes files. The
// program starts it (CodecClient) and talks to it over a socket; a damaged file that
// crashes the library or makes it loop ends this process, not the program.
#include <libheif/heif.h>

#include <new>
#include <string>
#include <string_view>

#include "imaging/CodecHelper.h"
#include "imaging/ImageFormats.h"
#include "imaging/OpenIL.h"
#include "imaging/PictureDecoders.h"
#include "imaging/TiffReader.h"
#include "platform/MemoryReuse.h"

namespace {

class InProcessCodec : public quorvane::CodecService {
 public:
  bool Init() override { return quorvane::local::CodecInit(); }
  bool Load(const std::string& path, const quorvane::CodecPixelTarget& target) override {
    quorvane::CodecLoadResult result;
    return LoadPicture(path, {}, target, result);
  }
  // The file's contents pick the decoder; the codec library takes what no other does.
  bool LoadPicture(const std::string& path, const quorvane::CodecLoadRequest& request,
                   const quorvane::CodecPixelTarget& target,
                   quorvane::CodecLoadResult& result) override {
    using enum quorvane::PictureFormat;
    const quorvane::PictureFormat format = quorvane::FormatOfFile(path);
    switch (format) {
      case Heif:
      case Avif:
        return quorvane::DecodeHeif(path, request, target, result);
      case WebP:
        return quorvane::DecodeWebp(path, request, target, result);
      case JpegXl:
        return quorvane::DecodeJxl(path, request, target, result);
      case Raw:
        return quorvane::DecodeRaw(path, request, target, result);
      case Tiff:
        // A pyramid TIFF offers a reduced page; others are read whole.
        if ((request.flags & quorvane::kCodecLoadThumbnail) &&
            quorvane::ReadTiffReducedPage(path, request, target, result))
          return true;
        break;
      default:
        break;
    }
    return Whole(path, format == Png, request, target, result);
  }
  // Formats that have nothing smaller to offer than the whole picture: decoded whole, and
  // for a thumbnail shrunk here, before it crosses to the program.
  static bool Whole(const std::string& path, bool png, const quorvane::CodecLoadRequest& request,
                    const quorvane::CodecPixelTarget& target, quorvane::CodecLoadResult& result) {
    if (!(request.flags & quorvane::kCodecLoadThumbnail)) return Decode(path, png, request, target);
    quorvane::Bitmap whole;
    const auto into = [&whole](int width, int height) -> uint8_t* {
      if (!quorvane::Bitmap::SizeAllowed(width, height)) return nullptr;
      whole.SetSize(width, height);
      return whole.Bits();
    };
    try {
      if (!Decode(path, png, request, into)) return false;
    } catch (const std::bad_alloc&) {
      return false;
    }
    result.fullWidth = whole.Width();
    result.fullHeight = whole.Height();
    return quorvane::DeliverShrunk(
        whole, quorvane::ThumbnailShrink(request, whole.Width(), whole.Height()), target);
  }
  static bool Decode(const std::string& path, bool png, const quorvane::CodecLoadRequest& request,
                     const quorvane::CodecPixelTarget& target) {
    if (quorvane::local::CodecLoadInto(path, target)) return true;
    // The codec library refuses a PNG file that ends early; the screen may show its
    // readable part.
    return png && (request.flags & quorvane::kCodecLoadPartial) &&
           quorvane::DecodePartialPng(path, target);
  }
  bool Save(const std::string& path, const quorvane::Bitmap& bitmap,
            const quorvane::CodecSaveRequest& request) override {
    return quorvane::local::CodecSave(path, bitmap, request);
  }
};

}  // namespace

int main(int argc, char** argv) {
  // A helper lives for many pictures; it keeps less than a batch does.
  quorvane::KeepFreedMemoryForReuse(64 << 20);
  std::string core, toolkit;
  for (int i = 1; i < argc; ++i) {
    std::string_view a = argv[i];
    if (a.starts_with("--codec-core=")) core = a.substr(13);
    if (a.starts_with("--codec-toolkit=")) toolkit = a.substr(16);
  }
  quorvane::local::SetCodecLibraryNames(core, toolkit);
  InProcessCodec codec;
  // Bound and initialised at start, so that a helper started after a crash is ready
  // for the next file without the caller repeating the start-up steps.
  auto bind = [](std::string& failure) {
    // Every plug-in is loaded now: the sandbox that follows lets nothing be opened.
    heif_init(nullptr);
    if (!quorvane::local::BindCodecLibrary()) {
      failure = quorvane::local::CodecBindFailure();
      return false;
    }
    quorvane::local::CodecInit();
    return true;
  };
  return quorvane::RunCodecHelper(argc, argv, bind, codec, true);
}
