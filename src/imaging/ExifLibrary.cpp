#include "imaging/ExifLibrary.h"

#include <fcntl.h>
#include <unistd.h>

#include <exception>
#include <initializer_list>
#include <string>
#include <exiv2/exiv2.hpp>
#include <mutex>
#include <vector>

#include "imaging/ImageFormats.h"
#include "imaging/PictureDecoders.h"
#include "platform/FileIO.h"
#include "platform/HandedFiles.h"

namespace quorvane::local {

namespace {

// Tags that describe how the source stored its pixels; they would be false of the
// written file, so they are not carried over (a TIFF output keeps its own). Tags that
// describe the picture itself (YCbCrPositioning: where its colour samples sit) stay.
constexpr const char* kStructureTags[] = {
    "Exif.Image.NewSubfileType",
    "Exif.Image.SubfileType",
    "Exif.Image.ImageWidth",
    "Exif.Image.ImageLength",
    "Exif.Image.BitsPerSample",
    "Exif.Image.Compression",
    "Exif.Image.PhotometricInterpretation",
    "Exif.Image.FillOrder",
    "Exif.Image.StripOffsets",
    "Exif.Image.SamplesPerPixel",
    "Exif.Image.RowsPerStrip",
    "Exif.Image.StripByteCounts",
    "Exif.Image.PlanarConfiguration",
    "Exif.Image.Predictor",
    "Exif.Image.TileWidth",
    "Exif.Image.TileLength",
    "Exif.Image.TileOffsets",
    "Exif.Image.TileByteCounts",
    "Exif.Image.SubIFDs",
    "Exif.Image.ExtraSamples",
    "Exif.Image.SampleFormat",
    "Exif.Image.JPEGTables",
    "Exif.Image.YCbCrSubSampling",
    "Exif.Image.InterColorProfile",
};

void EraseKey(Exiv2::ExifData& exif, const char* key) {
  auto it = exif.findKey(Exiv2::ExifKey(key));
  while (it != exif.end()) {
    exif.erase(it);
    it = exif.findKey(Exiv2::ExifKey(key));
  }
}

// Sets a size tag the source had to the output's size; adds none.
void UpdateSize(Exiv2::ExifData& exif, const char* key, long value) {
  auto it = exif.findKey(Exiv2::ExifKey(key));
  if (it != exif.end() && value > 0) it->setValue(std::to_string(value));
}

// A tag as the library prints it ("1/250 s", "F2.8"), "" when absent.
std::string Printed(const Exiv2::ExifData& exif, const char* key) {
  auto it = exif.findKey(Exiv2::ExifKey(key));
  if (it == exif.end()) return {};
  std::string text = it->print(&exif);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\0')) text.pop_back();
  return text;
}

// Parts joined by ", ", the empty ones left out.
std::string Joined(std::initializer_list<std::string> parts, const char* separator = ", ") {
  std::string out;
  for (const std::string& part : parts) {
    if (part.empty()) continue;
    if (!out.empty()) out += separator;
    out += part;
  }
  return out;
}

void ReadShotDetails(const Exiv2::ExifData& exif, ExifInfo& info) {
  std::string date = Printed(exif, "Exif.Photo.DateTimeOriginal");
  if (date.empty()) date = Printed(exif, "Exif.Image.DateTime");
  // "2024:05:01 10:22:33": the date with dashes.
  if (date.size() >= 10 && date[4] == ':' && date[7] == ':') date[4] = date[7] = '-';
  info.dateTaken = date;
  const std::string make = Printed(exif, "Exif.Image.Make");
  const std::string model = Printed(exif, "Exif.Image.Model");
  // Most models repeat the make ("Canon" "Canon EOS 5D").
  info.camera = model.rfind(make, 0) == 0 ? model : Joined({make, model}, " ");
  const std::string iso = Printed(exif, "Exif.Photo.ISOSpeedRatings");
  info.exposure = Joined({Printed(exif, "Exif.Photo.ExposureTime"),
                          Printed(exif, "Exif.Photo.FNumber"), iso.empty() ? iso : "ISO " + iso,
                          Printed(exif, "Exif.Photo.FocalLength")});
  info.lens = Printed(exif, "Exif.Photo.LensModel");
}

// Makes the source's EXIF fit a written picture of `width` x `height`: no embedded
// thumbnail (it would show the picture before the batch's operation), no storage tags,
// the Orientation 1 when the pixels are upright, the pixel sizes the written ones.
// Answers the Orientation it now has (1 when none).
int CleanExif(Exiv2::ExifData& exif, bool upright, long width, long height) {
  Exiv2::ExifThumb(exif).erase();
  for (const char* key : kStructureTags) EraseKey(exif, key);
  int kept = 1;
  auto orientation = exif.findKey(Exiv2::ExifKey("Exif.Image.Orientation"));
  if (orientation != exif.end()) {
    if (upright) orientation->setValue("1");
    const long value = orientation->count() >= 1 ? orientation->toLong(0) : 1;
    kept = value >= 1 && value <= 8 ? int(value) : 1;
  }
  UpdateSize(exif, "Exif.Photo.PixelXDimension", width);
  UpdateSize(exif, "Exif.Photo.PixelYDimension", height);
  return kept;
}

// The library's image of a file read into `bytes` (in a helper, through the descriptor
// handed to it: the library opens nothing by name), its metadata read; null for a
// format the library does not know. The image refers to `bytes`.
Exiv2::Image::AutoPtr OpenInMemory(const std::string& path, std::vector<uint8_t>& bytes) {
  std::string error;
  if (!ReadWholeFile(path, bytes, error)) throw Exiv2::Error(Exiv2::kerFileOpenFailed, path);
  if (bytes.empty() ||
      Exiv2::ImageFactory::getType(bytes.data(), long(bytes.size())) == Exiv2::ImageType::none)
    return Exiv2::Image::AutoPtr();
  Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(bytes.data(), long(bytes.size()));
  if (!image.get()) throw Exiv2::Error(Exiv2::kerFileOpenFailed, path);
  image->readMetadata();
  return image;
}

// Puts the bytes of an image rewritten in memory into the file `path` in place of its
// contents.
bool WriteBack(Exiv2::Image& image, const std::string& path) {
  const UniqueFd out = OpenHandedOrByName(path, O_RDWR);
  Exiv2::BasicIo& io = image.io();
  if (!out.Ok() || io.open() != 0) return false;
  io.seek(0, Exiv2::BasicIo::beg);
  const Exiv2::DataBuf bytes = io.read(long(io.size()));
  io.close();
  return bytes.size_ >= 0 && ::ftruncate(out.Get(), 0) == 0 &&
         WriteFullyAt(out.Get(), 0, bytes.pData_, size_t(bytes.size_));
}

}  // namespace

void InitExifLibrary() {
  static std::once_flag once;
  std::call_once(once, [] {
    Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
    Exiv2::XmpParser::initialize();
  });
}

bool ReadExifInfo(const std::string& path, ExifInfo& info) {
  info = ExifInfo();
  InitExifLibrary();
  try {
    std::vector<uint8_t> bytes;
    Exiv2::Image::AutoPtr image = OpenInMemory(path, bytes);
    if (!image.get()) return false;
    const int width = image->pixelWidth(), height = image->pixelHeight();
    if (width > 0 && height > 0) {
      info.pixelWidth = width;
      info.pixelHeight = height;
    }
    Exiv2::ExifData& exif = image->exifData();
    auto it = exif.findKey(Exiv2::ExifKey("Exif.Image.Orientation"));
    if (it != exif.end() && it->count() >= 1) {
      const long value = it->toLong(0);
      if (value >= 1 && value <= 8) info.orientation = int(value);
    }
    ReadShotDetails(exif, info);
    Exiv2::ExifThumbC thumb(exif);
    if (std::string(thumb.mimeType()) == "image/jpeg") {
      const Exiv2::DataBuf data = thumb.copy();
      if (data.size_ > 0 && size_t(data.size_) <= kMaxExifThumbnailBytes)
        info.thumbnail.assign(data.pData_, data.pData_ + data.size_);
    }
    return true;
  } catch (const std::exception&) {
    info = ExifInfo();
    return false;
  }
}

namespace {

// The EXIF and colour profile of a source. HEIF/AVIF, WebP and JPEG XL files are read
// by their own libraries; HEIF/AVIF and JPEG XL pixels come out turned by the file's own
// orientation, so the copied Orientation must say 1 (`turned`). False when the source
// cannot be read; a format the library does not know carries nothing to copy.
bool SourceMetadata(const std::string& source, Exiv2::ExifData& exif, Exiv2::DataBuf& icc,
                    bool& turned) {
  const PictureFormat format = FormatOfFile(source);
  bool (*own)(const std::string&, std::vector<uint8_t>&, std::vector<uint8_t>&) = nullptr;
  if (format == PictureFormat::Heif || format == PictureFormat::Avif) own = ReadHeifMetadata;
  if (format == PictureFormat::WebP) own = ReadWebpMetadata;
  if (format == PictureFormat::JpegXl) own = ReadJxlMetadata;
  if (own) {
    std::vector<uint8_t> tiff, profile;
    if (!own(source, tiff, profile)) return false;
    if (!tiff.empty()) Exiv2::ExifParser::decode(exif, tiff.data(), uint32_t(tiff.size()));
    if (!profile.empty()) icc = Exiv2::DataBuf(profile.data(), long(profile.size()));
    turned = format != PictureFormat::WebP;
    return true;
  }
  std::vector<uint8_t> bytes;
  const Exiv2::Image::AutoPtr from = OpenInMemory(source, bytes);
  if (!from.get()) return true;
  exif = from->exifData();
  if (from->iccProfileDefined())
    icc = Exiv2::DataBuf(from->iccProfile()->pData_, from->iccProfile()->size_);
  return true;
}

}  // namespace

bool CopyMetadata(const std::string& source, const std::string& dest, bool upright) {
  InitExifLibrary();
  try {
    Exiv2::ExifData exif;
    Exiv2::DataBuf icc;
    bool turned = false;
    if (!SourceMetadata(source, exif, icc, turned)) return false;
    const bool hasIcc = icc.size_ > 0;
    if (exif.empty() && !hasIcc) return true;

    std::vector<uint8_t> bytes;
    Exiv2::Image::AutoPtr to = OpenInMemory(dest, bytes);
    if (!to.get()) return false;
    if (!exif.empty()) {
      CleanExif(exif, upright || turned, to->pixelWidth(), to->pixelHeight());
      to->setExifData(exif);
    }
    if (hasIcc) to->setIccProfile(icc, false);
    to->writeMetadata();
    return WriteBack(*to, dest);
  } catch (const std::exception&) {
    return false;
  }
}

bool PrepareMetadata(const std::string& source, int width, int height, bool upright,
                     EmbeddedMetadata& out) {
  out = EmbeddedMetadata();
  InitExifLibrary();
  try {
    Exiv2::ExifData exif;
    Exiv2::DataBuf icc;
    bool turned = false;
    if (!SourceMetadata(source, exif, icc, turned)) return false;
    if (!exif.empty()) {
      out.orientation = CleanExif(exif, upright || turned, width, height);
      Exiv2::Blob blob;
      Exiv2::ExifParser::encode(blob, Exiv2::littleEndian, exif);
      out.exif.assign(blob.begin(), blob.end());
    }
    if (icc.size_ > 0) out.icc.assign(icc.pData_, icc.pData_ + icc.size_);
    return true;
  } catch (const std::exception&) {
    out = EmbeddedMetadata();
    return false;
  }
}

}  // namespace quorvane::local
