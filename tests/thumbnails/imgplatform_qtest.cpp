#include <QIcon>
#include <QImage>
#include <QTest>
#include <QThread>
#include <atomic>
#include <cstring>
#include <memory>

#include "support/TestDir.h"
#include "thumbnails/ThumbnailReader.h"
#include "thumbnails/ui/ImgPlatformQt.h"

using quorvane::Bitmap;
using quorvane::RgbColor;
using quorvane::FontSpec;
using quorvane::ThumbnailReader;
using quorvane::QtIconProvider;
using quorvane::QtTextPainter;
using quorvane::test::TestDir;

namespace {

constexpr RgbColor kBackground = 0x00E0F0FF;  // a pale colour no icon is made of

int CountDiffering(const Bitmap& b, RgbColor background, int x0, int y0, int x1, int y1) {
  int n = 0;
  for (int y = std::max(0, y0); y < std::min(y1, b.Height()); ++y)
    for (int x = std::max(0, x0); x < std::min(x1, b.Width()); ++x)
      if (b.Pixel(x, y) != background) ++n;
  return n;
}
int CountDiffering(const Bitmap& b, RgbColor background) {
  return CountDiffering(b, background, 0, 0, b.Width(), b.Height());
}
// Pixels clearly darker than white: text strokes.
int CountDark(const Bitmap& b, int x0, int y0, int x1, int y1) {
  int n = 0;
  for (int y = std::max(0, y0); y < std::min(y1, b.Height()); ++y)
    for (int x = std::max(0, x0); x < std::min(x1, b.Width()); ++x) {
      const RgbColor c = b.Pixel(x, y);
      if (quorvane::GetRValue(c) + quorvane::GetGValue(c) + quorvane::GetBValue(c) < 384) ++n;
    }
  return n;
}

QImage ToQImage(const Bitmap& b) {
  return QImage(b.Bits(), b.Width(), b.Height(), int(b.Stride()), QImage::Format_BGR888).copy();
}

// Saves a picture when QUORVANE_GRAB_DIR names a folder, for looking at by eye.
void SaveGrab(const Bitmap& b, const char* name) {
  const QString dir = qEnvironmentVariable("QUORVANE_GRAB_DIR");
  if (!dir.isEmpty()) ToQImage(b).save(dir + "/" + name);
}

FontSpec Font(int size) {
  FontSpec f;
  f.Size = size;
  return f;
}

}  // namespace

class ImgPlatformTest : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase();
  void iconsOfTypesComeAtTheLargeIconSize();
  void programFilesCarryNoNumberedIcons();
  void workerThreadDrawsWithoutWaitingForTheGuiThread();
  void textFillsTheFirstLineOnly();
  void textDrawsAlikeOnAWorkerThread();
  void lineBreaksAndTabsMoveTheText();
  void textBeyondTheCanvasIsClipped();
  void textHeightGrowsWithTheFontSize();
  void koreanTextRenders();
  void loaderDrawsTextPreviewsAndIcons();
};

void ImgPlatformTest::initTestCase() {
  // The offscreen platform has no desktop theme; the provider falls back to Adwaita.
  QtIconProvider provider;
  QVERIFY2(QIcon::hasThemeIcon("folder"), qPrintable(QIcon::themeName()));
}

void ImgPlatformTest::iconsOfTypesComeAtTheLargeIconSize() {
  TestDir dir;
  QtIconProvider provider;
  const std::string png = dir.write("사진 한 장.png", "not really a png");
  const std::string txt = dir.write("notes.txt", "hello");
  QCOMPARE(QtIconProvider::TypeKey(png), QString("image/png"));
  QCOMPARE(QtIconProvider::TypeKey(txt), QString("text/plain"));
  QCOMPARE(QtIconProvider::TypeKey(dir.path()), QString("inode/directory"));

  Bitmap pngIcon, txtIcon, dirIcon;
  QVERIFY(provider.DrawIcon(png, 0, kBackground, pngIcon));
  QVERIFY(provider.DrawIcon(txt, 0, kBackground, txtIcon));
  QVERIFY(provider.DrawIcon(dir.path(), 0, kBackground, dirIcon));
  for (const Bitmap* icon : {&pngIcon, &txtIcon, &dirIcon}) {
    QCOMPARE(icon->Width(), 32);
    QCOMPARE(icon->Height(), 32);
    // The icon shows, and the background shows around it.
    QVERIFY(CountDiffering(*icon, kBackground) > 100);
    QVERIFY(CountDiffering(*icon, kBackground) < 32 * 32);
  }
  // Each type its own picture.
  QVERIFY(!pngIcon.SamePixels(txtIcon));
  QVERIFY(!txtIcon.SamePixels(dirIcon));
  QVERIFY(!pngIcon.SamePixels(dirIcon));
  // Another background changes only the surround.
  Bitmap onWhite;
  QVERIFY(provider.DrawIcon(txt, 0, quorvane::clWhite, onWhite));
  QVERIFY(!onWhite.SamePixels(txtIcon));
  QCOMPARE(onWhite.Pixel(0, 0), quorvane::clWhite);
  QCOMPARE(txtIcon.Pixel(0, 0), kBackground);
  SaveGrab(dirIcon, "quorvane-folder-icon.png");

  // A name with no known type still gets the generic icon.
  Bitmap other;
  QVERIFY(
      provider.DrawIcon(dir.write("data.zzqq", std::string(64, '\x01')), 0, kBackground, other));
  QVERIFY(CountDiffering(other, kBackground) > 100);
}

