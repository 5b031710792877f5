#include <sys/stat.h>
#include <unistd.h>

#include <QTest>
#include <atomic>
#include <cstdio>
#include <chrono>
#include <filesystem>
#include <thread>

#include "imaging/BmpFile.h"
#include "support/TestDir.h"
#include "thumbnails/FolderItems.h"
#include "thumbnails/ui/ImgThreads.h"

using namespace quorvane;
namespace fs = std::filesystem;

namespace {

// A plug-in that reads "*.gate" files as a small green picture, but only while its gate
// is open: a closed gate holds the worker inside the load.
struct GatePlugin : ImagePlugin {
  std::atomic<bool> open{true};
  std::atomic<int> entered{0};
  std::atomic<int> inside{0}, most{0};  // loads running now, and at most at once
  int delayMs = 0;                      // time each load takes
  bool CanLoad(const std::string& FileName) override {
    return FileName.size() > 5 && FileName.compare(FileName.size() - 5, 5, ".gate") == 0;
  }
  bool LoadFile(const std::string&, Bitmap& bitmap) override {
    ++entered;
    const int now = ++inside;
    for (int m = most; now > m && !most.compare_exchange_weak(m, now);) {
    }
    while (!open.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
    --inside;
    bitmap.SetSize(40, 30);
    bitmap.Fill(clLime);
    return true;
  }
};

// The thumbnail view as far as the queue sees it: the model, the queue, and a record of
// the jobs started and the results taken.
class FakeView : public QObject, public ThumbnailJobHost, public FolderViewHost {
 public:
  FakeView() {
    model.ViewImage().ImgUtil().SetCustomPlugin(&gate);
    model.SetHost(this);
  }
  ~FakeView() override {
    gate.open = true;  // a failed check must not leave a worker in the gate
    queue.CancelAll();
  }

  GatePlugin gate;
  ShellFolderView model;
  FileImage queue{*this};
  std::vector<int32_t> started;
  std::vector<std::pair<int32_t, int>> results;
  int dropped = 0;

  bool event(QEvent* e) override {
    if (e->type() != ThumbnailResultEvent::kType) return QObject::event(e);
    if (!queue.TakeResult(*static_cast<ThumbnailResultEvent*>(e))) ++dropped;
    return true;
  }
  bool PrepareThumbnailJob(int32_t number, ThumbnailJob& job) override {
    return model.PrepareThumbnailJob(number, job);
  }
  void ImageLoad(ImgThreads& sender, int32_t number) override {
    QCOMPARE(&sender, static_cast<ImgThreads*>(&queue));
    started.push_back(number);
  }
  ThumbnailReader& ThumbnailLoader() override { return model.ViewImage().ImgUtil(); }
  QObject* ThumbnailReceiver() override { return this; }
  void ThumbnailResult(int32_t number, int result, ThumbnailReader& loader) override {
    model.StoreThumbnailResult(number, result, loader);
    results.push_back({number, result});
  }
  // The model's side: clearing cancels, look-ahead queues.
  void CancelAllJobs() override { queue.CancelAll(); }
  void FolderChanged() override {
    model.Refill();
    if (!paused) queue.Resume();
  }
  // The view's pause switch.
  void SetPaused(bool value) {
    paused = value;
    if (value)
      queue.Pause();
    else
      queue.Resume();
  }
  bool paused = false;
  void QueueThumbnail(int32_t number, bool urgent) override { queue.Queue(number, urgent); }
  // The grid's host puts look-ahead into the grid's order; off, enumeration order stays.
  bool gridOrder = false;
  void OrderLookAhead(const std::vector<int32_t>& numbers) override {
    if (gridOrder) queue.OrderLookAhead(numbers);
  }

