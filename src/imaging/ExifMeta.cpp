#include "imaging/ExifMeta.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <filesystem>

#include "imaging/ImageFormats.h"
#include "platform/LittleEndian.h"
#include "platform/FileNames.h"

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

}  // namespace

ExifOptions CurrentExifOptions() {
  return {g_autoOrient.load(), g_useEmbedded.load(), g_keepMetadata.load()};
}

void SetExifOptions(const ExifOptions& options) {
  g_autoOrient = options.AutoOrient;
  g_useEmbedded = options.UseEmbeddedThumbnails;
  g_keepMetadata = options.KeepMetadata;
}

bool CarriesExifOrientation(const std::string& path) {
  const PictureFormat format = FormatOfFile(path);
  return format == PictureFormat::Jpeg || format == PictureFormat::Tiff;
}

bool TakesMetadata(const std::string& path) {
  const std::string ext = LowerFileExt(path);
  return ext == ".jpg" || ext == ".jpeg" || ext == ".jpe" || ext == ".tif" || ext == ".tiff" ||
         ext == ".png";
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

std::string FindMetaHelper() { return FindHelperProgram("quorvane-meta", "QUORVANE_META_HELPER"); }

CodecClient& MetaClient() {
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
  const std::string ext = LowerFileExt(dest);
  std::string temp = JoinPath(ExtractFileDir(dest).empty() ? "." : ExtractFileDir(dest),
                              ".quorvane-meta-" + std::string(6, 'X') + ext);  // mkstemps template
  const int fd = ::mkstemps(temp.data(), int(ext.size()));
  if (fd < 0) return false;
  ::close(fd);
  std::error_code ec;
  bool done =
      std::filesystem::copy_file(dest, temp, std::filesystem::copy_options::overwrite_existing, ec);
  if (done) {
    // The request names the file to write, the source and whether the pixels are
    // upright, separated by zero bytes.
    std::string names = temp;
    names.push_back('\0');
    names += source;
    names.push_back('\0');
    names += upright ? "upright" : "as stored";
    done = MetaClient().Save(names, Bitmap(1, 1), CodecSaveRequest{}) &&
           ::rename(temp.c_str(), dest.c_str()) == 0;
  }
  if (!done) ::unlink(temp.c_str());
  return done;
}

}  // namespace

bool CopyMetadata(const std::string& source, const std::string& dest, bool upright) {
  const bool copied =
      !TakesMetadata(dest) || (HelperAvailable() && CopyMetadataThroughCopy(source, dest, upright));
  struct stat st {};
  if (::stat(source.c_str(), &st) != 0) return false;
  const timespec times[2] = {{0, UTIME_OMIT}, st.st_mtim};
  if (::utimensat(AT_FDCWD, dest.c_str(), times, 0) != 0) return false;
  return copied;
}

}  // namespace quorvane
