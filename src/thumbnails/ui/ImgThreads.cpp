#include "thumbnails/ui/ImgThreads.h"

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QObject>
#include <algorithm>
#include <cerrno>

#include "imaging/ExifMeta.h"
#include "platform/CoreCount.h"

namespace quorvane {

// ---------------------------------------------------------------- ImgThread

ImgThread::ImgThread(QObject* receiver)
    : receiver_(receiver), codec_(DefaultCodecClient().Options()), meta_(MetaClientOptions()) {
  loader_.SetStop(&stop_);
  start(QThread::LowPriority);
}

ImgThread::~ImgThread() {
  Abandon();
  {
    std::lock_guard lock(mutex_);
    quit_ = true;
  }
  wake_.notify_all();
  wait();
}

void ImgThread::Begin(const ThumbnailJob& job, uint64_t generation) {
  {
    std::lock_guard lock(mutex_);
    job_ = job;
    hasJob_ = true;
    number_.store(job.Number);
    generation_.store(generation);
    result_.store(-1);
    stop_.Reset();
  }
  wake_.notify_all();
}

void ImgThread::StartHelper() {
  {
    std::lock_guard lock(mutex_);
    startHelper_ = true;
  }
  wake_.notify_all();
}

void ImgThread::Abandon() {
  stop_.Terminate();
  codec_.Abandon();
  meta_.Abandon();
}

int ImgThread::RunJob(const ThumbnailJob& job, ThumbnailReader& loader) {
  if (IsIconKind(job.Kind)) return -1;
  // Only regular files and folders are opened: a FIFO would block the reader forever
  // and a device could be huge; such a file gets its icon.
  struct stat st {};
  if (stat(job.Path.c_str(), &st) != 0 || !(S_ISREG(st.st_mode) || S_ISDIR(st.st_mode))) return 1;
  return loader.LoadThumbnail(job.Path, job.Width, job.Height, 0);
}

void ImgThread::run() {
  // Qt's priorities do not reach normal Linux threads; one nice step does.
  const pid_t tid = gettid();
  errno = 0;
  const int nice = getpriority(PRIO_PROCESS, id_t(tid));
  if (errno == 0) setpriority(PRIO_PROCESS, id_t(tid), nice + 1);
  SetThreadHelpers({&codec_, &meta_});
  for (;;) {
    ThumbnailJob job;
    uint64_t generation = 0;
    {
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [this] { return hasJob_ || quit_ || startHelper_; });
      if (quit_) break;
      if (startHelper_ && !hasJob_) {
        startHelper_ = false;
        lock.unlock();
        codec_.Start();
        continue;
      }
      startHelper_ = false;
      job = job_;
      generation = generation_.load();
      hasJob_ = false;
    }
    int result = -1;
    if (!Terminated()) {
      try {
        result = RunJob(job, loader_);
      } catch (...) {
        result = -1;
      }
    }
    if (Terminated()) result = -1;
    result_.store(result);
    bool quitting;
    {
      std::lock_guard lock(mutex_);
      quitting = quit_;
    }
    // Every job's end is reported, an abandoned one's too: it frees the worker.
    if (!quitting && receiver_)
      QCoreApplication::postEvent(receiver_,
                                  new ThumbnailResultEvent(job.Number, result, generation));
  }
  SetThreadHelpers({});
}

// ---------------------------------------------------------------- ImgThreads

ImgThreads::ImgThreads() = default;

ImgThreads::~ImgThreads() { EndWorkers(); }

void ImgThreads::EndWorkers() { slots_.clear(); }

void ImgThreads::SetThreadCount(int count) { threadCount_ = count; }

void ImgThreads::Queue(int32_t number, bool urgent) {
  const auto found = where_.find(number);
  if (found != where_.end()) {
    queue_.splice(queue_.end(), queue_, found->second.at);  // taken next
    found->second.urgent = true;
    return;
  }
  const auto at = urgent ? queue_.end() : queue_.begin();
  where_.emplace(number, Entry{queue_.insert(at, number), urgent});
}

void ImgThreads::OrderLookAhead(const std::vector<int32_t>& numbers) {
  // Each goes to the front in turn: the first of them ends up nearest the urgent ones.
  for (int32_t number : numbers) {
    const auto found = where_.find(number);
    if (found == where_.end()) {
      if (!Running(number)) where_.emplace(number, Entry{queue_.insert(queue_.begin(), number), false});
    } else if (!found->second.urgent) {
      queue_.splice(queue_.begin(), queue_, found->second.at);
    }
  }
}

bool ImgThreads::Running(int32_t number) const {
  return std::any_of(slots_.begin(), slots_.end(), [number](const Slot& slot) {
    return slot.state == SlotState::kRunning && slot.thread->Number() == number;
  });
}

bool ImgThreads::TakeLast(int32_t& number) {
  while (!queue_.empty()) {
    number = queue_.back();
    queue_.pop_back();
    where_.erase(number);
    if (!Running(number)) return true;
  }
  return false;
}

std::vector<int32_t> ImgThreads::QueueEntries() const {
  return std::vector<int32_t>(queue_.begin(), queue_.end());
}

