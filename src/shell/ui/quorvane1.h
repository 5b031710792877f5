#pragma once
// The main window. For now it only carries the caption; the folder tree and the
// thumbnail grid arrive with the main-window work.

#include <QMainWindow>

namespace quorvane {

class TForm1 : public QMainWindow {
  Q_OBJECT
 public:
  explicit TForm1(QWidget* parent = nullptr);
};

}  // namespace quorvane
