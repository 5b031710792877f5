// The folder tree at scale: expanding a folder that holds 20,000 folders, and selecting
// a path eight levels deep in a tree that was just built (everything below the home
// folder collapsed and unread). Runs offscreen unless QT_QPA_PLATFORM says otherwise;
// the folders are made once in a temporary home folder and removed at the end.

#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <QApplication>
#include <filesystem>
#include <memory>
#include <string>

#include "folders/FolderNamespace.h"
#include "folders/ui/FolderTree.h"

namespace {

using namespace quorvane;

constexpr int kWideCount = 20000;
constexpr int kDeepLevels = 8;
constexpr int kSiblingsPerLevel = 50;  // every level of the deep path has company

struct BenchHome {
  std::string home, wide, deep;

  BenchHome() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "quorvane-tree-XXXXXX").string();
    if (!mkdtemp(tmpl.data())) std::abort();
    home = tmpl;
    wide = home + "/넓은 폴더";
    mkdir(wide.c_str(), 0777);
    for (int i = 0; i < kWideCount; ++i)
      mkdir((wide + "/folder " + std::to_string(i)).c_str(), 0777);
    std::string level = home;
    for (int depth = 1; depth <= kDeepLevels; ++depth) {
      for (int i = 0; i < kSiblingsPerLevel; ++i)
        mkdir((level + "/sibling " + std::to_string(i)).c_str(), 0777);
      level += "/level " + std::to_string(depth);
      mkdir(level.c_str(), 0777);
    }
    deep = level;
    setenv("HOME", home.c_str(), 1);
  }
  ~BenchHome() {
    std::error_code ec;
    std::filesystem::remove_all(home, ec);
  }
};

BenchHome* home = nullptr;

std::unique_ptr<FolderTree> ActiveTree() {
  auto tree = std::make_unique<FolderTree>();
  tree->resize(300, 600);
  tree->show();
  tree->SetActive(true);
  QApplication::processEvents();
  return tree;
}

// Listing alone, as the tree reads it (sub-folder marks included).
void BM_ListWideFolder(benchmark::State& state) {
  std::vector<SubFolder> folders;
  std::string error;
  for (auto _ : state) {
    ListSubFolders(home->wide, folders, error);
    benchmark::DoNotOptimize(folders.data());
  }
  state.counters["folders"] = double(folders.size());
}
BENCHMARK(BM_ListWideFolder)->Unit(benchmark::kMillisecond);

// Expanding the node: reading, sorting, inserting, laying out and painting.
void BM_ExpandWideFolder(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    auto tree = ActiveTree();
    const QModelIndex index = tree->Model()->IndexOf(tree->Model()->FindNode(home->wide, true));
    state.ResumeTiming();
    tree->expand(index);
    tree->scrollTo(tree->model()->index(kWideCount - 1, 0, index));
    QApplication::processEvents();
    state.PauseTiming();
    if (tree->model()->rowCount(index) != kWideCount) state.SkipWithError("folders missing");
    tree.reset();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_ExpandWideFolder)->Unit(benchmark::kMillisecond)->Iterations(5);

// Selecting the deep path from a fresh tree: eight folders read and expanded.
void BM_SelectDeepPath(benchmark::State& state) {
  const QString path = QString::fromStdString(home->deep);
  for (auto _ : state) {
    state.PauseTiming();
    auto tree = ActiveTree();
    state.ResumeTiming();
    tree->SetPath(path);
    QApplication::processEvents();
    state.PauseTiming();
    if (tree->Path() != path) state.SkipWithError("path not selected");
    tree.reset();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_SelectDeepPath)->Unit(benchmark::kMillisecond)->Iterations(20);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  BenchHome bench;
  home = &bench;
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
