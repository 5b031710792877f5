// The item model at scale: a folder of 100,000 empty files named like camera files
// (IMG_00001.JPG ...). Enumeration with the name sort, add by path, the memory each
// item takes, and 1,000 thumbnail results taken through the queue.
//
//   build/bench/imgshare_bench [--benchmark_filter=...]
// The folder is made once under $TMPDIR and removed at the end.

#include <benchmark/benchmark.h>
#include <malloc.h>
#include <unistd.h>

#include <QCoreApplication>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "thumbnails/ImgShare.h"
#include "thumbnails/ui/ImgThreads.h"

namespace {

using namespace quorvane;
namespace fs = std::filesystem;

constexpr int kFiles = 100000;
constexpr int kJobs = 1000;

std::string CameraName(int i) {
  char name[32];
  std::snprintf(name, sizeof name, "IMG_%05d.JPG", i);
  return name;
}

// The folder of empty camera files, made on first use.
class BenchFolder {
 public:
  static BenchFolder& Get() {
    static BenchFolder folder;
    return folder;
  }
  const std::string& Path() const { return path_; }
  const std::vector<std::string>& Files() const { return files_; }
  ~BenchFolder() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }

 private:
  BenchFolder() {
    std::string tmpl =
        (fs::temp_directory_path() / ("quorvane-bench-" + std::string(6, 'X'))).string();
    if (!mkdtemp(tmpl.data())) std::abort();
    path_ = tmpl;
    // Created in reverse order, so that the directory order is not already sorted.
    for (int i = kFiles; i >= 1; --i) {
      files_.push_back(path_ + "/" + CameraName(i));
      std::ofstream(files_.back()).close();
    }
  }
  std::string path_;
  std::vector<std::string> files_;
};

size_t HeapInUse() { return mallinfo2().uordblks; }

void BM_EnumerateAndSortByName(benchmark::State& state) {
  const BenchFolder& folder = BenchFolder::Get();
  size_t bytes = 0;
  for (auto _ : state) {
    const size_t before = HeapInUse();
    auto view = std::make_unique<TShellFolderView>();
    view->OpenFolder(folder.Path());  // enumerate, then sort by name
    bytes = HeapInUse() - before;
    if (view->Items().Count() != kFiles) state.SkipWithError("wrong item count");
    state.PauseTiming();
    view.reset();
    state.ResumeTiming();
  }
  state.counters["items"] = kFiles;
  state.counters["bytes_per_item"] = double(bytes) / kFiles;
}
BENCHMARK(BM_EnumerateAndSortByName)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_AddByPathAndSort(benchmark::State& state) {
  const BenchFolder& folder = BenchFolder::Get();
  size_t bytes = 0;
  for (auto _ : state) {
    const size_t before = HeapInUse();
    auto view = std::make_unique<TShellFolderView>();
    view->View().DispTypes().SetNonFolders(false);  // the main window's setting
    view->OpenFolder(folder.Path());
    for (const std::string& path : folder.Files()) view->AddByPath(path);
    view->Sort();
    bytes = HeapInUse() - before;
    if (view->Items().Count() != kFiles) state.SkipWithError("wrong item count");
    state.PauseTiming();
    view.reset();
    state.ResumeTiming();
  }
  state.counters["bytes_per_item"] = double(bytes) / kFiles;
}
BENCHMARK(BM_AddByPathAndSort)->Unit(benchmark::kMillisecond)->Iterations(3);

// Details (size and date texts) of every item, as the report view asks for them.
void BM_DetailsOfEveryItem(benchmark::State& state) {
  const BenchFolder& folder = BenchFolder::Get();
  for (auto _ : state) {
    state.PauseTiming();
    TShellFolderView view;
    view.OpenFolder(folder.Path());
    state.ResumeTiming();
    size_t total = 0;
    for (int i = 0; i < view.Items().Count(); ++i) {
      TImgListItem* item = view.Items().Items(i);
      total += item->SizeText().size() + item->DateText().size();
    }
    benchmark::DoNotOptimize(total);
  }
}
BENCHMARK(BM_DetailsOfEveryItem)->Unit(benchmark::kMillisecond)->Iterations(3);

// A plug-in that hands over a ready 94 x 94 picture: the queue's own cost is measured,
// not a decoder's.
struct InstantPlugin : TImgCustom {
  bool CanLoad(const std::string&) override { return true; }
  bool LoadFile(const std::string&, Bitmap& bitmap) override {
    bitmap.SetSize(94, 94);
    return true;
  }
};

class QueueHost : public QObject, public ThumbnailJobHost, public TFolderViewHost {
 public:
  QueueHost() {
    model.ViewImage().ImgUtil().SetCustomPlugin(&plugin);
    model.SetHost(this);
  }
  ~QueueHost() override { queue.CancelAll(); }
  InstantPlugin plugin;
  TShellFolderView model;
  TFileImage queue{*this};
  int taken = 0;

  bool event(QEvent* e) override {
    if (e->type() != TThumbnailResultEvent::kType) return QObject::event(e);
    queue.TakeResult(*static_cast<TThumbnailResultEvent*>(e));
    return true;
  }
  bool PrepareThumbnailJob(int32_t number, TThumbnailJob& job) override {
    return model.PrepareThumbnailJob(number, job);
  }
  TImgUtil& ThumbnailLoader() override { return model.ViewImage().ImgUtil(); }
  QObject* ThumbnailReceiver() override { return this; }
  void ThumbnailResult(int32_t number, int result) override {
    model.StoreThumbnailResult(number, result, ThumbnailLoader());
    ++taken;
  }
};

void BM_ThousandResultsThroughTheQueue(benchmark::State& state) {
  const BenchFolder& folder = BenchFolder::Get();
  for (auto _ : state) {
    state.PauseTiming();
    auto host = std::make_unique<QueueHost>();
    host->model.View().DispTypes().SetNonFolders(false);
    host->model.OpenFolder(folder.Path());
    for (int i = 0; i < kJobs; ++i) host->model.AddByPath(folder.Files()[size_t(i)]);
    state.ResumeTiming();
    for (int i = 0; i < kJobs; ++i) host->queue.Queue(host->model.Items().Items(i)->Number(), true);
    host->queue.Start();
    while (host->taken < kJobs) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    state.PauseTiming();
    host.reset();
    state.ResumeTiming();
  }
  state.counters["per_result"] =
      benchmark::Counter(double(kJobs) * state.iterations(),
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_ThousandResultsThroughTheQueue)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
