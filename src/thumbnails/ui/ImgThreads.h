#pragma once
// The thumbnail job queue and its worker threads.
//
// The queue holds item numbers; the last entry is taken next. Painting a cell queues
// its item urgent (at the end, taken next); look-ahead queues files not urgent (at the
// front, taken last); a number already queued moves to the end. OrderLookAhead puts the
// entries that are still look-ahead ones into the grid's order, behind every urgent
// one. A number whose job is running is not started a second time. Up to ThreadCount()
// persistent workers (ImgThread) run at once, each with its own loader and its own
// codec helpers, so nothing is shared between two decodes; jobs are handed to idle
// workers from the end of the queue. A worker runs the loader on one file below normal
// priority and posts a ThumbnailResultEvent (QEvent::User + 1) to the host's receiver.
// The receiver hands the event to TakeResult, which stores the result through the host
// and hands that worker the next job.
//
// A job is given its item's path, kind and the box size when it starts; the worker
// never reads the collection. Every job carries its own generation; a result that is
// not of a running job (it arrived after a Pause, a CancelAll or a refill abandoned the
// job) is dropped by TakeResult without touching the queue. Pause and CancelAll never
// wait for a worker: they abandon its job (killing a helper that is decoding for it)
// and the worker is given a new job only once its abandoned one has ended.
//
// Everything but the workers' bodies runs on the user-interface thread.

#include <QEvent>
#include <QThread>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <list>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "imaging/CodecClient.h"
#include "thumbnails/FolderItems.h"

class QObject;

namespace quorvane {

class ImgThreads;

// The result message: posted to the host's receiver.
class ThumbnailResultEvent : public QEvent {
 public:
  static constexpr QEvent::Type kType = QEvent::Type(QEvent::User + 1);
  ThumbnailResultEvent(int32_t number, int result, uint64_t generation)
      : QEvent(kType), Number(number), Result(result), Generation(generation) {}
  const int32_t Number;
  // 0 success (the picture is in the loader's Bitmap()); 1 the file is missing or is not
  // a regular file or folder; -1 nothing done; another value: the loader's failure.
  const int Result;
  const uint64_t Generation;
};

// The seam between the queue and the view that owns it (ImgListView implements it;
// tests use a small fake).
class ThumbnailJobHost {
 public:
  virtual ~ThumbnailJobHost() = default;
  // Fills the job for the item with that number when it still wants a thumbnail (the
  // item exists, is not handled, and needs one; ShellFolderView::PrepareThumbnailJob
  // does exactly that). False: the entry is skipped.
  virtual bool PrepareThumbnailJob(int32_t Number, ThumbnailJob& Job) = 0;
  // Called just before a worker starts the job (the view fires OnImageLoad with the
  // queue as Sender).
  virtual void ImageLoad(ImgThreads& Sender, int32_t Number) {
    (void)Sender;
    (void)Number;
  }
  // The loader whose settings every worker's own loader takes (the view's
  // ViewImage.ImgUtil).
  virtual ThumbnailReader& ThumbnailLoader() = 0;
  // The object result events are posted to; it lives on the user-interface thread and
  // passes them to TakeResult.
  virtual QObject* ThumbnailReceiver() = 0;
  // A current result, on the user-interface thread, before its worker gets the next
  // job: store it (ShellFolderView::StoreThumbnailResult), fire OnImageLoaded and
  // repaint the item. The worker's loader holds the picture in its Bitmap().
  virtual void ThumbnailResult(int32_t Number, int Result, ThumbnailReader& Loader) = 0;
};

// One worker: a persistent thread with its own loader (set up like the view's) and its
// own codec and metadata helpers. It runs one job at a time, handed to it by the queue
// on the user-interface thread, below normal priority, and posts a
// ThumbnailResultEvent for every job it finishes, abandoned or not.
class ImgThread : public QThread {
  Q_OBJECT
 public:
  explicit ImgThread(QObject* receiver);
  // Abandons the job, ends the thread and waits for it.
  ~ImgThread() override;

  // The job in hand (its number and generation stay after it finished).
  int32_t Number() const { return number_.load(); }
  uint64_t Generation() const { return generation_.load(); }
  // -1 until the job has run, then its result.
  int Result() const { return result_.load(); }
  bool Terminated() const { return stop_.Terminated(); }
  // The worker's loader: the picture of a finished job is in its Bitmap() until the
  // queue hands it the next job.
  ThumbnailReader& Loader() { return loader_; }
  // Helpers this worker started so far (codec and metadata).
  int HelperStarts() const { return codec_.StartCount() + meta_.StartCount(); }

  // Starts a job (the worker must be idle: its previous job's event was taken).
  void Begin(const ThumbnailJob& job, uint64_t generation);
  // Starts the worker's codec helper now, on its thread, instead of with the first job.
  void StartHelper();
  // Tells the running job to stop without waiting for it: a helper call in progress
  // ends at once (the helper is killed and started afresh for the next job); the job's
  // event still comes, as a stale one.
  void Abandon();

  // The job's result without a thread: 1 when the path is missing or is a FIFO, socket
  // or device (never opened), -1 when the kind needs no thumbnail, else the loader's.
  static int RunJob(const ThumbnailJob& job, ThumbnailReader& loader);

 protected:
  void run() override;

