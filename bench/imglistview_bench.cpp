// The thumbnail grid's painting speed over a folder of 10,000 pictures whose thumbnails
// are already stored: a repaint of the full viewport and a scroll of one page.
//
//   imglistview_bench [benchmark options]        runs offscreen unless told otherwise
//   imglistview_bench --follow                  the grid following the disk: 2,000 shown
//                                                pictures, 1,000 copied in by another
//                                                process (cp), then a 2 GB file pasted
//                                                (QUORVANE_BENCH_PASTE_MB to change it);
//                                                prints the time until the grid shows
//                                                them, whole repaints, key waits and
//                                                thumbnails lost
//   imglistview_bench --screenshot OUT.png DIR [report|list|small]
//                                                shows the grid on DIR in thumbnail
//                                                style (in the icon view, or the one
//                                                named), waits for its thumbnails and
//                                                saves a picture of the window
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QMimeData>
#include <QPaintEvent>
#include <QProcess>
#include <QTimer>
#include <QElapsedTimer>
#include <QScreen>
#include <QScrollBar>
#include <QTest>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "imaging/Bitmap.h"
#include "thumbnails/ui/ImgListView.h"

namespace fs = std::filesystem;
using namespace quorvane;

namespace {

constexpr int kItems = 10000;

// A folder of empty picture files, made once per run.
const std::string& BenchFolder() {
  static const std::string folder = [] {
    std::string path = (fs::temp_directory_path() / "quorvane-grid-bench").string();
    fs::create_directories(path);
    for (int i = 0; i < kItems; ++i) {
      char name[32];
      std::snprintf(name, sizeof name, "/IMG_%05d.JPG", i + 1);
      if (!fs::exists(path + name)) std::ofstream(path + name).put('\0');
    }
    return path;
  }();
  return folder;
}

// A grid of 1280 x 800 on the folder, every thumbnail stored already.
std::unique_ptr<ImgListView> MakeGrid() {
  auto view = std::make_unique<ImgListView>();
  view->SetIconStyle(iisImage);
  view->SetMultiSelect(true);
  view->SetPaused(true);
  view->resize(1280, 800);
  view->OpenFolder(BenchFolder());
  Bitmap picture(94, 70);
  for (int i = 0; i < view->Count(); ++i) {
    GridItem* item = view->Item(i);
    picture.Fill(RGB(uint8_t(i * 7), uint8_t(i * 13), uint8_t(i * 3)));
    item->ThumbnailIndex = view->FolderView().Thumbnails().Add(picture);
    item->Handled = true;
    item->ImageKind();
  }
  view->show();
  if (!QTest::qWaitForWindowExposed(view.get())) std::fprintf(stderr, "the grid was not shown\n");
  QApplication::processEvents();
  return view;
}

void BM_RepaintViewport(benchmark::State& state) {
  auto view = MakeGrid();
  for (auto _ : state) {
    QPixmap shot = view->viewport()->grab();
    benchmark::DoNotOptimize(shot);
  }
  state.counters["cells"] =
      double(view->viewport()->width() / 115 * (view->viewport()->height() / 132 + 1));
}
BENCHMARK(BM_RepaintViewport)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ScrollOnePage(benchmark::State& state) {
  auto view = MakeGrid();
  QScrollBar* bar = view->verticalScrollBar();
  int direction = 1;
  for (auto _ : state) {
    int next = bar->value() + direction * bar->pageStep();
    if (next > bar->maximum() || next < bar->minimum()) {
      direction = -direction;
      next = bar->value() + direction * bar->pageStep();
    }
    bar->setValue(next);
    view->viewport()->repaint();
  }
  state.counters["page_rows"] = bar->pageStep();  // the view scrolls by rows of cells
}
BENCHMARK(BM_ScrollOnePage)->Unit(benchmark::kMillisecond)->UseRealTime();

// Watches the grid while it follows the disk: whole repaints, and how long a key press
// posted to it waits until the grid has painted after handling it.
class KeyProbe : public QObject {
 public:
  explicit KeyProbe(ImgListView& view) : view_(view) {
    view.installEventFilter(this);
    view.viewport()->installEventFilter(this);
    clock_.start();
    connect(&timer_, &QTimer::timeout, this, [this] { PostKey(); });
    timer_.start(30);
  }
  int WholeRepaints() const { return whole_; }
  qint64 LongestWaitMs() const { return longest_; }
  int Keys() const { return keys_; }
  int Slow() const { return slow_; }  // waits over 50 ms

