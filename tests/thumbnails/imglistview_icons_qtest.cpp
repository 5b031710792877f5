// Type icons of the grid at any size, with the link overlay.
#include <QImage>
#include <QTest>

#include "thumbnails/ui/ImgPlatformQt.h"

using quorvane::Bitmap;
using quorvane::QtIconProvider;

namespace {

int OpaquePixels(const QImage& image) {
  int n = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (qAlpha(image.pixel(x, y)) > 0) ++n;
  return n;
}

}  // namespace

class ImgListViewIconsTest : public QObject {
  Q_OBJECT
 private slots:
  void iconsComeAtTheAskedSizeWithOverlay();
};

void ImgListViewIconsTest::iconsComeAtTheAskedSizeWithOverlay() {
  QtIconProvider provider;
  const QString txt = "text/plain";
  const QImage small = provider.TypeIconImage(txt, QtIconProvider::kSmallIconSize);
  const QImage big = provider.TypeIconImage(txt, 48);
  QCOMPARE(small.size(), QSize(16, 16));
  QCOMPARE(big.size(), QSize(48, 48));
  QVERIFY(OpaquePixels(small) > 40);
  QVERIFY(OpaquePixels(big) > 16 * 40);
  QVERIFY(provider.TypeIconImage("inode/directory", 16) != small);
  // An unknown type and no type at all get the generic icon.
  QCOMPARE(provider.TypeIconImage("application/x-no-such-type", 16).size(), QSize(16, 16));
  QVERIFY(!provider.TypeIconImage(QString(), 16).isNull());
  QVERIFY(provider.TypeIconImage(txt, 0).isNull());

  // The link overlay changes the bottom-left corner and nothing far from it.
  const QImage linked = provider.TypeIconImage(txt, 48, QtIconProvider::kOverlayLink);
  QCOMPARE(linked.size(), big.size());
  QVERIFY(linked != big);
  for (int y = 0; y < 20; ++y)
    for (int x = 24; x < 48; ++x) QCOMPARE(linked.pixel(x, y), big.pixel(x, y));

  Bitmap onBackground;
  QVERIFY(provider.DrawTypeIcon(txt, 16, -1, 0x00E0F0FF, onBackground));
  QCOMPARE(onBackground.Width(), 16);
  QCOMPARE(onBackground.Height(), 16);
  int differing = 0;
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) differing += onBackground.Pixel(x, y) != 0x00E0F0FF;
  QVERIFY(differing > 40);
  QVERIFY(differing < 256);
}

QTEST_MAIN(ImgListViewIconsTest)
#include "imglistview_icons_qtest.moc"
