#pragma once
// DirectoryWatch tells its owner, on the main thread, that something changed in one
// directory (optionally in its whole sub-tree). A watch thread waits on inotify; a burst
// of changes less than 10 ms apart gives one OnChange. Changing Directory while active
// moves the watch without restarting the thread; stopping is prompt.

#include <QObject>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

#include "platform/EnumSet.h"
#include "platform/Inotify.h"

namespace quorvane {

enum NotifyFilter { nfFilename, nfDirname, nfAttrib, nfSize, nfLastWrite, nfSecurity };
using NotifyFilterSet = EnumSet<NotifyFilter, int(nfSecurity) + 1>;

// Raised for a directory that does not exist: "Invalid Directory: " + path.
class EDirWatchError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class DirectoryWatch : public QObject {
  Q_OBJECT
 public:
  explicit DirectoryWatch(QObject* parent = nullptr);
  // Deactivates first.
  ~DirectoryWatch() override;

  // The watched directory, always stored with a trailing "/" ("/" at first). Setting a
  // different existing directory stores it (and moves a running watch); a missing one
  // throws EDirWatchError and changes nothing; empty text deactivates and clears it.
  const std::string& Directory() const { return directory_; }
  void SetDirectory(const std::string& value);
  // Kinds of change reported ({nfFilename, nfDirname, nfLastWrite}); a change while
  // active restarts the watch.
  const NotifyFilterSet& NotifyFilters() const { return notifyFilters_; }
  void SetNotifyFilters(const NotifyFilterSet& value);
  // Watch the whole sub-tree (false); a change while active restarts the watch.
  bool WatchSubDirs() const { return watchSubDirs_; }
  void SetWatchSubDirs(bool value);
  // A watch thread runs. Activating with a missing directory throws EDirWatchError and
  // stays inactive.
  bool Active() const { return thread_ != nullptr; }
  void SetActive(bool value);

  // Called on the main thread after a change.
  std::function<void(DirectoryWatch& Sender)> OnChange;

  // The events each filter stands for (InotifyFilter::For).
  static InotifyFilter FilterFor(const NotifyFilterSet& filters);
  // Serial number of the running watch thread, 0 when inactive; every start gives a new
  // one (to check that a move keeps the thread and a filter change restarts it).
  uint64_t WatchThreadSerial() const;

 private:
  class WatchThread;
  void Notify();
  void Stop();

  std::string directory_ = "/";
  NotifyFilterSet notifyFilters_{nfFilename, nfDirname, nfLastWrite};
  bool watchSubDirs_ = false;
  std::unique_ptr<WatchThread> thread_;
  uint64_t threadSerial_ = 0;
};

}  // namespace quorvane
