#pragma once
// ThumbnailTrace: the grid's timing as lines on stderr, for bench/grid_peers.sh (the
// program installs it on its grid when QUORVANE_TRACE_THUMBNAILS is set):
//   trace: open-folder t=0 monotonic=MS          OpenFolder (CLOCK_MONOTONIC in ms)
//   trace: thumbnail n=N index=I result=R t=MS   each stored result
//   trace: first-screen t=MS stored=N            every visible cell has its thumbnail
//   trace: queue-drained t=MS stored=N           the job queue ran empty
//   trace: key-paint key=0xK from-handler=MS from-x-event=MS
//                                                the first paint after a key press
// Times t are in ms since the last OpenFolder.

#include <QElapsedTimer>

#include "thumbnails/ui/ImgListView.h"

namespace quorvane {

class ThumbnailTrace : public ImgListViewObserver {
 public:
  void FolderOpening(ImgListView& view) override;
  void ThumbnailStored(ImgListView& view, const GridItem& item, int result) override;
  void QueueDrained(ImgListView& view) override;
  void KeyPressed(ImgListView& view, const QKeyEvent& e) override;
  void Painted(ImgListView& view) override;

 private:
  QElapsedTimer clock_;  // since OpenFolder
  int stored_ = 0;
  bool firstScreen_ = false;
  qint64 keyAt_ = -1;     // clock_ ms at the last key press, -1 when painted
  quint64 keyXTime_ = 0;  // that key event's X server time (ms)
  int key_ = 0;
};

}  // namespace quorvane
