// The viewer's details panel (I): a camera JPEG with a colour profile and a GPS position
// (its link opens a geo: URI), a HEIC from a phone, and a PNG without metadata.

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QLabel>
#include <QRegularExpression>
#include <QScrollArea>
#include <QUrl>
#include <QtTest>

#include "support/ExifSamples.h"
#include "support/TestDir.h"
#include "viewer/ViewerTestHelpers.h"
#include "viewer/ui/DetailsPanel.h"
#include "viewer/ui/ViewerWindow.h"

using namespace quorvane;
using namespace quorvane::test;

// Catches the URIs the panel asks the desktop to open.
class UrlCatcher : public QObject {
  Q_OBJECT
 public slots:
  void open(const QUrl& url) { urls << url; }

 public:
  QList<QUrl> urls;
};

class DetailsPanelTest : public QObject {
  Q_OBJECT

 private slots:
  void panelListsFileCameraAndPosition() {
    if (!HaveExiftool()) QSKIP("exiftool is not installed");
    TestDir dir;
    const std::string jpeg = WriteJpeg(dir, "shot.jpg", 300, 200);
    const std::string icc = WriteIccProfile(dir, "srgb.icc");
    QVERIFY(Exiftool("-Make=Canon '-Model=Canon EOS 5D' '-LensModel=EF35mm f/2' "
                     "'-DateTimeOriginal=2024:05:01 10:22:33' -OffsetTimeOriginal=+09:00 "
                     "-ExposureTime=0.004 -FNumber=2.8 -ISO=200 -FocalLength=35 -EXIF:Flash#=1 "
                     "-GPSLatitude=37.5665 -GPSLatitudeRef=N -GPSLongitude=126.978 "
                     "-GPSLongitudeRef=E '-ICC_Profile<=" + icc + "'",
                     jpeg));
    const std::string png = dir.file("phone.src.png");
    QCOMPARE(RunCommand("convert -size 64x48 xc:'#2080c0' " + ShellQuote(png)), 0);
    const std::string heic = dir.file("phone.heic");
    QCOMPARE(RunCommand("heif-enc -q 60 " + ShellQuote(png) + " -o " + ShellQuote(heic) +
                        " >/dev/null 2>&1"),
             0);
    QVERIFY(Exiftool("-Make=Apple '-Model=iPhone 12' '-DateTimeOriginal=2023:08:09 18:30:00'",
                     heic));
    const std::string bare = dir.file("bare.png");
    QCOMPARE(RunCommand("convert -size 20x10 xc:red -strip png24:" + ShellQuote(bare)), 0);

    ListSource source;
    source.items = {{jpeg, false}, {heic, false}, {bare, false}};
    source.selected = 0;
    ViewerWindow dlg;
    dlg.Source = &source;
    dlg.resize(900, 600);
    dlg.show();
    dlg.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&dlg));
    QVERIFY(!dlg.Details || !dlg.Details->isVisible());
    QTest::keyClick(&dlg, Qt::Key_I);
    QVERIFY(dlg.Details && dlg.Details->isVisible());
    // Beside the picture, on its right.
    QCOMPARE(dlg.Details->geometry().right(), dlg.ScrollBox1->viewport()->geometry().right());

    QString text = dlg.Details->PlainText();
    for (const char* line :
         {"이름: shot.jpg", "폴더: ", "크기: ", "날짜: ", "픽셀: 300 × 200", "형식: JPEG", "비트 깊이: 8 비트",
          "색 프로필: sRGB built-in", "제조사: Canon", "모델: Canon EOS 5D", "렌즈: EF35mm f/2",
          "찍은 날짜: 2024-05-01 10:22:33 +09:00", "노출 시간: 1/250 s", "조리개: F2.8", "ISO: 200",
          "초점 거리: 35 mm", "플래시: 터짐", "GPS: 37.566500° N, 126.978000° E"})
      QVERIFY2(text.contains(QString::fromUtf8(line)),
               qPrintable(QString::fromUtf8(line) + " in\n" + text));
    QVERIFY(!text.contains(QStringLiteral("메타데이터가 없습니다")));
    QCOMPARE(text.contains(QString::fromStdString(dir.path())), true);  // the folder

    // The position opens in the map handler.
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("geo"), &catcher, "open");
    const QRegularExpressionMatch link =
        QRegularExpression(QStringLiteral("href='([^']+)'")).match(dlg.Details->Text->text());
    QVERIFY(link.hasMatch());
    emit dlg.Details->Text->linkActivated(link.captured(1));
    QDesktopServices::unsetUrlHandler(QStringLiteral("geo"));
    QCOMPARE(catcher.urls.size(), 1);
    QCOMPARE(catcher.urls[0].toString(), QStringLiteral("geo:37.566500,126.978000"));

    // The text can be selected and copied.
    QVERIFY(dlg.Details->Text->textInteractionFlags() & Qt::TextSelectableByMouse);
    dlg.Details->Text->setFocus();
    QTest::keyClick(dlg.Details->Text, Qt::Key_A, Qt::ControlModifier);
    QVERIFY(dlg.Details->Text->selectedText().contains(QStringLiteral("Canon EOS 5D")));
    QTest::keyClick(dlg.Details->Text, Qt::Key_C, Qt::ControlModifier);
    QVERIFY(QApplication::clipboard()->text().contains(QStringLiteral("Canon EOS 5D")));

    // The HEIC's metadata comes from its own box.
    dlg.setFocus();
    QTest::keyClick(&dlg, Qt::Key_PageDown);
    QTRY_VERIFY(dlg.Details->PlainText().contains(QStringLiteral("phone.heic")));
    text = dlg.Details->PlainText();
    for (const char* line : {"픽셀: 64 × 48", "형식: HEIF", "제조사: Apple", "모델: iPhone 12",
                             "찍은 날짜: 2023-08-09 18:30:00"})
      QVERIFY2(text.contains(QString::fromUtf8(line)),
               qPrintable(QString::fromUtf8(line) + " in\n" + text));
    QVERIFY(!text.contains(QStringLiteral("GPS")));

    // A PNG without metadata says so.
    QTest::keyClick(&dlg, Qt::Key_PageDown);
    QTRY_VERIFY(dlg.Details->PlainText().contains(QStringLiteral("bare.png")));
    text = dlg.Details->PlainText();
    QVERIFY2(text.contains(QStringLiteral("이 파일에는 메타데이터가 없습니다.")), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("형식: PNG")), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("비트 깊이: 8 비트")), qPrintable(text));
    QVERIFY(!text.contains(QStringLiteral("카메라")));

    if (!qEnvironmentVariableIsEmpty("QUORVANE_SCREENSHOTS")) {
      QTest::keyClick(&dlg, Qt::Key_Home);
      QTRY_VERIFY(dlg.Details->PlainText().contains(QStringLiteral("shot.jpg")));
      dlg.resize(960, 620);
      QTest::qWait(300);
      dlg.grab().save(qEnvironmentVariable("QUORVANE_SCREENSHOTS") + "/viewer-details.png");
    }
    // I again hides it.
    QTest::keyClick(&dlg, Qt::Key_I);
    QVERIFY(!dlg.Details->isVisible());
  }
};

QTEST_MAIN(DetailsPanelTest)
#include "details_panel_qtest.moc"
