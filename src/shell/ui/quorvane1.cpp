#include "shell/ui/quorvane1.h"

#include <QGuiApplication>
#include <QMessageBox>
#include <QMetaObject>
#include <cstdio>
#include <cstdlib>

#include "shell/OpenIL.h"
#include "shell/Settings.h"

namespace quorvane {

void ShowStartupMessage(const QString& text) {
  const char* noModal = std::getenv("QUORVANE_NO_MODAL");
  if ((noModal && *noModal) || QGuiApplication::platformName() == QLatin1String("offscreen")) {
    std::fprintf(stderr, "%s\n", text.toUtf8().constData());
    return;
  }
  QMessageBox box;
  box.setWindowTitle(QStringLiteral("Quorvane"));
  box.setText(text);
  box.exec();
}

TForm1::TForm1(QWidget* parent) : QMainWindow(parent) {
  ExtractCodecLibraries();
  if (!BindCodecLibrary()) {
    UnbindCodecLibrary();
    ShowStartupMessage(QStringLiteral("devil.dll and ilu.dll and ilut.dll is not found!"));
    std::exit(1);
  }
  App().settings = Settings{};
  App().BusyFlag = false;

  setWindowTitle(QStringLiteral("Quorvane"));
  resize(1000, 700);

  if (!CodecInit()) {
    ShowStartupMessage(
        QStringLiteral("devil.dll or ilu.dll or ilut.dll or all functin init error!"));
    // Closing now would happen before the window is shown; close once the loop runs.
    QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
  }
}

TForm1::~TForm1() { UnbindCodecLibrary(); }

}  // namespace quorvane
