// The icon table of the grid: numbered type icons at any size, with the link overlay.
#include <QImage>
#include <QTest>

#include "support/TestDir.h"
#include "thumbnails/ui/ImgPlatformQt.h"

using quorvane::Bitmap;
using quorvane::TQtIconProvider;
using quorvane::test::TestDir;

namespace {

int OpaquePixels(const QImage& image, const QRect& area) {
  int n = 0;
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x)
      if (qAlpha(image.pixel(x, y)) > 0) ++n;
  return n;
}

}  // namespace

class ImgListViewIconsTest : public QObject {
  Q_OBJECT
 private slots:
  void indexesIdentifyTypes();
  void iconsComeAtTheAskedSizeWithOverlay();
};

void ImgListViewIconsTest::indexesIdentifyTypes() {
  TestDir dir;
  TQtIconProvider provider;
  const int png1 = provider.IconIndexOf(dir.write("a.png", "x"), false);
  const int png2 = provider.IconIndexOf(dir.write("두번째 사진.PNG", "x"), false);
  const int txt = provider.IconIndexOf(dir.write("n.txt", "x"), false);
  const int folder = provider.IconIndexOf(dir.path(), true);
  QCOMPARE(png1, png2);
  QVERIFY(png1 != txt && txt != folder && png1 != folder);
  QCOMPARE(provider.KeyOfIndex(folder), QString("inode/directory"));
  QCOMPARE(provider.KeyOfIndex(png1), QString("image/png"));
  QVERIFY(provider.KeyOfIndex(99).isEmpty());
  QVERIFY(provider.IconImage(99, 16).isNull());
  QVERIFY(provider.IconImage(-1, 16).isNull());
}

void ImgListViewIconsTest::iconsComeAtTheAskedSizeWithOverlay() {
  TestDir dir;
  TQtIconProvider provider;
  const int txt = provider.IconIndexOf(dir.write("n.txt", "x"), false);
  const QImage small = provider.IconImage(txt, TQtIconProvider::kSmallIconSize);
  const QImage big = provider.IconImage(txt, 48);
  QCOMPARE(small.size(), QSize(16, 16));
  QCOMPARE(big.size(), QSize(48, 48));
  QVERIFY(OpaquePixels(small, small.rect()) > 40);
  QVERIFY(OpaquePixels(big, big.rect()) > 16 * 40);

  // The link overlay changes the bottom-left corner and nothing far from it.
  const QImage linked = provider.IconImage(txt, 48, TQtIconProvider::kOverlayLink);
  QCOMPARE(linked.size(), big.size());
  QVERIFY(linked != big);
  for (int y = 0; y < 20; ++y)
    for (int x = 24; x < 48; ++x) QCOMPARE(linked.pixel(x, y), big.pixel(x, y));

  Bitmap onBackground;
  QVERIFY(provider.DrawIconAt(txt, 16, -1, 0x00E0F0FF, onBackground));
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
