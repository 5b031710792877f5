#include "platform/Inotify.h"

#include <dirent.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace quorvane {

namespace {

// Records about the watched folder itself; they are always asked for.
constexpr uint32_t kSelfEvents = IN_DELETE_SELF | IN_MOVE_SELF | IN_UNMOUNT;
// Sub-folders deeper than this are not watched (a loop of bind mounts, say).
constexpr int kMaxDepth = 64;

}  // namespace

InotifyWatch::InotifyWatch()
    : fd_(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)),
      wakeFd_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

bool InotifyWatch::AddOne(const std::string& folder) {
  uint32_t mask = filter_.FileMask | filter_.DirMask | kSelfEvents | IN_ONLYDIR;
  if (subtree_) mask |= IN_CREATE | IN_MOVED_TO;  // to follow new sub-folders
  const int wd = inotify_add_watch(fd_.Get(), folder.c_str(), mask);
  if (wd < 0) return false;
  folders_[wd] = folder;
  if (rootWd_ < 0) rootWd_ = wd;
  return true;
}

bool InotifyWatch::AddTree(const std::string& folder, int depth) {
  if (!AddOne(folder)) return false;
  if (!subtree_ || depth >= kMaxDepth) return true;
  DIR* dir = opendir(folder.c_str());
  if (!dir) return true;  // unreadable: watched itself, nothing below
  while (const dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    const std::string path = folder == "/" ? "/" + name : folder + "/" + name;
    bool isDir = entry->d_type == DT_DIR;
    if (entry->d_type == DT_UNKNOWN) {
      struct stat st {};
      isDir = lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    }
    if (isDir) AddTree(path, depth + 1);  // links are not followed
  }
  closedir(dir);
  return true;
}

bool InotifyWatch::Watch(const std::string& folder, const InotifyFilter& filter, bool subtree) {
  Unwatch();
  if (!Ok()) return false;
  filter_ = filter;
  subtree_ = subtree;
  std::string root = folder;
  while (root.size() > 1 && root.back() == '/') root.pop_back();
  if (!AddTree(root, 0)) {
    Unwatch();
    return false;
  }
  return true;
}

void InotifyWatch::Unwatch() {
  for (const auto& [wd, folder] : folders_) inotify_rm_watch(fd_.Get(), wd);
  folders_.clear();
  rootWd_ = -1;
  // Records of the removed watches still queued are read and dropped by the next Wait.
}

void InotifyWatch::Wake() {
  const uint64_t one = 1;
  if (wakeFd_.Ok()) {
    const ssize_t n = write(wakeFd_.Get(), &one, sizeof one);
    (void)n;  // a full counter already wakes the waiter
  }
}

InotifyWatch::WaitResult InotifyWatch::Wait(int timeoutMs) {
  if (!Ok()) return kError;
  pollfd fds[2] = {{wakeFd_.Get(), POLLIN, 0}, {fd_.Get(), POLLIN, 0}};
  int ready;
  do {
    ready = poll(fds, 2, timeoutMs);
  } while (ready < 0 && errno == EINTR);
  if (ready < 0) return kError;
  if (ready == 0) return kTimeout;
  if (fds[0].revents & POLLIN) {
    uint64_t count = 0;
    const ssize_t n = read(wakeFd_.Get(), &count, sizeof count);
    (void)n;
    return kWake;
  }
  bool change = false, lost = false;
  alignas(inotify_event) char buffer[16384];
  for (;;) {
    const ssize_t n = read(fd_.Get(), buffer, sizeof buffer);
    if (n <= 0) break;  // EAGAIN: everything read
    for (ssize_t at = 0; at + ssize_t(sizeof(inotify_event)) <= n;) {
      inotify_event event;
      std::memcpy(&event, buffer + at, sizeof event);
      const char* name = buffer + at + sizeof(inotify_event);
      at += ssize_t(sizeof(inotify_event) + event.len);
      if (event.mask & IN_Q_OVERFLOW) {
        change = true;  // records were lost: something changed
        continue;
      }
      const auto folder = folders_.find(event.wd);
      if (folder == folders_.end()) continue;  // a watch removed since
      if (event.mask & IN_IGNORED) {
        if (event.wd == rootWd_) lost = true;
        folders_.erase(folder);
        continue;
      }
      if ((event.mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_UNMOUNT)) && event.wd == rootWd_) {
        lost = true;
        continue;
      }
      const bool isDir = event.mask & IN_ISDIR;
      if (subtree_ && isDir && (event.mask & (IN_CREATE | IN_MOVED_TO)) && event.len > 0) {
        const std::string& parent = folder->second;
        AddTree(parent == "/" ? "/" + std::string(name) : parent + "/" + name, 1);
      }
      if (event.mask & (isDir ? filter_.DirMask : filter_.FileMask)) change = true;
    }
  }
  if (lost) {
    Unwatch();
    return kLost;
  }
  return change ? kChange : kTimeout;
}

}  // namespace quorvane
