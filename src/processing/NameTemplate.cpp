#include "processing/NameTemplate.h"

#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <vector>
#include <functional>

#include "imaging/ExifMeta.h"
#include "platform/FileNames.h"

namespace quorvane {

namespace {

// Walks the pattern: literal text and fields (name, spec after ':') in order. Throws
// NameTemplateError for a pattern that does not parse.
void Walk(const std::string& pattern, const std::function<void(const std::string& text)>& literal,
          const std::function<void(const std::string& field, const std::string& spec,
                                   bool hasSpec)>& field) {
  if (pattern.empty()) throw NameTemplateError("the name pattern is empty");
  if (pattern.find('/') != std::string::npos)
    throw NameTemplateError("a name pattern cannot hold '/'");
  std::string text;
  for (size_t i = 0; i < pattern.size(); ++i) {
    const char c = pattern[i];
    if ((c == '{' || c == '}') && i + 1 < pattern.size() && pattern[i + 1] == c) {
      text += c;
      ++i;
      continue;
    }
    if (c == '}') throw NameTemplateError("a '}' without its '{' in the name pattern");
    if (c != '{') {
      text += c;
      continue;
    }
    const size_t close = pattern.find('}', i);
    if (close == std::string::npos) throw NameTemplateError("a '{' left open in the name pattern");
    const std::string inside = pattern.substr(i + 1, close - i - 1);
    const size_t colon = inside.find(':');
    const std::string name = inside.substr(0, colon);
    const std::string spec = colon == std::string::npos ? "" : inside.substr(colon + 1);
    const bool hasSpec = colon != std::string::npos;
    if (name != "name" && name != "ext" && name != "parent" && name != "n" && name != "date" &&
        name != "w" && name != "h")
      throw NameTemplateError("unknown field {" + inside +
                              "} in the name pattern (name, ext, parent, n, date, w, h)");
    if (hasSpec && name != "n" && name != "date")
      throw NameTemplateError("the field {" + name + "} takes no format");
    if (name == "n" && hasSpec &&
        (spec.size() < 2 || spec.size() > 2 || spec[0] != '0' || spec[1] < '1' || spec[1] > '9'))
      throw NameTemplateError("bad counter width {" + inside + "} ({n:03} pads to 3 digits)");
    if (name == "date" && hasSpec && spec.empty())
      throw NameTemplateError("empty date format in {" + inside + "}");
    if (!text.empty()) literal(text);
    text.clear();
    field(name, spec, hasSpec);
    i = close;
  }
  if (!text.empty()) literal(text);
}

std::string FormatDate(const std::tm& date, const std::string& format) {
  char buffer[512];
  const size_t n = std::strftime(buffer, sizeof buffer, format.c_str(), &date);
  std::string out(buffer, n);
  for (char& c : out)
    if (c == '/') c = '-';
  return out;
}

// The DateTimeOriginal (else DateTime) of an EXIF block in its TIFF structure, as
// "YYYY:MM:DD HH:MM:SS"; "" when it has none.
std::string TiffDate(const std::vector<uint8_t>& t) {
  if (t.size() < 8 || !((t[0] == 'I' && t[1] == 'I') || (t[0] == 'M' && t[1] == 'M'))) return {};
  const bool little = t[0] == 'I';
  auto number = [&](size_t at, int bytes) -> uint32_t {
    if (at > t.size() || t.size() - at < size_t(bytes)) return 0;
    uint32_t v = 0;
    for (int k = 0; k < bytes; ++k)
      v |= uint32_t(t[at + size_t(k)]) << (8 * (little ? k : bytes - 1 - k));
    return v;
  };
  // The entry of `tag` in the folder at `ifd`: its type, count and value's offset.
  auto entry = [&](size_t ifd, uint32_t tag, uint32_t& type, uint32_t& count) -> size_t {
    const uint32_t n = number(ifd, 2);
    for (uint32_t i = 0; i < n && i < 1000; ++i) {
      const size_t e = ifd + 2 + 12 * size_t(i);
      if (e + 12 > t.size()) break;
      if (number(e, 2) != tag) continue;
      type = number(e + 2, 2);
      count = number(e + 4, 4);
      return count <= 4 ? e + 8 : number(e + 8, 4);
    }
    return 0;
  };
  auto text = [&](size_t ifd, uint32_t tag) -> std::string {
    uint32_t type = 0, count = 0;
    const size_t at = ifd ? entry(ifd, tag, type, count) : 0;
    if (!at || type != 2 || count < 19 || at + 19 > t.size()) return {};
    return std::string(reinterpret_cast<const char*>(t.data() + at), 19);
  };
  const size_t first = number(4, 4);
  uint32_t type = 0, count = 0;
  const size_t pointer = entry(first, 0x8769, type, count);
  const std::string taken = text(pointer ? number(pointer, 4) : 0, 0x9003);
  return taken.empty() ? text(first, 0x0132) : taken;
}

// A date "YYYY-MM-DD HH:MM:SS" or "YYYY:MM:DD HH:MM:SS" into `date`.
bool ParseDate(const std::string& text, std::tm& date) {
  std::tm d{};
  if (std::sscanf(text.c_str(), "%d%*[-:]%d%*[-:]%d %d:%d:%d", &d.tm_year, &d.tm_mon, &d.tm_mday,
                  &d.tm_hour, &d.tm_min, &d.tm_sec) != 6 ||
      d.tm_year <= 0 || d.tm_mon < 1 || d.tm_mon > 12)
    return false;
  d.tm_year -= 1900;
  d.tm_mon -= 1;
  d.tm_isdst = -1;
  std::tm normal = d;
  std::mktime(&normal);  // fills the day of the week
  d.tm_wday = normal.tm_wday;
  d.tm_yday = normal.tm_yday;
  date = d;
  return true;
}

}  // namespace

void CheckNameTemplate(const std::string& pattern) {
  Walk(
      pattern, [](const std::string&) {}, [](const std::string&, const std::string&, bool) {});
}

bool TemplateUses(const std::string& pattern, const std::string& field) {
  bool used = false;
  try {
    Walk(
        pattern, [](const std::string&) {},
        [&](const std::string& name, const std::string&, bool) { used = used || name == field; });
  } catch (const NameTemplateError&) {
  }
  return used;
}

std::string ExpandNameTemplate(const std::string& pattern, const NameFields& f) {
  const std::string file = ExtractFileName(f.source);
  const std::string ext = ExtractFileExt(file);
  std::string out;
  Walk(
      pattern, [&](const std::string& text) { out += text; },
      [&](const std::string& name, const std::string& spec, bool hasSpec) {
        if (name == "name") {
          out += file.substr(0, file.size() - ext.size());
        } else if (name == "ext") {
          out += ext.empty() ? ext : ext.substr(1);
        } else if (name == "parent") {
          out += ExtractFileName(ExtractFileDir(f.source));
        } else if (name == "n") {
          char buffer[32];
          std::snprintf(buffer, sizeof buffer, "%0*lld", hasSpec ? spec[1] - '0' : 1, f.number);
          out += buffer;
        } else if (name == "date") {
          out += FormatDate(f.date, hasSpec ? spec : "%Y-%m-%d");
        } else {
          out += std::to_string(name == "w" ? f.width : f.height);
        }
      });
  return out;
}

std::tm PictureDate(const std::string& path) {
  std::tm date{};
  ExifInfo info;
  if (ReadExifInfo(path, info) && ParseDate(info.dateTaken, date)) return date;
  // HEIF, AVIF and JPEG XL keep their EXIF in a box of their own.
  EmbeddedMetadata metadata;
  if (PrepareMetadata(path, 1, 1, false, metadata) && ParseDate(TiffDate(metadata.exif), date))
    return date;
  struct stat st {};
  if (stat(path.c_str(), &st) == 0) localtime_r(&st.st_mtime, &date);
  return date;
}

}  // namespace quorvane
