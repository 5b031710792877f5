// Start-up of the main window: the codec library is bound and initialised, the
// settings take their defaults, and the library is released with the window.
#include <QCoreApplication>
#include <QTimer>
#include <QtTest>

#include "imaging/PictureLoader.h"
#include "imaging/OpenIL.h"
#include "shell/Settings.h"
#include "shell/ui/MainWindow.h"
#include "thumbnails/ui/ImgListView.h"

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
      MainWindow window;
      QVERIFY(CodecIsBound());
      QCOMPARE(App().settings.JpegQuality, 80);
      QCOMPARE(App().settings.DitherIndex, 1);
      QCOMPARE(App().settings.OverwriteFiles, true);
      QCOMPARE(App().BusyFlag.load(), false);
      // The codec plug-in is the grid loader's, the thumbnails run again, and the first
      // folder scan is on its way.
      QVERIFY(dynamic_cast<PictureLoader*>(window.ImgListView1->ViewImage().ImgUtil().CustomPlugin()));
      QVERIFY(!window.ImgListView1->Paused());
      QVERIFY(window.Timer1->isActive());
      QCOMPARE(window.Timer1->interval(), 300);
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
