// The viewer's window against what happens around it: items added to the grid while it
// is open, and a window manager that keeps dialogs out of full screen. Run offscreen by
// ctest, and under openbox on a virtual display by viewer_surroundings_wm.sh.
#include <QScrollArea>
#include <QTimer>
#include <QtTest>

#include "imaging/OpenIL.h"
#include "platform/ui/GradientCaption.h"
#include "viewer/ViewerTestHelpers.h"
#include "viewer/ui/ViewerWindow.h"

using namespace quorvane;
using namespace quorvane::test;

class ViewerWindowTest : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase() { QVERIFY(BindCodecLibrary()); }
  void cleanupTestCase() { UnbindCodecLibrary(); }

  void itemsAddedWhileShownDoNotShiftThePictureItStepsFrom() {
    TestDir dir;
    ListSource source;
    source.items = {{WriteBmp(dir, "a.bmp", 30, 20), false},
                    {WriteBmp(dir, "b.bmp", 40, 20), false},
                    {WriteBmp(dir, "c.bmp", 50, 20), false}};
    source.selected = 1;
    ViewerWindow dlg;
    dlg.Source = &source;
    dlg.show();
    dlg.activateWindow();  // keys reach the viewer's shortcuts only while it is active
    QVERIFY(QTest::qWaitForWindowActive(&dlg));
    QCOMPARE(dlg.windowTitle(), QStringLiteral("b.bmp(40x20)"));
    // Two files pasted into the grid, sorting before the one shown.
    source.items.insert(source.items.begin(),
                        {{WriteBmp(dir, "0 pasted.bmp", 10, 10), false},
                         {WriteBmp(dir, "1 dropped.bmp", 20, 10), false}});
    QCOMPARE(dlg.CurrentIndex(), 3);
    QTest::keyClick(&dlg, Qt::Key_PageDown);
    QCOMPARE(dlg.windowTitle(), QStringLiteral("c.bmp(50x20)"));
    QCOMPARE(dlg.CurrentIndex(), 4);
    // And one taken out before it: Page Up goes to the picture before it in the list.
    source.items.erase(source.items.begin());
    QTest::keyClick(&dlg, Qt::Key_PageUp);
    QCOMPARE(dlg.windowTitle(), QStringLiteral("b.bmp(40x20)"));
    QCOMPARE(dlg.CurrentIndex(), 2);
  }

  void escapeLeavesFullScreenFirstWhateverTheWindowManagerDoes() {
    TestDir dir;
    ListSource source;
    source.items = {{WriteBmp(dir, "a.bmp", 30, 30), false}};
    source.selected = 0;
    ViewerWindow dlg;
    dlg.Source = &source;
    int result = -1;
    bool checked = false;
    QTimer::singleShot(0, &dlg, [&] {
      dlg.activateWindow();
      QVERIFY(QTest::qWaitForWindowActive(&dlg));
      QTest::keyClick(&dlg, Qt::Key_F11);
      QVERIFY(dlg.FullScreen());
      QTest::qWait(500);  // the window manager's answer
      // Without a window manager nobody refuses: the state is taken back here as a
      // window manager that keeps dialogs out of full screen does.
      if (qEnvironmentVariableIsEmpty("QUORVANE_TEST_WINDOW_MANAGER"))
        dlg.setWindowState(dlg.windowState() & ~Qt::WindowFullScreen);
      else
        qInfo("window manager: full screen %s", dlg.isFullScreen() ? "granted" : "refused");
      QTRY_VERIFY(dlg.FullScreen());
      QVERIFY(!dlg.ToolBar->isVisible());
      const QImage shown = dlg.ScrollBox1->viewport()->grab().toImage();
      QCOMPARE(shown.pixelColor(2, 2), QColor(Qt::black));
      QTest::keyClick(&dlg, Qt::Key_Escape);
      QVERIFY(!dlg.FullScreen());
      QTest::qWait(300);
      QVERIFY(dlg.isVisible());  // the first Escape did not close the viewer
      QVERIFY(dlg.ToolBar->isVisible());
      QVERIFY(dlg.ScrollBox1->viewport()->grab().toImage().pixelColor(2, 2) !=
              QColor(Qt::black));
      checked = true;
      QTest::keyClick(&dlg, Qt::Key_Escape);
    });
    QTimer::singleShot(15000, &dlg, [&] { dlg.done(99); });
    result = dlg.exec();
    QVERIFY(checked);
    QCOMPARE(result, 2);
  }
};

QTEST_MAIN(ViewerWindowTest)
#include "viewer_surroundings_qtest.moc"
