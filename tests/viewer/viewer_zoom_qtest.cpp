// The viewer beyond fitting and full size, on a screen of 1024 x 768: zoom with the keys
// and the wheel, panning and the arrows within the picture's edges, full screen, the
// stepping keys, reading ahead, the information overlay and animated GIFs.
#include <QCheckBox>
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QTemporaryFile>
#include <QTimer>
#include <QtTest>
#include <algorithm>
#include <utility>
#include <vector>

#include "imaging/BmpFile.h"
#include "imaging/JpegCodec.h"
#include "imaging/OpenIL.h"
#include "platform/ui/GradientCaption.h"
#include "support/ExifSamples.h"
#include "support/TestDir.h"
#include "viewer/ui/ViewerWindow.h"
#include "viewer/ViewerTestHelpers.h"

using namespace quorvane;
using namespace quorvane::test;

namespace {

void Open(ViewerWindow& dlg) {
  dlg.show();
  dlg.activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(&dlg));
}

QWidget* View(ViewerWindow& dlg) { return dlg.ScrollBox1->viewport(); }

// The picture pixel under a point of the viewport.
QPointF PixelAt(ViewerWindow& dlg, const QPoint& viewPoint) {
  return dlg.Image1->PicturePoint(dlg.Image1->mapFrom(View(dlg), QPointF(viewPoint)));
}

void Wheel(ViewerWindow& dlg, const QPoint& at, int notches, Qt::KeyboardModifiers modifiers) {
  QWheelEvent event(QPointF(at), QPointF(View(dlg)->mapToGlobal(at)), QPoint(),
                    QPoint(0, notches * 120), Qt::NoButton, modifiers, Qt::NoScrollPhase, false);
  QApplication::sendEvent(View(dlg), &event);
}

void Mouse(ViewerWindow& dlg, QEvent::Type type, const QPoint& at) {
  const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
  QMouseEvent event(type, QPointF(at), QPointF(View(dlg)->mapToGlobal(at)),
                    type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, held, Qt::NoModifier);
  QApplication::sendEvent(View(dlg), &event);
}

void Press(ViewerWindow& dlg, Qt::Key key, int times = 1) {
  for (int i = 0; i < times; ++i) QTest::keyClick(&dlg, key);
}

}  // namespace

class ViewerZoomTest : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase() {
    QCOMPARE(QGuiApplication::primaryScreen()->geometry().size(), QSize(1024, 768));
    QVERIFY(BindCodecLibrary());
  }
  void cleanupTestCase() { UnbindCodecLibrary(); }
  void zoomKeysAndWheelKeepThePointUnderThePointer();
  void panAndArrowsStopAtThePicturesEdges();
  void fullScreenOnAndOffAndEscapeLeavesItFirst();
  void aMaximisedWindowKeepsItsSizeWhileStepping();
  void steppingKeysSkipFoldersAndBelongToThePicture();
  void readAheadDeliversTheNextPictureBeforeTheKey();
  void informationOverlayShowsTheShot();
  void animatedGifPlaysAndStepsStopIt();
};

