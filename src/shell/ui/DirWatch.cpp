#include "shell/ui/DirWatch.h"

#include <sys/inotify.h>
#include <sys/stat.h>

#include <QMetaObject>
#include <chrono>
#include <mutex>
#include <thread>

namespace quorvane {

namespace {

constexpr uint32_t kNameEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO;
// Changes closer together than this end up in one notice.
constexpr int kQuietMs = 10;
// Wake-ups closer together than this are taken as one.
constexpr int kWakeDrainMs = 100;

bool IsDirectory(const std::string& path) {
  struct stat st {};
  return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

class TDirectoryWatch::TWatchThread {
 public:
  TWatchThread(TDirectoryWatch* owner, std::string directory, InotifyFilter filter, bool subtree)
      : owner_(owner), directory_(std::move(directory)), filter_(filter), subtree_(subtree) {
    // The first watch is set up before the thread runs, so that no change made right
    // after activation is missed.
    const bool watching = watch_.Watch(directory_, filter_, subtree_);
    thread_ = std::thread([this, watching] { Body(watching); });
  }
  ~TWatchThread() { Stop(); }

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
    TDirectoryWatch* owner = owner_;
    QMetaObject::invokeMethod(
        owner, [owner] { owner->Notify(); }, Qt::QueuedConnection);
  }

  // Waits out the rest of a burst: answers kWake when a wake-up came meanwhile, kLost
  // when the folder went away, else kChange.
  InotifyWatch::WaitResult WaitForQuiet() {
    while (!Terminated()) {
      const InotifyWatch::WaitResult r = watch_.Wait(kQuietMs);
      if (r == InotifyWatch::kChange) continue;
      if (r == InotifyWatch::kWake || r == InotifyWatch::kLost) return r;
      break;  // quiet (or the wait failed)
    }
    return InotifyWatch::kChange;
  }

  void Body(bool watching) {
    while (!Terminated()) {
      std::string directory;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        directory = directory_;
      }
      if (!watching) watching = watch_.Watch(directory, filter_, subtree_);
      if (!watching) {
        // Nothing to watch (the folder has gone): idle until a new folder or a stop.
        while (!Terminated()) {
          const InotifyWatch::WaitResult r = watch_.Wait(-1);
          if (r == InotifyWatch::kWake) break;
          if (r == InotifyWatch::kError)  // no inotify at all: poll the stop flag
            std::this_thread::sleep_for(std::chrono::milliseconds(kQuietMs));
        }
        continue;
      }
      bool rewatch = false;
      while (!Terminated() && !rewatch) {
        InotifyWatch::WaitResult r = watch_.Wait(-1);
        if (Terminated()) break;
        if (r == InotifyWatch::kChange) {
          r = WaitForQuiet();
          Post();
          if (r == InotifyWatch::kChange) continue;
        } else if (r == InotifyWatch::kLost) {
          Post();  // the folder itself was deleted or moved
        } else if (r == InotifyWatch::kTimeout) {
          continue;  // only records that the filter does not ask for
        }
        if (r == InotifyWatch::kWake || r == InotifyWatch::kError) {
          while (!Terminated() && watch_.Wait(kWakeDrainMs) == InotifyWatch::kWake) {
          }
        }
        rewatch = true;
      }
      watch_.Unwatch();
      watching = false;
    }
    watch_.Unwatch();
  }

  TDirectoryWatch* owner_;
  std::mutex mutex_;
  std::string directory_;
  const InotifyFilter filter_;
  const bool subtree_;
  std::atomic<bool> terminated_{false};
  InotifyWatch watch_;
  std::thread thread_;
};

TDirectoryWatch::TDirectoryWatch(QObject* parent) : QObject(parent) {}

TDirectoryWatch::~TDirectoryWatch() { Stop(); }

InotifyFilter TDirectoryWatch::FilterFor(const TNotifyFilters& filters) {
  InotifyFilter f;
  if (filters.Has(nfFilename)) f.FileMask |= kNameEvents;
  if (filters.Has(nfDirname)) f.DirMask |= kNameEvents;
  if (filters.Has(nfAttrib) || filters.Has(nfSecurity)) {
    f.FileMask |= IN_ATTRIB;
    f.DirMask |= IN_ATTRIB;
  }
  if (filters.Has(nfSize) || filters.Has(nfLastWrite)) f.FileMask |= IN_CLOSE_WRITE | IN_ATTRIB;
  return f;
}

void TDirectoryWatch::SetDirectory(const std::string& value) {
  if (value.empty()) {
    Stop();
    directory_.clear();
    return;
  }
  std::string directory = value;
  if (directory.back() != '/') directory += '/';
  if (directory == directory_) return;
  if (!IsDirectory(directory)) throw EDirWatchError("Invalid Directory: " + directory);
  directory_ = directory;
  if (thread_) thread_->SetDirectory(directory_);
}

void TDirectoryWatch::SetActive(bool value) {
  if (value == Active()) return;
  if (!value) {
    Stop();
    return;
  }
  if (!IsDirectory(directory_)) throw EDirWatchError("Invalid Directory: " + directory_);
  thread_ =
      std::make_unique<TWatchThread>(this, directory_, FilterFor(notifyFilters_), watchSubDirs_);
  ++threadSerial_;
}

void TDirectoryWatch::SetNotifyFilters(const TNotifyFilters& value) {
  if (value == notifyFilters_) return;
  notifyFilters_ = value;
  if (Active()) {
    Stop();
    SetActive(true);
  }
}

void TDirectoryWatch::SetWatchSubDirs(bool value) {
  if (value == watchSubDirs_) return;
  watchSubDirs_ = value;
  if (Active()) {
    Stop();
    SetActive(true);
  }
}

uint64_t TDirectoryWatch::WatchThreadSerial() const { return thread_ ? threadSerial_ : 0; }

void TDirectoryWatch::Stop() { thread_.reset(); }

void TDirectoryWatch::Notify() {
  if (!Active()) return;  // a notice that was on its way when the watch stopped
  try {
    if (OnChange) OnChange(*this);
  } catch (...) {
    // A failing handler must not end the event loop.
  }
}

}  // namespace quorvane
