#include "platform/Inotify.h"

#include <dirent.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "platform/FileNames.h"

namespace quorvane {

namespace {

using Kind = InotifyEvent::Kind;

// Records about a watched folder itself; they are always asked for.
constexpr uint32_t kSelfEvents = IN_DELETE_SELF | IN_MOVE_SELF | IN_UNMOUNT;
// What a folder of a subtree is watched for besides, to follow its sub-folders.
constexpr uint32_t kSubtreeEvents = IN_CREATE | IN_MOVED_TO | IN_MOVED_FROM;
// Sub-folders deeper than this are not watched (a loop of bind mounts, say).
constexpr int kMaxDepth = 64;
// How long a read ending in half a rename waits for the other half.
constexpr int kRenameHalfWaitMs = 1;

// The inotify record of each kind that has one.
constexpr struct {
  Kind kind;
  uint32_t mask;
} kRecords[] = {
    {Kind::Created, IN_CREATE},         {Kind::Removed, IN_DELETE},
    {Kind::RenamedFrom, IN_MOVED_FROM}, {Kind::RenamedTo, IN_MOVED_TO},
    {Kind::Modified, IN_CLOSE_WRITE},   {Kind::Attrib, IN_ATTRIB},
};

constexpr InotifyKinds kNames{Kind::Created, Kind::Removed, Kind::RenamedFrom, Kind::RenamedTo};

uint32_t MaskOf(const InotifyFilter& filter) {
  uint32_t mask = 0;
  for (const auto& record : kRecords)
    if (filter.files.Has(record.kind) || filter.folders.Has(record.kind)) mask |= record.mask;
  return mask;
}

bool IsBelow(const std::string& path, const std::string& folder) {
  if (folder == "/") return path.size() > 1 && path[0] == '/';
  return path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
         path[folder.size()] == '/';
}

InotifyEvent MakeEvent(Kind kind, const std::string& folder, std::string name = {},
                       bool isFolder = true) {
  InotifyEvent e;
  e.kind = kind;
  e.folder = folder;
  e.name = std::move(name);
  e.isFolder = isFolder;
  return e;
}

// Joins the two halves of each rename seen in `events` (the first unpaired RenamedTo
// with the cookie of a RenamedFrom). True when a RenamedFrom is left alone.
bool PairRenames(std::vector<InotifyEvent>& events) {
  bool alone = false;
  for (size_t i = 0; i < events.size(); ++i) {
    InotifyEvent& from = events[i];
    if (from.kind != Kind::RenamedFrom || from.paired) continue;
    for (size_t j = i + 1; j < events.size() && !from.paired; ++j) {
      InotifyEvent& to = events[j];
      if (to.kind != Kind::RenamedTo || to.paired || to.cookie != from.cookie) continue;
      from.paired = to.paired = true;
      from.pairFolder = to.folder;
      from.pairName = to.name;
      to.pairFolder = from.folder;
      to.pairName = from.name;
    }
    alone = alone || !from.paired;
  }
  return alone;
}

}  // namespace

InotifyFilter InotifyFilter::Names() { return {kNames, kNames}; }

InotifyFilter InotifyFilter::For(const NotifyTypeSet& types) {
  InotifyFilter f;
  auto both = [&f](std::initializer_list<Kind> kinds) {
    for (Kind k : kinds) {
      f.files.Include(k);
      f.folders.Include(k);
    }
  };
  if (types.Has(intFileName)) f.files = kNames;
  if (types.Has(intDirName)) f.folders = kNames;
  if (types.Has(intAttributes) || types.Has(intLastAccess) || types.Has(intSecurity))
    both({Kind::Attrib});
  if (types.Has(intSize) || types.Has(intLastWrite))
    f.files.Include(Kind::Modified).Include(Kind::Attrib);
  if (types.Has(intCreation)) both({Kind::Created, Kind::RenamedTo});
  return f;
}

InotifyWatch::InotifyWatch(const InotifyFilter& filter)
    : filter_(filter),
      fd_(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)),
      wakeFd_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