 private:
  QObject* receiver_;
  ThumbnailReader loader_;
  CodecClient codec_;
  CodecClient meta_;
  std::mutex mutex_;
  std::condition_variable wake_;
  ThumbnailJob job_;  // guarded by mutex_
  bool hasJob_ = false;
  bool startHelper_ = false;
  bool quit_ = false;
  std::atomic<int32_t> number_{-1};
  std::atomic<uint64_t> generation_{0};
  std::atomic<int> result_{-1};
  StopFlag stop_;  // the job was abandoned
};

// The queue and its workers.
class ImgThreads {
 public:
  ImgThreads();
  virtual ~ImgThreads();
  ImgThreads(const ImgThreads&) = delete;
  ImgThreads& operator=(const ImgThreads&) = delete;

  // A number already queued moves to the end (taken next); otherwise urgent appends at
  // the end, not urgent inserts at the front (taken last).
  void Queue(int32_t number, bool urgent);
  // Look-ahead in this order (the first taken first), behind every urgent entry: the
  // numbers not queued yet are queued not urgent, the look-ahead entries among them are
  // moved into place; urgent entries and numbers whose job is running stay as they are.
  void OrderLookAhead(const std::vector<int32_t>& numbers);
  void QueueAndStart(int32_t number, bool urgent) {
    Queue(number, urgent);
    Start();
  }
  // Unless paused, hands jobs from the end of the queue to every idle worker, so that
  // the entries taken next start first.
  void Start();
  // Makes the workers and starts their codec helpers before there is a job (while the
  // window is built), so that the first thumbnails do not wait for them.
  void StartHelpers();
  // No new job starts; every running job is abandoned (never waited for) and its
  // number queued again urgent, so that it is taken first after Resume.
  void Pause();
  // Unless busy: clears the pause and starts.
  void Resume();
  // The file of `number` changed: a job running for it (or finished, its result not yet
  // taken) is abandoned, so that a picture of the file as it was is never stored, and
  // the number is queued again urgent. Nothing when no job of it runs.
  void Redo(int32_t number);
  // When a job is running or a worker is still in an abandoned one: empties the queue,
  // abandons the running jobs, clears paused and busy. Otherwise nothing happens.
  void CancelAll();
  // Takes a result event on the user-interface thread. A stale result (not of a job
  // that is running and not abandoned) is dropped: answers false, and a worker whose
  // abandoned job ended is free again. Otherwise hands it to the host (via
  // JobFinished), frees the worker, starts the next jobs and answers true.
  bool TakeResult(const ThumbnailResultEvent& event);

  // Workers: at most this many jobs run at once (1 runs one file at a time; 0 or less:
  // as many as the machine has cores). Takes effect as workers become idle.
  void SetThreadCount(int count);
  int ThreadCount() const { return threadCount_; }

  // A job has been started and its result not yet taken.
  bool Busy() const;
  bool Paused() const { return paused_; }
  int QueueCount() const { return int(queue_.size()); }
  // The queue from the first entry (taken last) to the last (taken next).
  std::vector<int32_t> QueueEntries() const;
  bool IsQueued(int32_t number) const { return where_.count(number) != 0; }
  // The worker of the first running job; null when none.
  ImgThread* Worker() const;
  // The numbers of the running jobs.
  std::vector<int32_t> RunningNumbers() const;
  // Worker threads that exist (idle ones included).
  int WorkerCount() const { return int(slots_.size()); }
  // The generation the next job gets; results of other ones are stale.
  uint64_t Generation() const { return generation_; }

 protected:
  // Takes entries from the end of the queue until one gives a job; fills it and
  // answers true, or false when the queue ran out.
  virtual bool NextJob(ThumbnailJob& job) = 0;
  // Set-up of a worker's loader before each of its jobs.
  virtual void PrepareLoader(ThumbnailReader& loader) = 0;
  // A current result: store it (the picture is in the loader's Bitmap()).
  virtual void JobFinished(int32_t number, int result, ThumbnailReader& loader) = 0;
  // The object result events are posted to.
  virtual QObject* Receiver() = 0;

  // For NextJob: takes the last entry off the queue (false when empty); entries whose
  // job is running already are dropped on the way.
  bool TakeLast(int32_t& number);
  // Ends every worker thread (abandoning their jobs); derived destructors call it.
  void EndWorkers();

 private:
  enum class SlotState { kIdle, kRunning, kAbandoned };
  struct Slot {
    std::unique_ptr<ImgThread> thread;
    SlotState state = SlotState::kIdle;
  };
  Slot* FindSlot(const ThumbnailResultEvent& event);
  size_t WorkersWanted() const;  // the thread count, or one per core
  bool Running(int32_t number) const;
  void AbandonRunning(bool requeue);

  std::list<int32_t> queue_;  // front: taken last; back: taken next
  struct Entry {
    std::list<int32_t>::iterator at;
    bool urgent;
  };
  std::unordered_map<int32_t, Entry> where_;
  std::vector<Slot> slots_;
  int threadCount_ = 1;
  uint64_t generation_ = 1;
  bool paused_ = false;
};

// The queue of a thumbnail view: jobs come from its host.
class FileImage : public ImgThreads {
 public:
  explicit FileImage(ThumbnailJobHost& host) : host_(host) {}
  ~FileImage() override;
  ThumbnailJobHost& Host() const { return host_; }

 protected:
  bool NextJob(ThumbnailJob& job) override;
  void PrepareLoader(ThumbnailReader& loader) override;
  void JobFinished(int32_t number, int result, ThumbnailReader& loader) override;
  QObject* Receiver() override { return host_.ThumbnailReceiver(); }

 private:
  ThumbnailJobHost& host_;
};

}  // namespace quorvane
