// The viewer's slideshow, driven by its clock (SlideTick stands for the timer's
// timeout): full screen, the list's order past folders, pause and resume, the arrows,
// the end at the last picture, looping, Escape, and an animation played to its end.
#include <QMovie>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

#include "imaging/OpenIL.h"
#include "support/ExifSamples.h"
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

// The animation playing now (one stopped earlier may wait for its deletion).
QMovie* Playing(ViewerWindow& dlg) {
  for (QMovie* movie : dlg.findChildren<QMovie*>())
    if (movie->state() == QMovie::Running) return movie;
  return nullptr;
}

QString Name(ViewerWindow& dlg) { return dlg.windowTitle().section(QLatin1Char('('), 0, 0); }

}  // namespace

class ViewerSlideshowTest : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase() { QVERIFY(BindCodecLibrary()); }
  void cleanupTestCase() { UnbindCodecLibrary(); }
  void stepsInOrderPausesAndEndsAtTheLast();
  void loopsAndEscapeEndsIt();
  void anAnimationPlaysToItsEndFirst();
};

void ViewerSlideshowTest::stepsInOrderPausesAndEndsAtTheLast() {
  TestDir dir;
  ListSource source;
  source.items = {{WriteBmp(dir, "a.bmp", 60, 40), false},
                  {dir.file("폴더"), true},
                  {WriteBmp(dir, "b.bmp", 50, 40), false},
                  {WriteBmp(dir, "c.bmp", 40, 40), false},
                  {WriteBmp(dir, "d.bmp", 30, 40), false}};
  source.selected = 0;
  ViewerWindow dlg;
  dlg.Source = &source;
  dlg.Slides.seconds = 7;
  Open(dlg);
  QTest::keyClick(&dlg, Qt::Key_S);
  QVERIFY(dlg.SlideshowRunning());
  QTRY_VERIFY(dlg.FullScreen());
  QVERIFY(dlg.SlideTimer()->isActive());
  QCOMPARE(dlg.SlideTimer()->interval(), 7000);
  // Time up: the next picture, past the folder; it was read ahead, not read on the spot.
  QTRY_VERIFY(dlg.ReadAhead().Peek(source.items[2].first) != nullptr);
  dlg.SlideTick();
  QCOMPARE(Name(dlg), QStringLiteral("b.bmp"));
  QVERIFY(dlg.SlideTimer()->isActive());
  // Space pauses: the clock stops and a tick changes nothing; Space again resumes.
  QTest::keyClick(&dlg, Qt::Key_Space);
  QVERIFY(dlg.SlideshowPaused());
  QVERIFY(!dlg.SlideTimer()->isActive());
  dlg.SlideTick();
  QCOMPARE(Name(dlg), QStringLiteral("b.bmp"));
  QTest::keyClick(&dlg, Qt::Key_Space);
  QVERIFY(!dlg.SlideshowPaused());
  QVERIFY(dlg.SlideTimer()->isActive());
  // The arrows step, and the picture stepped to has its full time.
  QTest::keyClick(&dlg, Qt::Key_Right);
  QCOMPARE(Name(dlg), QStringLiteral("c.bmp"));
  QCOMPARE(dlg.SlideTimer()->remainingTime() > 6000, true);
  QTest::keyClick(&dlg, Qt::Key_Left);
  QCOMPARE(Name(dlg), QStringLiteral("b.bmp"));
  dlg.SlideTick();
  dlg.SlideTick();
  QCOMPARE(Name(dlg), QStringLiteral("d.bmp"));
  // Without "반복" it ends at the last picture, which stays, out of full screen.
  dlg.SlideTick();
  QVERIFY(!dlg.SlideshowRunning());
  QVERIFY(!dlg.SlideTimer()->isActive());
  QCOMPARE(Name(dlg), QStringLiteral("d.bmp"));
  QTRY_VERIFY(!dlg.FullScreen());
  QVERIFY(dlg.isVisible());
}

void ViewerSlideshowTest::loopsAndEscapeEndsIt() {
  TestDir dir;
  ListSource source;
  source.items = {{dir.file("폴더"), true},
                  {WriteBmp(dir, "a.bmp", 60, 40), false},
                  {WriteBmp(dir, "b.bmp", 50, 40), false}};
  source.selected = 2;
  ViewerWindow dlg;
  dlg.Source = &source;
  dlg.Slides.loop = true;
  dlg.Slides.seconds = 0;  // out of range: the shortest time
  Open(dlg);
  // The tool bar's button starts it, Ctrl+Space pauses it.
  QTest::mouseClick(dlg.SlideButton, Qt::LeftButton);
  QVERIFY(dlg.SlideshowRunning());
  QCOMPARE(dlg.SlideTimer()->interval(), 1000);
  // Looping, the first picture is held ready while the last shows.
  QTRY_VERIFY(dlg.ReadAhead().Peek(source.items[1].first) != nullptr);
  dlg.SlideTick();
  QCOMPARE(Name(dlg), QStringLiteral("a.bmp"));
  dlg.SlideTick();
  QCOMPARE(Name(dlg), QStringLiteral("b.bmp"));
  QTest::keyClick(&dlg, Qt::Key_Space, Qt::ControlModifier);
  QVERIFY(dlg.SlideshowPaused());
  // Escape ends the slideshow and its full screen; the viewer stays.
  QTest::keyClick(&dlg, Qt::Key_Escape);
  QVERIFY(!dlg.SlideshowRunning());
  QTRY_VERIFY(!dlg.FullScreen());
  QVERIFY(dlg.isVisible());
  // Space is the next picture again.
  QTest::keyClick(&dlg, Qt::Key_Backspace);
  QTest::keyClick(&dlg, Qt::Key_Space);
  QCOMPARE(Name(dlg), QStringLiteral("b.bmp"));
}

void ViewerSlideshowTest::anAnimationPlaysToItsEndFirst() {
  if (!HavePillow()) QSKIP("Pillow is not installed");
  TestDir dir;
  const std::string gif = dir.file("anim.gif");
  // Four frames of 150 ms each, looping for ever.
  QCOMPARE(RunCommand("/usr/bin/python3 -c \"from PIL import Image; "
                      "f=[Image.new('RGB',(20,10),c) for c in ('red','blue','green','white')]; "
                      "f[0].save('" + gif + "', save_all=True, append_images=f[1:], duration=150, loop=0)\""),
           0);
  ListSource source;
  source.items = {{gif, false}, {WriteBmp(dir, "b.bmp", 20, 10), false}};
  source.selected = 0;
  ViewerWindow dlg;
  dlg.Source = &source;
  Open(dlg);
  QTest::keyClick(&dlg, Qt::Key_S);
  QTRY_VERIFY(Playing(dlg) && Playing(dlg)->currentFrameNumber() == 1);
  // Time is up mid-animation: the picture stays until its last frame has shown.
  dlg.SlideTick();
  QCOMPARE(Name(dlg), QStringLiteral("anim.gif"));
  QTRY_COMPARE(Name(dlg), QStringLiteral("b.bmp"));
  QVERIFY(dlg.SlideshowRunning());
}

QTEST_MAIN(ViewerSlideshowTest)
#include "viewer_slideshow_qtest.moc"
