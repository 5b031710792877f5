#include <QGuiApplication>
#include <QMimeDatabase>
#include <QTest>

#include "support/TestDir.h"
#include "thumbnails/ui/ShellPlatformQt.h"

using namespace quorvane;

class ShellPlatformTest : public QObject {
  Q_OBJECT
 private slots:
  void iconIndexesAreSharedPerType();
  void itemsTakeTheirDetailsFromThePlatform();
};

void ShellPlatformTest::iconIndexesAreSharedPerType() {
  QtShellPlatform platform;
  const int jpeg = platform.IconIndex("/photos/a.jpg", false);
  QVERIFY(jpeg >= 0);
  QCOMPARE(platform.IconIndex("/elsewhere/사진.JPG", false), jpeg);
  const int folder = platform.IconIndex("/photos", true);
  QVERIFY(folder >= 0 && folder != jpeg);
  QVERIFY(platform.IconIndex("/photos/b.png", false) != jpeg);
  QCOMPARE(platform.TypeKey(folder), QStringLiteral("inode/directory"));
  QCOMPARE(platform.TypeKey(jpeg), QStringLiteral("image/jpeg"));
  QVERIFY(platform.TypeKey(9999).isEmpty());
  QVERIFY(platform.Icon(9999).isNull());
  QVERIFY(!platform.Execute(""));
}

void ShellPlatformTest::itemsTakeTheirDetailsFromThePlatform() {
  test::TestDir dir;
  dir.write("a.jpg", "");
  dir.write("bad\xff.png", "");
  QtShellPlatform platform;
  ShellFolderView view(&platform);
  QVERIFY(view.OpenFolder(dir.path()));
  QCOMPARE(view.Items().Count(), 2);
  GridItem* jpeg = view.Items().Items(0);
  QCOMPARE(QString::fromStdString(jpeg->TypeName()),
           QMimeDatabase().mimeTypeForName("image/jpeg").comment());
  QCOMPARE(jpeg->IconIndex(), platform.IconIndex(jpeg->ParsingName(), false));
  // A name that is not UTF-8 still finds its type by its extension.
  QCOMPARE(platform.TypeKey(view.Items().Items(1)->IconIndex()), QStringLiteral("image/png"));
}

QTEST_MAIN(ShellPlatformTest)
#include "shellplatform_qtest.moc"