  int32_t NumberOf(const std::string& name) {
    for (int i = 0; i < model.Items().Count(); ++i)
      if (model.Items().Items(i)->Name() == name) return model.Items().Items(i)->Number();
    return -1;
  }
  std::vector<int32_t> ResultNumbers() const {
    std::vector<int32_t> numbers;
    for (const auto& r : results) numbers.push_back(r.first);
    return numbers;
  }
  // Painting a cell: queue urgent and start.
  void Paint(const std::string& name) { queue.QueueAndStart(NumberOf(name), true); }
};

// This process's codec helpers that are running.
int RunningCodecHelpers() {
  int count = 0;
  for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
    const std::string stat = test::ReadFileBytes(entry.path().string() + "/stat");
    const size_t close = stat.rfind(')');
    if (close == std::string::npos || stat.find("(quorvane-codec)") == std::string::npos) continue;
    char state = 0;
    int parent = 0;
    if (std::sscanf(stat.c_str() + close + 1, " %c %d", &state, &parent) == 2 &&
        parent == ::getpid() && state != 'Z')
      ++count;
  }
  return count;
}

void MakeFiles(const test::TestDir& dir, int count) {
  for (int i = 0; i < count; ++i) dir.write("f" + std::to_string(i) + ".gate", "");
}

}  // namespace

class ImgThreadsTest : public QObject {
  Q_OBJECT
 private slots:
  void queueRules();
  void scrollingDecodesTheCellsPaintedLastFirst();
  void pauseRequeuesTheRunningItemFirst();
  void changingFolderCancelsAndDropsLateResults();
  void staleResultNeverStopsTheNewWorker();
  void vanishedAndSpecialFilesGiveResultOne();
  void realPictureIsStoredWithItsSourceSize();
  void severalWorkersStartThePaintedLastFirstAndDecodeEachOnce();
  void pauseAndCancelAbandonRunningDecodesWithoutWaiting();
  void lookAheadFollowsTheGridOrderBehindPaintedCells();
  void aPaintedCellWhoseJobRunsIsNotStartedAgain();
  void helpersStartBeforeTheFirstJob();
};

void ImgThreadsTest::queueRules() {
  FakeView view;
  FileImage& q = view.queue;
  q.Pause();  // nothing starts: the queue alone
  q.Queue(1, false);
  q.Queue(2, true);
  q.Queue(3, false);
  QCOMPARE(q.QueueEntries(), (std::vector<int32_t>{3, 1, 2}));
  q.Queue(1, true);  // already queued: moves to the end
  QCOMPARE(q.QueueEntries(), (std::vector<int32_t>{3, 2, 1}));
  q.Queue(3, false);  // moves to the end whatever urgent says
  QCOMPARE(q.QueueEntries(), (std::vector<int32_t>{2, 1, 3}));
  QVERIFY(q.IsQueued(2));
  QVERIFY(!q.IsQueued(4));
  q.Start();
  QVERIFY(!q.Busy());
  QCOMPARE(q.QueueCount(), 3);
  // Not busy: cancel leaves the queue and the pause alone.
  q.CancelAll();
  QCOMPARE(q.QueueCount(), 3);
  QVERIFY(q.Paused());
}

void ImgThreadsTest::scrollingDecodesTheCellsPaintedLastFirst() {
  test::TestDir dir;
  MakeFiles(dir, 20);
  FakeView view;
  view.queue.SetThreadCount(1);  // one file at a time: results come in the queue's order
  view.model.ViewImage().SetLookAhead(true);
  view.SetPaused(true);
  QVERIFY(view.model.OpenFolder(dir.path()));
  QCOMPARE(view.queue.QueueCount(), 20);  // every file, at the front
  view.Paint("f5.gate");
  view.Paint("f12.gate");
  view.Paint("f7.gate");
  view.Paint("f12.gate");  // painted again: moves to the end, not queued twice
  QCOMPARE(view.queue.QueueCount(), 20);
  view.SetPaused(false);
  QTRY_COMPARE(view.results.size(), size_t(20));
  const std::vector<int32_t> order = view.ResultNumbers();
  QCOMPARE(order[0], view.NumberOf("f12.gate"));
  QCOMPARE(order[1], view.NumberOf("f7.gate"));
  QCOMPARE(order[2], view.NumberOf("f5.gate"));
  // Then the look-ahead entries in the order they were enumerated.
  QVERIFY(std::is_sorted(order.begin() + 3, order.end()));
  QCOMPARE(view.started, order);
  for (int i = 0; i < view.model.Items().Count(); ++i) {
    GridItem* item = view.model.Items().Items(i);
    QVERIFY(item->Handled);
    QCOMPARE(item->SourceWidth, 40);
  }
  QVERIFY(!view.queue.Busy());
  QCOMPARE(view.dropped, 0);
}

