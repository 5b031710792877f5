#include "imaging/TiffReader.h"

#include <tiffio.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <exception>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <vector>

#include "imaging/ImgResize.h"
#include "imaging/PixelSink.h"
#include "platform/FileIO.h"

namespace quorvane {

namespace {

struct TiffCloser {
  void operator()(TIFF* tif) const { TIFFClose(tif); }
};
using TiffHandle = std::unique_ptr<TIFF, TiffCloser>;

// How the samples of one pixel make a colour.
enum class Model { Grey, Palette, Rgb, Cmyk };

// What the first directory says about its pixels, when the direct path reads them.
struct Layout {
  uint32_t width = 0, height = 0;
  int bits = 8;
  int samples = 1;  // per pixel, extra samples included
  bool separate = false;
  bool floating = false;  // 32-bit IEEE floating-point samples, 0..1
  Model model = Model::Grey;
  bool whiteIsZero = false;
  int alpha = -1;  // index of the alpha sample, or -1
  bool premultiplied = false;
  const uint16_t* colormap[3] = {};
  int colours() const { return model == Model::Rgb ? 3 : model == Model::Cmyk ? 4 : 1; }
  // Bits of a sample as Band::Row gives it.
  int rowBits() const { return floating ? 8 : bits; }
};

// Fills `layout` for the pictures the direct path reads; false for the others.
bool DirectLayout(TIFF* tif, Layout& l) {
  uint16_t bits = 1, samples = 1, planar = PLANARCONFIG_CONTIG, format = SAMPLEFORMAT_UINT;
  uint16_t photometric = 0, compression = COMPRESSION_NONE, inkset = INKSET_CMYK;
  TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bits);
  TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &samples);
  TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &planar);
  TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLEFORMAT, &format);
  TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &compression);
  TIFFGetFieldDefaulted(tif, TIFFTAG_INKSET, &inkset);
  if (!TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric))
    photometric = samples >= 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK;
  l.floating = format == SAMPLEFORMAT_IEEEFP && bits == 32;
  if (format != SAMPLEFORMAT_UINT && !l.floating) return false;
  l.bits = bits;
  l.samples = samples;
  l.separate = planar == PLANARCONFIG_SEPARATE && samples > 1;
  switch (photometric) {
    case PHOTOMETRIC_MINISWHITE:
    case PHOTOMETRIC_MINISBLACK:
      l.model = Model::Grey;
      l.whiteIsZero = photometric == PHOTOMETRIC_MINISWHITE;
      break;
    case PHOTOMETRIC_PALETTE:
      l.model = Model::Palette;
      if (!TIFFGetField(tif, TIFFTAG_COLORMAP, &l.colormap[0], &l.colormap[1], &l.colormap[2]))
        return false;
      break;
    case PHOTOMETRIC_YCBCR:
      // JPEG-compressed YCbCr comes out of the JPEG library as RGB.
      if (compression != COMPRESSION_JPEG || l.bits != 8 || l.separate) return false;
      if (!TIFFSetField(tif, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB)) return false;
      l.model = Model::Rgb;
      break;
    case PHOTOMETRIC_RGB:
      l.model = Model::Rgb;
      break;
    case PHOTOMETRIC_SEPARATED:
      if (inkset != INKSET_CMYK) return false;
      l.model = Model::Cmyk;
      break;
    default:
      return false;
  }
  const int colours = l.colours();
  if (samples < colours) return false;
  // Floating-point samples: grey or RGB.
  if (l.floating && l.model != Model::Grey && l.model != Model::Rgb) return false;
  // 8 or 16 bits; or packed samples of 1, 2 or 4 bits, one a pixel (grey or palette), in
  // strips.
  const bool packed = bits == 1 || bits == 2 || bits == 4;
  if (bits != 8 && bits != 16 && !l.floating && !(packed && samples == 1 && !TIFFIsTiled(tif)))
    return false;
  uint16_t extraCount = 0;
  uint16_t* extra = nullptr;
  if (samples > colours && TIFFGetField(tif, TIFFTAG_EXTRASAMPLES, &extraCount, &extra) &&
      extraCount > 0 &&
      (extra[0] == EXTRASAMPLE_ASSOCALPHA || extra[0] == EXTRASAMPLE_UNASSALPHA)) {
    l.alpha = colours;
    l.premultiplied = extra[0] == EXTRASAMPLE_ASSOCALPHA;
  }
  return true;
}

