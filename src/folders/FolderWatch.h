#pragma once
// FolderWatch: the folder tree's watch: which names appeared in or left the folders it
// shows. A view of InotifyWatch (names only) that reads a rename as a name leaving and
// one arriving; a folder reached under two paths (a link and its target) is reported
// under each path it was added with. When inotify cannot be had, Ok() is false and
// every call does nothing.

#include <vector>

#include "platform/Inotify.h"

namespace quorvane {

class FolderWatch : private InotifyWatch {
 public:
  struct Event {
    enum Kind { Created, Removed, Overflow };
    Kind kind = Created;
    std::string folder;  // the watched folder (empty for Overflow)
    std::string name;    // the entry that came or went
    bool isFolder = false;
  };

  using InotifyWatch::Add;  // folder: for entries created, deleted or moved in or out
  using InotifyWatch::Clear;
  using InotifyWatch::Count;
  using InotifyWatch::Fd;
  using InotifyWatch::IsWatched;
  using InotifyWatch::Ok;
  using InotifyWatch::Remove;

  // Reads every event waiting, without blocking. A rename within one folder gives a
  // Removed and a Created event.
  std::vector<Event> ReadEvents();
};

}  // namespace quorvane