void ImgThreadsTest::pauseRequeuesTheRunningItemFirst() {
  test::TestDir dir;
  MakeFiles(dir, 3);
  FakeView view;
  QVERIFY(view.model.OpenFolder(dir.path()));
  view.gate.open = false;
  view.SetPaused(true);
  view.Paint("f2.gate");
  view.Paint("f1.gate");
  view.Paint("f0.gate");
  view.SetPaused(false);  // f0 is taken first and held in the gate
  QTRY_COMPARE(view.gate.entered.load(), 1);
  QVERIFY(view.queue.Busy());
  const int32_t running = view.queue.Worker()->Number();
  QCOMPARE(running, view.NumberOf("f0.gate"));

  view.gate.open = true;
  view.SetPaused(true);
  QVERIFY(!view.queue.Busy());
  QVERIFY(view.queue.Paused());
  QCOMPARE(view.queue.Worker(), nullptr);
  QCOMPARE(view.queue.QueueEntries().back(), running);
  QTest::qWait(50);  // a result the worker may have posted is dropped
  QVERIFY(view.results.empty());
  QVERIFY(!view.model.Items().ItemByNumber(running)->Handled);

  view.SetPaused(false);
  QTRY_COMPARE(view.results.size(), size_t(3));
  QCOMPARE(view.results[0], std::make_pair(running, 0));
  QCOMPARE(view.results[1].first, view.NumberOf("f1.gate"));
  QVERIFY(view.model.Items().ItemByNumber(running)->Handled);
}

void ImgThreadsTest::changingFolderCancelsAndDropsLateResults() {
  test::TestDir first, second;
  MakeFiles(first, 3);
  second.write("new.gate", "");
  FakeView view;
  QVERIFY(view.model.OpenFolder(first.path()));
  view.gate.open = false;
  view.Paint("f0.gate");
  view.Paint("f1.gate");
  QTRY_COMPARE(view.gate.entered.load(), 1);
  view.gate.open = true;
  QVERIFY(view.model.OpenFolder(second.path()));  // clearing cancels all jobs
  QCOMPARE(view.queue.QueueCount(), 0);
  QTest::qWait(50);
  QVERIFY(view.results.empty());  // the late result of the old folder is ignored

  view.Paint("new.gate");
  QTRY_COMPARE(view.results.size(), size_t(1));
  GridItem* item = view.model.Items().Items(0);
  QCOMPARE(view.results[0], std::make_pair(item->Number(), 0));
  Bitmap cell;
  QVERIFY(item->GetThumbnail(cell));
  QCOMPARE(cell.Pixel(47, 47), clLime);
}

void ImgThreadsTest::staleResultNeverStopsTheNewWorker() {
  test::TestDir dir;
  MakeFiles(dir, 2);
  FakeView view;
  QVERIFY(view.model.OpenFolder(dir.path()));
  view.gate.open = false;
  view.Paint("f0.gate");
  QTRY_COMPARE(view.gate.entered.load(), 1);
  ImgThread* worker = view.queue.Worker();
  const int32_t number = worker->Number();
  // A result of an earlier job for the same item, and one of another item.
  QCoreApplication::postEvent(&view,
                              new ThumbnailResultEvent(number, 1, worker->Generation() - 1));
  QCoreApplication::postEvent(
      &view, new ThumbnailResultEvent(view.NumberOf("f1.gate"), 0, worker->Generation()));
  QTRY_COMPARE(view.dropped, 2);
  QVERIFY(view.queue.Busy());
  QCOMPARE(view.queue.Worker(), worker);
  QCOMPARE(view.model.Items().ItemByNumber(number)->ImageKind(), iitCustom);

  view.gate.open = true;
  QTRY_COMPARE(view.results.size(), size_t(1));
  QCOMPARE(view.results[0], std::make_pair(number, 0));
  QVERIFY(view.model.Items().ItemByNumber(number)->ThumbnailIndex >= 0);
}

