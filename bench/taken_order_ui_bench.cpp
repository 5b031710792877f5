// The grid's "찍은 날짜" order on a folder of camera photographs
// (make_taken_photos.sh: 2,000 JPEGs and 500 HEICs): the time from opening the folder
// until the grid shows it in date-taken order, on the first visit (no stored dates:
// every date read through the metadata helper) and on the second (the stored dates).
//
//   bench/make_taken_photos.sh && build/bench/taken_order_ui_bench [folder]
//   (the dates are stored in a fresh $XDG_CACHE_HOME made for the run)

#include <stdlib.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>

#include "thumbnails/ui/ImgListView.h"

using namespace quorvane;

namespace {

// Milliseconds from OpenFolder until the order by date taken stands.
double Visit(const std::string& folder, int& count) {
  ImgListView view;
  view.SetSortType(istTaken);
  QElapsedTimer clock;
  clock.start();
  view.OpenFolder(folder);
  while (view.ReadingTakenDates()) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  const double ms = double(clock.nsecsElapsed()) / 1e6;
  count = view.Count();
  return ms;
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  char cache[] = "/tmp/quorvane-bench-cache-XXXXXX";
  if (!mkdtemp(cache)) return 1;
  setenv("XDG_CACHE_HOME", cache, 1);
  QApplication app(argc, argv);
  const std::string folder = argc > 1 ? argv[1] : "/tmp/quorvane-bench-taken";
  int count = 0;
  const double first = Visit(folder, count);
  std::printf("first visit:  %d files in date-taken order after %.0f ms\n", count, first);
  const double second = Visit(folder, count);
  std::printf("second visit: %d files in date-taken order after %.0f ms\n", count, second);
  std::filesystem::remove_all(cache);
  return 0;
}
