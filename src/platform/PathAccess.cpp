#include "platform/PathAccess.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/FileNames.h"

namespace quorvane {

std::string ErrnoText(int error) { return std::strerror(error); }

std::string AbsolutePath(const std::string& path) {
  if (!path.empty() && path[0] == '/') return WithoutTrailingSlash(path);
  std::vector<char> buffer(4096);
  while (!getcwd(buffer.data(), buffer.size())) {
    if (errno != ERANGE) return WithoutTrailingSlash(path);
    buffer.resize(buffer.size() * 2);
  }
  return WithoutTrailingSlash(JoinPath(buffer.data(), path));
}

// Opens a folder (or, with flags, anything) by path; a path longer than the system's
// limit is opened one component at a time.
UniqueFd OpenPath(const std::string& path, int flags) {
  flags |= O_CLOEXEC;
  UniqueFd fd(::open(path.c_str(), flags));
  if (fd.Ok() || errno != ENAMETOOLONG) return fd;
  UniqueFd dir(::open(path[0] == '/' ? "/" : ".", O_DIRECTORY | O_RDONLY | O_CLOEXEC));
  size_t pos = 0;
  while (dir.Ok()) {
    while (pos < path.size() && path[pos] == '/') ++pos;
    size_t end = path.find('/', pos);
    if (end == std::string::npos) end = path.size();
    const std::string part = path.substr(pos, end - pos);
    size_t next = end;
    while (next < path.size() && path[next] == '/') ++next;
    if (next >= path.size()) {
      return part.empty() ? std::move(dir) : UniqueFd(::openat(dir.Get(), part.c_str(), flags));
    }
    dir = UniqueFd(::openat(dir.Get(), part.c_str(), O_DIRECTORY | O_RDONLY | O_CLOEXEC));
    pos = next;
  }
  return dir;
}

UniqueFd OpenDir(const std::string& path) { return OpenPath(path, O_DIRECTORY | O_RDONLY); }

bool StatPath(const std::string& path, struct stat& st, bool follow) {
  if ((follow ? ::stat(path.c_str(), &st) : ::lstat(path.c_str(), &st)) == 0) return true;
  if (errno != ENAMETOOLONG) return false;
  const UniqueFd parent = OpenDir(ExtractFileDir(path));
  return parent.Ok() && ::fstatat(parent.Get(), ExtractFileName(path).c_str(), &st,
                                  follow ? 0 : AT_SYMLINK_NOFOLLOW) == 0;
}

bool AccessPath(const std::string& path, int mode) {
  if (::access(path.c_str(), mode) == 0) return true;
  if (errno != ENAMETOOLONG) return false;
  const UniqueFd fd = OpenPath(path, O_PATH);
  return fd.Ok() && ::faccessat(fd.Get(), "", mode, AT_EMPTY_PATH) == 0;
}

bool SameIdentity(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool EntryExists(int dir, const std::string& name) {
  struct stat st {};
  return ::fstatat(dir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 || errno != ENOENT;
}

// "photo.jpg" -> {"photo", ".jpg"}; folders and dot-files keep the whole name as stem.
std::pair<std::string, std::string> SplitName(const std::string& name, bool isFolder) {
  const size_t dot = name.rfind('.');
  if (isFolder || dot == std::string::npos || dot == 0) return {name, ""};
  return {name.substr(0, dot), name.substr(dot)};
}

std::string FreeNameAt(int dir, const std::string& name, bool isFolder) {
  if (!EntryExists(dir, name)) return name;
  const auto [stem, ext] = SplitName(name, isFolder);
  for (int n = 2; n < kMaxNameTries; ++n) {
    std::string candidate = stem + " (" + std::to_string(n) + ")" + ext;
    if (!EntryExists(dir, candidate)) return candidate;
  }
  return {};
}

bool MakeFolders(const std::string& path, mode_t mode) {
  struct stat st {};
  if (StatPath(path, st, true)) {
    if (S_ISDIR(st.st_mode)) return true;
    errno = ENOTDIR;
    return false;
  }
  const std::string parent = ExtractFileDir(path);
  if (!parent.empty() && parent != path && !MakeFolders(parent, mode)) return false;
  return ::mkdir(path.c_str(), mode) == 0 || errno == EEXIST;
}

std::string FreeName(const std::string& folder, const std::string& name) {
  const UniqueFd dir = OpenDir(folder);
  if (!dir.Ok()) return name;
  struct stat st {};
  const bool isFolder =
      ::fstatat(dir.Get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode);
  return FreeNameAt(dir.Get(), name, isFolder);
}

int RenameNoReplaceAt(int fromDir, const std::string& from, int toDir, const std::string& to) {
  if (::renameat2(fromDir, from.c_str(), toDir, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS) return errno;
  // The file system cannot rename without replacing: test, then rename.
  if (EntryExists(toDir, to)) return EEXIST;
  return ::renameat(fromDir, from.c_str(), toDir, to.c_str()) == 0 ? 0 : errno;
}

int RenameNoReplace(const std::string& from, const std::string& to) {
  return RenameNoReplaceAt(AT_FDCWD, from, AT_FDCWD, to);
}

}  // namespace quorvane
