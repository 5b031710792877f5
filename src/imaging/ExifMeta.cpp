#include "imaging/ExifMeta.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <filesystem>
#include <utility>

#include "imaging/ImageFormats.h"
#include "platform/LittleEndian.h"
#include "platform/FileNames.h"
#include "platform/StagedFile.h"

namespace quorvane {

namespace {

std::atomic<bool> g_autoOrient{true};
std::atomic<bool> g_useEmbedded{true};
std::atomic<bool> g_keepMetadata{true};

// Wire form: "QEXF", orientation, width, height, thumbnail size (little-endian 32-bit
// each), then the thumbnail bytes, then the text fields, each a 32-bit length and its
// bytes (a reply without them, or padded with zeros, has empty texts).
constexpr uint32_t kExifMagic = 0x46584551;
constexpr size_t kHeaderWords = 5;

void PutWord(std::vector<uint8_t>& out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(uint8_t(value >> (8 * i)));
}

void PutText(std::vector<uint8_t>& out, const std::string& text) {
  const size_t size = std::min(text.size(), kMaxExifTextBytes);
  PutWord(out, uint32_t(size));
  out.insert(out.end(), text.begin(), text.begin() + ptrdiff_t(size));
}

// Reads one text field at `at`; false when it is malformed. Nothing left reads as empty.
bool TakeText(const uint8_t* data, size_t size, size_t& at, std::string& text) {
  text.clear();
  if (size - at < 4) return true;
  const uint32_t length = U32(data + at);
  at += 4;
  if (length > kMaxExifTextBytes || length > size - at) return false;
  text.assign(reinterpret_cast<const char*>(data + at), length);
  at += length;
  return true;
}

}  // namespace

ExifOptions CurrentExifOptions() {
  return {g_autoOrient.load(), g_useEmbedded.load(), g_keepMetadata.load()};
}

void SetExifOptions(const ExifOptions& options) {
  g_autoOrient = options.AutoOrient;
  g_useEmbedded = options.UseEmbeddedThumbnails;
  g_keepMetadata = options.KeepMetadata;
}

// The formats whose files may carry EXIF that nothing but the EXIF orients: JPEG and TIFF
// in their own structures, PNG (eXIf) and WebP (EXIF) in a chunk. HEIF, AVIF and JPEG XL
// files carry their orientation in their container, and their readers apply it.
bool CarriesExifOrientation(const std::string& path) {
  const PictureFormat format = FormatOfFile(path);
  return format == PictureFormat::Jpeg || format == PictureFormat::Tiff ||
         format == PictureFormat::Png || format == PictureFormat::WebP;
}

bool TakesMetadata(const std::string& path) {
  const std::string ext = LowerFileExt(path);
  return ext == ".jpg" || ext == ".jpeg" || ext == ".jpe" || ext == ".tif" || ext == ".tiff";
}

bool EmbedsMetadata(const std::string& path) {
  const std::string ext = LowerFileExt(path);
  return ext == ".png" || ext == ".webp" || ext == ".avif" || ext == ".jxl";
}

std::vector<uint8_t> PackExifInfo(const ExifInfo& info) {
  std::vector<uint8_t> out;
  const size_t thumbBytes =
      info.thumbnail.size() <= kMaxExifThumbnailBytes ? info.thumbnail.size() : 0;
  out.reserve(kHeaderWords * 4 + thumbBytes);
  PutWord(out, kExifMagic);
  PutWord(out, uint32_t(info.orientation));
  PutWord(out, uint32_t(info.pixelWidth));
  PutWord(out, uint32_t(info.pixelHeight));
  PutWord(out, uint32_t(thumbBytes));
  out.insert(out.end(), info.thumbnail.begin(), info.thumbnail.begin() + ptrdiff_t(thumbBytes));
  for (const std::string* text : {&info.dateTaken, &info.camera, &info.exposure, &info.lens})
    PutText(out, *text);
  return out;
}

bool UnpackExifInfo(const uint8_t* data, size_t size, ExifInfo& info) {
  info = ExifInfo();
  if (!data || size < kHeaderWords * 4 || U32(data) != kExifMagic) return false;
  const uint32_t orientation = U32(data + 4);
  const uint32_t width = U32(data + 8), height = U32(data + 12);
  const uint32_t thumbBytes = U32(data + 16);
  if (thumbBytes > kMaxExifThumbnailBytes || thumbBytes > size - kHeaderWords * 4) return false;
  if (width > uint32_t(Bitmap::kMaxSide) * 16 || height > uint32_t(Bitmap::kMaxSide) * 16)
    return false;
  info.orientation = orientation >= 1 && orientation <= 8 ? int(orientation) : 0;
  info.pixelWidth = int(width);
  info.pixelHeight = int(height);
  info.thumbnail.assign(data + kHeaderWords * 4, data + kHeaderWords * 4 + thumbBytes);
  size_t at = kHeaderWords * 4 + thumbBytes;
  for (std::string* text : {&info.dateTaken, &info.camera, &info.exposure, &info.lens}) {
    if (!TakeText(data, size, at, *text)) {
      info = ExifInfo();
      return false;
    }
  }
  return true;
}

namespace {
// Wire form: "QMET", orientation, EXIF size, ICC size, then the EXIF and ICC bytes.
constexpr uint32_t kMetaMagic = 0x54454D51;
constexpr size_t kMetaHeaderWords = 4;
}  // namespace

std::vector<uint8_t> PackMetadata(const EmbeddedMetadata& meta) {
  std::vector<uint8_t> out;
  out.reserve(kMetaHeaderWords * 4 + meta.exif.size() + meta.icc.size());
  PutWord(out, kMetaMagic);
  PutWord(out, uint32_t(meta.orientation));
  PutWord(out, uint32_t(meta.exif.size()));
  PutWord(out, uint32_t(meta.icc.size()));
  out.insert(out.end(), meta.exif.begin(), meta.exif.end());
  out.insert(out.end(), meta.icc.begin(), meta.icc.end());
  return out;
}

bool UnpackMetadata(const uint8_t* data, size_t size, EmbeddedMetadata& meta) {
  meta = EmbeddedMetadata();
  if (!data || size < kMetaHeaderWords * 4 || U32(data) != kMetaMagic) return false;
  const uint32_t orientation = U32(data + 4);
  const size_t exifBytes = U32(data + 8), iccBytes = U32(data + 12);
  const size_t room = size - kMetaHeaderWords * 4;
  if (exifBytes > room || iccBytes > room - exifBytes) return false;
  const uint8_t* at = data + kMetaHeaderWords * 4;
  meta.orientation = orientation >= 1 && orientation <= 8 ? int(orientation) : 1;
  meta.exif.assign(at, at + exifBytes);
  meta.icc.assign(at + exifBytes, at + exifBytes + iccBytes);
  return true;
}

std::string FindMetaHelper() { return FindHelperProgram("quorvane-meta", "QUORVANE_META_HELPER"); }

// A metadata call is quick: a file's header segments, not its pixels.
CodecClientOptions MetaClientOptions() {
  CodecClientOptions options;
  options.helperPath = FindMetaHelper();
  options.loadTimeoutMs = 3000;
  options.saveTimeoutMs = 5000;
  options.addressSpaceLimit = uint64_t(2) << 30;
  options.cpuLimitSeconds = 30;
  return options;
}

CodecClient& MetaClient() {
  if (CodecClient* own = CurrentThreadHelpers().meta) return *own;
  static CodecClient client(MetaClientOptions());
  return client;
}

namespace {

// Without its helper the program reads no metadata, quietly: a picture is then shown
// as stored and written without the source's metadata.
bool HelperAvailable() {
  static const bool available = !FindMetaHelper().empty();
  return available;
}

}  // namespace

bool ReadExifInfo(const std::string& path, ExifInfo& info) {
  info = ExifInfo();
  if (!HelperAvailable()) return false;
  // The reply travels in the shared pixel memory, as rows of bytes.
  Bitmap reply;
  if (!MetaClient().Load(path, reply) || reply.Empty()) return false;
  return UnpackExifInfo(reply.Bits(), reply.ByteSize(), info);
}

bool PrepareMetadata(const std::string& source, int width, int height, bool upright,
                     EmbeddedMetadata& out) {
  out = EmbeddedMetadata();
  if (!HelperAvailable()) return false;
  // The request names the source, the written size and whether the pixels are upright,
  // separated by zero bytes; a plain path asks for ExifInfo instead.
  std::string request = source;
  for (const std::string& part :
       {std::to_string(width), std::to_string(height), std::string(upright ? "upright" : "as stored")}) {
    request.push_back('\0');
    request += part;
  }
  Bitmap reply;
  if (!MetaClient().Load(request, reply) || reply.Empty()) return false;
  return UnpackMetadata(reply.Bits(), reply.ByteSize(), out);
}

std::vector<uint8_t> ReadColourProfile(const std::string& source) {
  EmbeddedMetadata meta;
  if (!PrepareMetadata(source, 0, 0, true, meta)) return {};
  return std::move(meta.icc);
}

int ReadExifOrientation(const std::string& path) {
  if (!CarriesExifOrientation(path)) return 1;
  ExifInfo info;
  if (!ReadExifInfo(path, info) || info.orientation == 0) return 1;
  return info.orientation;
}

namespace {

// Writes the metadata into a copy of `dest` beside it and puts the copy in its place
// only when the library finished: a helper that dies halfway leaves `dest` whole.
bool CopyMetadataThroughCopy(const std::string& source, const std::string& dest, bool upright) {
  // The result is the only copy of the user's picture: the rewrite reaches the disk
  // before it takes the result's place.
  StagedFile temp(dest, LowerFileExt(dest), 0600, Durability::Durable);
  if (!temp.Ok()) return false;
  std::error_code ec;
  if (!std::filesystem::copy_file(dest, temp.Path(),
                                  std::filesystem::copy_options::overwrite_existing, ec))
    return false;
  // The request names the file to write, the source and whether the pixels are upright,
  // separated by zero bytes.
  std::string names = temp.Path();
  names.push_back('\0');
  names += source;
  names.push_back('\0');
  names += upright ? "upright" : "as stored";
  return MetaClient().Save(names, Bitmap(1, 1), CodecSaveRequest{}) && temp.Replace() == 0;
}

}  // namespace

bool CopyFileTime(const std::string& source, const std::string& dest) {
  struct stat st {};
  if (::stat(source.c_str(), &st) != 0) return false;
  const timespec times[2] = {{0, UTIME_OMIT}, st.st_mtim};
  return ::utimensat(AT_FDCWD, dest.c_str(), times, 0) == 0;
}

bool CopyMetadata(const std::string& source, const std::string& dest, bool upright) {
  const bool copied =
      !TakesMetadata(dest) || (HelperAvailable() && CopyMetadataThroughCopy(source, dest, upright));
  return CopyFileTime(source, dest) && copied;
}

}  // namespace quorvane
