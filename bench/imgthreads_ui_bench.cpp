// 1,000 thumbnail results taken through the queue: queueing, one worker thread per job,
// the posted result event, the number lookup and the store into the picture list. The
// loader is given a plug-in that hands over a ready picture, so no decoder is measured.
//
//   build/bench/imgthreads_ui_bench

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QCoreApplication>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "thumbnails/FolderItems.h"
#include "thumbnails/ui/ImgThreads.h"

namespace {

using namespace quorvane;
namespace fs = std::filesystem;

constexpr int kJobs = 1000;

// A folder of 1,000 empty camera files, removed at the end.
class JobFolder {
 public:
  JobFolder() {
    std::string tmpl =
        (fs::temp_directory_path() / ("quorvane-bench-" + std::string(6, 'X'))).string();
    if (!mkdtemp(tmpl.data())) std::abort();
    path_ = tmpl;
    for (int i = 1; i <= kJobs; ++i) {
      char name[32];
      std::snprintf(name, sizeof name, "/IMG_%05d.JPG", i);
      std::ofstream(path_ + name).close();
    }
  }
  ~JobFolder() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

// A plug-in that hands over a ready 94 x 94 picture: the queue's own cost is measured,
// not a decoder's.
struct InstantPlugin : ImagePlugin {
  bool CanLoad(const std::string&) override { return true; }
  bool LoadFile(const std::string&, Bitmap& bitmap) override {
    bitmap.SetSize(94, 94);
    return true;
  }
};

class QueueHost : public QObject, public ThumbnailJobHost, public FolderViewHost {
 public:
  QueueHost() {
    model.ViewImage().ImgUtil().SetCustomPlugin(&plugin);
    model.SetHost(this);
  }
  ~QueueHost() override { queue.CancelAll(); }
  void FolderChanged() override { model.Refill(); }
  InstantPlugin plugin;
  ShellFolderView model;
  FileImage queue{*this};
  int taken = 0;

  bool event(QEvent* e) override {
    if (e->type() != ThumbnailResultEvent::kType) return QObject::event(e);
    queue.TakeResult(*static_cast<ThumbnailResultEvent*>(e));
    return true;
  }
  bool PrepareThumbnailJob(int32_t number, ThumbnailJob& job) override {
    return model.PrepareThumbnailJob(number, job);
  }
  ThumbnailReader& ThumbnailLoader() override { return model.ViewImage().ImgUtil(); }
  QObject* ThumbnailReceiver() override { return this; }
  void ThumbnailResult(int32_t number, int result, ThumbnailReader& loader) override {
    model.StoreThumbnailResult(number, result, loader);
    ++taken;
  }
};

void BM_ThousandResultsThroughTheQueue(benchmark::State& state) {
  static const JobFolder folder;
  for (auto _ : state) {
    state.PauseTiming();
    auto host = std::make_unique<QueueHost>();
    host->model.OpenFolder(folder.Path());
    if (host->model.Items().Count() != kJobs) {
      state.SkipWithError("wrong item count");
      break;
    }
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
