#include <QElapsedTimer>
#include <QTest>
#include <QThread>
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>

#include "shell/ui/DirWatch.h"
#include "support/TestDir.h"

using namespace quorvane;
namespace fs = std::filesystem;

namespace {

struct Counter {
  int count = 0;
  bool onMainThread = true;
  void Attach(DirectoryWatch& w) {
    w.OnChange = [this](DirectoryWatch&) {
      ++count;
      if (QThread::currentThread() != QCoreApplication::instance()->thread()) onMainThread = false;
    };
  }
};

// The watch thread drains wake-ups for up to 100 ms before it watches a new folder.
void WaitForRewatch() { QTest::qWait(250); }

}  // namespace

class DirWatchTest : public QObject {
  Q_OBJECT
 private slots:
  void directoryIsStoredWithATrailingSlash();
  void missingDirectoriesAreRefused();
  void burstGivesOneNotice();
  void movingTheDirectoryKeepsTheThread();
  void filtersTellFilesFromFoldersAndRestart();
  void subDirectoriesAreWatchedWhenAsked();
  void deletedDirectoryDoesNotWedgeTheThread();
};

void DirWatchTest::directoryIsStoredWithATrailingSlash() {
  test::TestDir dir;
  DirectoryWatch w;
  QCOMPARE(w.Directory(), std::string("/"));
  QVERIFY(!w.Active());
  w.SetDirectory(dir.path());
  QCOMPARE(w.Directory(), dir.path() + "/");
  w.SetActive(true);
  QVERIFY(w.Active());
  const uint64_t id = w.WatchThreadSerial();
  w.SetDirectory(dir.path() + "/");  // the same path: nothing changes
  QCOMPARE(w.Directory(), dir.path() + "/");
  QCOMPARE(w.WatchThreadSerial(), id);
  w.SetActive(true);  // the same value again
  QCOMPARE(w.WatchThreadSerial(), id);

  w.SetDirectory("");
  QVERIFY(!w.Active());
  QCOMPARE(w.Directory(), std::string());
}

void DirWatchTest::missingDirectoriesAreRefused() {
  test::TestDir dir;
  DirectoryWatch w;
  w.SetDirectory(dir.path());
  try {
    w.SetDirectory(dir.file("없는 폴더"));
    QFAIL("a missing directory was accepted");
  } catch (const EDirWatchError& e) {
    QCOMPARE(std::string(e.what()), "Invalid Directory: " + dir.file("없는 폴더") + "/");
  }
  QCOMPARE(w.Directory(), dir.path() + "/");
  dir.write("file", "");
  QVERIFY_THROWS_EXCEPTION(EDirWatchError, w.SetDirectory(dir.file("file")));

  fs::create_directory(dir.file("gone"));
  w.SetDirectory(dir.file("gone"));
  fs::remove(dir.file("gone"));
  try {
    w.SetActive(true);
    QFAIL("activated on a missing directory");
  } catch (const EDirWatchError& e) {
    QCOMPARE(std::string(e.what()), "Invalid Directory: " + dir.file("gone") + "/");
  }
  QVERIFY(!w.Active());
}