void ViewerZoomTest::zoomKeysAndWheelKeepThePointUnderThePointer() {
  TestDir dir;
  ListSource source;
  source.items = {{WriteBmp(dir, "큰 그림.bmp", 2000, 1000), false}};
  source.selected = 0;
  ViewerWindow dlg;
  dlg.Source = &source;
  Open(dlg);
  // Fitted: the caption has no factor; the picture is at 944 / 2000.
  QCOMPARE(dlg.windowTitle(), QStringLiteral("큰 그림.bmp(2000x1000)"));
  QCOMPARE(dlg.Zoom(), 0.0);
  QCOMPARE(dlg.ShownFactor(), 0.472);
  // + and - step along the ladder from the fitted factor, about the centre.
  Press(dlg, Qt::Key_Plus);
  QCOMPARE(dlg.Zoom(), 0.5);
  QCOMPARE(dlg.windowTitle(), QStringLiteral("큰 그림.bmp(2000x1000) 50%"));
  QCOMPARE(dlg.Image1->size(), QSize(1000, 500));
  Press(dlg, Qt::Key_Minus, 2);
  QCOMPARE(dlg.windowTitle(), QStringLiteral("큰 그림.bmp(2000x1000) 25%"));
  Press(dlg, Qt::Key_1);
  QCOMPARE(dlg.windowTitle(), QStringLiteral("큰 그림.bmp(2000x1000) 100%"));
  QCOMPARE(dlg.Image1->size(), QSize(2000, 1000));
  // The centre stays on the middle of the picture, to a pixel or two of the 25 % view.
  const QPoint centre = View(dlg)->rect().center();
  QVERIFY((PixelAt(dlg, centre) - QPointF(1000, 500)).manhattanLength() < 2 * 2 * 4);

  // Ctrl+wheel and the plain wheel (the picture no longer fits) zoom about the pointer.
  const QPoint pointer(200, 150);
  const QPointF pixel = PixelAt(dlg, pointer);
  Wheel(dlg, pointer, 1, Qt::ControlModifier);
  QCOMPARE(dlg.Zoom(), 1.5);
  QVERIFY((PixelAt(dlg, pointer) - pixel).manhattanLength() < 2);
  Wheel(dlg, pointer, 1, Qt::NoModifier);
  QCOMPARE(dlg.windowTitle(), QStringLiteral("큰 그림.bmp(2000x1000) 200%"));
  QVERIFY((PixelAt(dlg, pointer) - pixel).manhattanLength() < 2);
  Wheel(dlg, pointer, -2, Qt::ControlModifier);
  QCOMPARE(dlg.Zoom(), 1.0);
  QVERIFY((PixelAt(dlg, pointer) - pixel).manhattanLength() < 2);

  // The ladder ends at 1600 % and 5 %.
  Press(dlg, Qt::Key_Plus, 12);
  QCOMPARE(dlg.windowTitle(), QStringLiteral("큰 그림.bmp(2000x1000) 1600%"));
  Press(dlg, Qt::Key_Minus, 20);
  QCOMPARE(dlg.windowTitle(), QStringLiteral("큰 그림.bmp(2000x1000) 5%"));
  QCOMPARE(dlg.Image1->size(), QSize(100, 50));
  // 0 fits again, as the Part's check box does.
  Press(dlg, Qt::Key_0);
  QCOMPARE(dlg.Zoom(), 0.0);
  QCOMPARE(dlg.windowTitle(), QStringLiteral("큰 그림.bmp(2000x1000)"));
  QCOMPARE(dlg.Image1->pixmap().size(), QSize(944, 472));
  QVERIFY(dlg.CheckBox1->isChecked());
  // The check box leaves zoom as well: unticked it shows the full size.
  Press(dlg, Qt::Key_Plus);
  QTest::mouseClick(dlg.CheckBox1, Qt::LeftButton);
  QCOMPARE(dlg.Zoom(), 0.0);
  QCOMPARE(dlg.Image1->pixmap().size(), QSize(2000, 1000));
}