// One band of rows (a strip, or a row of tiles) as decoded: one buffer for contiguous
// samples, one a sample for separate planes.
class Band {
 public:
  Band(TIFF* tif, const Layout& l) : tif_(tif), l_(l) {
    tiled_ = TIFFIsTiled(tif);
    const int planes = l.separate ? l.samples : 1;
    const tmsize_t chunk = tiled_ ? TIFFTileSize(tif) : TIFFStripSize(tif);
    if (chunk <= 0) throw std::runtime_error("TIFF chunk size");
    if (tiled_) {
      TIFFGetField(tif, TIFFTAG_TILEWIDTH, &tileWidth_);
      TIFFGetField(tif, TIFFTAG_TILELENGTH, &rows_);
      tileRowBytes_ = size_t(TIFFTileRowSize(tif));
      if (!tileWidth_ || !rows_ || !tileRowBytes_) throw std::runtime_error("TIFF tiles");
      tilesAcross_ = (l.width + tileWidth_ - 1) / tileWidth_;
      stride_ = tileRowBytes_ * tilesAcross_;
      tile_.resize(size_t(chunk));
    } else {
      TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &rows_);
      rows_ = std::clamp<uint32_t>(rows_, 1, l.height);
      stride_ = size_t(TIFFScanlineSize(tif));
      if (!stride_) throw std::runtime_error("TIFF scanline size");
    }
    const size_t bytes = std::max(size_t(chunk), stride_ * rows_);
    planes_.assign(size_t(planes), std::vector<uint8_t>(bytes));
  }

  uint32_t Rows() const { return rows_; }

  // Decodes the band that starts at row `top`; false on a decoding error.
  bool Load(uint32_t top) {
    for (size_t p = 0; p < planes_.size(); ++p) {
      if (!tiled_) {
        const uint32_t strip = TIFFComputeStrip(tif_, top, uint16_t(p));
        if (TIFFReadEncodedStrip(tif_, strip, planes_[p].data(), tmsize_t(-1)) < 0) return false;
        continue;
      }
      for (uint32_t t = 0; t < tilesAcross_; ++t) {
        const uint32_t tile = TIFFComputeTile(tif_, t * tileWidth_, top, 0, uint16_t(p));
        if (TIFFReadEncodedTile(tif_, tile, tile_.data(), tmsize_t(-1)) < 0) return false;
        for (uint32_t r = 0; r < rows_; ++r)
          std::memcpy(planes_[p].data() + r * stride_ + t * tileRowBytes_,
                      tile_.data() + r * tileRowBytes_, tileRowBytes_);
      }
    }
    return true;
  }

  // Band row r as width x samples values, as stored (0 .. 2^bits - 1); floating-point
  // samples clamped to 0..1 and scaled to 0..255, rounded (not a number is 0).
  void Row(uint32_t r, std::vector<uint16_t>& out) const {
    const size_t samples = size_t(l_.samples);
    const size_t count = l_.separate ? l_.width : size_t(l_.width) * samples;  // a plane's
    const size_t step = l_.separate ? samples : 1;
    for (size_t p = 0; p < planes_.size(); ++p) {
      const uint8_t* row = planes_[p].data() + r * stride_;
      uint16_t* to = out.data() + p;
      switch (l_.bits) {
        case 8:
          for (size_t i = 0; i < count; ++i) to[i * step] = row[i];
          break;
        case 16:  // libtiff gives native byte order
          for (size_t i = 0; i < count; ++i) std::memcpy(to + i * step, row + 2 * i, 2);
          break;
        case 32:  // floating point, native byte order
          for (size_t i = 0; i < count; ++i) {
            float f;
            std::memcpy(&f, row + 4 * i, 4);
            const float clamped = f > 0 ? std::min(f, 1.0f) : 0.0f;  // NaN fails f > 0
            to[i * step] = uint16_t(std::lround(clamped * 255.0f));
          }
          break;
        default:  // 1, 2 or 4 bits, one sample a pixel, first pixel in the high bits
          for (size_t i = 0, bit = 0; i < count; ++i, bit += size_t(l_.bits))
            to[i] = uint16_t((row[bit / 8] >> (8 - l_.bits - int(bit % 8))) & ((1 << l_.bits) - 1));
      }
    }
  }

 private:
  TIFF* tif_;
  const Layout& l_;
  bool tiled_ = false;
  uint32_t rows_ = 0, tileWidth_ = 0, tilesAcross_ = 0;
  size_t stride_ = 0, tileRowBytes_ = 0;
  std::vector<std::vector<uint8_t>> planes_;
  std::vector<uint8_t> tile_;
};

