// The viewer's everyday keys and size: Left and Right step while the picture fits and
// move it once zoomed, Delete sends the shown picture to the trash and goes on, and a
// window the user has sized keeps its size from picture to picture.
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QtTest>
#include <filesystem>

#include "imaging/OpenIL.h"
#include "support/TestDir.h"
#include "viewer/ViewerTestHelpers.h"
#include "viewer/ui/ViewerWindow.h"

using namespace quorvane;
using namespace quorvane::test;

namespace {

void Open(ViewerWindow& dlg) {
  dlg.show();
  dlg.activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(&dlg));
}

}  // namespace

class ViewerHabitsTest : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase() { QVERIFY(BindCodecLibrary()); }
  void cleanupTestCase() { UnbindCodecLibrary(); }
  void leftAndRightStepWhileFittedAndMoveWhenZoomed();
  void deleteTrashesTheShownPictureAndShowsTheNext();
  void aUserSizedWindowKeepsItsSize();
};

void ViewerHabitsTest::leftAndRightStepWhileFittedAndMoveWhenZoomed() {
  TestDir dir;
  ListSource source;
  source.items = {{WriteBmp(dir, "a.bmp", 60, 40), false},
                  {WriteBmp(dir, "b.bmp", 1600, 1200), false},
                  {dir.file("폴더"), true},
                  {WriteBmp(dir, "c.bmp", 70, 40), false}};
  source.selected = 0;
  ViewerWindow dlg;
  dlg.Source = &source;
  Open(dlg);
  QTest::keyClick(&dlg, Qt::Key_Right);
  QCOMPARE(dlg.windowTitle(), QStringLiteral("b.bmp(1600x1200)"));
  QVERIFY(dlg.PictureFits());
  QTest::keyClick(&dlg, Qt::Key_Left);
  QCOMPARE(dlg.windowTitle(), QStringLiteral("a.bmp(60x40)"));
  // Nothing before the first picture: the picture moves instead.
  const QPoint start = dlg.Image1->pos();
  QTest::keyClick(&dlg, Qt::Key_Left);
  QCOMPARE(dlg.windowTitle(), QStringLiteral("a.bmp(60x40)"));
  QCOMPARE(dlg.Image1->pos(), start + QPoint(5, 0));
  QTest::keyClick(&dlg, Qt::Key_Right);
  QCOMPARE(dlg.windowTitle(), QStringLiteral("b.bmp(1600x1200)"));
  // Zoomed, the arrows move the picture and keep it.
  QTest::keyClick(&dlg, Qt::Key_1);
  QVERIFY(!dlg.PictureFits());
  QScrollBar* bar = dlg.ScrollBox1->horizontalScrollBar();
  QVERIFY(bar->maximum() > 0);
  const int before = bar->value();
  QTest::keyClick(&dlg, Qt::Key_Right);
  QCOMPARE(dlg.windowTitle(), QStringLiteral("b.bmp(1600x1200) 100%"));
  QCOMPARE(bar->value(), before + ViewerWindow::kScrollStep);
  QTest::keyClick(&dlg, Qt::Key_Left);
  QCOMPARE(bar->value(), before);
  QCOMPARE(dlg.CurrentIndex(), 1);
  // Fitted again, a folder next: the picture stays (and moves).
  QTest::keyClick(&dlg, Qt::Key_0);
  QTest::keyClick(&dlg, Qt::Key_Right);
  QCOMPARE(dlg.CurrentIndex(), 1);
}

void ViewerHabitsTest::deleteTrashesTheShownPictureAndShowsTheNext() {
  TestDir dir;
  const std::string data = dir.file("data");
  std::filesystem::create_directories(data);
  const QByteArray oldData = qgetenv("XDG_DATA_HOME");
  qputenv("XDG_DATA_HOME", QByteArray::fromStdString(data));
  ListSource source;
  source.items = {{WriteBmp(dir, "a.bmp", 60, 40), false},
                  {WriteBmp(dir, "b.bmp", 50, 40), false},
                  {WriteBmp(dir, "c.bmp", 40, 40), false}};
  source.selected = 1;
  ViewerWindow dlg;
  dlg.Source = &source;
  Open(dlg);
  QTest::keyClick(&dlg, Qt::Key_Delete);
  QVERIFY(!std::filesystem::exists(source.items[1].first));
  QVERIFY(std::filesystem::exists(data + "/Trash/files/b.bmp"));
  QVERIFY(std::filesystem::exists(data + "/Trash/info/b.bmp.trashinfo"));
  QCOMPARE(dlg.windowTitle(), QStringLiteral("c.bmp(40x40)"));
  // The list drops the file; the last picture goes, and the one before it shows.
  source.items.erase(source.items.begin() + 1);
  QTest::keyClick(&dlg, Qt::Key_Delete);
  QCOMPARE(dlg.windowTitle(), QStringLiteral("a.bmp(60x40)"));
  QVERIFY(dlg.isVisible());
  source.items.pop_back();
  // A file that cannot go (it is gone already) stays listed, and the viewer says why.
  std::filesystem::remove(source.items[0].first);
  QTest::keyClick(&dlg, Qt::Key_Delete);
  QVERIFY(dlg.TurnStatus && dlg.TurnStatus->isVisible());
  QVERIFY(dlg.TurnStatus->text().startsWith(QStringLiteral("휴지통으로 옮기지 못했습니다")));
  QVERIFY(dlg.isVisible());
  // The last picture trashed closes the viewer.
  WriteBmp(dir, "a.bmp", 60, 40);
  QTest::keyClick(&dlg, Qt::Key_Delete);
  QTRY_VERIFY(!dlg.isVisible());
  QCOMPARE(dlg.result(), 2);
  if (oldData.isNull())
    qunsetenv("XDG_DATA_HOME");
  else
    qputenv("XDG_DATA_HOME", oldData);
}

void ViewerHabitsTest::aUserSizedWindowKeepsItsSize() {
  TestDir dir;
  ListSource source;
  source.items = {{WriteBmp(dir, "a.bmp", 300, 200), false},
                  {WriteBmp(dir, "b.bmp", 2000, 1000), false},
                  {WriteBmp(dir, "c.bmp", 40, 30), false}};
  source.selected = 0;
  ViewerWindow dlg;
  dlg.Source = &source;
  Open(dlg);
  // Unsized, the window follows the pictures.
  QCOMPARE(dlg.size(), QSize(300, 225));
  QTest::qWait(700);  // past the program's own sizing
  dlg.resize(640, 480);
  QTRY_COMPARE(dlg.size(), QSize(640, 480));
  for (int i = 0; i < 2; ++i) {
    QTest::keyClick(&dlg, Qt::Key_PageDown);
    QCOMPARE(dlg.size(), QSize(640, 480));
  }
  QCOMPARE(dlg.windowTitle(), QStringLiteral("c.bmp(40x30)"));
}

QTEST_MAIN(ViewerHabitsTest)
#include "viewer_habits_qtest.moc"