void ViewerZoomTest::panAndArrowsStopAtThePicturesEdges() {
  TestDir dir;
  ListSource source;
  source.items = {{WriteBmp(dir, "a.bmp", 2000, 1000), false},
                  {WriteBmp(dir, "b.bmp", 200, 100), false}};
  source.selected = 0;
  ViewerWindow dlg;
  dlg.Source = &source;
  Open(dlg);
  Press(dlg, Qt::Key_1);
  QScrollBar* h = dlg.ScrollBox1->horizontalScrollBar();
  QScrollBar* v = dlg.ScrollBox1->verticalScrollBar();
  QVERIFY(h->maximum() > 0 && v->maximum() > 0);
  const QSize view = View(dlg)->size();
  // Left and Up move the picture right and down until its edges meet the view's.
  Press(dlg, Qt::Key_Left, 300);
  Press(dlg, Qt::Key_Up, 200);
  QCOMPARE(dlg.Image1->pos(), QPoint(0, 0));
  Press(dlg, Qt::Key_Right);
  QCOMPARE(dlg.Image1->pos(), QPoint(-5, 0));
  Press(dlg, Qt::Key_Right, 300);
  Press(dlg, Qt::Key_Down, 200);
  QCOMPARE(dlg.Image1->geometry().bottomRight(), QPoint(view.width() - 1, view.height() - 1));

  // Dragging with the left button pans, and stops at the edges too.
  Mouse(dlg, QEvent::MouseButtonPress, QPoint(300, 200));
  Mouse(dlg, QEvent::MouseMove, QPoint(400, 250));
  Mouse(dlg, QEvent::MouseButtonRelease, QPoint(400, 250));
  QCOMPARE(h->value(), h->maximum() - 100);
  QCOMPARE(v->value(), v->maximum() - 50);
  for (int i = 0; i < 2; ++i) {
    Mouse(dlg, QEvent::MouseButtonPress, QPoint(10, 10));
    Mouse(dlg, QEvent::MouseMove, QPoint(900, 460));
    Mouse(dlg, QEvent::MouseButtonRelease, QPoint(900, 460));
  }
  QCOMPARE(dlg.Image1->pos(), QPoint(0, 0));

  // A picture that fits moves with the arrows, but a quarter of it stays in view.
  Press(dlg, Qt::Key_PageDown);
  QCOMPARE(dlg.windowTitle(), QStringLiteral("b.bmp(200x100)"));
  const QPoint start = dlg.Image1->pos();
  Press(dlg, Qt::Key_Right, 100);
  Press(dlg, Qt::Key_Up, 100);
  QCOMPARE(dlg.Image1->pos(), start + QPoint(-150, 75));
}

void ViewerZoomTest::fullScreenOnAndOffAndEscapeLeavesItFirst() {
  TestDir dir;
  ListSource source;
  source.items = {{WriteBmp(dir, "a.bmp", 2000, 1000), false}};
  source.selected = 0;
  ViewerWindow dlg;
  dlg.Source = &source;
  Open(dlg);
  QCOMPARE(dlg.size(), QSize(944, 497));
  Press(dlg, Qt::Key_F11);
  QTRY_VERIFY(dlg.isFullScreen());
  QTRY_COMPARE(dlg.geometry(), QRect(0, 0, 1024, 768));
  // The picture alone on black, fitted to the whole screen.
  QVERIFY(!dlg.ToolBar->isVisible());
  QCOMPARE(dlg.ScrollBox1->geometry(), QRect(0, 0, 1024, 768));
  QTRY_COMPARE(dlg.Image1->pixmap().size(), QSize(1024, 512));
  const QImage screen = dlg.grab().toImage();
  QCOMPARE(screen.pixelColor(5, 5), QColor(Qt::black));
  QCOMPARE(screen.pixelColor(1000, 760), QColor(Qt::black));
  QCOMPARE(dlg.windowTitle(), QStringLiteral("a.bmp(2000x1000)"));
  // Escape leaves full screen first, then closes.
  Press(dlg, Qt::Key_Escape);
  QTRY_VERIFY(!dlg.isFullScreen());
  QVERIFY(dlg.isVisible());
  QVERIFY(dlg.ToolBar->isVisible());
  QTRY_COMPARE(dlg.size(), QSize(944, 497));
  QTRY_COMPARE(dlg.Image1->pixmap().size(), QSize(944, 472));
  // A double click on the picture toggles it too.
  QTest::mouseDClick(View(dlg), Qt::LeftButton, Qt::NoModifier, QPoint(100, 100));
  QTRY_VERIFY(dlg.isFullScreen());
  QTest::mouseDClick(View(dlg), Qt::LeftButton, Qt::NoModifier, QPoint(100, 100));
  QTRY_VERIFY(!dlg.isFullScreen());
  Press(dlg, Qt::Key_Escape);
  QVERIFY(!dlg.isVisible());
  QCOMPARE(dlg.result(), 2);
}

