// The grid on a screen with a scale of 2 (QT_SCALE_FACTOR=2): thumbnails are made and
// kept at device pixels, and drawn one to one: a 94-point cell shows a 188-pixel
// picture, never a 94-pixel one scaled up; an operation's preview likewise.

#include <QApplication>
#include <QTest>

#include "ImgListViewTestHelpers.h"
#include "processing/ui/PreviewBox.h"

using namespace quorvane;
using namespace quorvane::test;

namespace {

// Black and white columns two pixels wide: one pixel wide once halved.
Bitmap Stripes(int w, int h) {
  Bitmap stripes(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) stripes.SetPixel(x, y, (x / 2) % 2 ? RGB(255, 255, 255) : RGB(0, 0, 0));
  return stripes;
}

// How many of the device pixels along row `y` of `screen` from (x0, y) show the
// picture's row `row` one to one (black or white alike).
int SameAlongRow(const QImage& screen, int x0, int y, const Bitmap& picture, int row, int from,
                 int to) {
  int same = 0;
  for (int x = from; x < to; ++x)
    same += qRed(screen.pixel(x0 + x, y)) / 128 == GetRValue(picture.Pixel(x, row)) / 128;
  return same;
}

}  // namespace

class ImgListViewHiDpiTest : public QObject {
  Q_OBJECT

 private slots:
  void thumbnailsAreMadeAtDevicePixels() {
    TestDir cache;
    qputenv("XDG_CACHE_HOME", QByteArray::fromStdString(cache.path()));
    TestDir dir;
    // Shrunk to 94 pixels the stripes would turn grey, and a 94-pixel picture scaled up
    // would show them two pixels wide.
    WriteBmpFile(dir.file("stripes.bmp"), Stripes(376, 376));
    WritePicture(dir, "red.bmp", 300, 200, RGB(220, 30, 30));
    WritePicture(dir, "green.bmp", 120, 300, RGB(30, 180, 60));

    auto view = ShowGrid(dir.path(), {520, 300});
    QVERIFY(view);
    QCOMPARE(view->devicePixelRatioF(), 2.0);
    const int row = RowOf(*view, "stripes.bmp");
    QVERIFY(row >= 0);
    QTRY_VERIFY_WITH_TIMEOUT(view->Item(row)->ThumbnailIndex >= 0, 20000);

    // Kept at device pixels.
    PictureStore& store = view->FolderView().Thumbnails();
    QCOMPARE(store.CellWidth(), 2 * view->ViewImage().ImageWidth());
    QCOMPARE(store.CellWidth(), 188);
    Bitmap cell;
    QVERIFY(store.CopyCell(view->Item(row)->ThumbnailIndex, cell));
    // The 376-pixel stripes fitted into 188 pixels: one pixel a column.
    int flips = 0;
    for (int x = 1; x < cell.Width(); ++x)
      flips += GetRValue(cell.Pixel(x, 94)) / 128 != GetRValue(cell.Pixel(x - 1, 94)) / 128;
    QVERIFY2(flips > 150, qPrintable(QString::number(flips)));

    // Drawn one to one onto the device pixels.
    const QRect item = view->visualRect(view->model()->index(row, 0));
    const CellRectangle place =
        CellImageBox(view->CellStyle(), view->CellMetrics(), item.left(), item.top());
    const QRect box(place.Left, place.Top, place.Width(), place.Height());
    QCOMPARE(box.width(), 94);
    view->viewport()->update();
    QImage screen = view->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    QCOMPARE(screen.devicePixelRatio(), 2.0);
    // (The columns by the cell's left edge are left out: the grid draws there too.)
    QCOMPARE(SameAlongRow(screen, 2 * box.left(), 2 * box.top() + 94, cell, 94, 16, 172), 156);

    if (!qEnvironmentVariableIsEmpty("QUORVANE_SCREENSHOTS")) {
      QTRY_VERIFY_WITH_TIMEOUT(view->Item(RowOf(*view, "green.bmp"))->ThumbnailIndex >= 0, 20000);
      view->grab().save(qEnvironmentVariable("QUORVANE_SCREENSHOTS") + "/grid-scale2.png");
    }
  }

  // An operation dialog's preview is made and drawn at device pixels as well.
  void previewsAreMadeAtDevicePixels() {
    TestDir dir;
    WriteBmpFile(dir.file("stripes.bmp"), Stripes(400, 320));
    PreviewBox box(100, 80);
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    QCOMPARE(box.PixelWidth(), 200);
    Bitmap source;
    QVERIFY(LoadPreviewSource(dir.file("stripes.bmp"), box.PixelWidth(), box.PixelHeight(), source));
    QCOMPARE(source.Width(), 200);
    box.Show(source);
    const QRect at = box.PictureRect();
    QCOMPARE(at.width(), 100);
    const QImage screen = box.grab().toImage().convertToFormat(QImage::Format_RGB32);
    QCOMPARE(SameAlongRow(screen, 2 * at.left(), 2 * at.top() + 80, source, 80, 0, 200), 200);
  }
};

int main(int argc, char** argv) {
  qputenv("QT_SCALE_FACTOR", "2");
  QApplication app(argc, argv);
  ImgListViewHiDpiTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "imglistview_hidpi_qtest.moc"
