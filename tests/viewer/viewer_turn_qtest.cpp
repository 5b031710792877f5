// Ctrl+R and Ctrl+L in the viewer turn the shown JPEG file itself without loss: the
// file is replaced with jpegtran's pixels, keeps its time, the shared thumbnail cache
// forgets it and the picture is shown anew; other formats and sizes that are not whole
// blocks are left alone with a word in the status.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QLabel>
#include <QtTest>

#include "imaging/OpenIL.h"
#include "support/ExifSamples.h"
#include "support/TestDir.h"
#include "thumbnails/FreedesktopThumbnails.h"
#include "viewer/TurnInPlace.h"
#include "viewer/ViewerTestHelpers.h"
#include "viewer/ui/ViewerWindow.h"

using namespace quorvane;
using namespace quorvane::test;

namespace {

constexpr time_t kFileTime = 1200000000;

void SetFileTime(const std::string& path) {
  const timespec times[2] = {{kFileTime, 0}, {kFileTime, 0}};
  QCOMPARE(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

// The pixels as libjpeg's djpeg decodes them.
std::string Decoded(const std::string& jpeg) {
  const std::string ppm = jpeg + ".ppm";
  if (RunCommand("djpeg -ppm " + ShellQuote(jpeg) + " > " + ShellQuote(ppm)) != 0) return {};
  return ReadFileBytes(ppm);
}

}  // namespace

class ViewerTurnTest : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase() {
    // The shared thumbnail cache of this test lives in its own folder.
    qputenv("XDG_CACHE_HOME", QByteArray::fromStdString(cache_.path()));
    QVERIFY(BindCodecLibrary());
  }
  void cleanupTestCase() { UnbindCodecLibrary(); }
  void controlRTurnsTheJpegFileAndTheCacheForgetsIt();
  void otherFormatsAndSizesNotWholeBlocksAreLeftAlone();
  void turnsFromHowTheCameraOrientationShowsIt();

 private:
  TestDir cache_;
};

void ViewerTurnTest::controlRTurnsTheJpegFileAndTheCacheForgetsIt() {
  if (RunCommand("command -v jpegtran djpeg >/dev/null") != 0) QSKIP("jpegtran missing");
  TestDir dir;
  const std::string path = WriteJpeg(dir, "사진.jpg", 64, 48);
  const std::string before = dir.file("before.jpg");
  QCOMPARE(RunCommand("cp " + ShellQuote(path) + " " + ShellQuote(before)), 0);
  SetFileTime(path);
  struct stat old {};
  QCOMPARE(stat(path.c_str(), &old), 0);

  // A thumbnail of the file as it was, in the shared cache, and a failure entry.
  const FreedesktopThumbnails cache;
  QCOMPARE(cache.Root(), cache_.path() + "/thumbnails");
  QVERIFY(cache.Write(path, kFileTime, "normal", PatternBitmap(64, 48), 64, 48));
  QVERIFY(cache.WriteFailure(path, kFileTime));
  FreedesktopThumbnails::Entry entry;
  QCOMPARE(cache.Read(path, kFileTime, 128, 128, clWhite, entry),
           FreedesktopThumbnails::Found::kPicture);

  ListSource source;
  source.items = {{path, false}};
  ViewerWindow dlg;
  dlg.Source = &source;
  dlg.show();
  dlg.activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(&dlg));
  dlg.showimage(0);
  QVERIFY(dlg.windowTitle().endsWith(QStringLiteral("(64x48)")));

  QTest::keyClick(&dlg, Qt::Key_R, Qt::ControlModifier);
  QVERIFY(dlg.windowTitle().endsWith(QStringLiteral("(48x64)")));
  const std::string turned = Decoded(path);
  QVERIFY(!turned.empty());
  QCOMPARE(RunCommand("jpegtran -rotate 90 -copy all " + ShellQuote(before) + " > " +
                      ShellQuote(dir.file("ref.jpg"))),
           0);
  QVERIFY(turned == Decoded(dir.file("ref.jpg")));
  struct stat now {};
  QCOMPARE(stat(path.c_str(), &now), 0);
  QCOMPARE(now.st_mtim.tv_sec, old.st_mtim.tv_sec);
  QCOMPARE(now.st_mode, old.st_mode);
  QVERIFY(now.st_ino != old.st_ino);  // replaced whole, not written over
  // No entry is served for the kept time: the next look-up makes the thumbnail anew.
  QCOMPARE(cache.Read(path, kFileTime, 128, 128, clWhite, entry),
           FreedesktopThumbnails::Found::kNone);
  QVERIFY(dlg.TurnStatus == nullptr || !dlg.TurnStatus->isVisible());
  QCOMPARE(RunCommand("ls -A " + ShellQuote(dir.path()) + " | grep -q quorvane"), 1);