void DirWatchTest::burstGivesOneNotice() {
  test::TestDir dir;
  DirectoryWatch w;
  Counter c;
  c.Attach(w);
  w.SetDirectory(dir.path());
  w.SetActive(true);
  // A burst of 20 changes 2 ms apart spans 40 ms but never pauses for 10 ms, so it
  // gives one notice. A busy machine may stall the writer for longer than that; such a
  // round cannot tell and is tried again.
  bool judged = false;
  for (int round = 0; round < 5 && !judged; ++round) {
    QTest::qWait(50);
    c.count = 0;
    auto last = std::chrono::steady_clock::now();
    auto longest = std::chrono::steady_clock::duration::zero();
    for (int i = 0; i < 20; ++i) {
      dir.write("burst " + std::to_string(round) + " " + std::to_string(i), "x");
      const auto now = std::chrono::steady_clock::now();
      longest = std::max(longest, now - last);
      last = now;
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    QTRY_VERIFY(c.count >= 1);
    QTest::qWait(100);
    if (longest < std::chrono::milliseconds(8)) {
      QCOMPARE(c.count, 1);
      judged = true;
    }
  }
  if (!judged) QSKIP("the writer never ran a burst without a long stall");
  QVERIFY(c.onMainThread);
  // Changes well apart give a notice each.
  c.count = 0;
  dir.write("later", "");
  QTRY_COMPARE(c.count, 1);
  QTest::qWait(60);
  dir.write("later still", "");
  QTRY_COMPARE(c.count, 2);

  QElapsedTimer timer;
  timer.start();
  w.SetActive(false);
  QVERIFY(timer.elapsed() < 1000);  // stopping is prompt (the thread waits on its wake-up)
}

void DirWatchTest::movingTheDirectoryKeepsTheThread() {
  test::TestDir a, b;
  DirectoryWatch w;
  Counter c;
  c.Attach(w);
  w.SetDirectory(a.path());
  w.SetActive(true);
  const uint64_t id = w.WatchThreadSerial();
  w.SetDirectory(b.path());
  QCOMPARE(w.WatchThreadSerial(), id);
  QVERIFY(w.Active());
  WaitForRewatch();
  a.write("old place", "");
  QTest::qWait(100);
  QCOMPARE(c.count, 0);
  b.write("new place", "");
  QTRY_COMPARE(c.count, 1);
}

void DirWatchTest::filtersTellFilesFromFoldersAndRestart() {
  test::TestDir dir;
  DirectoryWatch w;
  Counter c;
  c.Attach(w);
  w.SetDirectory(dir.path());
  w.SetActive(true);
  const uint64_t id = w.WatchThreadSerial();
  w.SetNotifyFilters({nfDirname});
  QVERIFY(w.Active());
  QVERIFY(w.WatchThreadSerial() != id);  // restarted
  dir.write("a file", "");
  QTest::qWait(100);
  QCOMPARE(c.count, 0);
  fs::create_directory(dir.file("a folder"));
  QTRY_COMPARE(c.count, 1);

  w.SetNotifyFilters({nfFilename});
  fs::create_directory(dir.file("another folder"));
  QTest::qWait(100);
  QCOMPARE(c.count, 1);
  fs::remove(dir.file("a file"));
  QTRY_COMPARE(c.count, 2);
}

void DirWatchTest::subDirectoriesAreWatchedWhenAsked() {
  test::TestDir dir;
  fs::create_directories(dir.file("x/y"));
  DirectoryWatch w;
  Counter c;
  c.Attach(w);
  w.SetDirectory(dir.path());
  w.SetActive(true);
  dir.write("x/y/deep", "");
  QTest::qWait(100);
  QCOMPARE(c.count, 0);

  const uint64_t id = w.WatchThreadSerial();
  w.SetWatchSubDirs(true);
  QVERIFY(w.WatchThreadSerial() != id);
  QTest::qWait(50);
  dir.write("x/y/deeper", "");
  QTRY_COMPARE(c.count, 1);
  // A folder made after the start is followed too.
  fs::create_directory(dir.file("x/new"));
  QTRY_COMPARE(c.count, 2);
  QTest::qWait(50);
  dir.write("x/new/inside", "");
  QTRY_COMPARE(c.count, 3);
}

void DirWatchTest::deletedDirectoryDoesNotWedgeTheThread() {
  test::TestDir dir, other;
  fs::create_directory(dir.file("watched"));
  DirectoryWatch w;
  Counter c;
  c.Attach(w);
  w.SetDirectory(dir.file("watched"));
  w.SetActive(true);
  fs::remove(dir.file("watched"));
  QTRY_VERIFY(c.count >= 1);
  const int seen = c.count;
  w.SetDirectory(other.path());
  WaitForRewatch();
  other.write("here", "");
  QTRY_COMPARE(c.count, seen + 1);
  QElapsedTimer timer;
  timer.start();
  w.SetActive(false);
  QVERIFY(timer.elapsed() < 1000);
}

QTEST_GUILESS_MAIN(DirWatchTest)
#include "dirwatch_qtest.moc"
