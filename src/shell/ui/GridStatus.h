#pragma once
// The status line under the grid: how many pictures and folders it shows, how many are
// selected and their total size, and the focused picture's size in pixels once known.
// Its accessible description is what it shows: a message while one is up (screen
// readers hear of each), else the counts.

#include <QPointer>
#include <QStatusBar>
#include <cstdint>

class QLabel;
class QTimer;

namespace quorvane {

class ImgListView;

// The line's text for the given counts; `width` and `height` are 0 while the focused
// picture's size is not known (or nothing, or a folder, is focused).
QString GridStatusText(int pictures, int folders, int selected, int64_t selectedBytes, int width,
                       int height);

class GridStatus : public QStatusBar {
  Q_OBJECT
 public:
  GridStatus(ImgListView* grid, QWidget* parent);
  QString Text() const;
  // Reads the grid again now (it is otherwise read shortly after it changes).
  void Update();

 private:
  void Describe(const QString& text);
  QPointer<ImgListView> grid_;  // the window deletes the grid first when it closes
  QLabel* label_;
  QTimer* timer_;
};

}  // namespace quorvane
