#pragma once
// The picture formats the program reads: one table, one row per format, with its
// extensions, the first bytes that identify its files, where it is decoded and how a
// thumbnail is made from it. The folder scan, the About box, the loaders and the batch
// all read this table.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace quorvane {

// Where a picture is decoded: the built-in JPEG, GIF and BMP readers in the program,
// or the codec helper process (every other format, see CodecClient.h).
enum class ImageReaderKind { Codec, Jpeg, Gif, Bmp };

// The formats by their contents. `Other` covers the codec library's remaining formats.
enum class PictureFormat : uint8_t {
  Unknown,
  Other,
  Jpeg,
  Png,
  Gif,
  Bmp,
  Tiff,
  Pnm,
  Tga,
  Heif,
  Avif,
  WebP,
  JpegXl,
  Raw,
};

// How the thumbnail loader makes a small picture of a file before falling back to a
// full decode.
enum class ThumbnailPath : uint8_t {
  FullDecode,
  JpegScaled,     // the JPEG decoder's 1/2, 1/4, 1/8 scaling
  HeifThumbnail,  // the file's thumbnail item
  RawPreview,     // the camera's embedded JPEG preview, decoded scaled
  WebpScaled,     // the WebP decoder's own scaling
  JxlDc,          // the JPEG XL decoder stopped after its DC pass (1/8)
  TiffReduced,    // a reduced-resolution page of the file (pyramid TIFFs carry them)
};

struct ImageFormatInfo {
  PictureFormat format;
  std::string_view extensions;  // lower case, with dots, separated by spaces
  // Identifying first bytes: alternatives separated by '|'; '?' matches any byte.
  // Empty: the format is known by its extension only.
  std::string_view magic;
  ImageReaderKind reader;
  ThumbnailPath thumbnail;
};

namespace detail {

using enum PictureFormat;
constexpr ImageReaderKind kCodec = ImageReaderKind::Codec;
constexpr ImageReaderKind kJpeg = ImageReaderKind::Jpeg;
constexpr ImageReaderKind kGif = ImageReaderKind::Gif;
constexpr ImageReaderKind kBmp = ImageReaderKind::Bmp;
using enum ThumbnailPath;
using namespace std::string_view_literals;

// The first thirteen rows give the 19 extensions the program has always read, in their
// order; the formats read since follow.
inline constexpr std::array<ImageFormatInfo, 23> ImageFormatTable = {{
    {Pnm, ".pnm", "P1|P2|P3|P4|P5|P6"sv, kCodec, FullDecode},
    {Other, ".cut", "", kCodec, FullDecode},
    {Other, ".dds", "", kCodec, FullDecode},
    {Other, ".mng", "", kCodec, FullDecode},
    {Other, ".pcd", "", kCodec, FullDecode},
    {Other, ".pcx", "", kCodec, FullDecode},
    {Png, ".png", "\x89PNG\r\n\x1a\n"sv, kCodec, FullDecode},
    {Tga, ".tga", "", kCodec, FullDecode},
    {Tiff, ".tif .tiff", "II*\0|MM\0*"sv, kCodec, TiffReduced},
    {Other, ".sgi .bw .rgb .rgba", "", kCodec, FullDecode},
    {Jpeg, ".jpe .jpeg .jpg", "\xFF\xD8\xFF"sv, kJpeg, JpegScaled},
    {Bmp, ".bmp", "BM", kBmp, FullDecode},
    {Gif, ".gif", "GIF8", kGif, FullDecode},
    {Pnm, ".ppm .pgm .pbm", "P1|P2|P3|P4|P5|P6"sv, kCodec, FullDecode},
    {Heif, ".heic .heif .hif",
     "????ftypheic|????ftypheix|????ftyphevc|????ftypheim|????ftypheis|????ftyphevm|"
     "????ftyphevs|????ftypmif1|????ftypmsf1",
     kCodec, HeifThumbnail},
    {Avif, ".avif", "????ftypavif|????ftypavis", kCodec, HeifThumbnail},
    {WebP, ".webp", "RIFF????WEBP", kCodec, WebpScaled},
    {JpegXl, ".jxl", "\xFF\x0A|\0\0\0\x0CJXL \r\n\x87\n"sv, kCodec, JxlDc},
    // Most camera files are TIFF files inside: their extension tells them apart.
    {Raw, ".dng", "", kCodec, RawPreview},
    {Raw, ".cr2", "", kCodec, RawPreview},
    {Raw, ".cr3", "????ftypcrx ", kCodec, RawPreview},
    {Raw, ".raf", "FUJIFILMCCD-RAW", kCodec, RawPreview},
    {Raw, ".nef .nrw .arw .orf .rw2 .pef .srw", "IIRO|IIRS|MMOR|IIU\0"sv, kCodec,
     RawPreview},
}};

}  // namespace detail

using detail::ImageFormatTable;

namespace detail {

constexpr size_t CountExtensions(size_t rows) {
  size_t n = 0;
  for (size_t r = 0; r < rows; ++r)
    for (char c : ImageFormatTable[r].extensions) n += c == '.';
  return n;
}

template <size_t N>
constexpr std::array<std::string_view, N> Extensions(size_t rows) {
  std::array<std::string_view, N> out{};
  size_t n = 0;
  for (size_t r = 0; r < rows; ++r) {
    std::string_view list = ImageFormatTable[r].extensions;
    while (!list.empty()) {
      const size_t space = list.find(' ');
      out[n++] = list.substr(0, space);
      list = space == std::string_view::npos ? std::string_view() : list.substr(space + 1);
    }
  }
  return out;
}

}  // namespace detail

// Every extension the program treats as a picture, in table order.
inline constexpr size_t ImageExtensionCount = detail::CountExtensions(ImageFormatTable.size());
inline constexpr std::array<std::string_view, ImageExtensionCount> ImageExtensions =
    detail::Extensions<ImageExtensionCount>(ImageFormatTable.size());

// The 19 extensions of the first rows; the first CodecOnlyExtensionCount are read only
// by the codec library, the last five by the built-in JPEG, BMP and GIF readers.
inline constexpr int CodecExtensionCount = 19;
inline constexpr int CodecOnlyExtensionCount = CodecExtensionCount - 5;
inline constexpr std::array<std::string_view, CodecExtensionCount> CodecExtensions =
    detail::Extensions<CodecExtensionCount>(13);

// Index in CodecExtensions of a lower-case extension with its dot, or -1.
int CodecExtensionIndex(std::string_view lowerExt);
// Index in ImageExtensions of a lower-case extension with its dot, or -1.
int ImageExtensionIndex(std::string_view lowerExt);

// The table row of a file name's extension (any case); null when it is none of ours.
const ImageFormatInfo* FormatByName(std::string_view path);
// The row of a format (the first row when it has several); null for Unknown.
const ImageFormatInfo* FormatInfo(PictureFormat format);
// The format that a file's first bytes identify; Unknown when none matches.
PictureFormat SniffFormat(std::string_view head);
// Bytes of a file's start that SniffFormat needs.
inline constexpr size_t kSniffBytes = 32;

// What a file is: its contents decide; a file whose first bytes say nothing, or that
// are a TIFF file named as a camera file, goes by its name. `head` is the file's first
// bytes (at least kSniffBytes when the file is that long).
PictureFormat FormatOfContents(std::string_view path, std::string_view head);
// The same from the file on disk (its name when it cannot be read).
PictureFormat FormatOfFile(const std::string& path);

}  // namespace quorvane
