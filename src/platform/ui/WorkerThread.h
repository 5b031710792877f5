#pragma once
// A non-visual component that runs one job at a time on its own execution thread and
// lets that job hand work to the main thread as a synchronised call.
//
// The program's jobs do almost nothing on the execution thread: they pass one method to
// the main thread (Synchronize) and that method polls the execution thread's terminate
// flag while it pumps events itself, so a Stop click is handled during the call.

#include <QObject>
#include <QThread>
#include <atomic>
#include <functional>
#include <mutex>

#include "platform/StopSource.h"

namespace quorvane {

class WorkerThread;

// The execution thread of one run. It is created per Start and freed once its end has
// been handled on the main thread.
class WorkerExecuteThread : public QThread, public StopSource {
  Q_OBJECT
 public:
  WorkerExecuteThread(WorkerThread* component, void* data);

  // The terminate flag: set by anyone (Stop, the owner's destruction), read by the job.
  bool Terminated() const override { return terminated_.load(std::memory_order_acquire); }
  void Terminate() { terminated_.store(true, std::memory_order_release); }

  void* Data() const { return data_; }

 protected:
  void run() override;

 private:
  WorkerThread* component_;
  void* data_;
  std::atomic<bool> terminated_{false};
};

class WorkerThread : public QObject {
  Q_OBJECT
 public:
  // Events, each called with the component, the execution thread and the run's data.
  // OnExecute runs on the execution thread, OnTerminate on the main thread.
  using WorkerEvent =
      std::function<void(WorkerThread* Sender, WorkerExecuteThread* Thread, void*& Data)>;
  // A method handed to the main thread by Synchronize.
  using SyncMethod =
      std::function<void(void* Data, WorkerThread* Sender, WorkerExecuteThread* Thread)>;

  explicit WorkerThread(QObject* owner = nullptr);
  // Waits, pumping events, until a running execution thread has ended.
  ~WorkerThread() override;

  WorkerEvent OnExecute;
  WorkerEvent OnTerminate;
  // Priority given to each new execution thread.
  QThread::Priority Priority = QThread::NormalPriority;

  // Starts a run; does nothing while one is in progress.
  void Start(void* Data = nullptr);
  // Asks the running execution thread (if any) to terminate.
  void Stop();
  // True while an execution thread exists (until its end is handled on the main thread).
  bool Running() const { return thread_ != nullptr; }
  // The current execution thread, null when idle.
  WorkerExecuteThread* Thread() const { return thread_; }
  // Whether the last finished run ended with its terminate flag set.
  bool LastRunTerminated() const { return lastRunTerminated_.load(); }

  // Runs `Method` on the main thread and blocks the calling execution thread until it
  // returns. Does nothing when the thread's terminate flag is already set or no method
  // is given. Called on the main thread itself, the method runs directly.
  void Synchronize(WorkerExecuteThread* Thread, const SyncMethod& Method, void* Data = nullptr);

 private:
  friend class WorkerExecuteThread;
  void ThreadFinished(WorkerExecuteThread* thread);

  WorkerExecuteThread* thread_ = nullptr;  // touched on the main thread only
  std::atomic<bool> lastRunTerminated_{false};
  bool destroying_ = false;
  std::recursive_mutex eventLock_;  // serialises the event calls
};

}  // namespace quorvane
