// The window started on what the command line named: the viewer shows the pictures
// before their folder is listed, steps through the grid once it is, and leaves the grid
// on the picture last shown; a path that did not open is told in the status line.
#include <QLabel>
#include <QtTest>

#include "folders/ui/FolderTree.h"
#include "imaging/BmpFile.h"
#include "shell/Settings.h"
#include "shell/StartArguments.h"
#include "shell/ui/GridStatus.h"
#include "shell/ui/MainWindow.h"
#include "support/TestDir.h"
#include "thumbnails/ui/ImgListView.h"
#include "viewer/ui/ViewerWindow.h"

using namespace quorvane;
using namespace quorvane::test;

namespace {

QStringList SelectedNames(ImgListView& grid) {
  QStringList names;
  for (GridItem* item : grid.SelectedItems())
    names << QString::fromStdString(item->ParsingName()).section(QLatin1Char('/'), -1);
  return names;
}

}  // namespace

class OpenAtStartTest : public QObject {
  Q_OBJECT
 private slots:
  void picturesShowFirstThenTheGridTakesOver() {
    TestDir dir;
    for (int i = 0; i < 30; ++i)
      WriteBmpFile(dir.file(QStringLiteral("그림 %1.bmp").arg(i, 2, 10, QLatin1Char('0')).toStdString()),
                   PatternBitmap(40 + i, 30));
    StartTarget start = ResolveStartTarget({"그림 05.bmp", "그림 07.bmp"}, dir.path());
    QVERIFY(start.problems.empty());

    MainWindow window(nullptr, start);
    ViewerWindow* viewer = window.StartViewer();
    QVERIFY(viewer);
    // On screen before the window shows or its folder is listed.
    QVERIFY(viewer->isVisible());
    QVERIFY(!window.isVisible());
    QCOMPARE(window.ImgListView1->Count(), 0);
    QVERIFY(viewer->windowTitle().startsWith(QStringLiteral("그림 05.bmp(45x30)")));
    QVERIFY(!viewer->Image1->pixmap().isNull());
    window.show();
    viewer->activateWindow();  // as the program does after showing the window
    QVERIFY(QTest::qWaitForWindowActive(viewer));

    // Listed: the grid selects both pictures, and the viewer steps through the grid.
    ImgListView& grid = *window.ImgListView1;
    QTRY_COMPARE_WITH_TIMEOUT(grid.Count(), 30, 10000);
    QTRY_COMPARE(SelectedNames(grid), (QStringList{QStringLiteral("그림 05.bmp"), QStringLiteral("그림 07.bmp")}));
    QCOMPARE(viewer->CurrentIndex(), 5);
    QTest::keyClick(viewer, Qt::Key_PageDown);
    QVERIFY2(viewer->windowTitle().startsWith(QStringLiteral("그림 06.bmp(46x30)")), qPrintable(viewer->windowTitle()));
    // Meanwhile changes on disk wait, as for a viewer opened from the grid.
    QVERIFY(App().BusyFlag.load());

    // Closed: the grid is on the picture last shown.
    QTest::keyClick(viewer, Qt::Key_Escape);
    QTRY_VERIFY(!window.StartViewer());
    QCOMPARE(SelectedNames(grid), QStringList{QStringLiteral("그림 06.bmp")});
    QVERIFY(!App().BusyFlag.load());
  }

  void closedBeforeTheListingTheGridStillSelectsIt() {
    TestDir dir;
    for (const char* name : {"a.bmp", "b.bmp", "c.bmp"})
      WriteBmpFile(dir.file(name), PatternBitmap(8, 8));
    MainWindow window(nullptr, ResolveStartTarget({dir.file("c.bmp"), dir.file("b.bmp")}, "/"));
    QVERIFY(window.StartViewer());
    // Stepping among the pictures named, before the folder is listed.
    QTest::keyClick(window.StartViewer(), Qt::Key_PageDown);
    QVERIFY(window.StartViewer()->windowTitle().startsWith(QStringLiteral("b.bmp(")));
    QTest::keyClick(window.StartViewer(), Qt::Key_Escape);
    QVERIFY(!window.StartViewer());
    window.show();
    QTRY_COMPARE_WITH_TIMEOUT(window.ImgListView1->Count(), 3, 10000);
    QTRY_COMPARE(SelectedNames(*window.ImgListView1), QStringList{QStringLiteral("b.bmp")});
    QVERIFY(!App().BusyFlag.load());
  }

  void whatDidNotOpenIsToldInTheStatusLine() {
    TestDir dir;
    const std::string notes = dir.write("notes.txt", "text");
    const StartTarget start = ResolveStartTarget({notes, dir.file("gone.jpg")}, "/");
    MainWindow window(nullptr, start);
    QVERIFY(!window.StartViewer());
    window.show();
    const QString expected = QString::fromStdString(notes) + QStringLiteral(": not a picture; ") +
                             QString::fromStdString(dir.file("gone.jpg")) +
                             QStringLiteral(": No such file or directory");
    QTRY_COMPARE(window.StatusLine->currentMessage(), expected);
    QCOMPARE(window.FolderTree1->FolderPath(), dir.path());
    // The message stands alone on the line, also once the folder is listed: the counts are
    // not painted under it.
    QTest::qWait(500);
    QCOMPARE(window.StatusLine->currentMessage(), expected);
    for (QLabel* label : window.StatusLine->findChildren<QLabel*>())
      QVERIFY2(!label->isVisible() || label->text() == expected, qPrintable(label->text()));
  }
};

QTEST_MAIN(OpenAtStartTest)
#include "open_at_start_qtest.moc"
