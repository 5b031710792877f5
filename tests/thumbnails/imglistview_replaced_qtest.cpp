// A file that another file is renamed over gets a new thumbnail in the grid, even when
// the new file has the old one's size and modification time (as a picture turned in
// place keeps its time).

#include <fcntl.h>
#include <sys/stat.h>

#include <QTest>
#include <cstdio>
#include <vector>

#include "ImgListViewTestHelpers.h"

using namespace quorvane;
using namespace quorvane::test;

class ImgListViewReplacedTest : public QObject {
  Q_OBJECT
 private slots:
  void fileReplacedWithItsSizeAndTimeIsMadeAgain();
};

void ImgListViewReplacedTest::fileReplacedWithItsSizeAndTimeIsMadeAgain() {
  TestDir dir;
  const std::string path = WritePicture(dir, "a.bmp", 12, 8, clRed);
  WritePicture(dir, "b.bmp", 12, 8, clBlue);
  auto view = ShowGrid(dir.path());
  QVERIFY(view);
  view->ShellChangeNotification().SetNotifyTypes({intCreation, intDirName, intSize, intFileName});
  view->ShellChangeNotification().Watch(dir.path());
  std::vector<std::string> decoded;
  view->OnImageLoaded = [&](ImgListView&, GridItem& item) {
    decoded.push_back(item.DisplayName());
  };
  QTRY_VERIFY_WITH_TIMEOUT(view->Count() == 2 && view->Item(0)->Handled && view->Item(1)->Handled,
                           15000);
  QTest::qWait(200);
  decoded.clear();

  struct stat old {};
  QCOMPARE(stat(path.c_str(), &old), 0);
  const std::string temp = WritePicture(dir, ".a.tmp", 12, 8, clLime);
  const timespec times[2] = {old.st_atim, old.st_mtim};
  QCOMPARE(utimensat(AT_FDCWD, temp.c_str(), times, 0), 0);
  QCOMPARE(std::rename(temp.c_str(), path.c_str()), 0);
  struct stat now {};
  QCOMPARE(stat(path.c_str(), &now), 0);
  QCOMPARE(now.st_size, old.st_size);

  QTRY_VERIFY_WITH_TIMEOUT(decoded == std::vector<std::string>{"a.bmp"}, 5000);
  QTest::qWait(200);
  QCOMPARE(decoded, std::vector<std::string>{"a.bmp"});
}

QTEST_MAIN(ImgListViewReplacedTest)
#include "imglistview_replaced_qtest.moc"