void ImgPlatformTest::programFilesCarryNoNumberedIcons() {
  TestDir dir;
  QtIconProvider provider;
  const std::string exe = dir.write("tool.exe", "MZ");
  QCOMPARE(provider.IconCount(exe), 0);
  Bitmap icon;
  QVERIFY(!provider.DrawIcon(exe, 1, kBackground, icon));
  QVERIFY(!provider.DrawIcon(exe, -1, kBackground, icon));
  QVERIFY(icon.Empty());
  QVERIFY(provider.DrawIcon(exe, 0, kBackground, icon));
  QVERIFY(CountDiffering(icon, kBackground) > 100);
}

void ImgPlatformTest::workerThreadDrawsWithoutWaitingForTheGuiThread() {
  TestDir dir;
  QtIconProvider provider;
  const std::string png = dir.write("a.png", "x");
  QVERIFY(!provider.HasRendered("image/png"));

  Bitmap fromWorker;
  bool drawn = false;
  auto draw = [&] { drawn = provider.DrawIcon(png, 0, kBackground, fromWorker); };
  // The GUI thread waits without running its event loop: a worker that waited for it
  // would never finish.
  std::unique_ptr<QThread> worker(QThread::create(draw));
  worker->start();
  QVERIFY(worker->wait(10000));
  QVERIFY(drawn);
  QCOMPARE(fromWorker.Width(), 32);
  QVERIFY(CountDiffering(fromWorker, kBackground) > 100);

  // The real icon is rendered on the GUI thread once it runs its loop; the worker then
  // draws the same picture as the GUI thread does.
  QTRY_VERIFY(provider.HasRendered("image/png"));
  worker.reset(QThread::create(draw));
  worker->start();
  QVERIFY(worker->wait(10000));
  Bitmap fromGui;
  QVERIFY(provider.DrawIcon(png, 0, kBackground, fromGui));
  QVERIFY(fromWorker.SamePixels(fromGui));

  // Several workers at once over types not yet rendered: every call draws an icon.
  const std::string names[] = {"b.jpg", "c.gif", "d.html", "e.pdf"};
  std::atomic<int> good{0};
  std::vector<std::unique_ptr<QThread>> workers;
  for (int i = 0; i < 4; ++i)
    workers.emplace_back(QThread::create([&] {
      for (const std::string& name : names) {
        Bitmap b;
        if (provider.DrawIcon(dir.file(name), 0, kBackground, b) && b.Width() == 32 &&
            CountDiffering(b, kBackground) > 100)
          ++good;
      }
    }));
  for (auto& w : workers) w->start();
  for (auto& w : workers) QVERIFY(w->wait(10000));
  QCOMPARE(good.load(), 16);
  QTRY_VERIFY(provider.HasRendered("application/pdf"));
}

void ImgPlatformTest::textDrawsAlikeOnAWorkerThread() {
  QtTextPainter renderer;
  const std::string text = "int main() {\r\n\treturn 0;\r\n}";
  Bitmap onGui(160, 80), onWorker(160, 80);
  renderer.DrawText(onGui, text, Font(10), quorvane::clWhite);
  int height = 0;
  std::unique_ptr<QThread> worker(QThread::create([&] {
    height = renderer.TextHeight(Font(10), "H");
    renderer.DrawText(onWorker, text, Font(10), quorvane::clWhite);
  }));
  worker->start();
  QVERIFY(worker->wait(10000));
  QCOMPARE(height, renderer.TextHeight(Font(10), "H"));
  QVERIFY(CountDark(onWorker, 0, 0, 160, 80) > 50);
  QVERIFY(onWorker.SamePixels(onGui));
}

