#include "folders/FolderWatch.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace quorvane {

namespace {
constexpr uint32_t kWatchMask = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_ONLYDIR;
}

FolderWatch::FolderWatch() : fd_(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {}

bool FolderWatch::Add(const std::string& folder) {
  if (!Ok()) return false;
  if (IsWatched(folder)) return true;
  const int wd = inotify_add_watch(fd_.Get(), folder.c_str(), kWatchMask);
  if (wd < 0) return false;
  byPath_[folder] = wd;
  std::vector<std::string>& paths = byWatch_[wd];
  if (std::find(paths.begin(), paths.end(), folder) == paths.end()) paths.push_back(folder);
  return true;
}

void FolderWatch::Remove(const std::string& folder) {
  const auto found = byPath_.find(folder);
  if (found == byPath_.end()) return;
  const int wd = found->second;
  byPath_.erase(found);
  auto& paths = byWatch_[wd];
  paths.erase(std::remove(paths.begin(), paths.end(), folder), paths.end());
  if (paths.empty()) {
    byWatch_.erase(wd);
    inotify_rm_watch(fd_.Get(), wd);
  }
}

void FolderWatch::Clear() {
  for (const auto& [wd, paths] : byWatch_) inotify_rm_watch(fd_.Get(), wd);
  byWatch_.clear();
  byPath_.clear();
}

std::vector<FolderWatch::Event> FolderWatch::ReadEvents() {
  std::vector<Event> events;
  if (!Ok()) return events;
  alignas(inotify_event) char buffer[16384];
  for (;;) {
    const ssize_t n = read(fd_.Get(), buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    for (ssize_t offset = 0; offset + ssize_t(sizeof(inotify_event)) <= n;) {
      const auto* raw = reinterpret_cast<const inotify_event*>(buffer + offset);
      offset += ssize_t(sizeof(inotify_event) + raw->len);
      if (raw->mask & IN_Q_OVERFLOW) {
        events.push_back(Event{Event::Overflow, {}, {}, false});
        continue;
      }
      const auto watch = byWatch_.find(raw->wd);
      if (watch == byWatch_.end()) continue;
      if (raw->mask & IN_IGNORED) {
        // The kernel dropped the watch: the folder was deleted or unmounted.
        for (const std::string& path : watch->second) byPath_.erase(path);
        byWatch_.erase(watch);
        continue;
      }
      if (raw->len == 0) continue;
      const Event::Kind kind =
          (raw->mask & (IN_CREATE | IN_MOVED_TO)) ? Event::Created : Event::Removed;
      for (const std::string& folder : watch->second)
        events.push_back(Event{kind, folder, raw->name, (raw->mask & IN_ISDIR) != 0});
    }
  }
  return events;
}

}  // namespace quorvane
