#include "thumbnails/ui/ShellChangeNotification.h"

#include <sys/inotify.h>

#include <QMetaObject>
#include <thread>

namespace quorvane {

namespace {
constexpr uint32_t kNameEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO;
}

struct TShellChangeNotification::Watcher {
  InotifyWatch watch;
  std::thread thread;
  std::atomic<bool> stop{false};
  std::atomic<bool> pending{false};  // a notice is posted and not yet delivered
};

TShellChangeNotification::TShellChangeNotification(QObject* parent) : QObject(parent) {}

TShellChangeNotification::~TShellChangeNotification() { Unwatch(); }

InotifyFilter TShellChangeNotification::FilterFor(const TNotifyTypes& types) {
  InotifyFilter f;
  if (types.Has(intFileName)) f.FileMask |= kNameEvents;
  if (types.Has(intDirName)) f.DirMask |= kNameEvents;
  if (types.Has(intAttributes) || types.Has(intLastAccess) || types.Has(intSecurity)) {
    f.FileMask |= IN_ATTRIB;
    f.DirMask |= IN_ATTRIB;
  }
  if (types.Has(intSize) || types.Has(intLastWrite)) f.FileMask |= IN_CLOSE_WRITE | IN_ATTRIB;
  if (types.Has(intCreation)) {
    f.FileMask |= IN_CREATE | IN_MOVED_TO;
    f.DirMask |= IN_CREATE | IN_MOVED_TO;
  }
  return f;
}

void TShellChangeNotification::SetEnabled(bool value) {
  if (value == enabled_) return;
  enabled_ = value;
  if (!value) Unwatch();
}

bool TShellChangeNotification::Watching() const { return watcher_ != nullptr; }

void TShellChangeNotification::Watch(const std::string& Folder) {
  if (!enabled_ || Folder.empty()) return;
  Unwatch();
  const InotifyFilter filter = FilterFor(notifyTypes_);
  if (filter.Empty()) return;
  auto watcher = std::make_unique<Watcher>();
  if (!watcher->watch.Watch(Folder, filter, false)) return;  // cannot be watched: no watch
  folder_ = Folder;
  const uint64_t generation = ++generation_;
  Watcher* w = watcher.get();
  watcher->thread = std::thread([this, w, generation] {
    while (!w->stop.load()) {
      const InotifyWatch::WaitResult result = w->watch.Wait(-1);
      if (w->stop.load()) break;
      if ((result == InotifyWatch::kChange || result == InotifyWatch::kLost) &&
          !w->pending.exchange(true)) {
        QMetaObject::invokeMethod(
            this, [this, generation] { Deliver(generation); }, Qt::QueuedConnection);
      }
      if (result == InotifyWatch::kLost || result == InotifyWatch::kError) break;
    }
  });
  watcher_ = std::move(watcher);
}

void TShellChangeNotification::Unwatch() {
  if (!watcher_) return;
  watcher_->stop.store(true);
  watcher_->watch.Wake();
  if (watcher_->thread.joinable()) watcher_->thread.join();
  watcher_.reset();
  folder_.clear();
  ++generation_;  // a notice still pending belongs to the old watch
}

void TShellChangeNotification::Deliver(uint64_t generation) {
  if (generation != generation_ || !watcher_) return;
  watcher_->pending.store(false);
  try {
    if (OnChange) OnChange(*this);
  } catch (...) {
    // A failing handler must not end the event loop.
  }
}

}  // namespace quorvane
