#include "thumbnails/ui/ImgThreads.h"

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QObject>
#include <cerrno>

namespace quorvane {

// ---------------------------------------------------------------- TImgThread

TImgThread::TImgThread(const TThumbnailJob& job, TImgUtil& loader, QObject* receiver,
                       uint64_t generation)
    : job_(job), loader_(loader), receiver_(receiver), generation_(generation) {}

TImgThread::~TImgThread() { Stop(); }

void TImgThread::Stop() {
  if (isRunning()) {
    setPriority(QThread::NormalPriority);
    // Back to the normal nice value so that it ends soon (allowed when privileged).
    const int tid = tid_.load();
    if (tid > 0) setpriority(PRIO_PROCESS, id_t(tid), normalNice_.load());
  }
  Terminate();
  wait();
}

int TImgThread::RunJob(const TThumbnailJob& job, TImgUtil& loader) {
  if (IsIconKind(job.Kind)) return -1;
  // Only regular files and folders are opened: a FIFO would block the reader forever
  // and a device could be huge; such a file gets its icon.
  struct stat st {};
  if (stat(job.Path.c_str(), &st) != 0 || !(S_ISREG(st.st_mode) || S_ISDIR(st.st_mode))) return 1;
  return loader.LoadThumbnail(job.Path, job.Width, job.Height, 0);
}

void TImgThread::run() {
  if (Terminated()) return;
  // Qt's priorities do not reach normal Linux threads; one nice step does.
  const pid_t tid = gettid();
  errno = 0;
  const int nice = getpriority(PRIO_PROCESS, id_t(tid));
  if (errno == 0) {
    normalNice_.store(nice);
    tid_.store(tid);
    setpriority(PRIO_PROCESS, id_t(tid), nice + 1);
  }
  int result = -1;
  try {
    result = RunJob(job_, loader_);
  } catch (...) {
    result = -1;
  }
  if (Terminated()) result = -1;
  result_.store(result);
  if (!Terminated() && receiver_)
    QCoreApplication::postEvent(receiver_,
                                new TThumbnailResultEvent(job_.Number, result, generation_));
}

// ---------------------------------------------------------------- TImgThreads

TImgThreads::TImgThreads() = default;

TImgThreads::~TImgThreads() { StopWorker(); }

void TImgThreads::Queue(int32_t number, bool urgent) {
  const auto found = where_.find(number);
  if (found != where_.end()) {
    queue_.splice(queue_.end(), queue_, found->second);  // taken next
    return;
  }
  const auto at = urgent ? queue_.end() : queue_.begin();
  where_.emplace(number, queue_.insert(at, number));
}

bool TImgThreads::TakeLast(int32_t& number) {
  if (queue_.empty()) return false;
  number = queue_.back();
  queue_.pop_back();
  where_.erase(number);
  return true;
}

std::vector<int32_t> TImgThreads::QueueEntries() const {
  return std::vector<int32_t>(queue_.begin(), queue_.end());
}

void TImgThreads::StopWorker() {
  if (!worker_) return;
  worker_->Stop();
  worker_.reset();
}

void TImgThreads::StartWorker(const TThumbnailJob& job, TImgUtil& loader, QObject* receiver) {
  worker_ = std::make_unique<TImgThread>(job, loader, receiver, generation_);
  worker_->start(QThread::LowPriority);
}

void TImgThreads::Start() {
  if (busy_) return;
  busy_ = true;
  // A finished worker of the previous job: its result has been taken.
  StopWorker();
  ++generation_;
  if (!paused_ && StartNextJob()) return;
  busy_ = false;
}

void TImgThreads::Pause() {
  paused_ = true;
  if (!busy_) return;
  busy_ = false;
  if (worker_) {
    Queue(worker_->Number(), true);
    StopWorker();
  }
  ++generation_;
}

void TImgThreads::Resume() {
  if (busy_) return;
  paused_ = false;
  Start();
}

void TImgThreads::CancelAll() {
  if (!busy_) return;
  queue_.clear();
  where_.clear();
  StopWorker();
  ++generation_;
  paused_ = false;
  busy_ = false;
}

bool TImgThreads::TakeResult(const TThumbnailResultEvent& event) {
  if (!busy_ || !worker_ || event.Generation != worker_->Generation() ||
      event.Number != worker_->Number())
    return false;
  worker_->wait();  // it has posted its result: the loader is free again
  JobFinished(event.Number, event.Result);
  busy_ = false;
  Start();
  return true;
}

// ---------------------------------------------------------------- TFileImage

TFileImage::~TFileImage() { StopWorker(); }

bool TFileImage::StartNextJob() {
  int32_t number = 0;
  while (!Paused() && TakeLast(number)) {
    TThumbnailJob job;
    job.Number = number;
    if (!host_.PrepareThumbnailJob(number, job)) continue;
    job.Number = number;
    host_.ImageLoad(*this, number);
    StartWorker(job, host_.ThumbnailLoader(), host_.ThumbnailReceiver());
    return true;
  }
  return false;
}

void TFileImage::JobFinished(int32_t number, int result) { host_.ThumbnailResult(number, result); }

}  // namespace quorvane
