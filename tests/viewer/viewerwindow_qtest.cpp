// The viewer on a screen of 1024 x 768: stepping through a list of pictures and folders,
// fitting and full size, scrolling, unreadable files and closing.
#include <QCheckBox>
#include <QCursor>
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QTemporaryFile>
#include <QTimer>
#include <QToolButton>
#include <QtTest>
#include <utility>
#include <vector>

#include "imaging/BmpFile.h"
#include "imaging/JpegCodec.h"
#include "imaging/OpenIL.h"
#include "support/TestDir.h"
#include "viewer/ui/ViewerWindow.h"
#include "viewer/ViewerTestHelpers.h"

using namespace quorvane;
using namespace quorvane::test;

namespace {

QSize PixmapSize(const QLabel* label) { return label->pixmap().size(); }

// Where a window of this size (with its frame) sits centred on the 1024 x 768 screen.
QPoint Centred(const QWidget& window) {
  const QSize frame = window.frameGeometry().size();
  return QPoint((1024 - frame.width()) / 2, (768 - frame.height()) / 2);
}

}  // namespace

class ViewerTest : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase() {
    QCOMPARE(QGuiApplication::primaryScreen()->geometry().size(), QSize(1024, 768));
    QVERIFY(BindCodecLibrary());
  }
  void cleanupTestCase() { UnbindCodecLibrary(); }
  void stepsWithoutWrapAndKeepsTheImageBesideFolders();
  void unreadableFileShowsZeroSizeAndKeepsTheWindow();
  void fitToScreenAndFullSize();
  void arrowsMoveThePictureFivePixels();
  void escapeAndTheCloseButtonEndWithCancel();

 private:
  static void Open(ViewerWindow& dlg) {
    dlg.show();
    dlg.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&dlg));
  }
};

void ViewerTest::stepsWithoutWrapAndKeepsTheImageBesideFolders() {
  TestDir dir;
  ListSource source;
  source.items = {{dir.file("폴더 하나"), true},
                  {WriteBmp(dir, "작은 그림.bmp", 40, 30), false},
                  {WriteJpeg(dir, "b.jpg", 120, 80), false},
                  {WriteBmp(dir, "c.bmp", 70, 50), false},
                  {dir.file("끝 폴더"), true}};
  source.selected = 1;
  ViewerWindow dlg;
  dlg.Source = &source;
  QCOMPARE(dlg.windowTitle(), QStringLiteral("그림보기"));
  QCOMPARE(dlg.size(), QSize(313, 214));
  dlg.CheckBox1->setChecked(false);  // every showing starts fitted again
  Open(dlg);
  QVERIFY(dlg.CheckBox1->isChecked());
  QCOMPARE(dlg.windowTitle(), QStringLiteral("작은 그림.bmp(40x30)"));
  QCOMPARE(dlg.Image1->toolTip(), dlg.windowTitle());
  // 40 pixels wide: the client area is 64 wide; the tool bar adds 25 to the height.
  QCOMPARE(dlg.size(), QSize(64, 55));
  QCOMPARE(dlg.pos(), Centred(dlg));

  // The previous item is a folder: the picture stays, the pointer goes onto the button.
  QCursor::setPos(5, 5);
  QTest::keyClick(&dlg, Qt::Key_PageUp);
  QCOMPARE(dlg.CurrentIndex(), 1);
  QCOMPARE(dlg.windowTitle(), QStringLiteral("작은 그림.bmp(40x30)"));
  QCOMPARE(QCursor::pos(), dlg.geometry().topLeft() + dlg.SBpre->mapTo(&dlg, QPoint(10, 10)));

  QTest::keyClick(&dlg, Qt::Key_PageDown);
  QCOMPARE(dlg.windowTitle(), QStringLiteral("b.jpg(120x80)"));
  QCOMPARE(dlg.size(), QSize(120, 105));
  QCOMPARE(QCursor::pos(), dlg.geometry().topLeft() + dlg.SBnext->mapTo(&dlg, QPoint(10, 10)));
  dlg.SBnext->click();  // the button does what the key does
  QCOMPARE(dlg.windowTitle(), QStringLiteral("c.bmp(70x50)"));
  QCOMPARE(dlg.CurrentIndex(), 3);
  QTest::keyClick(&dlg, Qt::Key_PageDown);  // next is a folder
  QCOMPARE(dlg.CurrentIndex(), 3);
  QCOMPARE(dlg.windowTitle(), QStringLiteral("c.bmp(70x50)"));

  // At the last item Page Down does nothing at all, not even move the pointer.
  source.items.pop_back();
  QCursor::setPos(7, 9);
  QTest::keyClick(&dlg, Qt::Key_PageDown);
  QCOMPARE(dlg.CurrentIndex(), 3);
  QCOMPARE(QCursor::pos(), QPoint(7, 9));
  // Likewise Page Up at the first.
  source.items.erase(source.items.begin(), source.items.begin() + 3);
  dlg.showimage(0);
  QCOMPARE(dlg.windowTitle(), QStringLiteral("c.bmp(70x50)"));
  QTest::keyClick(&dlg, Qt::Key_PageUp);
  QCOMPARE(dlg.CurrentIndex(), 0);
  QCOMPARE(QCursor::pos(), QPoint(7, 9));
}