// A sample of `bits` bits as a byte: the high byte of 16, fewer than 8 scaled.
uint8_t ToByte(uint32_t v, int bits) {
  return bits == 8 ? uint8_t(v) : bits == 16 ? uint8_t(v >> 8) : ScaleSample(v, (1u << bits) - 1);
}

bool ReadDirect(TIFF* tif, const Layout& l, PixelSink& sink) {
  if (!sink.Start(int(l.width), int(l.height), l.alpha >= 0, l.premultiplied)) return false;
  Band band(tif, l);
  std::vector<uint8_t> toByte(size_t(1) << l.rowBits());
  for (size_t v = 0; v < toByte.size(); ++v) toByte[v] = ToByte(uint32_t(v), l.rowBits());
  const size_t n = l.width, step = size_t(l.samples);
  std::vector<uint16_t> samples(n * step);
  const uint8_t invert = l.whiteIsZero ? 255 : 0;
  for (uint32_t top = 0; top < l.height; top += band.Rows()) {
    if (!band.Load(top)) return false;
    for (uint32_t r = 0; r < band.Rows() && top + r < l.height; ++r) {
      band.Row(r, samples);
      const uint16_t* s = samples.data();
      uint8_t* out = sink.Row(int(top + r));
      switch (l.model) {
        case Model::Grey:
          for (size_t x = 0; x < n; ++x)
            out[3 * x] = out[3 * x + 1] = out[3 * x + 2] = toByte[s[x * step]] ^ invert;
          break;
        case Model::Palette:
          for (size_t x = 0; x < n; ++x)
            for (int c = 0; c < 3; ++c)
              out[3 * x + 2 - c] = uint8_t(l.colormap[c][s[x * step]] >> 8);
          break;
        case Model::Rgb:
          for (size_t x = 0; x < n; ++x)
            for (int c = 0; c < 3; ++c) out[3 * x + 2 - c] = toByte[s[x * step + size_t(c)]];
          break;
        case Model::Cmyk:
          for (size_t x = 0; x < n; ++x) {
            const unsigned k = 255u - toByte[s[x * step + 3]];
            for (int c = 0; c < 3; ++c)
              out[3 * x + 2 - c] =
                  uint8_t(((255u - toByte[s[x * step + size_t(c)]]) * k + 127) / 255);
          }
          break;
      }
      if (l.alpha >= 0) {
        uint8_t* alpha = sink.AlphaRow(int(top + r));
        for (size_t x = 0; x < n; ++x) alpha[x] = toByte[s[x * step + size_t(l.alpha)]];
      }
    }
  }
  sink.Finish();
  return true;
}

// Everything else through libtiff's RGBA interface, asked for the stored row order.
bool ReadThroughRgba(TIFF* tif, PixelSink& sink) {
  char message[1024] = {};
  if (!TIFFRGBAImageOK(tif, message)) return false;
  TIFFRGBAImage image{};
  if (!TIFFRGBAImageBegin(&image, tif, 0, message)) return false;
  std::unique_ptr<TIFFRGBAImage, void (*)(TIFFRGBAImage*)> end(&image, TIFFRGBAImageEnd);
  // The same orientation asked as the file's: the rows come as stored, the first on top.
  image.req_orientation = image.orientation;
  const uint32_t width = image.width, height = image.height;
  if (!Bitmap::SizeAllowed(width, height)) return false;
  std::vector<uint32_t> raster(size_t(width) * size_t(height));
  if (!TIFFRGBAImageGet(&image, raster.data(), width, height)) return false;
  if (!sink.Start(int(width), int(height), image.alpha != 0, true)) return false;
  for (uint32_t y = 0; y < height; ++y) {
    uint8_t* out = sink.Row(int(y));
    for (uint32_t x = 0; x < width; ++x, out += 3) {
      const uint32_t p = raster[size_t(y) * width + x];
      out[0] = uint8_t(TIFFGetB(p));
      out[1] = uint8_t(TIFFGetG(p));
      out[2] = uint8_t(TIFFGetR(p));
      if (image.alpha) sink.AlphaRow(int(y))[x] = uint8_t(TIFFGetA(p));
    }
  }
  sink.Finish();
  return true;
}

