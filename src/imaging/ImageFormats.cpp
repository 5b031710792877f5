#include "imaging/ImageFormats.h"

#include <unistd.h>

#include "platform/FileIO.h"
#include "platform/FileNames.h"

namespace quorvane {

namespace {

template <size_t N>
int IndexIn(const std::array<std::string_view, N>& list, std::string_view lowerExt) {
  for (size_t i = 0; i < N; ++i)
    if (list[i] == lowerExt) return int(i);
  return -1;
}

bool HasExtension(std::string_view list, std::string_view lowerExt) {
  while (!list.empty()) {
    const size_t space = list.find(' ');
    if (list.substr(0, space) == lowerExt) return true;
    list = space == std::string_view::npos ? std::string_view() : list.substr(space + 1);
  }
  return false;
}

bool MatchesPattern(std::string_view head, std::string_view pattern) {
  if (head.size() < pattern.size()) return false;
  for (size_t i = 0; i < pattern.size(); ++i)
    if (pattern[i] != '?' && pattern[i] != head[i]) return false;
  return true;
}

bool MatchesMagic(std::string_view head, std::string_view magic) {
  while (!magic.empty()) {
    const size_t bar = magic.find('|');
    if (MatchesPattern(head, magic.substr(0, bar))) return true;
    magic = bar == std::string_view::npos ? std::string_view() : magic.substr(bar + 1);
  }
  return false;
}

}  // namespace

int CodecExtensionIndex(std::string_view lowerExt) { return IndexIn(CodecExtensions, lowerExt); }

int ImageExtensionIndex(std::string_view lowerExt) { return IndexIn(ImageExtensions, lowerExt); }

const ImageFormatInfo* FormatByName(std::string_view path) {
  const std::string ext = LowerFileExt(path);
  if (ext.size() < 2) return nullptr;
  for (const ImageFormatInfo& info : ImageFormatTable)
    if (HasExtension(info.extensions, ext)) return &info;
  return nullptr;
}

const ImageFormatInfo* FormatInfo(PictureFormat format) {
  for (const ImageFormatInfo& info : ImageFormatTable)
    if (info.format == format) return &info;
  return nullptr;
}

PictureFormat SniffFormat(std::string_view head) {
  for (const ImageFormatInfo& info : ImageFormatTable)
    if (MatchesMagic(head, info.magic)) return info.format;
  return PictureFormat::Unknown;
}

PictureFormat FormatOfContents(std::string_view path, std::string_view head) {
  const ImageFormatInfo* byName = FormatByName(path);
  const PictureFormat named = byName ? byName->format : PictureFormat::Unknown;
  const PictureFormat sniffed = SniffFormat(head);
  if (sniffed == PictureFormat::Unknown) return named;
  if (sniffed == PictureFormat::Tiff && named == PictureFormat::Raw) return named;
  return sniffed;
}

PictureFormat FormatOfFile(const std::string& path) {
  char head[kSniffBytes];
  size_t got = 0;
  // Regular files only: a pipe named like a picture must not stop the caller.
  const UniqueFd file = UniqueFd::OpenRead(path);
  if (file.Ok()) {
    while (got < sizeof head) {
      const ssize_t n = ::read(file.Get(), head + got, sizeof head - got);
      if (n <= 0) break;
      got += size_t(n);
    }
  }
  return FormatOfContents(path, std::string_view(head, got));
}

}  // namespace quorvane
