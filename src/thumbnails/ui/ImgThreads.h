#pragma once
// The thumbnail job queue and its worker threads.
//
// The queue holds item numbers; the last entry is taken next. Painting a cell queues
// its item urgent (at the end, taken next); look-ahead queues files not urgent (at the
// front, taken last); a number already queued moves to the end. At most one worker
// (TImgThread) exists at a time; it runs the loader on one file below normal priority
// and posts a TThumbnailResultEvent (QEvent::User + 1) to the host's receiver. The
// receiver hands the event to TakeResult, which stores the result through the host and
// starts the next job.
//
// The worker is given its item's path, kind and the box size when it is created and
// never reads the collection. Each worker carries a job generation; a result whose
// generation is not the current worker's (it arrived after a Pause, a CancelAll or a
// refill) is dropped by TakeResult without touching the queue.
//
// Everything but the worker's body runs on the user-interface thread.

#include <QEvent>
#include <QThread>
#include <atomic>
#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "thumbnails/ImgShare.h"

class QObject;

namespace quorvane {

class TImgThreads;

// The result message: posted to the host's receiver.
class TThumbnailResultEvent : public QEvent {
 public:
  static constexpr QEvent::Type kType = QEvent::Type(QEvent::User + 1);
  TThumbnailResultEvent(int32_t number, int result, uint64_t generation)
      : QEvent(kType), Number(number), Result(result), Generation(generation) {}
  const int32_t Number;
  // 0 success (the picture is in the loader's Bitmap()); 1 the file is missing or is not
  // a regular file or folder; -1 nothing done; another value: the loader's failure.
  const int Result;
  const uint64_t Generation;
};

// The seam between the queue and the view that owns it (TImgListView implements it;
// tests use a small fake).
class ThumbnailJobHost {
 public:
  virtual ~ThumbnailJobHost() = default;
  // Fills the job for the item with that number when it still wants a thumbnail (the
  // item exists, is not handled, and needs one; TShellFolderView::PrepareThumbnailJob
  // does exactly that). False: the entry is skipped.
  virtual bool PrepareThumbnailJob(int32_t Number, TThumbnailJob& Job) = 0;
  // Called just before a worker is created for the job (the view fires OnImageLoad with
  // the queue as Sender).
  virtual void ImageLoad(TImgThreads& Sender, int32_t Number) {
    (void)Sender;
    (void)Number;
  }
  // The loader the workers run (the view's ViewImage.ImgUtil).
  virtual TImgUtil& ThumbnailLoader() = 0;
  // The object result events are posted to; it lives on the user-interface thread and
  // passes them to TakeResult.
  virtual QObject* ThumbnailReceiver() = 0;
  // A current result, on the user-interface thread, before the next job starts: store it
  // (TShellFolderView::StoreThumbnailResult), fire OnImageLoaded and repaint the item.
  // The loader's Bitmap() holds the picture during this call.
  virtual void ThumbnailResult(int32_t Number, int Result) = 0;
};

// One job: runs the loader on one file.
class TImgThread : public QThread {
  Q_OBJECT
 public:
  TImgThread(const TThumbnailJob& job, TImgUtil& loader, QObject* receiver, uint64_t generation);
  ~TImgThread() override;

  int32_t Number() const { return job_.Number; }
  uint64_t Generation() const { return generation_; }
  // -1 until the job has run, then its result.
  int Result() const { return result_.load(); }
  void Terminate() { terminated_.store(true); }
  bool Terminated() const { return terminated_.load(); }
  // Raises the priority to normal, sets the terminate flag and waits for the end.
  void Stop();

  // The job's result without a thread: 1 when the path is missing or is a FIFO, socket
  // or device (never opened), -1 when the kind needs no thumbnail, else the loader's.
  static int RunJob(const TThumbnailJob& job, TImgUtil& loader);

 protected:
  void run() override;

 private:
  TThumbnailJob job_;
  TImgUtil& loader_;
  QObject* receiver_;
  uint64_t generation_;
  std::atomic<int> result_{-1};
  std::atomic<bool> terminated_{false};
  std::atomic<int> tid_{0};         // the running thread's id, for its nice value
  std::atomic<int> normalNice_{0};  // its nice value before it was lowered
};

// The queue and its worker.
class TImgThreads {
 public:
  TImgThreads();
  virtual ~TImgThreads();
  TImgThreads(const TImgThreads&) = delete;
  TImgThreads& operator=(const TImgThreads&) = delete;

  // A number already queued moves to the end (taken next); otherwise urgent appends at
  // the end, not urgent inserts at the front (taken last).
  void Queue(int32_t number, bool urgent);
  void QueueAndStart(int32_t number, bool urgent) {
    Queue(number, urgent);
    Start();
  }
  // Starts the next job unless one is running or the queue is paused.
  void Start();
  // No new worker starts; a running worker is stopped and its number queued again
  // urgent, so that it is taken first after Resume.
  void Pause();
  // Unless busy: clears the pause and starts.
  void Resume();
  // When busy: empties the queue, stops the worker, clears paused and busy. When not
  // busy nothing happens.
  void CancelAll();
  // Takes a result event on the user-interface thread. A stale result (not from the
  // current worker) is dropped: answers false. Otherwise hands it to the host (via
  // JobFinished), clears busy, starts the next job and answers true.
  bool TakeResult(const TThumbnailResultEvent& event);

  bool Busy() const { return busy_; }
  bool Paused() const { return paused_; }
  int QueueCount() const { return int(queue_.size()); }
  // The queue from the first entry (taken last) to the last (taken next).
  std::vector<int32_t> QueueEntries() const;
  bool IsQueued(int32_t number) const { return where_.count(number) != 0; }
  // The current (or finished but not yet freed) worker; null when none.
  TImgThread* Worker() const { return worker_.get(); }
  // The generation the next worker gets; results of earlier ones are stale.
  uint64_t Generation() const { return generation_; }

 protected:
  // Takes entries from the end of the queue until one gives a job, and starts a
  // worker for it. True when a worker was created.
  virtual bool StartNextJob() = 0;
  // A current result: store it.
  virtual void JobFinished(int32_t number, int result) = 0;

  // For StartNextJob: takes the last entry off the queue (false when empty).
  bool TakeLast(int32_t& number);
  // For StartNextJob: creates and starts the worker for a job.
  void StartWorker(const TThumbnailJob& job, TImgUtil& loader, QObject* receiver);
  // Stops and frees the worker, if any; its late result becomes stale.
  void StopWorker();

 private:
  std::list<int32_t> queue_;  // front: taken last; back: taken next
  std::unordered_map<int32_t, std::list<int32_t>::iterator> where_;
  std::unique_ptr<TImgThread> worker_;
  uint64_t generation_ = 1;
  bool busy_ = false;
  bool paused_ = false;
};

// The queue of a thumbnail view: jobs come from its host.
class TFileImage : public TImgThreads {
 public:
  explicit TFileImage(ThumbnailJobHost& host) : host_(host) {}
  ~TFileImage() override;
  ThumbnailJobHost& Host() const { return host_; }

 protected:
  bool StartNextJob() override;
  void JobFinished(int32_t number, int result) override;

 private:
  ThumbnailJobHost& host_;
};

}  // namespace quorvane
