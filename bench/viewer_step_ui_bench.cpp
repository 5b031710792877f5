// Stepping through a folder of photographs in the viewer: the time from the key to the
// new picture painted, one key every 200 ms, and the process's peak memory; beside it
// the same steps with a full decode and fit per step (what the viewer did before it
// read ahead).
//
// Usage: viewer_step_ui_bench [--decode-per-step] FOLDER [COUNT=50] [INTERVAL_MS=200]
// The folder's photo_*.jpg files in name order (bench/make_bench_photos.sh makes them).
// Runs offscreen on a 1920 x 1080 screen. One mode per run, so that the peak memory is
// the mode's own.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QTemporaryFile>
#include <QtTest>
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "imaging/ReadImage.h"
#include "processing/PixelOps.h"
#include "viewer/ui/ViewerWindow.h"

using namespace quorvane;

namespace {

class ListSource : public ViewerSource {
 public:
  std::vector<std::string> paths;
  int ItemCount() const override { return int(paths.size()); }
  std::string ItemPath(int index) const override { return paths.at(size_t(index)); }
  bool ItemIsFolder(int) const override { return false; }
  int SelectedIndex() const override { return 0; }
};

// Peak resident memory of this process in MiB.
double PeakMiB() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmHWM:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;
  return 0;
}

void Report(const char* mode, std::vector<double> ms) {
  const double first = ms.front();
  std::vector<double> rest(ms.begin() + 1, ms.end());
  std::sort(rest.begin(), rest.end());
  const double median = rest[rest.size() / 2];
  const double p90 = rest[rest.size() * 9 / 10];
  std::printf("%-16s steps %3zu  first %7.1f ms  median %7.1f ms  p90 %7.1f ms  worst %7.1f ms"
              "  peak %6.1f MiB\n",
              mode, ms.size(), first, median, p90, rest.back(), PeakMiB());
}

// Waits out the rest of the interval with the event loop running.
void WaitUntil(const QElapsedTimer& clock, qint64 at) {
  while (clock.elapsed() < at) QTest::qWait(int(std::min<qint64>(5, at - clock.elapsed())));
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  const bool decodePerStep = !args.empty() && args.front() == "--decode-per-step";
  if (decodePerStep) args.erase(args.begin());
  if (args.empty()) {
    std::fprintf(stderr, "usage: viewer_step_ui_bench [--decode-per-step] FOLDER [COUNT] [MS]\n");
    return 2;
  }
  const int count = args.size() > 1 ? std::stoi(args[1]) : 50;
  const int interval = args.size() > 2 ? std::stoi(args[2]) : 200;

  QTemporaryFile config;
  if (!config.open()) return 1;
  config.write(R"({"screens":[{"name":"s","x":0,"y":0,"width":1920,"height":1080,)"
               R"("logicalDpi":96,"logicalBaseDpi":96,"dpr":1}]})");
  config.flush();
  qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + config.fileName().toLocal8Bit());
  QApplication app(argc, argv);

  ListSource source;
  const QStringList names = QDir(QString::fromStdString(args[0]))
                                .entryList({QStringLiteral("photo_*.jpg")}, QDir::Files, QDir::Name);
  for (const QString& name : names.mid(0, count))
    source.paths.push_back(args[0] + "/" + name.toStdString());
  if (source.paths.size() < 3) {
    std::fprintf(stderr, "too few photo_*.jpg files in %s\n", args[0].c_str());
    return 1;
  }

  std::vector<double> ms;
  QElapsedTimer clock;
  if (decodePerStep) {
    // Read, fit into the viewer's box and paint, on every key.
    QLabel label;
    label.resize(1840, 965);
    label.show();
    clock.start();
    for (size_t i = 0; i < source.paths.size(); ++i) {
      WaitUntil(clock, qint64(i) * interval);
      QElapsedTimer step;
      step.start();
      Bitmap picture;
      if (ReadImageFile(source.paths[i], picture)) FitBitmap(picture, 1840, 1080 - 25 - 90, nullptr);
      const QImage view(picture.Bits(), picture.Width(), picture.Height(),
                        qsizetype(picture.Stride()), QImage::Format_BGR888);
      label.setPixmap(QPixmap::fromImage(view));
      label.repaint();
      ms.push_back(step.nsecsElapsed() / 1e6);
    }
    Report("decode per step", ms);
    return 0;
  }

  ViewerWindow dlg;
  dlg.Source = &source;
  clock.start();
  QElapsedTimer step;
  step.start();
  dlg.show();
  dlg.repaint();
  dlg.activateWindow();
  if (!QTest::qWaitForWindowActive(&dlg)) return 1;
  ms.push_back(step.nsecsElapsed() / 1e6);
  for (size_t i = 1; i < source.paths.size(); ++i) {
    WaitUntil(clock, qint64(i) * interval);
    step.start();
    QTest::keyClick(&dlg, Qt::Key_PageDown);
    dlg.repaint();
    ms.push_back(step.nsecsElapsed() / 1e6);
  }
  if (dlg.CurrentIndex() != int(source.paths.size()) - 1) {
    std::fprintf(stderr, "the viewer did not reach the last picture\n");
    return 1;
  }
  Report("read ahead", ms);
  dlg.done(2);
  return 0;
}
