#include "processing/NameTemplate.h"

#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <vector>
#include <functional>

#include "imaging/DateTaken.h"
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
  DateTaken taken;
  if (ReadDateTaken(path, taken)) return taken.local;
  std::tm date{};
  struct stat st {};
  if (stat(path.c_str(), &st) == 0) localtime_r(&st.st_mtime, &date);
  return date;
}

}  // namespace quorvane
