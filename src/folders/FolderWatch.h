#pragma once
// Change notices for folders: which names appeared in or left a watched folder.
// One inotify instance; a folder reached under two paths (a link and its target) is
// reported under each path it was added with. When inotify cannot be had (the per-user
// limit of instances is often 128), Ok() is false and every call does nothing.

#include <map>
#include <string>
#include <vector>

#include "platform/FileIO.h"

namespace quorvane {

class FolderWatch {
 public:
  struct Event {
    enum Kind { Created, Removed, Overflow };
    Kind kind = Created;
    std::string folder;  // the watched folder (empty for Overflow)
    std::string name;    // the entry that came or went
    bool isFolder = false;
  };

  FolderWatch();
  FolderWatch(const FolderWatch&) = delete;
  FolderWatch& operator=(const FolderWatch&) = delete;

  bool Ok() const { return fd_.Ok(); }
  // The descriptor that becomes readable when events wait; -1 without inotify.
  int Fd() const { return fd_.Get(); }

  // Watches a folder for entries created, deleted or moved in or out. False when it
  // cannot be watched (no inotify, the watch limit reached, the folder gone).
  bool Add(const std::string& folder);
  void Remove(const std::string& folder);
  void Clear();
  bool IsWatched(const std::string& folder) const { return byPath_.count(folder) != 0; }
  size_t Count() const { return byPath_.size(); }

  // Reads every event waiting, without blocking. A rename within one folder gives a
  // Removed and a Created event.
  std::vector<Event> ReadEvents();

 private:
  UniqueFd fd_;
  std::map<std::string, int> byPath_;
  std::map<int, std::vector<std::string>> byWatch_;
};

}  // namespace quorvane
