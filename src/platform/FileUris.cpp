#include "platform/FileUris.h"

#include <cstring>

#include "platform/FileNames.h"

namespace quorvane {

namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    char c = text[i];
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    if (c != prefix[i]) return false;
  }
  return true;
}

// Splits at LF, dropping a CR before it and empty lines.
std::vector<std::string_view> Lines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (!line.empty()) lines.push_back(line);
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return lines;
}

}  // namespace

std::string FileUriFromPath(std::string_view path) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string uri = "file://";
  for (const unsigned char c : path) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
        std::strchr("-._~/", c)) {
      uri += char(c);
    } else {
      uri += '%';
      uri += kHex[c >> 4];
      uri += kHex[c & 15];
    }
  }
  return uri;
}

std::string PathFromFileUri(std::string_view uri) {
  if (!StartsWithNoCase(uri, "file:")) return {};
  uri.remove_prefix(5);
  if (uri.substr(0, 2) == "//") {
    uri.remove_prefix(2);
    const size_t slash = uri.find('/');
    if (slash == std::string_view::npos) return {};
    const std::string_view host = uri.substr(0, slash);
    if (!host.empty() && !StartsWithNoCase(host, "localhost")) return {};
    if (!host.empty() && host.size() != 9) return {};
    uri.remove_prefix(slash);
  }
  if (uri.empty() || uri[0] != '/') return {};
  const size_t cut = uri.find_first_of("?#");
  uri = uri.substr(0, cut);
  std::string path;
  for (size_t i = 0; i < uri.size(); ++i) {
    if (uri[i] != '%') {
      path += uri[i];
      continue;
    }
    if (i + 2 >= uri.size()) return {};
    const int hi = HexValue(uri[i + 1]), lo = HexValue(uri[i + 2]);
    if (hi < 0 || lo < 0) return {};
    const char c = char(hi * 16 + lo);
    if (c == '\0') return {};
    path += c;
    i += 2;
  }
  return WithoutTrailingSlash(path);
}

std::string EncodeUriList(const std::vector<std::string>& paths) {
  std::string text;
  for (const std::string& path : paths) text += FileUriFromPath(path) + "\r\n";
  return text;
}

std::vector<std::string> DecodeUriList(std::string_view text) {
  std::vector<std::string> paths;
  for (std::string_view line : Lines(text)) {
    if (line[0] == '#') continue;
    std::string path = PathFromFileUri(line);
    if (!path.empty()) paths.push_back(std::move(path));
  }
  return paths;
}

std::string EncodeGnomeCopiedFiles(const CopiedFiles& files) {
  std::string text = files.cut ? "cut" : "copy";
  for (const std::string& path : files.paths) text += "\n" + FileUriFromPath(path);
  return text;
}

bool DecodeGnomeCopiedFiles(std::string_view text, CopiedFiles& files) {
  const std::vector<std::string_view> lines = Lines(text);
  if (lines.empty() || (lines[0] != "copy" && lines[0] != "cut")) return false;
  files.cut = lines[0] == "cut";
  files.paths.clear();
  for (size_t i = 1; i < lines.size(); ++i) {
    std::string path = PathFromFileUri(lines[i]);
    if (!path.empty()) files.paths.push_back(std::move(path));
  }
  return true;
}

}  // namespace quorvane
