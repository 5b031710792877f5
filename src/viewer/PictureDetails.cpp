#include "viewer/PictureDetails.h"

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>

#include "imaging/DateTaken.h"
#include "imaging/ExifFields.h"
#include "imaging/ExifMeta.h"
#include "imaging/ImageFormats.h"
#include "platform/FileIO.h"
#include "platform/FileNames.h"

namespace quorvane {

namespace {

std::string Printed(const char* format, double value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, format, value);
  return buffer;
}

const char* FormatName(PictureFormat format) {
  switch (format) {
    case PictureFormat::Jpeg: return "JPEG";
    case PictureFormat::Png: return "PNG";
    case PictureFormat::Gif: return "GIF";
    case PictureFormat::Bmp: return "BMP";
    case PictureFormat::Tiff: return "TIFF";
    case PictureFormat::Pnm: return "PNM";
    case PictureFormat::Tga: return "TGA";
    case PictureFormat::Heif: return "HEIF";
    case PictureFormat::Avif: return "AVIF";
    case PictureFormat::WebP: return "WebP";
    case PictureFormat::JpegXl: return "JPEG XL";
    case PictureFormat::Raw: return "RAW";
    default: return "";
  }
}

// The bits a sample of the stored picture: a PNG's header, else the EXIF's
// BitsPerSample; 0 when neither tells.
int BitDepth(const std::string& path, PictureFormat format, const ExifBlock& exif) {
  if (format == PictureFormat::Png || format == PictureFormat::Jpeg) {
    std::vector<uint8_t> head(65536);
    const UniqueFd fd = UniqueFd::OpenRead(path);
    const int64_t size = fd.Ok() ? fd.Size() : 0;
    head.resize(size_t(std::min<int64_t>(size, int64_t(head.size()))));
    if (!fd.Ok() || !ReadFullyAt(fd.Get(), 0, head.data(), head.size())) return 0;
    if (format == PictureFormat::Png) return head.size() > 24 ? head[24] : 0;
    // The precision of the JPEG's frame header (SOF0..SOF15 but DHT, JPG and DAC).
    for (size_t at = 2; at + 4 < head.size();) {
      if (head[at] != 0xFF) return 0;
      const uint8_t marker = head[at + 1];
      if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC)
        return head[at + 4];
      at += 2 + (size_t(head[at + 2]) << 8 | head[at + 3]);
    }
    return 0;
  }
  uint32_t bits = 0;
  return exif.Integer(exif.First(), 0x0102, bits) ? int(bits) : 0;
}

std::string DateText(const std::tm& t) {
  char buffer[32];
  std::strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M:%S", &t);
  return buffer;
}

// Degrees, minutes and seconds of a GPS coordinate; false when absent.
bool Coordinate(const ExifBlock& exif, uint16_t refTag, uint16_t tag, double& out) {
  double d = 0, m = 0, s = 0;
  if (!exif.Rational(exif.Gps(), tag, d, 0)) return false;
  exif.Rational(exif.Gps(), tag, m, 1);
  exif.Rational(exif.Gps(), tag, s, 2);
  out = d + m / 60 + s / 3600;
  const std::string ref = exif.Text(exif.Gps(), refTag);
  if (ref == "S" || ref == "W") out = -out;
  return std::isfinite(out);
}

void CameraRows(const ExifBlock& exif, const std::vector<uint8_t>& tiff, DetailSection& camera) {
  auto add = [&](const char* label, const std::string& value) {
    if (!value.empty()) camera.rows.push_back({label, value});
  };
  add("제조사", exif.Text(exif.First(), 0x010F));
  add("모델", exif.Text(exif.First(), 0x0110));
  add("렌즈", exif.Text(exif.Exif(), 0xA434));
  std::string offset;
  std::tm taken{};
  if (ParseDate(TiffDate(tiff, &offset), taken)) add("찍은 날짜", DateText(taken) + (offset.empty() ? "" : " " + offset));
  double v = 0;
  if (exif.Rational(exif.Exif(), 0x829A, v) && v > 0)
    add("노출 시간", v < 1 ? "1/" + Printed("%.0f", 1 / v) + " s" : Printed("%g s", v));
  if (exif.Rational(exif.Exif(), 0x829D, v) && v > 0) add("조리개", Printed("F%g", v));
  uint32_t n = 0;
  if (exif.Integer(exif.Exif(), 0x8827, n) && n > 0) add("ISO", std::to_string(n));
  if (exif.Rational(exif.Exif(), 0x920A, v) && v > 0) add("초점 거리", Printed("%g mm", v));
  if (exif.Integer(exif.Exif(), 0x9209, n)) add("플래시", n & 1 ? "터짐" : "터지지 않음");
}

}  // namespace

std::string DegreesText(double latitude, double longitude) {
  return Printed("%.6f° ", std::fabs(latitude)) + (latitude < 0 ? "S" : "N") + ", " +
         Printed("%.6f° ", std::fabs(longitude)) + (longitude < 0 ? "W" : "E");
}

std::string GeoUri(double latitude, double longitude) {
  return "geo:" + Printed("%.6f", latitude) + "," + Printed("%.6f", longitude);
}

PictureDetails ReadPictureDetails(const std::string& path, int width, int height) {
  PictureDetails out;
  DetailSection file{"파일", {}};
  file.rows.push_back({"이름", ExtractFileName(path)});
  file.rows.push_back({"폴더", ExtractFileDir(path)});
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0) {
    file.rows.push_back({"크기", std::to_string(int64_t(st.st_size)) + " 바이트"});
    std::tm t{};
    localtime_r(&st.st_mtime, &t);
    file.rows.push_back({"날짜", DateText(t)});
  }
  out.sections.push_back(std::move(file));

  EmbeddedMetadata meta;
  PrepareMetadata(path, 0, 0, false, meta);
  const ExifBlock exif(meta.exif);
  out.hasMetadata = exif.Valid() || !meta.icc.empty();
  const PictureFormat format = FormatOfFile(path);
  DetailSection picture{"그림", {}};
  picture.rows.push_back({"픽셀", std::to_string(width) + " × " + std::to_string(height)});
  if (*FormatName(format)) picture.rows.push_back({"형식", FormatName(format)});
  if (const int bits = BitDepth(path, format, exif)) picture.rows.push_back({"비트 깊이", std::to_string(bits) + " 비트"});
  if (!meta.icc.empty()) {
    const std::string name = IccDescription(meta.icc);
    picture.rows.push_back({"색 프로필", name.empty() ? "이름 없는 ICC 프로필" : name});
  }
  out.sections.push_back(std::move(picture));

  DetailSection camera{"카메라", {}};
  CameraRows(exif, meta.exif, camera);
  if (!camera.rows.empty()) out.sections.push_back(std::move(camera));
  if (Coordinate(exif, 1, 2, out.latitude) && Coordinate(exif, 3, 4, out.longitude)) {
    out.hasGps = true;
    out.sections.push_back({"위치", {{"GPS", DegreesText(out.latitude, out.longitude)}}});
  }
  return out;
}

}  // namespace quorvane