bool InotifyWatch::AddOne(const std::string& folder, bool subtree) {
  const uint32_t mask =
      MaskOf(filter_) | kSelfEvents | IN_ONLYDIR | IN_MASK_ADD | (subtree ? kSubtreeEvents : 0);
  const int wd = inotify_add_watch(fd_.Get(), folder.c_str(), mask);
  if (wd < 0) return false;
  if (watchOf_.emplace(folder, wd).second) pathsOf_[wd].push_back(folder);
  return true;
}

void InotifyWatch::AddTree(const std::string& folder, int depth,
                           std::vector<InotifyEvent>* found) {
  if (depth >= kMaxDepth) return;
  DIR* dir = opendir(folder.c_str());
  if (!dir) return;  // unreadable: watched itself, nothing below
  while (const dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    const std::string path = JoinPath(folder, name);
    bool isDir = entry->d_type == DT_DIR;
    if (entry->d_type == DT_UNKNOWN) {
      struct stat st {};
      isDir = lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    }
    if (found && (isDir ? filter_.folders : filter_.files).Has(Kind::Created))
      found->push_back(MakeEvent(Kind::Created, folder, name, isDir));
    if (isDir && AddOne(path, true)) AddTree(path, depth + 1, found);  // links are not followed
  }
  closedir(dir);
}

bool InotifyWatch::Add(const std::string& folder, bool subtree) {
  if (!Ok()) return false;
  const std::string root = WithoutTrailingSlash(folder);
  if (roots_.count(root)) return true;
  if (!AddOne(root, subtree)) return false;
  roots_[root] = subtree;
  if (subtree) AddTree(root, 0);
  return true;
}

bool InotifyWatch::IsWatched(const std::string& folder) const {
  return roots_.count(WithoutTrailingSlash(folder)) != 0;
}

bool InotifyWatch::InSubtree(const std::string& path) const {
  for (const auto& [root, subtree] : roots_)
    if (subtree && IsBelow(path, root)) return true;
  return false;
}

void InotifyWatch::Unwatch(int wd) {
  inotify_rm_watch(fd_.Get(), wd);
  pathsOf_.erase(wd);
  // Records of the watch still queued are dropped when read.
}

// Forgets `path` and every path below it that no folder given to Add still needs.
void InotifyWatch::DropPath(const std::string& path) {
  for (auto it = watchOf_.lower_bound(path); it != watchOf_.end();) {
    const std::string& p = it->first;
    if (p != path && !IsBelow(p, path)) {
      if (p.compare(0, path.size(), path) != 0) break;  // past every path below
      ++it;
      continue;
    }
    if (roots_.count(p) || InSubtree(p)) {
      ++it;
      continue;
    }
    std::vector<std::string>& paths = pathsOf_[it->second];
    std::erase(paths, p);
    if (paths.empty()) Unwatch(it->second);
    it = watchOf_.erase(it);
  }
}

void InotifyWatch::Remove(const std::string& folder) {
  const std::string root = WithoutTrailingSlash(folder);
  if (!roots_.erase(root)) return;
  DropPath(root);
}

void InotifyWatch::Clear() {
  for (const auto& [wd, paths] : pathsOf_) inotify_rm_watch(fd_.Get(), wd);
  pathsOf_.clear();
  watchOf_.clear();
  roots_.clear();
}