void ImgPlatformTest::textFillsTheFirstLineOnly() {
  QtTextPainter renderer;
  const FontSpec font = Font(12);
  const int line = renderer.TextHeight(font, "H");
  QVERIFY(line > 8 && line < 40);  // 12 points at 96 dots per inch: about 16 pixels
  Bitmap canvas(200, 100);
  canvas.Fill(quorvane::clBlack);  // the renderer paints the background itself
  renderer.DrawText(canvas, "Hello, world", font, quorvane::clWhite);
  QVERIFY(CountDark(canvas, 0, 0, 200, line) > 30);
  QCOMPARE(CountDiffering(canvas, quorvane::clWhite, 0, line, 200, 100), 0);
  // The text starts at the left edge and ends well before the right one.
  QVERIFY(CountDark(canvas, 0, 0, 12, line) > 0);
  QCOMPARE(CountDiffering(canvas, quorvane::clWhite, 150, 0, 200, 100), 0);

  // Colour, bold and italic come from the font setting.
  FontSpec red = font;
  red.Color = quorvane::clRed;
  Bitmap redCanvas(200, 100);
  renderer.DrawText(redCanvas, "Hello, world", red, quorvane::clWhite);
  bool sawRed = false;
  for (int y = 0; y < line && !sawRed; ++y)
    for (int x = 0; x < 200; ++x) {
      const RgbColor c = redCanvas.Pixel(x, y);
      if (quorvane::GetRValue(c) > 200 && quorvane::GetGValue(c) < 60) sawRed = true;
    }
  QVERIFY(sawRed);
  FontSpec bold = font;
  bold.Bold = true;
  Bitmap boldCanvas(200, 100);
  renderer.DrawText(boldCanvas, "Hello, world", bold, quorvane::clWhite);
  QVERIFY(CountDark(boldCanvas, 0, 0, 200, line) > CountDark(canvas, 0, 0, 200, line));
  QCOMPARE(QtTextPainter::MakeFont(bold).bold(), true);
  FontSpec italic = font;
  italic.Italic = true;
  italic.Name = "DejaVu Serif";
  QVERIFY(QtTextPainter::MakeFont(italic).italic());
  QCOMPARE(QtTextPainter::MakeFont(italic).family(), QString("DejaVu Serif"));
  QCOMPARE(QtTextPainter::MakeFont(font).pointSize(), 12);
}

void ImgPlatformTest::lineBreaksAndTabsMoveTheText() {
  QCOMPARE(QtTextPainter::SplitLines("a\r\nb\nc\rd\r\n"), QStringList({"a", "b", "c", "d"}));
  QCOMPARE(QtTextPainter::SplitLines("\tx"), QStringList({"        x"}));
  QCOMPARE(QtTextPainter::SplitLines("abc\tx\r\n12345678\ty"),
           QStringList({"abc     x", "12345678        y"}));
  QCOMPARE(QtTextPainter::SplitLines("가\tx"), QStringList({"가       x"}));

  QtTextPainter renderer;
  const FontSpec font = Font(12);
  const int line = renderer.TextHeight(font, "H");
  Bitmap one(200, 100), two(200, 100);
  renderer.DrawText(one, "ABC", font, quorvane::clWhite);
  renderer.DrawText(two, "ABC\r\nDEF", font, quorvane::clWhite);
  QCOMPARE(CountDark(one, 0, line, 200, 2 * line), 0);
  QVERIFY(CountDark(two, 0, line, 200, 2 * line) > 20);
  QCOMPARE(CountDiffering(two, quorvane::clWhite, 0, 2 * line, 200, 100), 0);

  // A tab moves the text eight columns to the right.
  Bitmap tabbed(300, 40);
  renderer.DrawText(tabbed, "\tX", font, quorvane::clWhite);
  const int charWidth = QFontMetrics(QtTextPainter::MakeFont(font)).horizontalAdvance('M');
  QCOMPARE(CountDark(tabbed, 0, 0, 7 * charWidth, 40), 0);
  QVERIFY(CountDark(tabbed, 7 * charWidth, 0, 300, 40) > 0);
}

