#include "shell/ui/quorvane1.h"

namespace quorvane {

TForm1::TForm1(QWidget* parent) : QMainWindow(parent) {
  setWindowTitle(QStringLiteral("Quorvane"));
  resize(1000, 700);
}

}  // namespace quorvane
