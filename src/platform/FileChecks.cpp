#include "platform/FileChecks.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "platform/FileNames.h"
#include "platform/PathAccess.h"

namespace quorvane {

bool CanCopyFrom(const std::string& path) {
  struct stat st {};
  if (!StatPath(path, st, false)) return false;
  if (S_ISLNK(st.st_mode)) return true;
  return AccessPath(path, S_ISDIR(st.st_mode) ? R_OK | X_OK : R_OK);
}

bool CanRemove(const std::string& path) {
  const std::string full = AbsolutePath(path);
  if (full == "/") return false;
  struct stat st {
  }, parent{};
  const std::string dir = ExtractFileDir(full).empty() ? "/" : ExtractFileDir(full);
  if (!StatPath(full, st, false) || !StatPath(dir, parent, true)) return false;
  if (!AccessPath(dir, W_OK | X_OK)) return false;
  // In a sticky folder (/tmp) only the owner of the file or of the folder may remove it.
  const uid_t me = ::geteuid();
  if ((parent.st_mode & S_ISVTX) && me != 0 && st.st_uid != me && parent.st_uid != me) return false;
  return true;
}

bool CanWriteInto(const std::string& folder) {
  struct stat st {};
  return StatPath(folder, st, true) && S_ISDIR(st.st_mode) && AccessPath(folder, W_OK | X_OK);
}

bool SameFileSystem(const std::string& a, const std::string& b) {
  struct stat sa {
  }, sb{};
  return StatPath(a, sa, false) && StatPath(b, sb, true) && sa.st_dev == sb.st_dev;
}

bool IsSameOrInside(const std::string& folder, const std::string& path) {
  struct stat target {
  }, root{};
  if (!StatPath(folder, target, true) || ::stat("/", &root) != 0) return false;
  UniqueFd fd = OpenPath(path, O_PATH);
  if (!fd.Ok()) return false;
  for (int depth = 0; depth < 1 << 16; ++depth) {
    struct stat here {};
    if (::fstat(fd.Get(), &here) != 0) return false;
    if (SameIdentity(here, target)) return true;
    if (SameIdentity(here, root)) return false;
    fd = UniqueFd(::openat(fd.Get(), "..", O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!fd.Ok()) return false;
  }
  return false;
}

}  // namespace quorvane
