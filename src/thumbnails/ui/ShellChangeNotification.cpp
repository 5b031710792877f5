#include "thumbnails/ui/ShellChangeNotification.h"

#include <QMetaObject>
#include <thread>

namespace quorvane {

struct FolderChangeNotifier::Watcher {
  explicit Watcher(const InotifyFilter& filter) : watch(filter) {}
  InotifyWatch watch;
  std::thread thread;
  std::atomic<bool> stop{false};
  std::atomic<bool> pending{false};  // a notice is posted and not yet delivered
};

FolderChangeNotifier::FolderChangeNotifier(QObject* parent) : QObject(parent) {}

FolderChangeNotifier::~FolderChangeNotifier() { Unwatch(); }

void FolderChangeNotifier::SetEnabled(bool value) {
  if (value == enabled_) return;
  enabled_ = value;
  if (!value) Unwatch();
}

bool FolderChangeNotifier::Watching() const { return watcher_ != nullptr; }

void FolderChangeNotifier::Watch(const std::string& Folder) {
  if (!enabled_ || Folder.empty()) return;
  Unwatch();
  const InotifyFilter filter = InotifyFilter::For(notifyTypes_);
  if (filter.Empty()) return;
  auto watcher = std::make_unique<Watcher>(filter);
  if (!watcher->watch.Add(Folder)) return;  // cannot be watched: no watch
  folder_ = Folder;
  const uint64_t generation = ++generation_;
  Watcher* w = watcher.get();
  watcher->thread = std::thread([this, w, generation] {
    std::vector<InotifyEvent> events;
    while (!w->stop.load()) {
      const InotifyWatch::WaitResult result = w->watch.Wait(-1, events);
      if (w->stop.load()) break;
      if (result == InotifyWatch::kEvents && !w->pending.exchange(true)) {
        QMetaObject::invokeMethod(
            this, [this, generation] { Deliver(generation); }, Qt::QueuedConnection);
      }
      // The folder itself has gone: its watch has ended.
      if (result == InotifyWatch::kError || w->watch.Count() == 0) break;
    }
  });
  watcher_ = std::move(watcher);
}

void FolderChangeNotifier::Unwatch() {
  if (!watcher_) return;
  watcher_->stop.store(true);
  watcher_->watch.Wake();
  if (watcher_->thread.joinable()) watcher_->thread.join();
  watcher_.reset();
  folder_.clear();
  ++generation_;  // a notice still pending belongs to the old watch
}

void FolderChangeNotifier::Deliver(uint64_t generation) {
  if (generation != generation_ || !watcher_) return;
  watcher_->pending.store(false);
  try {
    if (OnChange) OnChange(*this);
  } catch (...) {
    // A failing handler must not end the event loop.
  }
}

}  // namespace quorvane