bool ImgThreads::Busy() const {
  return std::any_of(slots_.begin(), slots_.end(),
                     [](const Slot& slot) { return slot.state == SlotState::kRunning; });
}

ImgThread* ImgThreads::Worker() const {
  for (const Slot& slot : slots_)
    if (slot.state == SlotState::kRunning) return slot.thread.get();
  return nullptr;
}

std::vector<int32_t> ImgThreads::RunningNumbers() const {
  std::vector<int32_t> numbers;
  for (const Slot& slot : slots_)
    if (slot.state == SlotState::kRunning) numbers.push_back(slot.thread->Number());
  return numbers;
}

size_t ImgThreads::WorkersWanted() const {
  return size_t(threadCount_ > 0 ? threadCount_ : CoreCount());
}

void ImgThreads::Start() {
  if (paused_) return;
  const size_t count = WorkersWanted();
  // Idle workers beyond the count end (their threads are waited for: they do nothing).
  for (size_t i = slots_.size(); i > count; --i)
    if (slots_[i - 1].state == SlotState::kIdle) slots_.erase(slots_.begin() + long(i - 1));
  for (size_t i = 0; i < count; ++i) {
    if (i == slots_.size()) slots_.emplace_back();
    Slot& slot = slots_[i];
    if (slot.state != SlotState::kIdle) continue;
    ThumbnailJob job;
    if (!NextJob(job)) return;
    if (!slot.thread) slot.thread = std::make_unique<ImgThread>(Receiver());
    PrepareLoader(slot.thread->Loader());
    slot.thread->Begin(job, generation_++);
    slot.state = SlotState::kRunning;
  }
}

void ImgThreads::StartHelpers() {
  const size_t count = WorkersWanted();
  if (slots_.size() < count) slots_.resize(count);
  for (size_t i = 0; i < count; ++i) {
    Slot& slot = slots_[i];
    if (!slot.thread) slot.thread = std::make_unique<ImgThread>(Receiver());
    slot.thread->StartHelper();
  }
}

void ImgThreads::AbandonRunning(bool requeue) {
  std::vector<Slot*> running;
  for (Slot& slot : slots_)
    if (slot.state == SlotState::kRunning) running.push_back(&slot);
  // The job started first is queued last, so that it is taken first again.
  std::sort(running.begin(), running.end(), [](const Slot* a, const Slot* b) {
    return a->thread->Generation() > b->thread->Generation();
  });
  for (Slot* slot : running) {
    if (requeue) Queue(slot->thread->Number(), true);
    slot->thread->Abandon();
    slot->state = SlotState::kAbandoned;
  }
}

void ImgThreads::Pause() {
  paused_ = true;
  if (!Busy()) return;
  AbandonRunning(true);
}

void ImgThreads::Resume() {
  if (Busy()) return;
  paused_ = false;
  Start();
}

void ImgThreads::Redo(int32_t number) {
  for (Slot& slot : slots_) {
    if (slot.state != SlotState::kRunning || slot.thread->Number() != number) continue;
    slot.thread->Abandon();
    slot.state = SlotState::kAbandoned;
    Queue(number, true);
  }
}

void ImgThreads::CancelAll() {
  // Jobs in flight: running ones, or queued ones waiting for a worker whose abandoned
  // job has not ended yet.
  const bool inFlight = std::any_of(slots_.begin(), slots_.end(), [](const Slot& slot) {
    return slot.state != SlotState::kIdle;
  });
  if (!inFlight) return;
  queue_.clear();
  where_.clear();
  AbandonRunning(false);
  paused_ = false;
}

ImgThreads::Slot* ImgThreads::FindSlot(const ThumbnailResultEvent& event) {
  for (Slot& slot : slots_)
    if (slot.state != SlotState::kIdle && slot.thread->Number() == event.Number &&
        slot.thread->Generation() == event.Generation)
      return &slot;
  return nullptr;
}

bool ImgThreads::TakeResult(const ThumbnailResultEvent& event) {
  Slot* slot = FindSlot(event);
  if (!slot) return false;
  if (slot->state == SlotState::kAbandoned) {
    slot->state = SlotState::kIdle;  // its abandoned job has ended
    Start();
    return false;
  }
  JobFinished(event.Number, event.Result, slot->thread->Loader());
  slot->state = SlotState::kIdle;
  Start();
  return true;
}

// ---------------------------------------------------------------- FileImage

FileImage::~FileImage() { EndWorkers(); }

bool FileImage::NextJob(ThumbnailJob& job) {
  int32_t number = 0;
  while (TakeLast(number)) {
    job = ThumbnailJob();
    job.Number = number;
    if (!host_.PrepareThumbnailJob(number, job)) continue;
    job.Number = number;
    host_.ImageLoad(*this, number);
    return true;
  }
  return false;
}

void FileImage::PrepareLoader(ThumbnailReader& loader) { loader.CopySettings(host_.ThumbnailLoader()); }

void FileImage::JobFinished(int32_t number, int result, ThumbnailReader& loader) {
  host_.ThumbnailResult(number, result, loader);
}

}  // namespace quorvane
