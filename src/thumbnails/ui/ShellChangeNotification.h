#pragma once
// FolderChangeNotifier tells the thumbnail view that the folder it shows changed on
// disk, so that the view can reload it. It watches one folder at a time with inotify on
// a background thread and fires OnChange on the user-interface thread.
//
// Notices are delivered queued, never blocking (Unwatch waits for the watcher on the
// user-interface thread, so a blocking delivery could deadlock). The watcher posts one
// notice per wake-up, however many records it read, and none while one is still
// pending; a notice still pending when its watch is stopped is dropped. OnChange may
// call Watch or Unwatch.

#include <QObject>
#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "platform/Inotify.h"

namespace quorvane {

class FolderChangeNotifier : public QObject {
  Q_OBJECT
 public:
  explicit FolderChangeNotifier(QObject* parent = nullptr);
  ~FolderChangeNotifier() override;

  // Watching allowed (true); clearing it stops the current watch.
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool value);
  // Kinds of change that wake the watcher ({intFileName, intDirName}; see
  // InotifyFilter::For). Takes effect at the next Watch.
  const NotifyTypeSet& NotifyTypes() const { return notifyTypes_; }
  void SetNotifyTypes(const NotifyTypeSet& value) { notifyTypes_ = value; }

  // Starts watching a folder, replacing the current watch. Nothing happens when not
  // Enabled or when the folder has no path (empty): the previous watch stays. A folder
  // that cannot be watched leaves no watch.
  void Watch(const std::string& Folder);
  // Stops the current watch and waits for its thread.
  void Unwatch();
  // True from a successful Watch to Unwatch (also when the folder has gone since and
  // its watcher has ended).
  bool Watching() const;
  const std::string& WatchedFolder() const { return folder_; }

  // Fired on the user-interface thread after a change.
  std::function<void(FolderChangeNotifier& Sender)> OnChange;

 private:
  struct Watcher;
  void Deliver(uint64_t generation);

  bool enabled_ = true;
  NotifyTypeSet notifyTypes_{intFileName, intDirName};
  std::string folder_;
  std::unique_ptr<Watcher> watcher_;
  uint64_t generation_ = 0;
};

}  // namespace quorvane
