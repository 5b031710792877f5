#include "thumbnails/ui/ThumbnailTrace.h"

#include <QKeyEvent>
#include <cstdio>
#include <ctime>

namespace quorvane {

namespace {

// CLOCK_MONOTONIC in ms: the clock X servers stamp their events with.
qint64 MonotonicMs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return qint64(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

// Every visible cell of a file has been handled (and there is at least one).
bool VisibleCellsDone(ImgListView& view) {
  const QRect area = view.viewport()->rect();
  int visible = 0;
  for (int i = 0; i < view.Count(); ++i) {
    if (!view.visualRect(view.model()->index(i, 0)).intersects(area)) continue;
    GridItem* item = view.Item(i);
    if (!item || item->IsFolder()) continue;
    if (!item->Handled) return false;
    ++visible;
  }
  return visible > 0;
}

}  // namespace

void ThumbnailTrace::FolderOpening(ImgListView&) {
  clock_.start();
  stored_ = 0;
  firstScreen_ = false;
  std::fprintf(stderr, "trace: open-folder t=0 monotonic=%lld\n", (long long)MonotonicMs());
}

void ThumbnailTrace::ThumbnailStored(ImgListView& view, const GridItem& item, int result) {
  const qint64 t = clock_.isValid() ? clock_.elapsed() : -1;
  std::fprintf(stderr, "trace: thumbnail n=%d index=%d result=%d t=%lld\n", ++stored_,
               item.Index(), result, (long long)t);
  if (!firstScreen_ && VisibleCellsDone(view)) {
    firstScreen_ = true;
    std::fprintf(stderr, "trace: first-screen t=%lld stored=%d\n", (long long)t, stored_);
  }
}

void ThumbnailTrace::QueueDrained(ImgListView&) {
  std::fprintf(stderr, "trace: queue-drained t=%lld stored=%d\n", (long long)clock_.elapsed(),
               stored_);
}

void ThumbnailTrace::KeyPressed(ImgListView&, const QKeyEvent& e) {
  if (!clock_.isValid()) return;
  keyAt_ = clock_.elapsed();
  keyXTime_ = e.timestamp();
  key_ = e.key();
}

void ThumbnailTrace::Painted(ImgListView&) {
  if (keyAt_ < 0) return;
  const qint64 now = MonotonicMs();
  std::fprintf(stderr, "trace: key-paint key=0x%x from-handler=%lld from-x-event=%lld\n", key_,
               (long long)(clock_.elapsed() - keyAt_),
               (long long)((quint64(now) - keyXTime_) & 0xffffffffu));
  keyAt_ = -1;
}

}  // namespace quorvane
