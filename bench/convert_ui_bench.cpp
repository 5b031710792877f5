// The conversion dialog's batch against quorvane-convert on the same photographs and
// settings, and how long the main thread ever waits meanwhile.
//
//   build/bench/convert_ui_bench [--benchmark_filter=...]
//
// QUORVANE_BENCH_COUNT (default 100) photographs of QUORVANE_BENCH_SIZE (default
// 4000x3000, 12 megapixels) are made once in /tmp/quorvane-bench-batch (ImageMagick).
// Each benchmark runs the whole batch once per iteration:
//   GuiBatch   the dialog (offscreen), from exec() to its closing; max_wait_ms is the
//              longest gap between two turns of the main thread's event loop (a 1 ms
//              timer), that is the longest the window could not answer;
//   CliBatch   quorvane-convert with the same files and settings (one process, -j 1);
//   IdleLoop   the same timer on an idle event loop for 10 s: the machine's own floor;
//   GuiStop    Stop clicked 20 ms into a smooth rotation of a photograph; stop_ms is the
//              time from the click to the dialog's end of batch.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPushButton>
#include <QTimer>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "imaging/OpenIL.h"
#include "processing/ConvertEngine.h"
#include "processing/ui/ConvertDialog.h"

namespace {

using namespace quorvane;
namespace fs = std::filesystem;

std::string BuildDir() { return fs::read_symlink("/proc/self/exe").parent_path().parent_path(); }

int EnvInt(const char* name, int fallback) {
  const char* v = std::getenv(name);
  return v && *v ? std::atoi(v) : fallback;
}

// The photographs, made once: one plasma landscape with grain, copied.
const std::vector<std::string>& Photos() {
  static const std::vector<std::string> photos = [] {
    const int count = EnvInt("QUORVANE_BENCH_COUNT", 100);
    const char* sizeEnv = std::getenv("QUORVANE_BENCH_SIZE");
    const std::string size = sizeEnv && *sizeEnv ? sizeEnv : "4000x3000";
    const std::string dir = "/tmp/quorvane-bench-batch/" + size;
    fs::create_directories(dir);
    const std::string base = dir + "/base.jpg";
    if (!fs::exists(base)) {
      const std::string cmd = "convert -seed 11 -size " + size +
                              " plasma:fractal -blur 0x1.2 -attenuate 0.25 +noise Gaussian "
                              "-quality 90 '" + base + "'";
      if (std::system(cmd.c_str()) != 0) std::abort();
    }
    std::vector<std::string> list;
    for (int i = 1; i <= count; ++i) {
      char name[32];
      std::snprintf(name, sizeof name, "/photo_%03d.jpg", i);
      const std::string path = dir + name;
      if (!fs::exists(path)) fs::copy_file(base, path);
      list.push_back(path);
    }
    return list;
  }();
  return photos;
}

std::string FreshOutput(const char* name) {
  const std::string out = "/tmp/quorvane-bench-batch/out-" + std::string(name);
  fs::remove_all(out);
  return out;
}

// The settings of both sides: a 50 % smooth resize to JPEG at the default quality.
void Configure(ConvertParams& p, const std::string& out) {
  p.FileList = Photos();
  p.OutputFolder = out;
  p.TargetExt = ".jpg";
  p.OpCode = opResize;
  p.Percent = 50;
}
const char* kCliArgs = "--resize 50% -f jpg";

void GuiBatch(benchmark::State& state) {
  double maxWait = 0;
  for (auto _ : state) {
    ConvertDialog dlg;
    Configure(dlg.Params(), FreshOutput("gui"));
    QElapsedTimer sinceTick;
    double longest = 0;
    QTimer tick;
    tick.setInterval(1);
    QObject::connect(&tick, &QTimer::timeout, [&] {
      // While the batch runs: the dialog's own first showing is not the batch's.
      if (dlg.Started() && !dlg.Finished())
        longest = std::max(longest, double(sinceTick.nsecsElapsed()) / 1e6);
      sinceTick.restart();
    });
    dlg.Timer1->setInterval(0);  // the 400 ms start delay is not the batch
    QElapsedTimer clock;
    clock.start();
    sinceTick.start();
    tick.start();
    const int result = dlg.exec();
    state.SetIterationTime(double(clock.nsecsElapsed()) / 1e9);
    if (result != 1) state.SkipWithError("the batch failed");
    maxWait = std::max(maxWait, longest);
  }
  state.counters["files"] = double(Photos().size());
  state.counters["max_wait_ms"] = maxWait;
}

// The same 1 ms timer on an idle event loop for ten seconds: what the machine itself
// makes the main thread wait, the floor under max_wait_ms.
void IdleLoop(benchmark::State& state) {
  double longest = 0;
  for (auto _ : state) {
    QEventLoop loop;
    QElapsedTimer sinceTick, clock;
    QTimer tick;
    tick.setInterval(1);
    QObject::connect(&tick, &QTimer::timeout, [&] {
      longest = std::max(longest, double(sinceTick.nsecsElapsed()) / 1e6);
      sinceTick.restart();
      if (clock.elapsed() >= 10000) loop.quit();
    });
    clock.start();
    sinceTick.start();
    tick.start();
    loop.exec();
    state.SetIterationTime(double(clock.nsecsElapsed()) / 1e9);
  }
  state.counters["max_wait_ms"] = longest;
}

void CliBatch(benchmark::State& state) {
  std::string files;
  for (const std::string& p : Photos()) files += " '" + p + "'";
  for (auto _ : state) {
    const std::string cmd = "'" + BuildDir() + "/quorvane-convert' --quiet " + kCliArgs + " -o " +
                            FreshOutput("cli") + files;
    QElapsedTimer clock;
    clock.start();
    const int rc = std::system(cmd.c_str());
    state.SetIterationTime(double(clock.nsecsElapsed()) / 1e9);
    if (rc != 0) state.SkipWithError("quorvane-convert failed");
  }
  state.counters["files"] = double(Photos().size());
}

// Counts the start of each pixel step.
class StepWatch : public ConvertIO {
 public:
  std::atomic<bool> inStep{false};
  bool RunStep(Bitmap& b, const ConvertParams& p, const StopSource* s,
               const std::function<void(int)>& pause, bool* interrupted) override {
    inStep = true;
    return ConvertIO::RunStep(b, p, s, pause, interrupted);
  }
};

void GuiStop(benchmark::State& state) {
  double worst = 0;
  for (auto _ : state) {
    StepWatch io;
    ConvertDialog dlg(nullptr, &io);
    Configure(dlg.Params(), FreshOutput("stop"));
    dlg.Params().OpCode = opRotate;  // a long step that polls Stop between rows
    dlg.Params().RotateAngle = 10;
    dlg.Timer1->setInterval(0);
    bool clicked = false;
    QElapsedTimer sinceClick;
    double stopMs = -1;
    QTimer poll;
    poll.setInterval(1);
    QObject::connect(&poll, &QTimer::timeout, [&] {
      if (!clicked && io.inStep) {
        clicked = true;
        QTimer::singleShot(20, &dlg, [&] {
          sinceClick.start();
          dlg.Button1->click();
        });
      }
      if (sinceClick.isValid() && dlg.Finished() && stopMs < 0) {
        stopMs = double(sinceClick.nsecsElapsed()) / 1e6;
        dlg.done(2);
      }
    });
    poll.start();
    QElapsedTimer clock;
    clock.start();
    dlg.exec();
    state.SetIterationTime(double(clock.nsecsElapsed()) / 1e9);
    if (stopMs < 0) state.SkipWithError("Stop was not taken");
    worst = std::max(worst, stopMs);
  }
  state.counters["stop_ms"] = worst;
}

}  // namespace

BENCHMARK(GuiBatch)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(2);
BENCHMARK(CliBatch)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(2);
BENCHMARK(IdleLoop)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(GuiStop)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  setenv("QUORVANE_CODEC_HELPER", (BuildDir() + "/quorvane-codec").c_str(), 0);
  QApplication app(argc, argv);
  if (!BindCodecLibrary() || !CodecInit()) {
    std::fputs("the codec library cannot be bound\n", stderr);
    return 1;
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
