#include "platform/ui/WorkerThread.h"

#include <QCoreApplication>
#include <QMetaObject>

namespace quorvane {

WorkerExecuteThread::WorkerExecuteThread(WorkerThread* component, void* data)
    : component_(component), data_(data) {}

void WorkerExecuteThread::run() {
  // The job runs without the event lock: it usually blocks in a synchronised call, and
  // the main thread must stay free to take the lock meanwhile.
  try {
    if (component_->OnExecute) component_->OnExecute(component_, this, data_);
  } catch (...) {
    // A job's own error ends the run like a normal return.
  }
  component_->lastRunTerminated_.store(Terminated());
}

WorkerThread::WorkerThread(QObject* owner) : QObject(owner) {}

WorkerThread::~WorkerThread() {
  if (!thread_) return;
  // From here the end of the run is only noted, no event is called.
  destroying_ = true;
  thread_->Terminate();
  // Pending synchronised calls of the job are delivered by the pump, so the thread
  // always gets to its end.
  while (thread_) {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    if (thread_) QThread::msleep(1);
  }
}

void WorkerThread::Start(void* Data) {
  if (thread_) return;
  auto* thread = new WorkerExecuteThread(this, Data);
  thread_ = thread;
  lastRunTerminated_.store(false);
  // The termination notice reaches the component on the main thread.
  connect(
      thread, &QThread::finished, this, [this, thread] { ThreadFinished(thread); },
      Qt::QueuedConnection);
  thread->start(Priority);
}

void WorkerThread::Stop() {
  if (thread_) thread_->Terminate();
}

void WorkerThread::ThreadFinished(WorkerExecuteThread* thread) {
  if (thread != thread_) return;
  thread_ = nullptr;
  thread->wait();
  if (!destroying_ && OnTerminate) {
    std::lock_guard<std::recursive_mutex> lock(eventLock_);
    try {
      void* data = thread->Data();
      OnTerminate(this, thread, data);
    } catch (...) {
      // Event handlers swallow their errors.
    }
  }
  delete thread;
}

void WorkerThread::Synchronize(WorkerExecuteThread* Thread, const SyncMethod& Method,
                                void* Data) {
  if (!Method || (Thread && Thread->Terminated())) return;
  auto call = [&] {
    try {
      Method(Data, this, Thread);
    } catch (...) {
      // The method's errors stay on the main thread.
    }
  };
  if (QThread::currentThread() == thread()) {
    call();
    return;
  }
  QMetaObject::invokeMethod(this, call, Qt::BlockingQueuedConnection);
}

}  // namespace quorvane