void ViewerZoomTest::aMaximisedWindowKeepsItsSizeWhileStepping() {
  TestDir dir;
  ListSource source;
  source.items = {{WriteBmp(dir, "a.bmp", 2000, 1000), false},
                  {WriteBmp(dir, "b.bmp", 300, 200), false}};
  source.selected = 0;
  ViewerWindow dlg;
  dlg.Source = &source;
  Open(dlg);
  // Full screen and back is no choice of size: steps still size the window.
  Press(dlg, Qt::Key_F11);
  QTRY_VERIFY(dlg.isFullScreen());
  Press(dlg, Qt::Key_Escape);
  QTRY_VERIFY(!dlg.isFullScreen());
  QTest::qWait(700);
  Press(dlg, Qt::Key_PageDown);
  QCOMPARE(dlg.size(), QSize(300, 225));
  // Maximised, the window keeps its size and the pictures fit into it.
  dlg.showMaximized();
  QTRY_VERIFY(dlg.isMaximized());
  QTRY_VERIFY(dlg.size().width() > 1000);
  const QSize maximised = dlg.size();
  Press(dlg, Qt::Key_PageUp);
  QCOMPARE(dlg.size(), maximised);
  const QSize view = View(dlg)->size();
  QCOMPARE(dlg.Image1->pixmap().size(), QSize(view.width(), view.width() / 2));
}

void ViewerZoomTest::steppingKeysSkipFoldersAndBelongToThePicture() {
  TestDir dir;
  ListSource source;
  source.items = {{dir.file("앞 폴더"), true},
                  {WriteBmp(dir, "a.bmp", 40, 30), false},
                  {WriteBmp(dir, "b.bmp", 50, 30), false},
                  {WriteBmp(dir, "c.bmp", 60, 30), false},
                  {dir.file("뒤 폴더"), true}};
  source.selected = 2;
  ViewerWindow dlg;
  dlg.Source = &source;
  Open(dlg);
  QCOMPARE(dlg.windowTitle(), QStringLiteral("b.bmp(50x30)"));
  Press(dlg, Qt::Key_End);
  QCOMPARE(dlg.windowTitle(), QStringLiteral("c.bmp(60x30)"));
  Press(dlg, Qt::Key_Home);
  QCOMPARE(dlg.windowTitle(), QStringLiteral("a.bmp(40x30)"));
  // Space steps forward and leaves the check box alone; Backspace steps back.
  Press(dlg, Qt::Key_Space);
  QCOMPARE(dlg.windowTitle(), QStringLiteral("b.bmp(50x30)"));
  QVERIFY(dlg.CheckBox1->isChecked());
  Press(dlg, Qt::Key_Backspace);
  QCOMPARE(dlg.windowTitle(), QStringLiteral("a.bmp(40x30)"));
  // The wheel steps while the picture fits: down is the next picture.
  Wheel(dlg, QPoint(10, 10), -1, Qt::NoModifier);
  QCOMPARE(dlg.windowTitle(), QStringLiteral("b.bmp(50x30)"));
  Wheel(dlg, QPoint(10, 10), 1, Qt::NoModifier);
  QCOMPARE(dlg.windowTitle(), QStringLiteral("a.bmp(40x30)"));
  QCOMPARE(dlg.CurrentIndex(), 1);
}

void ViewerZoomTest::readAheadDeliversTheNextPictureBeforeTheKey() {
  TestDir dir;
  ListSource source;
  for (const char* name : {"a.jpg", "b.jpg", "c.jpg", "d.jpg"})
    source.items.push_back({WriteJpeg(dir, name, 1200, 900), false});
  source.selected = 1;
  ViewerWindow dlg;
  dlg.Source = &source;
  Open(dlg);
  PictureReadAhead& ahead = dlg.ReadAhead();
  const std::string& c = source.items[2].first;
  // Both neighbours are read in the background, fitted to the screen, the next first.
  QTRY_VERIFY(ahead.Peek(c) && ahead.Peek(source.items[0].first));
  QCOMPARE(ahead.ReadLog().at(1), c);
  QVERIFY(!ahead.Peek(c)->fitted.Empty());
  const auto before = ahead.ReadLog();
  Press(dlg, Qt::Key_PageDown);
  QCOMPARE(dlg.windowTitle(), QStringLiteral("c.jpg(1200x900)"));
  // c was not read again on the key.
  const auto after = ahead.ReadLog();
  QCOMPARE(std::count(after.begin(), after.end(), c), 1);
  // Only the pictures around the one shown are held: a is dropped, d comes.
  QVERIFY(!ahead.Peek(source.items[0].first));
  QTRY_VERIFY(ahead.Peek(source.items[3].first));
  // Closing frees them all.
  Press(dlg, Qt::Key_Escape);
  for (const auto& item : source.items) QVERIFY(!ahead.Peek(item.first));
}