void ImgThreadsTest::vanishedAndSpecialFilesGiveResultOne() {
  test::TestDir dir;
  dir.write("gone.gate", "");
  FakeView view;
  QVERIFY(view.model.OpenFolder(dir.path()));
  fs::remove(dir.file("gone.gate"));
  view.Paint("gone.gate");
  QTRY_COMPARE(view.results.size(), size_t(1));
  QCOMPARE(view.results[0].second, 1);
  GridItem* item = view.model.Items().Items(0);
  QCOMPARE(item->ImageKind(), iitNone);  // drawn with its icon from now on
  QVERIFY(!view.model.Items().NeedsThumbnail(0));
  view.Paint("gone.gate");  // asked again: no new job
  QTest::qWait(20);
  QCOMPARE(view.results.size(), size_t(1));
  QCOMPARE(view.gate.entered.load(), 0);

  // A FIFO is never opened, whatever its name says.
  QCOMPARE(mkfifo(dir.file("pipe.jpg").c_str(), 0644), 0);
  ThumbnailJob job;
  job.Path = dir.file("pipe.jpg");
  job.Kind = iitJpeg;
  QCOMPARE(ImgThread::RunJob(job, view.ThumbnailLoader()), 1);
}

void ImgThreadsTest::realPictureIsStoredWithItsSourceSize() {
  test::TestDir dir;
  Bitmap red(30, 20);
  red.Fill(clRed);
  WriteBmpFile(dir.file("사진 1.bmp"), red);
  FakeView view;
  QVERIFY(view.model.OpenFolder(dir.path()));
  view.Paint("사진 1.bmp");
  QTRY_COMPARE(view.results.size(), size_t(1));
  QCOMPARE(view.results[0].second, 0);
  GridItem* item = view.model.Items().Items(0);
  QCOMPARE(item->SourceWidth, 30);
  QCOMPARE(item->SourceHeight, 20);
  Bitmap cell;
  QVERIFY(item->GetThumbnail(cell));
  QCOMPARE(cell.Width(), 94);
  QCOMPARE(cell.Pixel(47, 47), clRed);
}

void ImgThreadsTest::severalWorkersStartThePaintedLastFirstAndDecodeEachOnce() {
  test::TestDir dir;
  MakeFiles(dir, 30);
  FakeView view;
  view.gate.delayMs = 5;
  view.queue.SetThreadCount(3);
  view.model.ViewImage().SetLookAhead(true);
  view.SetPaused(true);
  QVERIFY(view.model.OpenFolder(dir.path()));
  view.Paint("f5.gate");
  view.Paint("f12.gate");
  view.Paint("f7.gate");
  view.Paint("f12.gate");
  view.SetPaused(false);
  QTRY_COMPARE(view.results.size(), size_t(30));
  QVERIFY(!view.queue.Busy());
  // Jobs start in the queue's order: the cells painted last first, then look-ahead.
  QCOMPARE(view.started[0], view.NumberOf("f12.gate"));
  QCOMPARE(view.started[1], view.NumberOf("f7.gate"));
  QCOMPARE(view.started[2], view.NumberOf("f5.gate"));
  QVERIFY(std::is_sorted(view.started.begin() + 3, view.started.end()));
  // Each item decoded once, several at a time, by three persistent workers.
  std::vector<int32_t> done = view.ResultNumbers();
  std::sort(done.begin(), done.end());
  QVERIFY(std::adjacent_find(done.begin(), done.end()) == done.end());
  QCOMPARE(view.gate.entered.load(), 30);
  QVERIFY(view.gate.most.load() >= 2);
  QCOMPARE(view.queue.WorkerCount(), 3);
  QCOMPARE(view.dropped, 0);
  for (int i = 0; i < view.model.Items().Count(); ++i)
    QVERIFY(view.model.Items().Items(i)->Handled);
}