 protected:
  bool eventFilter(QObject* watched, QEvent* e) override {
    if (watched == &view_ && e->type() == QEvent::KeyPress && postedAt_ >= 0) {
      // The repaint the key asked for is posted by now: the next zero timer runs after it.
      QTimer::singleShot(0, this, [this] {
        const qint64 wait = clock_.elapsed() - postedAt_;
        longest_ = std::max(longest_, wait);
        slow_ += wait > 50;
        postedAt_ = -1;
      });
    }
    if (watched == view_.viewport() && e->type() == QEvent::Paint &&
        static_cast<QPaintEvent*>(e)->rect().contains(view_.viewport()->rect()))
      ++whole_;
    return false;
  }

 private:
  void PostKey() {
    if (postedAt_ >= 0) return;  // the last one is still on its way
    postedAt_ = clock_.elapsed();
    ++keys_;
    const Qt::Key key = (keys_ / 4) % 2 ? Qt::Key_Left : Qt::Key_Right;
    QApplication::postEvent(&view_, new QKeyEvent(QEvent::KeyPress, key, Qt::NoModifier));
  }
  ImgListView& view_;
  QElapsedTimer clock_;
  QTimer timer_;
  qint64 postedAt_ = -1;
  qint64 longest_ = 0;
  int keys_ = 0, whole_ = 0, slow_ = 0;
};

int Follow() {
  const std::string root = (fs::temp_directory_path() / "quorvane-follow-bench").string();
  fs::remove_all(root);
  const std::string shown = root + "/shown", incoming = root + "/incoming";
  fs::create_directories(shown);
  fs::create_directories(incoming);
  for (int i = 0; i < 2000; ++i)
    std::ofstream(shown + "/IMG_" + std::to_string(10000 + i) + ".JPG").put('\0');
  for (int i = 0; i < 1000; ++i)
    std::ofstream(incoming + "/NEW_" + std::to_string(10000 + i) + ".JPG") << std::string(40000, 'x');
  ImgListView view;
  view.SetIconStyle(iisImage);
  view.SetMultiSelect(true);
  view.SetPaused(true);  // the 2,000 thumbnails are made below; no decoder runs
  view.ShellChangeNotification().SetNotifyTypes({intCreation, intDirName, intSize, intFileName});
  view.resize(1280, 800);
  view.OpenFolder(shown);
  Bitmap picture(94, 70);
  std::vector<std::pair<GridItem*, int>> made;
  for (int i = 0; i < view.Count(); ++i) {
    GridItem* item = view.Item(i);
    item->ThumbnailIndex = view.FolderView().Thumbnails().Add(picture);
    item->Handled = true;
    made.emplace_back(item, item->ThumbnailIndex);
  }
  view.show();
  if (!QTest::qWaitForWindowExposed(&view)) return 1;
  view.setFocus();
  view.SetItemIndex(0);
  QTest::qWait(300);

  {  // nothing happens: the key wait of a grid at rest, for comparison
    KeyProbe probe(view);
    QTest::qWait(2000);
    std::printf("at-rest: keys=%d longest_key_wait_ms=%lld whole_repaints=%d\n", probe.Keys(),
                (long long)probe.LongestWaitMs(), probe.WholeRepaints());
    QElapsedTimer clock;
    clock.start();
    timespec cpu0{}, cpu1{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &cpu0);
    for (int i = 0; i < 10; ++i) view.Rescan();
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &cpu1);
    const double cpuMs = (cpu1.tv_sec - cpu0.tv_sec) * 1e3 + (cpu1.tv_nsec - cpu0.tv_nsec) / 1e6;
    std::printf("rescan-without-change (2,000 items): ms_each=%.1f cpu_ms_each=%.1f\n",
                clock.elapsed() / 10.0, cpuMs / 10);
  }