void ViewerZoomTest::informationOverlayShowsTheShot() {
  if (!HaveExiftool()) QSKIP("exiftool is not installed");
  TestDir dir;
  ListSource source;
  const std::string path = WriteJpeg(dir, "shot.jpg", 300, 200);
  QVERIFY(Exiftool("-Make=Canon '-Model=Canon EOS 5D' '-DateTimeOriginal=2024:05:01 10:22:33' "
                   "-ExposureTime=0.004 -FNumber=8 -ISO=100 -FocalLength=50 "
                   "'-LensModel=EF50mm f/1.8'",
                   path));
  source.items = {{path, false}, {WriteBmp(dir, "plain.bmp", 30, 20), false}};
  source.selected = 0;
  ViewerWindow dlg;
  dlg.Source = &source;
  Open(dlg);
  QVERIFY(!dlg.Info->isVisible());
  Press(dlg, Qt::Key_I);
  QVERIFY(dlg.Info->isVisible());
  const QString text = dlg.Info->text();
  const qint64 bytes = QFileInfo(QString::fromStdString(path)).size();
  QVERIFY2(text.startsWith(QStringLiteral("shot.jpg\n300 x 200, ") + QLocale().toString(bytes) +
                           QStringLiteral(" 바이트\n")),
           qPrintable(text));
  QVERIFY2(text.contains(QStringLiteral("촬영: 2024-05-01 10:22:33")), qPrintable(text));
  QVERIFY2(text.contains(QStringLiteral("카메라: Canon EOS 5D\n")), qPrintable(text));
  QVERIFY2(text.contains(QStringLiteral("노출: 1/250 s, F8, ISO 100, 50.0 mm")), qPrintable(text));
  QVERIFY2(text.endsWith(QStringLiteral("렌즈: EF50mm f/1.8")), qPrintable(text));
  // It follows the steps and stays on until I again.
  Press(dlg, Qt::Key_PageDown);
  QCOMPARE(dlg.Info->text(), QStringLiteral("plain.bmp\n30 x 20, ") +
                                 QLocale().toString(QFileInfo(QString::fromStdString(
                                                        source.items[1].first)).size()) +
                                 QStringLiteral(" 바이트"));
  Press(dlg, Qt::Key_I);
  QVERIFY(!dlg.Info->isVisible());
}

void ViewerZoomTest::animatedGifPlaysAndStepsStopIt() {
  if (!HavePillow()) QSKIP("Pillow is not installed");
  TestDir dir;
  const std::string gif = dir.file("anim.gif");
  // Two frames, red then blue, 40 ms each.
  QCOMPARE(RunCommand("/usr/bin/python3 -c \"from PIL import Image; "
                      "f=[Image.new('RGB',(20,10),c) for c in ('red','blue')]; "
                      "f[0].save('" + gif + "', save_all=True, append_images=f[1:], duration=40, loop=0)\""),
           0);
  ListSource source;
  source.items = {{gif, false}, {WriteBmp(dir, "b.bmp", 20, 10), false}};
  source.selected = 0;
  ViewerWindow dlg;
  dlg.Source = &source;
  Open(dlg);
  const auto centre = [&] { return dlg.Image1->pixmap().toImage().pixelColor(10, 5); };
  QCOMPARE(dlg.Image1->pixmap().size(), QSize(64, 10).boundedTo(QSize(20, 10)));
  QTRY_COMPARE(centre(), QColor(Qt::blue));
  QTRY_COMPARE(centre(), QColor(Qt::red));
  Press(dlg, Qt::Key_PageDown);
  const qint64 still = dlg.Image1->pixmap().cacheKey();
  QTest::qWait(150);
  QCOMPARE(dlg.Image1->pixmap().cacheKey(), still);
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
  ViewerZoomTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "viewer_zoom_qtest.moc"