void ImgThreadsTest::pauseAndCancelAbandonRunningDecodesWithoutWaiting() {
  test::TestDir dir;
  MakeFiles(dir, 4);
  FakeView view;
  view.queue.SetThreadCount(2);
  QVERIFY(view.model.OpenFolder(dir.path()));
  view.gate.open = false;  // every load hangs until the gate opens
  view.SetPaused(true);
  view.Paint("f3.gate");
  view.Paint("f2.gate");
  view.Paint("f1.gate");
  view.SetPaused(false);  // f1 and f2 start, both held
  QTRY_COMPARE(view.gate.entered.load(), 2);
  const int32_t first = view.NumberOf("f1.gate"), second = view.NumberOf("f2.gate");
  QCOMPARE(view.queue.RunningNumbers().size(), size_t(2));

  // The pause returns while both loads are still held: it never waits for them.
  view.SetPaused(true);
  QCOMPARE(view.gate.inside.load(), 2);
  QVERIFY(!view.queue.Busy());
  const std::vector<int32_t> queued = view.queue.QueueEntries();
  QCOMPARE(queued, (std::vector<int32_t>{view.NumberOf("f3.gate"), second, first}));
  view.SetPaused(false);  // the workers are still in their abandoned loads: none is free
  QVERIFY(view.started.size() == 2);

  // So does a change of folder.
  test::TestDir other;
  other.write("new.gate", "");
  QVERIFY(view.model.OpenFolder(other.path()));
  QCOMPARE(view.gate.inside.load(), 2);
  QCOMPARE(view.queue.QueueCount(), 0);

  // The abandoned loads end: their results are dropped, and the workers take new jobs.
  view.gate.open = true;
  view.Paint("new.gate");
  QTRY_COMPARE(view.results.size(), size_t(1));
  QCOMPARE(view.results[0], std::make_pair(view.NumberOf("new.gate"), 0));
  QTRY_COMPARE(view.dropped, 2);
}

void ImgThreadsTest::lookAheadFollowsTheGridOrderBehindPaintedCells() {
  test::TestDir dir;
  // Made out of order, so that the folder lists them in neither name order.
  for (int i : {7, 2, 11, 0, 9, 4, 13, 1, 6, 12, 3, 10, 5, 8})
    dir.write("f" + std::to_string(i) + ".gate", "");
  FakeView view;
  view.gridOrder = true;
  view.queue.SetThreadCount(1);  // one file at a time: results come in the queue's order
  view.model.ViewImage().SetLookAhead(true);
  view.SetPaused(true);
  QVERIFY(view.model.OpenFolder(dir.path()));
  view.Paint("f4.gate");
  view.Paint("f9.gate");
  // Sorted the other way round now: look-ahead follows, the painted cells stay first.
  view.model.SetDescend(true);
  view.model.Sort();
  view.Paint("f6.gate");
  view.SetPaused(false);
  QTRY_COMPARE(view.results.size(), size_t(14));
  std::vector<int32_t> expected = {view.NumberOf("f6.gate"), view.NumberOf("f9.gate"),
                                   view.NumberOf("f4.gate")};
  for (int i = 13; i >= 0; --i)
    if (i != 4 && i != 6 && i != 9) expected.push_back(view.NumberOf("f" + std::to_string(i) + ".gate"));
  QCOMPARE(view.ResultNumbers(), expected);
  QCOMPARE(view.started, expected);  // each started once
}

void ImgThreadsTest::aPaintedCellWhoseJobRunsIsNotStartedAgain() {
  test::TestDir dir;
  MakeFiles(dir, 3);
  FakeView view;
  view.queue.SetThreadCount(2);
  QVERIFY(view.model.OpenFolder(dir.path()));
  view.gate.open = false;
  view.Paint("f1.gate");
  QTRY_COMPARE(view.gate.entered.load(), 1);
  // Painted again while its decode runs (a look-ahead job reached by scrolling, say):
  // the idle worker does not decode it a second time.
  view.Paint("f1.gate");
  QCOMPARE(view.queue.RunningNumbers(), (std::vector<int32_t>{view.NumberOf("f1.gate")}));
  QCOMPARE(view.queue.QueueCount(), 0);
  view.gate.open = true;
  QTRY_COMPARE(view.results.size(), size_t(1));
  QTest::qWait(50);
  QCOMPARE(view.gate.entered.load(), 1);
  QVERIFY(!view.queue.Busy());
  QCOMPARE(view.dropped, 0);
}

QTEST_GUILESS_MAIN(ImgThreadsTest)
void ImgThreadsTest::helpersStartBeforeTheFirstJob() {
  const int before = RunningCodecHelpers();
  {
    FakeView view;
    view.queue.SetThreadCount(2);
    view.queue.StartHelpers();
    QCOMPARE(view.queue.WorkerCount(), 2);
    QTRY_COMPARE(RunningCodecHelpers(), before + 2);
    QVERIFY(view.results.empty());
    // Asked again (a second window start), no worker starts another.
    view.queue.StartHelpers();
    QTest::qWait(200);
    QCOMPARE(RunningCodecHelpers(), before + 2);
  }
  // They end with their workers.
  QTRY_COMPARE(RunningCodecHelpers(), before);
}

#include "imgthreads_qtest.moc"