  // Ctrl+L turns it back to the very blocks it had.
  QTest::keyClick(&dlg, Qt::Key_L, Qt::ControlModifier);
  QVERIFY(dlg.windowTitle().endsWith(QStringLiteral("(64x48)")));
  QVERIFY(Decoded(path) == Decoded(before));
}

void ViewerTurnTest::otherFormatsAndSizesNotWholeBlocksAreLeftAlone() {
  TestDir dir;
  const std::string bmp = WriteBmp(dir, "a.bmp", 20, 10);
  const std::string odd = WriteJpeg(dir, "odd.jpg", 50, 30);
  ListSource source;
  source.items = {{bmp, false}, {odd, false}};
  ViewerWindow dlg;
  dlg.Source = &source;
  dlg.show();
  dlg.activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(&dlg));
  const struct {
    std::string path;
    const char* status;
  } cases[] = {{bmp, kTurnOtherFormat}, {odd, kTurnNotAligned}};
  for (int i = 0; i < 2; ++i) {
    const std::string bytes = ReadFileBytes(cases[i].path);
    dlg.showimage(i);
    QTest::keyClick(&dlg, Qt::Key_R, Qt::ControlModifier);
    QVERIFY(dlg.TurnStatus && dlg.TurnStatus->isVisible());
    QCOMPARE(dlg.TurnStatus->text(), QString::fromUtf8(cases[i].status));
    QVERIFY(ReadFileBytes(cases[i].path) == bytes);
  }
  QCOMPARE(QString::fromUtf8(kTurnOtherFormat), QStringLiteral("이 형식은 그대로 회전할 수 없습니다."));
}

void ViewerTurnTest::turnsFromHowTheCameraOrientationShowsIt() {
  if (!HaveExiftool() || RunCommand("command -v jpegtran djpeg >/dev/null") != 0)
    QSKIP("exiftool or jpegtran missing");
  TestDir dir;
  // Stored 64 x 48, shown upright (a quarter turn right) as 48 x 64.
  const std::string path = WriteJpeg(dir, "camera.jpg", 64, 48);
  QVERIFY(Exiftool("-Orientation#=6 -Make=Quorvane '-XMP-dc:Title=A title'", path));
  const std::string before = dir.file("before.jpg");
  QCOMPARE(RunCommand("cp " + ShellQuote(path) + " " + ShellQuote(before)), 0);
  SetFileTime(path);
  // Shown through a symbolic link, which stays one.
  const std::string link = dir.file("link.jpg");
  QCOMPARE(symlink(path.c_str(), link.c_str()), 0);
  ListSource source;
  source.items = {{link, false}};
  ViewerWindow dlg;
  dlg.Source = &source;
  dlg.show();
  QVERIFY(QTest::qWaitForWindowExposed(&dlg));
  dlg.showimage(0);
  QVERIFY(dlg.windowTitle().endsWith(QStringLiteral("(48x64)")));

  dlg.TurnShown(true);  // as Ctrl+R: a quarter turn right from what is shown
  QVERIFY(dlg.windowTitle().endsWith(QStringLiteral("(64x48)")));
  QCOMPARE(RunCommand("jpegtran -rotate 180 -copy all " + ShellQuote(before) + " > " +
                      ShellQuote(dir.file("ref.jpg"))),
           0);
  QVERIFY(Decoded(path) == Decoded(dir.file("ref.jpg")));
  QCOMPARE(ExiftoolTag(path, "Orientation"), std::string("1"));
  QCOMPARE(ExiftoolTag(path, "Make"), std::string("Quorvane"));
  QCOMPARE(ExiftoolTag(path, "XMP-dc:Title"), std::string("A title"));
  struct stat now {};
  QCOMPARE(stat(path.c_str(), &now), 0);
  QCOMPARE(now.st_mtim.tv_sec, kFileTime);
  QCOMPARE(lstat(link.c_str(), &now), 0);
  QVERIFY(S_ISLNK(now.st_mode));
}

QTEST_MAIN(ViewerTurnTest)
#include "viewer_turn_qtest.moc"
