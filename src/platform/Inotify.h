#pragma once
// A folder watch on inotify for the change watchers: one inotify instance, watching a
// folder (and, when asked, every folder below it), plus a wake-up descriptor through
// which another thread interrupts a wait. One thread waits; any thread may Wake().

#include <cstdint>
#include <string>
#include <unordered_map>

#include "platform/FileIO.h"

namespace quorvane {

// Which inotify records count as a change. Records about a folder (IN_ISDIR) are tested
// against DirMask, records about anything else against FileMask, so that "file name"
// and "folder name" changes can be told apart.
struct InotifyFilter {
  uint32_t FileMask = 0;
  uint32_t DirMask = 0;
  bool Empty() const { return (FileMask | DirMask) == 0; }
};

class InotifyWatch {
 public:
  enum WaitResult { kChange, kWake, kTimeout, kLost, kError };

  InotifyWatch();
  InotifyWatch(const InotifyWatch&) = delete;
  InotifyWatch& operator=(const InotifyWatch&) = delete;

  // False when the descriptors could not be made; nothing can be watched then.
  bool Ok() const { return fd_.Ok() && wakeFd_.Ok(); }
  // Watches a folder (with all folders below it when `subtree`), replacing any previous
  // watch. False when the folder cannot be watched.
  bool Watch(const std::string& folder, const InotifyFilter& filter, bool subtree);
  // Removes every watch.
  void Unwatch();
  bool Watching() const { return rootWd_ >= 0; }

  // Waits up to timeoutMs (-1: no limit) and reads every record that is ready.
  // kChange: some record passed the filter; kWake: Wake() was called (the wake-up is
  // consumed); kLost: the watched folder itself was deleted, moved or unmounted (the
  // watch is gone); kTimeout: nothing happened in time; kError: the wait failed.
  WaitResult Wait(int timeoutMs);
  // Interrupts a Wait (on any thread); a wake-up that finds no one waiting is kept for
  // the next Wait.
  void Wake();

 private:
  bool AddTree(const std::string& folder, int depth);
  bool AddOne(const std::string& folder);

  UniqueFd fd_;
  UniqueFd wakeFd_;
  int rootWd_ = -1;
  bool subtree_ = false;
  InotifyFilter filter_;
  std::unordered_map<int, std::string> folders_;  // watch descriptor -> folder
};

}  // namespace quorvane
