// The GUI program: no command-line arguments; every start uses the default settings.
#include <QApplication>
#include <QIcon>
#include <csignal>
#include <cstdio>
#include <cstdlib>

#include "platform/ui/GlossyProgress.h"
#include "shell/ui/quorvane1.h"

namespace {

bool Set(const char* name) {
  const char* value = std::getenv(name);
  return value && *value;
}

}  // namespace

int main(int argc, char** argv) {
  // Without a display Qt would abort with advice to reinstall it; say what is wrong.
  if (!Set("DISPLAY") && !Set("WAYLAND_DISPLAY") && !Set("QT_QPA_PLATFORM")) {
    std::fputs(
        "quorvane: no graphical display found (DISPLAY/WAYLAND_DISPLAY not set). "
        "Run it on a desktop, or under xvfb-run.\n",
        stderr);
    return 1;
  }
  // Files are written in this process: a file-size limit must fail that save, not end
  // the program.
  std::signal(SIGXFSZ, SIG_IGN);
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Quorvane"));
  QGuiApplication::setDesktopFileName(QStringLiteral("quorvane"));
  QIcon icon;
  icon.addFile(QStringLiteral(":/quorvane/quorvane-48.png"));
  icon.addFile(QStringLiteral(":/quorvane/quorvane-128.png"));
  QApplication::setWindowIcon(icon);
  app.setStyleSheet(quorvane::GlossyProgressStyleSheet());
  quorvane::TForm1 window;
  window.show();
  return QApplication::exec();
}
