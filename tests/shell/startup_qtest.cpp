// Start-up of the main window: the codec library is bound and initialised, the
// settings take their defaults, and the library is released with the window.
#include <QCoreApplication>
#include <QtTest>

#include "shell/OpenIL.h"
#include "shell/Settings.h"
#include "shell/ui/quorvane1.h"

using namespace quorvane;

class StartupTest : public QObject {
  Q_OBJECT
 private slots:
  void bindsSetsDefaultsAndUnbindsWithTheWindow() {
    App().settings.JpegQuality = 5;
    App().settings.DitherIndex = 4;
    App().settings.OverwriteFiles = false;
    App().BusyFlag = true;
    {
      TForm1 window;
      QVERIFY(CodecIsBound());
      QCOMPARE(App().settings.JpegQuality, 80);
      QCOMPARE(App().settings.DitherIndex, 1);
      QCOMPARE(App().settings.OverwriteFiles, true);
      QCOMPARE(App().BusyFlag.load(), false);
      // Initialisation succeeded: the window does not close itself.
      window.show();
      QCoreApplication::processEvents();
      QCoreApplication::processEvents();
      QVERIFY(window.isVisible());
    }
    QVERIFY(!CodecIsBound());
  }
};

QTEST_MAIN(StartupTest)
#include "startup_qtest.moc"