void ViewerTest::unreadableFileShowsZeroSizeAndKeepsTheWindow() {
  TestDir dir;
  ListSource source;
  source.items = {{dir.write("깨진 사진.jpg", "not a picture at all"), false},
                  {WriteBmp(dir, "a.bmp", 100, 60), false},
                  {dir.write("broken.png", "\x89PNG\r\n\x1a\n garbage"), false},
                  {WriteBmp(dir, "b.bmp", 90, 70), false}};
  source.selected = 0;
  ViewerWindow dlg;
  dlg.Source = &source;
  Open(dlg);
  QCOMPARE(dlg.windowTitle(), QStringLiteral("깨진 사진.jpg(0x0)"));
  QCOMPARE(dlg.size(), QSize(313, 214));
  QVERIFY(dlg.Image1->pixmap().isNull());
  QTest::keyClick(&dlg, Qt::Key_PageDown);
  QCOMPARE(dlg.windowTitle(), QStringLiteral("a.bmp(100x60)"));
  QCOMPARE(dlg.size(), QSize(100, 85));
  // Unreadable through the codec too; the window keeps the previous picture's size and
  // stepping goes on.
  QTest::keyClick(&dlg, Qt::Key_PageDown);
  QCOMPARE(dlg.windowTitle(), QStringLiteral("broken.png(0x0)"));
  QCOMPARE(dlg.size(), QSize(100, 85));
  QCOMPARE(dlg.pos(), Centred(dlg));
  QVERIFY(dlg.Image1->pixmap().isNull());
  QTest::keyClick(&dlg, Qt::Key_PageDown);
  QCOMPARE(dlg.windowTitle(), QStringLiteral("b.bmp(90x70)"));
}

void ViewerTest::fitToScreenAndFullSize() {
  TestDir dir;
  ListSource source;
  const std::string path = WriteBmp(dir, "큰 그림.bmp", 2000, 1000);
  source.items = {{path, false}};
  source.selected = 0;
  ViewerWindow dlg;
  dlg.Source = &source;
  Open(dlg);
  // Fitted into (1024 - 80) x (768 - 25 - 90); the caption keeps the picture's own size.
  QCOMPARE(dlg.windowTitle(), QStringLiteral("큰 그림.bmp(2000x1000)"));
  QCOMPARE(PixmapSize(dlg.Image1), QSize(944, 472));
  QCOMPARE(dlg.size(), QSize(944, 497));
  QCOMPARE(dlg.pos(), Centred(dlg));
  QCOMPARE(dlg.frameGeometry().size() - dlg.size(), QSize(4, 4));  // offscreen frame: 2 a side
  QCOMPARE(dlg.pos(), QPoint(38, 133));

  QTest::mouseClick(dlg.CheckBox1, Qt::LeftButton);
  QVERIFY(!dlg.CheckBox1->isChecked());
  QCOMPARE(PixmapSize(dlg.Image1), QSize(2000, 1000));
  QCOMPARE(dlg.Image1->size(), QSize(2000, 1000));
  QCOMPARE(dlg.size(), QSize(969, 653));
  QCOMPARE(dlg.pos(), Centred(dlg));
  QVERIFY(dlg.ScrollBox1->horizontalScrollBar()->maximum() > 0);
  QVERIFY(dlg.ScrollBox1->verticalScrollBar()->maximum() > 0);

  // Full size of a picture that only overflows in width: room for one scroll bar.
  WriteBmpFile(path, PatternBitmap(1500, 300));
  QTest::mouseClick(dlg.CheckBox1, Qt::LeftButton);  // toggling reads the file again
  QCOMPARE(dlg.windowTitle(), QStringLiteral("큰 그림.bmp(1500x300)"));
  QCOMPARE(PixmapSize(dlg.Image1), QSize(944, 188));
  QTest::mouseClick(dlg.CheckBox1, Qt::LeftButton);
  QCOMPARE(dlg.size(), QSize(944, 300 + 25 + 25));
}

