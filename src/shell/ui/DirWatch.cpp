#include "shell/ui/DirWatch.h"

#include "platform/FileIO.h"

#include <QMetaObject>
#include <chrono>
#include <iterator>
#include <mutex>
#include <thread>

namespace quorvane {

namespace {

// Each filter as the change watchers name it.
constexpr NotifyType kAsNotifyType[] = {intFileName, intDirName, intAttributes,
                                         intSize,     intLastWrite, intSecurity};
static_assert(std::size(kAsNotifyType) == size_t(nfSecurity) + 1);
// Changes closer together than this end up in one notice.
constexpr int kQuietMs = 10;
// Wake-ups closer together than this are taken as one.
constexpr int kWakeDrainMs = 100;

}  // namespace

class DirectoryWatch::WatchThread {
 public:
  WatchThread(DirectoryWatch* owner, std::string directory, InotifyFilter filter, bool subtree)
      : owner_(owner), directory_(std::move(directory)), subtree_(subtree), watch_(filter) {
    // The first watch is set up before the thread runs, so that no change made right
    // after activation is missed.
    const bool watching = watch_.Add(directory_, subtree_);
    thread_ = std::thread([this, watching] { Body(watching); });
  }
  ~WatchThread() { Stop(); }

  void SetDirectory(const std::string& directory) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (directory == directory_) return;
      directory_ = directory;
    }
    watch_.Wake();
  }

  void Stop() {
    terminated_.store(true);
    watch_.Wake();
    if (thread_.joinable()) thread_.join();
  }

 private:
  bool Terminated() const { return terminated_.load(); }

  void Post() {
    if (Terminated()) return;
    DirectoryWatch* owner = owner_;
    QMetaObject::invokeMethod(
        owner, [owner] { owner->Notify(); }, Qt::QueuedConnection);
  }

  // The watched folder itself went away (its watch has ended).
  bool Lost() const { return watch_.Count() == 0; }

  // Waits out the rest of a burst: answers kWake when a wake-up came meanwhile, else
  // kEvents.
  InotifyWatch::WaitResult WaitForQuiet() {
    while (!Terminated() && !Lost()) {
      const InotifyWatch::WaitResult r = watch_.Wait(kQuietMs, events_);
      if (r == InotifyWatch::kEvents) continue;
      if (r == InotifyWatch::kWake) return r;
      break;  // quiet (or the wait failed)
    }
    return InotifyWatch::kEvents;
  }

  void Body(bool watching) {
    while (!Terminated()) {
      std::string directory;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        directory = directory_;
      }
      if (!watching) watching = watch_.Add(directory, subtree_);
      if (!watching) {
        // Nothing to watch (the folder has gone): idle until a new folder or a stop.
        while (!Terminated()) {
          const InotifyWatch::WaitResult r = watch_.Wait(-1, events_);
          if (r == InotifyWatch::kWake) break;
          if (r == InotifyWatch::kError)  // no inotify at all: poll the stop flag
            std::this_thread::sleep_for(std::chrono::milliseconds(kQuietMs));
        }
        continue;
      }
      bool rewatch = false;
      while (!Terminated() && !rewatch) {
        InotifyWatch::WaitResult r = watch_.Wait(-1, events_);
        if (Terminated()) break;
        if (r == InotifyWatch::kEvents) {
          if (!Lost()) r = WaitForQuiet();
          Post();
          if (r == InotifyWatch::kEvents && !Lost()) continue;
        }
        if (r == InotifyWatch::kWake || r == InotifyWatch::kError) {
          while (!Terminated() && watch_.Wait(kWakeDrainMs, events_) == InotifyWatch::kWake) {
          }
        }
        rewatch = true;
      }
      watch_.Clear();
      watching = false;
    }
    watch_.Clear();
  }

  DirectoryWatch* owner_;
  std::mutex mutex_;
  std::string directory_;
  const bool subtree_;
  std::atomic<bool> terminated_{false};
  InotifyWatch watch_;
  std::vector<InotifyEvent> events_;  // the last read (only that there were any counts)
  std::thread thread_;
};

DirectoryWatch::DirectoryWatch(QObject* parent) : QObject(parent) {}

DirectoryWatch::~DirectoryWatch() { Stop(); }

InotifyFilter DirectoryWatch::FilterFor(const NotifyFilterSet& filters) {
  NotifyTypeSet types;
  for (int f = 0; f <= int(nfSecurity); ++f)
    if (filters.Has(NotifyFilter(f))) types.Include(kAsNotifyType[f]);
  return InotifyFilter::For(types);
}

void DirectoryWatch::SetDirectory(const std::string& value) {
  if (value.empty()) {
    Stop();
    directory_.clear();
    return;
  }
  std::string directory = value;
  if (directory.back() != '/') directory += '/';
  if (directory == directory_) return;
  if (!IsFolder(directory)) throw EDirWatchError("Invalid Directory: " + directory);
  directory_ = directory;
  if (thread_) thread_->SetDirectory(directory_);
}

void DirectoryWatch::SetActive(bool value) {
  if (value == Active()) return;
  if (!value) {
    Stop();
    return;
  }
  if (!IsFolder(directory_)) throw EDirWatchError("Invalid Directory: " + directory_);
  thread_ =
      std::make_unique<WatchThread>(this, directory_, FilterFor(notifyFilters_), watchSubDirs_);
  ++threadSerial_;
}

void DirectoryWatch::SetNotifyFilters(const NotifyFilterSet& value) {
  if (value == notifyFilters_) return;
  notifyFilters_ = value;
  if (Active()) {
    Stop();
    SetActive(true);
  }
}

void DirectoryWatch::SetWatchSubDirs(bool value) {
  if (value == watchSubDirs_) return;
  watchSubDirs_ = value;
  if (Active()) {
    Stop();
    SetActive(true);
  }
}

uint64_t DirectoryWatch::WatchThreadSerial() const { return thread_ ? threadSerial_ : 0; }

void DirectoryWatch::Stop() { thread_.reset(); }

void DirectoryWatch::Notify() {
  if (!Active()) return;  // a notice that was on its way when the watch stopped
  try {
    if (OnChange) OnChange(*this);
  } catch (...) {
    // A failing handler must not end the event loop.
  }
}

}  // namespace quorvane