void InotifyWatch::Translate(const inotify_event& raw, const char* rawName,
                             std::vector<InotifyEvent>& events) {
  if (raw.mask & IN_Q_OVERFLOW) {
    events.push_back(MakeEvent(Kind::Overflow, {}, {}, false));
    // Sub-folders made meanwhile may have been missed.
    for (const auto& [root, subtree] : roots_)
      if (subtree) AddTree(root, 0);
    return;
  }
  const auto watch = pathsOf_.find(raw.wd);
  if (watch == pathsOf_.end()) return;  // a watch removed since
  const std::vector<std::string> paths = watch->second;
  if (raw.mask & (IN_IGNORED | kSelfEvents)) {
    // The folder went away (IN_IGNORED alone: the kernel ended the watch).
    for (const std::string& path : paths)
      if (roots_.count(path)) {
        events.push_back(MakeEvent(Kind::Lost, path));
        Remove(path);
      }
    if (raw.mask & IN_IGNORED) {
      for (const std::string& path : paths) watchOf_.erase(path);
      pathsOf_.erase(raw.wd);
    }
    return;
  }
  Kind kind = Kind::Overflow;
  for (const auto& record : kRecords)
    if (raw.mask & record.mask) kind = record.kind;
  if (kind == Kind::Overflow) return;
  const bool isDir = raw.mask & IN_ISDIR;
  const std::string name = raw.len > 0 ? std::string(rawName) : std::string();
  const bool wanted = (isDir ? filter_.folders : filter_.files).Has(kind);
  for (const std::string& path : paths) {
    if (wanted) {
      InotifyEvent e = MakeEvent(kind, path, name, isDir);
      e.cookie = raw.cookie;
      events.push_back(std::move(e));
    }
    // A subtree follows its folders. What a new folder holds by the time it is watched
    // was made after it, unseen: it is reported as made.
    const std::string child = JoinPath(path, name);
    if (!isDir || name.empty() || !InSubtree(child)) continue;
    if (kind == Kind::RenamedFrom) DropPath(child);
    if ((kind == Kind::Created || kind == Kind::RenamedTo) && AddOne(child, true))
      AddTree(child, 1, kind == Kind::Created ? &events : nullptr);
  }
}

std::vector<InotifyEvent> InotifyWatch::ReadEvents() {
  std::vector<InotifyEvent> events;
  if (!fd_.Ok()) return events;
  alignas(inotify_event) char buffer[16384];
  for (bool waited = false;;) {
    for (;;) {
      const ssize_t n = read(fd_.Get(), buffer, sizeof buffer);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;  // EAGAIN: everything read
      for (ssize_t at = 0; at + ssize_t(sizeof(inotify_event)) <= n;) {
        inotify_event raw;
        std::memcpy(&raw, buffer + at, sizeof raw);
        Translate(raw, buffer + at + sizeof(inotify_event), events);
        at += ssize_t(sizeof(inotify_event) + raw.len);
      }
    }
    // The kernel queues the two halves of a rename one after the other: a read may
    // fall between them.
    if (!PairRenames(events) || waited) break;
    waited = true;
    pollfd fd{fd_.Get(), POLLIN, 0};
    if (poll(&fd, 1, kRenameHalfWaitMs) <= 0) break;
  }
  return events;
}

void InotifyWatch::Wake() {
  const uint64_t one = 1;
  if (wakeFd_.Ok()) {
    const ssize_t n = write(wakeFd_.Get(), &one, sizeof one);
    (void)n;  // a full counter already wakes the waiter
  }
}

InotifyWatch::WaitResult InotifyWatch::Wait(int timeoutMs, std::vector<InotifyEvent>& events) {
  events.clear();
  if (!Ok()) return kError;
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    int left = timeoutMs;
    if (timeoutMs > 0) {
      const auto rest = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
      left = int(std::max<int64_t>(0, rest.count()));
    }
    pollfd fds[2] = {{wakeFd_.Get(), POLLIN, 0}, {fd_.Get(), POLLIN, 0}};
    const int ready = poll(fds, 2, left);
    if (ready < 0 && errno == EINTR) continue;
    if (ready < 0) return kError;
    if (ready == 0) return kTimeout;
    if (fds[0].revents & POLLIN) {
      uint64_t count = 0;
      const ssize_t n = read(wakeFd_.Get(), &count, sizeof count);
      (void)n;
      return kWake;
    }
    events = ReadEvents();
    if (!events.empty()) return kEvents;
    if (timeoutMs == 0) return kTimeout;  // only records nobody asked for
  }
}

}  // namespace quorvane
