// The item model at scale: a folder of 100,000 empty files named like camera files
// (IMG_00001.JPG ...). Enumeration with the name sort, add by path, the memory each
// item takes, and the details of every item. (The thumbnail queue: imgthreads_ui_bench.)
//
//   build/bench/folderitems_bench [--benchmark_filter=...]
// The folder is made once under $TMPDIR and removed at the end.

#include <benchmark/benchmark.h>
#include <malloc.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "thumbnails/FolderItems.h"

namespace {

using namespace quorvane;
namespace fs = std::filesystem;

constexpr int kFiles = 100000;

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
    auto view = std::make_unique<ShellFolderView>();
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
    auto view = std::make_unique<ShellFolderView>();
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
    ShellFolderView view;
    view.OpenFolder(folder.Path());
    state.ResumeTiming();
    size_t total = 0;
    for (int i = 0; i < view.Items().Count(); ++i) {
      GridItem* item = view.Items().Items(i);
      total += item->SizeText().size() + item->DateText().size();
    }
    benchmark::DoNotOptimize(total);
  }
}
BENCHMARK(BM_DetailsOfEveryItem)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