  {  // 1,000 files copied in by another process
    KeyProbe probe(view);
    QElapsedTimer clock;
    clock.start();
    QProcess cp;
    cp.start("sh", {"-c", QString("cp %1/* %2/").arg(QString::fromStdString(incoming),
                                                    QString::fromStdString(shown))});
    qint64 copied = -1, shownAt = -1;
    while (clock.elapsed() < 60000 && shownAt < 0) {
      QApplication::processEvents(QEventLoop::AllEvents, 5);
      if (copied < 0 && cp.state() == QProcess::NotRunning) copied = clock.elapsed();
      if (view.Count() == 3000) shownAt = clock.elapsed();
    }
    cp.waitForFinished();
    if (copied < 0) copied = clock.elapsed();
    QTest::qWait(500);
    int kept = 0;
    for (const auto& [item, cell] : made)
      kept += view.Items().IndexOfNumber(item->Number()) >= 0 && item->Handled &&
              item->ThumbnailIndex == cell;
    std::printf("copy-in: cp_ms=%lld shown_ms=%lld after_cp_ms=%lld whole_repaints=%d keys=%d "
                "longest_key_wait_ms=%lld over_50ms=%d thumbnails_kept=%d/2000 selection_kept=%s\n",
                (long long)copied, (long long)shownAt, (long long)(shownAt - copied),
                probe.WholeRepaints(), probe.Keys(), (long long)probe.LongestWaitMs(), probe.Slow(), kept,
                view.Selected() ? "yes" : "no");
  }

  {  // a big file pasted
    const char* mb = std::getenv("QUORVANE_BENCH_PASTE_MB");
    const std::uintmax_t size = std::uintmax_t(mb ? std::atoi(mb) : 2048) << 20;
    const std::string big = incoming + "/big.bin";
    std::ofstream(big).put('\0');
    fs::resize_file(big, size);
    QApplication::clipboard()->setMimeData(FileDataObject::MakeMimeData({big}, false).release());
    KeyProbe probe(view);
    QElapsedTimer clock;
    clock.start();
    view.Paste();
    while (view.RunningTransfers() > 0) QApplication::processEvents(QEventLoop::AllEvents, 5);
    std::printf(
        "paste: bytes=%llu ms=%lld keys=%d longest_key_wait_ms=%lld over_50ms=%d "
        "whole_repaints=%d\n",
        (unsigned long long)size, (long long)clock.elapsed(), probe.Keys(),
        (long long)probe.LongestWaitMs(), probe.Slow(), probe.WholeRepaints());
  }
  fs::remove_all(root);
  return 0;
}

int Screenshot(const std::string& out, const std::string& folder, const std::string& style) {
  ImgListView view;
  if (style == "report") view.SetViewStyle(vsReport);
  if (style == "list") view.SetViewStyle(vsList);
  if (style == "small") view.SetIconStyle(iisSmallIcon);
  if (style != "small") view.SetIconStyle(iisImage);
  view.SetMultiSelect(true);
  view.ViewImage().SelectFrame().SetColor(clRed);
  view.SetHideSelection(false);  // no window manager gives the window the focus
  view.setWindowTitle(QStringLiteral("Quorvane - ") + QString::fromStdString(folder));
  view.resize(720, 470);
  view.OpenFolder(folder);
  view.show();
  if (!QTest::qWaitForWindowExposed(&view)) return 1;
  view.setFocus();
  QElapsedTimer clock;
  clock.start();
  // Until every cell is painted with its thumbnail or its icon.
  for (;;) {
    QApplication::processEvents(QEventLoop::AllEvents, 50);
    bool done = !view.JobQueue().Busy() && view.JobQueue().QueueCount() == 0;
    for (int i = 0; done && i < view.Count(); ++i)
      done = view.Item(i)->Handled || view.Item(i)->ThumbnailIndex >= 0;
    if (done || clock.elapsed() > 20000) break;
    QTest::qWait(50);
  }
  // Two pictures selected, as a user picks them for a batch.
  for (int row : {5, 9})
    if (row < view.Count())
      view.selectionModel()->select(view.model()->index(row, 0), QItemSelectionModel::Select);
  QTest::qWait(200);
  QScreen* screen = view.screen();
  const QPixmap shot = screen ? screen->grabWindow(view.winId()) : view.grab();
  return shot.save(QString::fromStdString(out)) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const bool screenshot = (argc == 4 || argc == 5) && std::string(argv[1]) == "--screenshot";
  if (!screenshot && !std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  if (screenshot) return Screenshot(argv[2], argv[3], argc == 5 ? argv[4] : "");
  if (argc == 2 && std::string(argv[1]) == "--follow") return Follow();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
