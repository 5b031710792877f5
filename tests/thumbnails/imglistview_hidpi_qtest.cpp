// The grid on a screen with a scale of 2 (QT_SCALE_FACTOR=2): thumbnails are made and
// kept at device pixels, and drawn one to one: a 94-point cell shows a 188-pixel
// picture, never a 94-pixel one scaled up.

#include <QApplication>
#include <QTest>

#include "ImgListViewTestHelpers.h"

using namespace quorvane;
using namespace quorvane::test;

class ImgListViewHiDpiTest : public QObject {
  Q_OBJECT

 private slots:
  void thumbnailsAreMadeAtDevicePixels() {
    TestDir cache;
    qputenv("XDG_CACHE_HOME", QByteArray::fromStdString(cache.path()));
    TestDir dir;
    // One-pixel black and white columns: shrunk to 94 pixels they would turn grey, and
    // a 94-pixel picture scaled up would show them two pixels wide.
    Bitmap stripes(376, 376);
    for (int y = 0; y < stripes.Height(); ++y)
      for (int x = 0; x < stripes.Width(); ++x)
        stripes.SetPixel(x, y, (x / 2) % 2 ? RGB(255, 255, 255) : RGB(0, 0, 0));
    WriteBmpFile(dir.file("stripes.bmp"), stripes);
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
    int same = 0;
    for (int x = 16; x < 172; ++x) {
      const QRgb drawn = screen.pixel(2 * box.left() + x, 2 * box.top() + 94);
      same += qRed(drawn) / 128 == GetRValue(cell.Pixel(x, 94)) / 128;
    }
    QCOMPARE(same, 156);

    if (!qEnvironmentVariableIsEmpty("QUORVANE_SCREENSHOTS")) {
      QTRY_VERIFY_WITH_TIMEOUT(view->Item(RowOf(*view, "green.bmp"))->ThumbnailIndex >= 0, 20000);
      view->grab().save(qEnvironmentVariable("QUORVANE_SCREENSHOTS") + "/grid-scale2.png");
    }
  }
};

int main(int argc, char** argv) {
  qputenv("QT_SCALE_FACTOR", "2");
  QApplication app(argc, argv);
  ImgListViewHiDpiTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "imglistview_hidpi_qtest.moc"
