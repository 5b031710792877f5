#include <QPushButton>
#include <QSemaphore>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <memory>

#include "platform/ui/WorkerThread.h"

using quorvane::WorkerExecuteThread;
using quorvane::WorkerThread;

class WorkerThreadTest : public QObject {
  Q_OBJECT
 private slots:
  void startWhileRunningNeitherStartsNorRestarts();
  void immediateReturnEndsRunOnMainThread();
  void synchronisedCallAfterTerminateNeverRuns();
  void synchronisedCallRunsOnMainThread();
  void destroyingOwnerWaitsPumpingEvents();
  void clickDuringSynchronisedCallStopsTheJob();
};

void WorkerThreadTest::startWhileRunningNeitherStartsNorRestarts() {
  WorkerThread worker;
  std::atomic<int> runs{0};
  QSemaphore release;
  worker.OnExecute = [&](WorkerThread*, WorkerExecuteThread*, void*&) {
    ++runs;
    release.acquire();
  };
  int data1 = 1, data2 = 2;
  worker.Start(&data1);
  QVERIFY(worker.Running());
  WorkerExecuteThread* first = worker.Thread();
  QTRY_COMPARE(runs.load(), 1);
  worker.Start(&data2);
  QCOMPARE(worker.Thread(), first);
  QCOMPARE(first->Data(), static_cast<void*>(&data1));
  release.release();
  QTRY_VERIFY(!worker.Running());
  QCOMPARE(runs.load(), 1);
  // Once idle, a new start makes a new run.
  worker.Start(&data2);
  release.release();
  QTRY_VERIFY(!worker.Running());
  QCOMPARE(runs.load(), 2);
}

void WorkerThreadTest::immediateReturnEndsRunOnMainThread() {
  WorkerThread worker;
  int terminates = 0;
  WorkerExecuteThread* terminatedThread = nullptr;
  QThread* terminateCalledOn = nullptr;
  bool runningDuringTerminate = true;
  worker.OnExecute = [](WorkerThread*, WorkerExecuteThread*, void*&) {};
  worker.OnTerminate = [&](WorkerThread* sender, WorkerExecuteThread* thread, void*&) {
    ++terminates;
    terminatedThread = thread;
    terminateCalledOn = QThread::currentThread();
    runningDuringTerminate = sender->Running();
  };
  worker.Start();
  WorkerExecuteThread* thread = worker.Thread();
  QVERIFY(thread != nullptr);
  // The job has nothing to do, but the run lasts until the main thread has seen its end.
  QVERIFY(worker.Running());
  QTRY_VERIFY(!worker.Running());
  QCOMPARE(terminates, 1);
  QCOMPARE(terminatedThread, thread);
  QCOMPARE(terminateCalledOn, QThread::currentThread());
  QVERIFY(!runningDuringTerminate);
  QVERIFY(!worker.LastRunTerminated());
}

void WorkerThreadTest::synchronisedCallAfterTerminateNeverRuns() {
  WorkerThread worker;
  QSemaphore flagSet;
  std::atomic<bool> methodRan{false};
  worker.OnExecute = [&](WorkerThread* sender, WorkerExecuteThread* thread, void*&) {
    flagSet.acquire();
    sender->Synchronize(thread,
                        [&](void*, WorkerThread*, WorkerExecuteThread*) { methodRan = true; });
  };
  worker.Start();
  worker.Stop();
  flagSet.release();
  QTRY_VERIFY(!worker.Running());
  QVERIFY(!methodRan.load());
  QVERIFY(worker.LastRunTerminated());
}

void WorkerThreadTest::synchronisedCallRunsOnMainThread() {
  WorkerThread worker;
  QThread* ranOn = nullptr;
  int data = 7;
  int seen = 0;
  std::atomic<bool> returnedAfterCall{false};
  worker.OnExecute = [&](WorkerThread* sender, WorkerExecuteThread* thread, void*&) {
    sender->Synchronize(
        thread,
        [&](void* d, WorkerThread*, WorkerExecuteThread*) {
          ranOn = QThread::currentThread();
          seen = *static_cast<int*>(d);
        },
        &data);
    // The call blocks until the method has returned.
    returnedAfterCall = seen == 7;
  };
  worker.Start();
  QTRY_VERIFY(!worker.Running());
  QCOMPARE(ranOn, QThread::currentThread());
  QVERIFY(returnedAfterCall.load());
  // A null method does nothing.
  worker.OnExecute = [&](WorkerThread* sender, WorkerExecuteThread* thread, void*&) {
    sender->Synchronize(thread, nullptr);
  };
  worker.Start();
  QTRY_VERIFY(!worker.Running());
}

void WorkerThreadTest::destroyingOwnerWaitsPumpingEvents() {
  auto owner = std::make_unique<QObject>();
  auto* worker = new WorkerThread(owner.get());
  std::atomic<bool> jobEnded{false};
  std::atomic<int> calls{0};
  bool terminateCalled = false;
  QSemaphore started;
  worker->OnExecute = [&](WorkerThread* sender, WorkerExecuteThread* thread, void*&) {
    started.release();
    // Keeps handing small calls to the main thread until told to stop: the owner's
    // destruction must deliver them or the thread could never end.
    while (!thread->Terminated()) {
      sender->Synchronize(thread, [&](void*, WorkerThread*, WorkerExecuteThread*) { ++calls; });
      QThread::msleep(2);
    }
    QThread::msleep(50);
    jobEnded = true;
  };
  worker->OnTerminate = [&](WorkerThread*, WorkerExecuteThread*, void*&) {
    terminateCalled = true;
  };
  worker->Start();
  started.acquire();
  QTRY_VERIFY(calls.load() > 2);
  bool timerFired = false;
  QTimer::singleShot(0, [&] { timerFired = true; });
  owner.reset();
  QVERIFY(jobEnded.load());
  QVERIFY(timerFired);  // events were pumped during the wait
  QVERIFY(!terminateCalled);
}

void WorkerThreadTest::clickDuringSynchronisedCallStopsTheJob() {
  QWidget window;
  QPushButton button("stop", &window);
  window.show();
  WorkerThread worker(&window);
  connect(&button, &QPushButton::clicked, &worker, &WorkerThread::Stop);
  int loops = 0;
  bool stoppedInsideCall = false;
  worker.OnExecute = [&](WorkerThread* sender, WorkerExecuteThread* thread, void*&) {
    sender->Synchronize(thread, [&](void*, WorkerThread*, WorkerExecuteThread* t) {
      // Long work on the main thread, pumping events between steps.
      while (!t->Terminated() && loops < 5000) {
        ++loops;
        QCoreApplication::processEvents();
        QThread::msleep(1);
      }
      stoppedInsideCall = t->Terminated();
    });
  };
  QTimer::singleShot(50, [&] { QTest::mouseClick(&button, Qt::LeftButton); });
  worker.Start();
  QTRY_VERIFY_WITH_TIMEOUT(!worker.Running(), 10000);
  QVERIFY(stoppedInsideCall);
  QVERIFY(loops < 5000);
  QVERIFY(worker.LastRunTerminated());
}

QTEST_MAIN(WorkerThreadTest)
#include "workerthread_qtest.moc"