void ViewerTest::arrowsMoveThePictureFivePixels() {
  TestDir dir;
  ListSource source;
  source.items = {{WriteBmp(dir, "a.bmp", 200, 100), false}};
  source.selected = 0;
  ViewerWindow dlg;
  dlg.Source = &source;
  Open(dlg);
  const QPoint start = dlg.Image1->pos();
  QTest::keyClick(&dlg, Qt::Key_Up);
  QCOMPARE(dlg.Image1->pos(), start + QPoint(0, 5));
  QTest::keyClick(&dlg, Qt::Key_Left);
  QTest::keyClick(&dlg, Qt::Key_Left);
  QCOMPARE(dlg.Image1->pos(), start + QPoint(10, 5));
  // No bound: past the picture's edges too.
  for (int i = 0; i < 30; ++i) QTest::keyClick(&dlg, Qt::Key_Right);
  QTest::keyClick(&dlg, Qt::Key_Down);
  QTest::keyClick(&dlg, Qt::Key_Down);
  QCOMPARE(dlg.Image1->pos(), start + QPoint(10 - 150, -5));
}

void ViewerTest::escapeAndTheCloseButtonEndWithCancel() {
  TestDir dir;
  ListSource source;
  source.items = {{WriteBmp(dir, "a.bmp", 30, 30), false}};
  source.selected = 0;
  {
    ViewerWindow dlg;
    dlg.Source = &source;
    QTimer::singleShot(0, &dlg, [&] {
      QVERIFY(QTest::qWaitForWindowActive(&dlg));
      QTest::keyClick(&dlg, Qt::Key_Escape);
    });
    QTimer::singleShot(5000, &dlg, [&] { dlg.done(99); });  // a missed key fails
    QCOMPARE(dlg.exec(), 2);
  }
  {
    ViewerWindow dlg;
    dlg.Source = &source;
    QTimer::singleShot(0, &dlg, [&] { QTest::mouseClick(dlg.SpeedButton1, Qt::LeftButton); });
    QTimer::singleShot(5000, &dlg, [&] { dlg.done(99); });
    QCOMPARE(dlg.exec(), 2);
    QCOMPARE(dlg.SpeedButton1->toolTip(), QStringLiteral("닫기"));
    QCOMPARE(dlg.SBpre->toolTip(), QStringLiteral("이전"));
    QCOMPARE(dlg.SBnext->toolTip(), QStringLiteral("다음"));
  }
}

// A screen of 1024 x 768, so that the sizes above are the ones a person would see there.
int main(int argc, char** argv) {
  QTemporaryFile config;
  if (!config.open()) return 1;
  config.write(R"({"screens":[{"name":"s","x":0,"y":0,"width":1024,"height":768,)"
               R"("logicalDpi":96,"logicalBaseDpi":96,"dpr":1}]})");
  config.flush();
  qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + config.fileName().toLocal8Bit());
  QApplication app(argc, argv);
  ViewerTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "viewerwindow_qtest.moc"
