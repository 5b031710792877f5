// The thumbnail grid's painting speed over a folder of 10,000 pictures whose thumbnails
// are already stored: a repaint of the full viewport and a scroll of one page.
//
//   imglistview_bench [benchmark options]        runs offscreen unless told otherwise
//   imglistview_bench --screenshot OUT.png DIR [report|list|small]
//                                                shows the grid on DIR in thumbnail
//                                                style (in the icon view, or the one
//                                                named), waits for its thumbnails and
//                                                saves a picture of the window
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QScreen>
#include <QScrollBar>
#include <QTest>
#include <cstdlib>
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
std::unique_ptr<TImgListView> MakeGrid() {
  auto view = std::make_unique<TImgListView>();
  view->SetIconStyle(iisImage);
  view->SetMultiSelect(true);
  view->SetPaused(true);
  view->resize(1280, 800);
  view->OpenFolder(BenchFolder());
  Bitmap picture(94, 70);
  for (int i = 0; i < view->Count(); ++i) {
    TImgListItem* item = view->Item(i);
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

int Screenshot(const std::string& out, const std::string& folder, const std::string& style) {
  TImgListView view;
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
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
