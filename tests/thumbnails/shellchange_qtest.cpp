#include <fcntl.h>
#include <unistd.h>

#include <QTest>
#include <QThread>
#include <chrono>
#include <filesystem>
#include <thread>

#include "support/TestDir.h"
#include "thumbnails/ui/ShellChangeNotification.h"

using namespace quorvane;
namespace fs = std::filesystem;

namespace {

// Lets the watcher thread see and post what happened, without delivering anything.
void LetWatcherRun() { std::this_thread::sleep_for(std::chrono::milliseconds(100)); }

struct Counter {
  int count = 0;
  bool onUiThread = true;
  void Attach(FolderChangeNotifier& n) {
    n.OnChange = [this](FolderChangeNotifier&) {
      ++count;
      if (QThread::currentThread() != QCoreApplication::instance()->thread()) onUiThread = false;
    };
  }
};

}  // namespace

class ShellChangeTest : public QObject {
  Q_OBJECT
 private slots:
  void disabledWatchDoesNothing();
  void oneNoticePerWakeUpOnTheUiThread();
  void unwatchDropsPendingNoticesAndOwnRenames();
  void folderWithoutPathKeepsThePreviousWatch();
  void namesOfFilesAndFoldersAreToldApart();
  void sizeChangesCountWhenTheFileIsClosed();
  void deletedFolderEndsTheWatchQuietly();
};

void ShellChangeTest::disabledWatchDoesNothing() {
  test::TestDir dir;
  FolderChangeNotifier n;
  Counter c;
  c.Attach(n);
  n.SetEnabled(false);
  n.Watch(dir.path());
  QVERIFY(!n.Watching());
  dir.write("a", "");
  QTest::qWait(100);
  QCOMPARE(c.count, 0);

  n.SetEnabled(true);
  n.Watch(dir.path());
  QVERIFY(n.Watching());
  n.SetEnabled(false);  // stops the watch
  QVERIFY(!n.Watching());
  dir.write("b", "");
  QTest::qWait(100);
  QCOMPARE(c.count, 0);
}

void ShellChangeTest::oneNoticePerWakeUpOnTheUiThread() {
  test::TestDir dir;
  FolderChangeNotifier n;
  Counter c;
  c.Attach(n);
  n.Watch(dir.path());
  for (int i = 0; i < 50; ++i) dir.write("파일 " + std::to_string(i), "");
  LetWatcherRun();
  dir.write("late", "");  // while a notice is pending: no second one
  LetWatcherRun();
  QCoreApplication::processEvents();
  QCOMPARE(c.count, 1);
  QVERIFY(c.onUiThread);

  dir.write("after", "");
  QTRY_COMPARE(c.count, 2);
  QTest::qWait(50);
  QCOMPARE(c.count, 2);
}

void ShellChangeTest::unwatchDropsPendingNoticesAndOwnRenames() {
  test::TestDir dir;
  dir.write("old.jpg", "");
  FolderChangeNotifier n;
  Counter c;
  c.Attach(n);
  n.Watch(dir.path());
  dir.write("x", "");
  LetWatcherRun();  // posted, not yet delivered
  // The view's own rename: unwatch, rename, watch again.
  n.Unwatch();
  fs::rename(dir.file("old.jpg"), dir.file("new.jpg"));
  n.Watch(dir.path());
  QTest::qWait(100);
  QCOMPARE(c.count, 0);
  // OnChange may replace the watch itself.
  n.OnChange = [&](FolderChangeNotifier& sender) {
    ++c.count;
    sender.Watch(dir.path());
  };
  dir.write("y", "");
  QTRY_COMPARE(c.count, 1);
  dir.write("z", "");
  QTRY_COMPARE(c.count, 2);
}

void ShellChangeTest::folderWithoutPathKeepsThePreviousWatch() {
  test::TestDir dir;
  FolderChangeNotifier n;
  Counter c;
  c.Attach(n);
  n.Watch(dir.path());
  n.Watch("");
  QCOMPARE(n.WatchedFolder(), dir.path());
  dir.write("a", "");
  QTRY_COMPARE(c.count, 1);
  // A folder that cannot be watched leaves no watch.
  n.Watch(dir.file("missing"));
  QVERIFY(!n.Watching());
}

void ShellChangeTest::namesOfFilesAndFoldersAreToldApart() {
  test::TestDir dir;
  FolderChangeNotifier n;
  Counter c;
  c.Attach(n);
  n.SetNotifyTypes({intFileName});
  n.Watch(dir.path());
  fs::create_directory(dir.file("folder"));
  QTest::qWait(100);
  QCOMPARE(c.count, 0);
  dir.write("file", "");
  QTRY_COMPARE(c.count, 1);

  n.SetNotifyTypes({intDirName});
  n.Watch(dir.path());
  dir.write("file2", "");
  QTest::qWait(100);
  QCOMPARE(c.count, 1);
  fs::remove(dir.file("folder"));
  QTRY_COMPARE(c.count, 2);
}

void ShellChangeTest::sizeChangesCountWhenTheFileIsClosed() {
  test::TestDir dir;
  const std::string path = dir.write("grow.bin", "");
  FolderChangeNotifier n;
  Counter c;
  c.Attach(n);
  n.SetNotifyTypes({intSize});
  n.Watch(dir.path());
  const int fd = open(path.c_str(), O_WRONLY);
  QVERIFY(fd >= 0);
  for (int i = 0; i < 10; ++i) QCOMPARE(write(fd, "0123456789", 10), ssize_t(10));
  QTest::qWait(100);
  QCOMPARE(c.count, 0);  // writes alone do not wake it
  close(fd);
  QTRY_COMPARE(c.count, 1);
}

void ShellChangeTest::deletedFolderEndsTheWatchQuietly() {
  test::TestDir dir;
  fs::create_directory(dir.file("sub"));
  FolderChangeNotifier n;
  Counter c;
  c.Attach(n);
  n.Watch(dir.file("sub"));
  fs::remove(dir.file("sub"));
  QTRY_VERIFY(c.count >= 1);  // the view reloads and finds its folder gone
  n.Unwatch();
  QVERIFY(!n.Watching());
}

QTEST_GUILESS_MAIN(ShellChangeTest)
#include "shellchange_qtest.moc"
