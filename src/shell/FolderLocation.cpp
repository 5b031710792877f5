#include "shell/FolderLocation.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <system_error>
#include <vector>

namespace quorvane {

namespace fs = std::filesystem;

namespace {

std::string Trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return {};
  const size_t last = text.find_last_not_of(" \t\r\n");
  return text.substr(first, last - first + 1);
}

// The typed text as an absolute path (not yet checked); "" with `error` set when it
// cannot be one.
std::string Absolute(const std::string& typed, const std::string& current,
                     const std::string& home, std::string& error) {
  std::string path = typed;
  if (path == "~" || path.rfind("~/", 0) == 0) {
    if (home.empty()) {
      error = "홈 폴더를 알 수 없습니다.";
      return {};
    }
    path = home + path.substr(1);
  } else if (path.front() != '/') {
    if (current.empty()) {
      error = "지금 폴더가 없어 상대 경로를 쓸 수 없습니다: " + typed;
      return {};
    }
    path = current + "/" + path;
  }
  std::string normal = fs::path(path).lexically_normal().string();
  while (normal.size() > 1 && normal.back() == '/') normal.pop_back();
  return normal;
}

}  // namespace

LocationResult ResolveLocation(const std::string& typed, const std::string& current,
                               const std::string& home) {
  LocationResult result;
  const std::string text = Trimmed(typed);
  if (text.empty()) {
    result.error = "폴더 경로를 적으십시오.";
    return result;
  }
  const std::string path = Absolute(text, current, home, result.error);
  if (path.empty()) return result;
  std::error_code ec;
  const fs::file_status status = fs::status(path, ec);
  if (ec || !fs::exists(status)) {
    result.error = "없는 폴더입니다: " + path;
    return result;
  }
  if (!fs::is_directory(status)) {
    result.error = "폴더가 아닙니다: " + path;
    return result;
  }
  fs::directory_iterator probe(path, ec);
  if (ec) {
    result.error = "폴더를 열 수 없습니다: " + path + " (" + ec.message() + ")";
    return result;
  }
  result.folder = path;
  return result;
}

std::string CompleteLocation(const std::string& typed, const std::string& current,
                             const std::string& home) {
  const size_t slash = typed.rfind('/');
  const std::string head = slash == std::string::npos ? std::string() : typed.substr(0, slash + 1);
  const std::string prefix = slash == std::string::npos ? typed : typed.substr(slash + 1);
  if (head.empty() && prefix.rfind('~', 0) == 0) return typed;  // "~name" is no folder here
  std::string error;
  const std::string folder =
      head.empty() ? current : Absolute(head == "/" ? head : head.substr(0, head.size() - 1),
                                        current, home, error);
  if (folder.empty()) return typed;
  std::vector<std::string> matches;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.rfind(prefix, 0) != 0) continue;
    if (name[0] == '.' && (prefix.empty() || prefix[0] != '.')) continue;
    std::error_code kind;
    if (it->is_directory(kind)) matches.push_back(name);
  }
  if (matches.empty()) return typed;
  std::sort(matches.begin(), matches.end());
  if (matches.size() == 1) return head + matches.front() + "/";
  // As far as every match agrees.
  const std::string& first = matches.front();
  const std::string& last = matches.back();
  size_t common = 0;
  while (common < first.size() && common < last.size() && first[common] == last[common]) ++common;
  // Never inside a character: back to the start of one cut short.
  while (common > 0 && common < first.size() && (uint8_t(first[common]) & 0xC0) == 0x80) --common;
  return head + first.substr(0, std::max(common, prefix.size()));
}

}  // namespace quorvane
