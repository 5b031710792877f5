// The GUI program: no command-line arguments; every start uses the default settings.
#include <QApplication>

#include "shell/ui/quorvane1.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Quorvane"));
  quorvane::TForm1 window;
  window.show();
  return QApplication::exec();
}
