#include "platform/CopiedTree.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/FileIO.h"
#include "platform/FileNames.h"

namespace quorvane {

namespace {

constexpr int kFolderFlags = O_DIRECTORY | O_RDONLY | O_NOFOLLOW | O_CLOEXEC;

bool SameTime(const struct timespec& a, const struct timespec& b) {
  return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

void Keep(std::vector<std::string>& kept, const std::string& folder) {
  if (std::find(kept.begin(), kept.end(), folder) == kept.end()) kept.push_back(folder);
}

// Removes one source entry as `entry` describes it; true when it is gone.
bool RemoveSource(int dir, const std::string& dirPath, const CopiedEntry& entry,
                  std::vector<std::string>& kept, std::string& error) {
  const char* name = entry.source.c_str();
  if (entry.type != S_IFDIR) {
    struct stat st {};
    if (::fstatat(dir, name, &st, AT_SYMLINK_NOFOLLOW) != 0) return errno == ENOENT;
    const bool unchanged = st.st_dev == entry.sourceDev && st.st_ino == entry.sourceIno &&
                           (st.st_mode & S_IFMT) == entry.type && st.st_size == entry.sourceSize &&
                           SameTime(st.st_mtim, entry.sourceTime);
    if (!unchanged) {
      Keep(kept, dirPath);
      return false;
    }
    if (::unlinkat(dir, name, 0) == 0) return true;
    error = entry.source + ": " + std::strerror(errno);
    return false;
  }
  const std::string path = JoinPath(dirPath, entry.source);
  UniqueFd sub(::openat(dir, name, kFolderFlags));
  struct stat st {};
  if (!sub.Ok() || ::fstat(sub.Get(), &st) != 0 || st.st_dev != entry.sourceDev ||
      st.st_ino != entry.sourceIno) {
    if (!sub.Ok() && errno == ENOENT) return true;
    Keep(kept, dirPath);
    return false;
  }
  bool allGone = true;
  for (const CopiedEntry& child : entry.children) {
    if (!RemoveSource(sub.Get(), path, child, kept, error)) allGone = false;
    if (!error.empty()) return false;
  }
  if (::unlinkat(dir, name, AT_REMOVEDIR) == 0) return true;
  if (errno != ENOTEMPTY && errno != EEXIST) {
    error = entry.source + ": " + std::strerror(errno);
    return false;
  }
  // Something the copy does not hold arrived in it.
  if (allGone) Keep(kept, path);
  return false;
}

}  // namespace

void CopiedEntry::NoteSource(const struct stat& st) {
  type = st.st_mode & S_IFMT;
  sourceDev = st.st_dev;
  sourceIno = st.st_ino;
  sourceSize = st.st_size;
  sourceTime = st.st_mtim;
}

void RemoveCopy(int dir, const CopiedEntry& entry) {
  if (!entry.Made()) return;
  const char* name = entry.copy.c_str();
  struct stat st {};
  if (::fstatat(dir, name, &st, AT_SYMLINK_NOFOLLOW) != 0 || st.st_ino != entry.copyIno) return;
  if (!S_ISDIR(st.st_mode)) {
    ::unlinkat(dir, name, 0);
    return;
  }
  // The copy's own folder may already carry a read-only mode: it is ours to open.
  UniqueFd sub(::openat(dir, name, kFolderFlags));
  if (!sub.Ok() && ::fchmodat(dir, name, 0700, 0) == 0)
    sub = UniqueFd(::openat(dir, name, kFolderFlags));
  if (!sub.Ok()) return;
  ::fchmod(sub.Get(), (st.st_mode & 07777) | 0700);
  for (const CopiedEntry& child : entry.children) RemoveCopy(sub.Get(), child);
  if (::unlinkat(dir, name, AT_REMOVEDIR) != 0) ::fchmod(sub.Get(), st.st_mode & 07777);
}

bool RemoveCopiedSources(int dir, const std::string& dirPath, const CopiedEntry& entry,
                         std::vector<std::string>& kept, std::string& error) {
  error.clear();
  RemoveSource(dir, dirPath, entry, kept, error);
  return error.empty();
}

}  // namespace quorvane
