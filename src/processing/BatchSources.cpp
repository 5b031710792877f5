#include "processing/BatchSources.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <utility>

#include "imaging/ImageFormats.h"
#include "processing/ConvertOptions.h"

namespace quorvane {

namespace fs = std::filesystem;

std::vector<std::string> ReadNameList(std::istream& in, bool nul) {
  std::vector<std::string> names;
  std::string name;
  while (std::getline(in, name, nul ? '\0' : '\n')) {
    if (!nul && !name.empty() && name.back() == '\r') name.pop_back();
    if (!name.empty()) names.push_back(std::move(name));
  }
  return names;
}

namespace {

bool SameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// The pictures under `root` as (sub-folder, path) pairs.
std::vector<std::pair<std::string, std::string>> PicturesUnder(const std::string& root, bool hidden,
                                                               const std::string& outputFolder) {
  struct stat output {};
  const bool outputExists = stat(outputFolder.c_str(), &output) == 0;
  std::vector<std::pair<std::string, std::string>> found;
  std::error_code ec;
  fs::recursive_directory_iterator it(root, fs::directory_options::skip_permission_denied, ec);
  for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    const fs::directory_entry& entry = *it;
    const std::string name = entry.path().filename().string();
    std::error_code kind;
    const bool link = entry.is_symlink(kind);
    const bool folder = !link && entry.is_directory(kind);
    if ((!hidden && !name.empty() && name[0] == '.')) {
      if (folder) it.disable_recursion_pending();
      continue;
    }
    if (folder) {
      struct stat st {};
      if (outputExists && stat(entry.path().c_str(), &st) == 0 && SameFile(st, output))
        it.disable_recursion_pending();
      continue;
    }
    // Links to files count as the files; links to folders are not followed.
    if (!entry.is_regular_file(kind) || !FormatByName(name)) continue;
    const std::string relative = entry.path().parent_path().lexically_relative(root).string();
    found.emplace_back(relative == "." ? std::string() : relative, entry.path().string());
  }
  std::sort(found.begin(), found.end(),
            [](const auto& a, const auto& b) { return a.second < b.second; });
  return found;
}

}  // namespace

void ExpandFolders(ConvertParams& params, bool recursive, bool hidden) {
  std::vector<std::string> files;
  std::vector<std::string> folders;
  for (const std::string& path : params.FileList) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
      files.push_back(path);
      folders.emplace_back();
      continue;
    }
    if (!recursive)
      throw UsageError("'" + path +
                       "' is a folder; give -r (--recursive) to convert the pictures under it");
    for (auto& [folder, file] : PicturesUnder(path, hidden, params.OutputFolder)) {
      files.push_back(std::move(file));
      folders.push_back(std::move(folder));
    }
  }
  params.FileList = std::move(files);
  params.SubFolders = std::move(folders);
}

}  // namespace quorvane
