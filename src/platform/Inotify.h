#pragma once
// InotifyWatch: the one folder watch of the program (the folder tree, the grid's change
// notification and the directory watcher all use it). One inotify instance watches any
// number of folders, each alone or with every folder below it, and reports what happened
// in them as InotifyEvents, read without blocking (ReadEvents, for a caller that polls
// Fd() itself) or waited for (Wait, which another thread can interrupt with Wake).
// Without inotify (the per-user limit of instances is often 128) Ok() is false and every
// call does nothing.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/EnumSet.h"
#include "platform/FileIO.h"

struct inotify_event;

namespace quorvane {

// One thing that happened in a watched folder.
struct InotifyEvent {
  enum Kind {
    Created,      // an entry was made (a file, a folder, a link...)
    Removed,      // an entry was deleted
    RenamedFrom,  // an entry left under this name (renamed, or moved elsewhere)
    RenamedTo,    // an entry arrived under this name (renamed, or moved in)
    Modified,     // a file opened for writing was closed: its contents may have changed
    Attrib,       // permissions, times, owner, links or extended attributes changed
    Overflow,     // the kernel's queue overflowed: events were lost, anything may have
                  // changed in any watched folder (folder and name are empty)
    Lost,         // the watched folder itself was deleted, moved or unmounted; its watch
                  // has ended (name is empty; only for a folder given to Add)
  };
  Kind kind = Created;
  // The folder the entry is in, as it was given to Add (or below it, in a subtree);
  // a folder reached under two paths (a link and its target) gives one event per path.
  std::string folder;
  // The entry's name in that folder; empty for an event about the folder itself (Attrib
  // of the watched folder, Lost).
  std::string name;
  bool isFolder = false;  // the entry is a folder
  // The two halves of one rename carry the same cookie (0 for other kinds). When both
  // were seen in the same read, `paired` is set and each half holds the other's folder
  // and name; a half alone is a move out of (RenamedFrom) or into (RenamedTo) the
  // watched folders: for the watcher, a removal or a creation.
  uint32_t cookie = 0;
  bool paired = false;
  std::string pairFolder, pairName;

  // The name now exists here / no longer exists here.
  bool Arrived() const { return kind == Created || kind == RenamedTo; }
  bool Left() const { return kind == Removed || kind == RenamedFrom; }
};
using InotifyKinds = EnumSet<InotifyEvent::Kind, int(InotifyEvent::Lost) + 1>;

// The kinds of change a watcher may ask to hear of.
enum NotifyType {
  intFileName,    // files created, deleted or renamed
  intDirName,     // folders created, deleted or renamed
  intAttributes,  // attributes of files and folders
  intSize,        // a file's size: seen when a file written is closed, or truncated
  intLastWrite,   // a file's modification time: the same
  intLastAccess,  // an access time: seen as an attribute change (reads do not count)
  intCreation,    // entries that appear (created or moved in)
  intSecurity,    // permissions and owner: seen as an attribute change
};
using NotifyTypeSet = EnumSet<NotifyType, int(intSecurity) + 1>;

// Which kinds of event are reported, for entries that are folders and for the others.
// Overflow and Lost always are.
struct InotifyFilter {
  InotifyKinds files;
  InotifyKinds folders;
  bool Empty() const { return files.Empty() && folders.Empty(); }
  bool operator==(const InotifyFilter&) const = default;
  // Names coming and going: Created, Removed, RenamedFrom, RenamedTo for every entry.
  static InotifyFilter Names();
  // The events each kind of change stands for.
  static InotifyFilter For(const NotifyTypeSet& types);
};

class InotifyWatch {
 public:
  enum WaitResult { kEvents, kWake, kTimeout, kError };

  explicit InotifyWatch(const InotifyFilter& filter = InotifyFilter::Names());
  InotifyWatch(const InotifyWatch&) = delete;
  InotifyWatch& operator=(const InotifyWatch&) = delete;

  bool Ok() const { return fd_.Ok() && wakeFd_.Ok(); }
  // The descriptor that becomes readable when events wait; -1 without inotify.
  int Fd() const { return fd_.Get(); }
  const InotifyFilter& Filter() const { return filter_; }

  // Watches a folder (a trailing "/" does not count), with `subtree` every folder below
  // it as well, also those made later (symbolic links are not followed; what a new
  // folder already holds when its watch begins is reported as Created, so an entry made
  // at that moment may be reported twice). Adding a folder again does nothing. False when it cannot be watched (no inotify, the watch limit
  // reached, not a folder); a sub-folder that cannot be watched is left out.
  bool Add(const std::string& folder, bool subtree = false);
  // Ends the watch of a folder given to Add (and of its subtree).
  void Remove(const std::string& folder);
  void Clear();
  bool IsWatched(const std::string& folder) const;
  // The folders given to Add and still watched.
  size_t Count() const { return roots_.size(); }

  // Reads every event waiting, without blocking, in the order they happened.
  std::vector<InotifyEvent> ReadEvents();
  // Waits up to timeoutMs (-1: no limit) for events to report or a wake-up.
  // kEvents: `events` holds them (at least one); kWake: Wake() was called (the wake-up
  // is consumed; events stay queued for the next call); kTimeout: nothing to report in
  // time; kError: no inotify, or the wait failed.
  WaitResult Wait(int timeoutMs, std::vector<InotifyEvent>& events);
  // Interrupts a Wait from any thread; a wake-up that finds no one waiting is kept for
  // the next Wait.
  void Wake();

 private:
  bool AddOne(const std::string& folder, bool subtree);
  void AddTree(const std::string& folder, int depth, std::vector<InotifyEvent>* found = nullptr);
  void DropPath(const std::string& path);
  void Unwatch(int wd);
  bool InSubtree(const std::string& path) const;
  void Translate(const inotify_event& raw, const char* name,
                 std::vector<InotifyEvent>& events);

  InotifyFilter filter_;
  UniqueFd fd_;
  UniqueFd wakeFd_;
  std::map<std::string, bool> roots_;                 // folder given to Add -> subtree
  std::map<std::string, int> watchOf_;                // every watched path -> its watch
  std::map<int, std::vector<std::string>> pathsOf_;   // watch -> the paths it stands for
};

}  // namespace quorvane
