#include "thumbnails/FolderScan.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <memory>

#include "platform/FileNames.h"
#include "imaging/ImageFormats.h"
#include "thumbnails/FolderItems.h"

namespace quorvane {

namespace {

struct DirCloser {
  void operator()(DIR* dir) const { ::closedir(dir); }
};

}  // namespace

bool IsPictureFileName(const std::string& name, bool hidden) {
  if (name.empty() || name == "." || name == ".." || (name[0] == '.' && !hidden)) return false;
  return ImageExtensionIndex(LowerFileExt(name)) >= 0;
}

std::vector<std::string> ListImageFiles(const std::string& folder, const StopSource* stop,
                                        bool hidden) {
  std::vector<std::string> names;
  if (folder.empty()) return {};
  const std::string dirPath = WithoutTrailingSlash(folder);
  std::unique_ptr<DIR, DirCloser> dir(::opendir(dirPath.c_str()));
  if (!dir) return {};
  while (const dirent* entry = ::readdir(dir.get())) {
    if (StopRequested(stop)) break;
    const std::string name = entry->d_name;
    if (!IsPictureFileName(name, hidden)) continue;  // ".", "..", other kinds
    struct stat st;
    if (::stat(JoinPath(dirPath, name).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
    names.push_back(name);
  }
  // Directory order is arbitrary; the grid lists names in natural order.
  std::sort(names.begin(), names.end(),
            [](const std::string& a, const std::string& b) { return CompareNatural(a, b) < 0; });
  std::vector<std::string> paths;
  paths.reserve(names.size());
  for (const std::string& name : names) paths.push_back(JoinPath(dirPath, name));
  return paths;
}

}  // namespace quorvane