// Opens a regular file for reading; null otherwise. libtiff reports damage through its
// handlers; the answer is the failed read.
TiffHandle OpenTiff(const std::string& path) {
  static std::once_flag quiet;
  std::call_once(quiet, [] {
    TIFFSetErrorHandler(nullptr);
    TIFFSetWarningHandler(nullptr);
  });
  // A pipe or device named like a picture is never opened. Read through a descriptor
  // (in the helper, the one handed to it); libtiff closes it with the handle.
  UniqueFd fd = UniqueFd::OpenRead(path);
  if (!fd.Ok()) return nullptr;
  TIFF* tif = TIFFFdOpen(fd.Get(), path.c_str(), "r");
  if (tif) fd.Release();
  return TiffHandle(tif);
}

bool PageSize(TIFF* tif, uint32_t& width, uint32_t& height) {
  width = height = 0;
  TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width);
  TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height);
  return Bitmap::SizeAllowed(width, height);
}

// Reads the current page.
bool ReadPage(TIFF* tif, const CodecPixelTarget& target, int* orientation) {
  Layout layout;
  if (!PageSize(tif, layout.width, layout.height)) return false;
  uint16_t tag = ORIENTATION_TOPLEFT;
  TIFFGetFieldDefaulted(tif, TIFFTAG_ORIENTATION, &tag);
  if (orientation) *orientation = tag >= 1 && tag <= 8 ? tag : 1;
  PixelSink sink(target);
  return DirectLayout(tif, layout) ? ReadDirect(tif, layout, sink) : ReadThroughRgba(tif, sink);
}

// A page that stands for the first at a reduced size and serves the box: its size (a
// smaller one than `best` holds), else 0.
uint64_t ServingReducedPage(TIFF* tif, const CodecLoadRequest& request, uint32_t fullW,
                            uint32_t fullH, uint64_t best) {
  uint32_t kind = 0, w = 0, h = 0;
  if (!TIFFGetField(tif, TIFFTAG_SUBFILETYPE, &kind) || !(kind & FILETYPE_REDUCEDIMAGE) ||
      !PageSize(tif, w, h))
    return 0;
  if (!EmbeddedThumbnailServes(FitKind(request.fitMode), int(fullW), int(fullH), int(w),
                               int(h), request.boxWidth, request.boxHeight))
    return 0;
  const uint64_t area = uint64_t(w) * h;
  return best == 0 || area < best ? area : 0;
}

}  // namespace

bool ReadTiffFile(const std::string& path, const CodecPixelTarget& target, int* orientation) {
  try {
    const TiffHandle tif = OpenTiff(path);
    return tif && ReadPage(tif.get(), target, orientation);
  } catch (const std::exception&) {
    return false;
  }
}

bool ReadTiffReducedPage(const std::string& path, const CodecLoadRequest& request,
                         const CodecPixelTarget& target, CodecLoadResult& result) {
  try {
    const TiffHandle tif = OpenTiff(path);
    uint32_t fullW = 0, fullH = 0;
    if (!tif || !PageSize(tif.get(), fullW, fullH)) return false;
    // The first page's sub-pages, then the later pages; a few dozen at most are looked at.
    constexpr int kPagesLooked = 64;
    uint64_t best = 0;
    toff_t bestSub = 0;
    tdir_t bestPage = 0;
    uint16_t subCount = 0;
    toff_t* subs = nullptr;
    std::vector<toff_t> subPages;
    if (TIFFGetField(tif.get(), TIFFTAG_SUBIFD, &subCount, &subs) && subs)
      subPages.assign(subs, subs + std::min<int>(subCount, kPagesLooked));
    for (toff_t sub : subPages) {
      if (!TIFFSetSubDirectory(tif.get(), sub)) break;
      if (const uint64_t area = ServingReducedPage(tif.get(), request, fullW, fullH, best))
        best = area, bestSub = sub;
    }
    for (tdir_t page = 1; page < kPagesLooked && TIFFSetDirectory(tif.get(), page); ++page)
      if (const uint64_t area = ServingReducedPage(tif.get(), request, fullW, fullH, best))
        best = area, bestSub = 0, bestPage = page;
    if (!best || !(bestSub ? TIFFSetSubDirectory(tif.get(), bestSub)
                           : TIFFSetDirectory(tif.get(), bestPage)) ||
        !ReadPage(tif.get(), target, nullptr))
      return false;
    result.fullWidth = int(fullW);
    result.fullHeight = int(fullH);
    result.fromEmbedded = 1;
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace quorvane