void ImgPlatformTest::textBeyondTheCanvasIsClipped() {
  QtTextPainter renderer;
  std::string text;
  for (int i = 0; i < 200; ++i) text += std::string(300, 'W') + "\r\n";
  // Width 5: each row carries one padding byte, which drawing must leave alone.
  Bitmap canvas(5, 60);
  for (int y = 0; y < canvas.Height(); ++y) canvas.ScanLine(y)[15] = 0x5A;
  renderer.DrawText(canvas, text, Font(48), quorvane::clWhite);
  for (int y = 0; y < canvas.Height(); ++y) QCOMPARE(int(canvas.ScanLine(y)[15]), 0x5A);
  QVERIFY(CountDark(canvas, 0, 0, 5, 60) > 0);

  Bitmap wide(301, 50);
  for (int y = 0; y < wide.Height(); ++y) wide.ScanLine(y)[903] = 0xA5;
  renderer.DrawText(wide, text, Font(12), quorvane::clWhite);
  for (int y = 0; y < wide.Height(); ++y) QCOMPARE(int(wide.ScanLine(y)[903]), 0xA5);
  QVERIFY(CountDark(wide, 290, 0, 301, 50) > 0);  // drawn up to the edge
  // An empty canvas is left alone.
  Bitmap empty;
  renderer.DrawText(empty, text, Font(12), quorvane::clWhite);
  QVERIFY(empty.Empty());
}

void ImgPlatformTest::textHeightGrowsWithTheFontSize() {
  QtTextPainter renderer;
  const int small = renderer.TextHeight(Font(8), "H");
  const int normal = renderer.TextHeight(Font(12), "H");
  const int large = renderer.TextHeight(Font(24), "H");
  QVERIFY(small > 0);
  QVERIFY(small < normal);
  QVERIFY(normal < large);
  QVERIFY(large >= 2 * normal - 4);
  // The height the renderer answers is the pitch it draws lines at.
  Bitmap canvas(100, 200);
  renderer.DrawText(canvas, "\r\n\r\nH", Font(24), quorvane::clWhite);
  QCOMPARE(CountDark(canvas, 0, 0, 100, 2 * large), 0);
  QVERIFY(CountDark(canvas, 0, 2 * large, 100, 3 * large) > 0);
}

void ImgPlatformTest::koreanTextRenders() {
  QtTextPainter renderer;
  Bitmap canvas(300, 60);
  renderer.DrawText(canvas, "한글 미리보기", Font(14), quorvane::clWhite);
  const int line = renderer.TextHeight(Font(14), "H");
  QVERIFY(CountDark(canvas, 0, 0, 300, line) > 100);
  // Six syllables spread over the width, not one replacement box.
  QVERIFY(CountDark(canvas, 60, 0, 300, line) > 50);
  SaveGrab(canvas, "quorvane-korean-text.png");
}

void ImgPlatformTest::loaderDrawsTextPreviewsAndIcons() {
  TestDir dir;
  QtIconProvider icons;
  QtTextPainter text;
  ThumbnailReader loader;
  loader.SetIconProvider(&icons);
  loader.SetTextRenderer(&text);

  std::string content;
  for (int i = 1; i <= 40; ++i)
    content += "line " + std::to_string(i) + ": the quick brown fox\tjumps 한글\n";
  const std::string txt = dir.write("읽어 보기.txt", content);
  QCOMPARE(loader.LoadThumbnail(txt, 96, 96, 0), 0);
  const Bitmap& preview = loader.Bitmap();
  QCOMPARE(preview.Width(), 96);
  QCOMPARE(preview.Height(), 96);
  QCOMPARE(loader.OrgWidth(), 192);
  QVERIFY(CountDark(preview, 0, 0, 96, 10) > 0);
  // Text all the way down the box, background at the right of the short lines.
  QVERIFY(CountDark(preview, 0, 86, 96, 96) > 0);
  QVERIFY(CountDiffering(preview, quorvane::clWhite, 0, 0, 96, 96) < 96 * 96 / 2);
  SaveGrab(preview, "quorvane-text-preview.png");

  loader.SetBKColor(kBackground);
  const std::string broken = dir.write("broken.bmp", "BM not really a bitmap");
  QCOMPARE(loader.LoadThumbnail(broken, 96, 96, 0), -1);
  QCOMPARE(loader.Bitmap().Width(), 32);
  QCOMPARE(loader.Bitmap().Height(), 32);
  QCOMPARE(loader.Bitmap().Pixel(0, 0), kBackground);
  QVERIFY(CountDiffering(loader.Bitmap(), kBackground) > 100);
  QCOMPARE(loader.OrgWidth(), 32);
  SaveGrab(loader.Bitmap(), "quorvane-broken-bmp-icon.png");

  // A folder is an icon kind: drawn as its icon, result 0.
  QCOMPARE(loader.LoadThumbnail(dir.path(), 96, 96, 0), 0);
  QCOMPARE(loader.Bitmap().Width(), 32);
  QVERIFY(CountDiffering(loader.Bitmap(), kBackground) > 100);
}

QTEST_MAIN(ImgPlatformTest)
#include "imgplatform_qtest.moc"
