// The grid's "찍은 날짜" order: the date taken of every format the metadata helper reads,
// undated files by their file time among them, offsets honoured, the one reorder that
// keeps the selection and the scroll, and the dates kept on disk for the next visit.

#include <QScrollBar>
#include <QTest>
#include <fcntl.h>
#include <sys/stat.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>

#include "ImgListViewTestHelpers.h"
#include "support/DngWriter.h"

using namespace quorvane;
using namespace quorvane::test;

namespace {

int64_t Utc(int year, int month, int day, int hour, int minute) {
  std::tm t{};
  t.tm_year = year - 1900, t.tm_mon = month - 1, t.tm_mday = day;
  t.tm_hour = hour, t.tm_min = minute;
  return int64_t(timegm(&t));
}

void SetFileTime(const std::string& path, int64_t seconds) {
  const timespec times[2] = {{time_t(seconds), 0}, {time_t(seconds), 0}};
  QVERIFY(utimensat(AT_FDCWD, path.c_str(), times, 0) == 0);
}

bool Run(const std::string& command) { return RunCommand(command + " >/dev/null 2>&1") == 0; }

// dir/name in its format, from a small PNG, with the EXIF date `date` ("" none) and its
// offset.
std::string WriteShot(const TestDir& dir, const std::string& name, const std::string& date,
                      const std::string& offset) {
  const std::string png = dir.file(name + ".src.png");
  const std::string out = dir.file(name);
  const std::string q = ShellQuote(out);
  Run("convert -size 40x30 xc:'#3070b0' " + ShellQuote(png));
  const std::string ext = name.substr(name.rfind('.'));
  if (ext == ".heic") Run("heif-enc -q 50 " + ShellQuote(png) + " -o " + q);
  else if (ext == ".avif") Run("avifenc -s 10 " + ShellQuote(png) + " " + q);
  else if (ext == ".webp") Run("cwebp -quiet " + ShellQuote(png) + " -o " + q);
  else if (ext == ".jxl") Run("cjxl " + ShellQuote(png) + " " + q);
  else if (ext == ".dng") {
    Bitmap picture(8, 6);
    picture.Fill(RGB(40, 90, 160));
    WriteDng(out, picture, Bitmap());
  } else Run("convert " + ShellQuote(png) + " " + q);
  std::filesystem::remove(png);
  if (!date.empty())
    Run("exiftool -m -q -overwrite_original '-DateTimeOriginal=" + date + "'" +
        (offset.empty() ? std::string() : " '-OffsetTimeOriginal=" + offset + "'") + " " + q);
  return out;
}

}  // namespace

class ImgListViewTakenTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    cache_ = std::make_unique<TestDir>();
    qputenv("XDG_CACHE_HOME", QByteArray::fromStdString(cache_->path()));
  }

  // Every format's date taken orders the grid; the files without one sit by their file
  // time among them; the offsets make east and west comparable.
  void datesOfEveryFormatOrderTheGrid() {
    TestDir dir;
    // Dated pictures, day by day in January 2020 (UTC), listed in the order expected.
    struct Shot {
      const char* name;
      const char* date;
      const char* offset;
    };
    const Shot shots[] = {
        {"k.jpg", "2020:01:01 12:00:00", "+00:00"}, {"j.tif", "2020:01:02 12:00:00", "+00:00"},
        {"i.png", "2020:01:03 12:00:00", "+00:00"}, {"h.webp", "2020:01:04 12:00:00", "+00:00"},
        // 2020-01-05 03:00 UTC, though its clock says later than the next one's
        {"g.heic", "2020:01:05 12:00:00", "+09:00"},
        // 2020-01-05 13:00 UTC
        {"f.avif", "2020:01:05 08:00:00", "-05:00"},
        {"e.jxl", "2020:01:07 12:00:00", "+00:00"}, {"d.dng", "2020:01:08 12:00:00", "+00:00"},
    };
    std::vector<std::string> expected;
    int64_t fileTime = Utc(2030, 1, 1, 0, 0);
    for (const Shot& shot : shots) {
      const std::string path = WriteShot(dir, shot.name, shot.date, shot.offset);
      SetFileTime(path, fileTime -= 3600);  // newest first by file time
      expected.push_back(shot.name);
    }
    // Undated files: one before all, one between the 6th and the 7th day, one after all.
    SetFileTime(WriteShot(dir, "z.jpg", "", ""), Utc(2019, 6, 1, 0, 0));
    SetFileTime(WriteShot(dir, "y.png", "", ""), Utc(2020, 1, 6, 12, 0));
    SetFileTime(WritePicture(dir, "x.bmp", 4, 4, RGB(1, 2, 3)), Utc(2025, 1, 1, 0, 0));
    expected.insert(expected.begin(), "z.jpg");
    expected.insert(expected.begin() + 7, "y.png");
    expected.push_back("x.bmp");

    ImgListView view;
    view.SetSortType(istTaken);
    view.OpenFolder(dir.path());
    QTRY_VERIFY_WITH_TIMEOUT(!view.ReadingTakenDates(), 30000);
    QCOMPARE(view.Count(), int(expected.size()));
    for (int i = 0; i < view.Count(); ++i)
      QCOMPARE(view.Item(i)->DisplayName(), expected[size_t(i)]);
  }

  // The grid shows the file-time order first and reorders once, keeping the selected
  // item selected and current, and the scroll where it was.
  void reorderKeepsSelectionAndScroll() {
    TestDir dir;
    int64_t fileTime = Utc(2030, 1, 1, 0, 0);
    for (int i = 0; i < 40; ++i) {
      char name[32], date[32];
      std::snprintf(name, sizeof name, "p%02d.jpg", i);
      std::snprintf(date, sizeof date, "2020:02:%02d 10:00:00", 1 + (i * 7) % 28);
      SetFileTime(WriteShot(dir, name, date, ""), fileTime -= 60);
    }
    auto view = ShowGrid(dir.path(), {300, 200});
    QVERIFY(view);
    view->SetDescend(false);
    view->SetSortType(istTaken);
    QVERIFY(view->ReadingTakenDates());
    // In file-time order meanwhile: the oldest file first.
    QCOMPARE(view->Item(0)->DisplayName(), std::string("p39.jpg"));
    const int row = RowOf(*view, "p20.jpg");
    view->selectionModel()->setCurrentIndex(view->model()->index(row, 0),
                                            QItemSelectionModel::ClearAndSelect);
    view->verticalScrollBar()->setValue(view->verticalScrollBar()->maximum() / 2);
    const int scroll = view->verticalScrollBar()->value();
    QTRY_VERIFY_WITH_TIMEOUT(!view->ReadingTakenDates(), 30000);
    QCOMPARE(view->Item(0)->DisplayName(), std::string("p00.jpg"));  // 1 February
    const int moved = RowOf(*view, "p20.jpg");
    QVERIFY(moved != row);
    QCOMPARE(view->currentIndex().row(), moved);
    const QModelIndexList selected = view->selectionModel()->selectedIndexes();
    QCOMPARE(selected.size(), 1);
    QCOMPARE(selected[0].row(), moved);
    QCOMPARE(view->verticalScrollBar()->value(), scroll);
  }

  // The dates are kept with size and modification time: a second visit sorts at once,
  // from the cache file alone; a file changed since is read again.
  void datesAreKeptForTheNextVisit() {
    TestDir dir;
    const std::string a = WriteShot(dir, "a.jpg", "2020:03:02 10:00:00", "");
    const std::string b = WriteShot(dir, "b.jpg", "2020:03:01 10:00:00", "");
    SetFileTime(a, Utc(2030, 1, 1, 0, 0));
    SetFileTime(b, Utc(2030, 1, 2, 0, 0));
    {
      ImgListView view;
      view.SetSortType(istTaken);
      view.OpenFolder(dir.path());
      QTRY_VERIFY_WITH_TIMEOUT(!view.ReadingTakenDates(), 30000);
      QCOMPARE(view.Item(0)->DisplayName(), std::string("b.jpg"));
    }
    const std::string file = cache_->path() + "/quorvane/dates-taken";
    QVERIFY(std::filesystem::exists(file));
    TakenDateCache stored(file);
    QCOMPARE(stored.Size(), size_t(2));
    TakenAnswer answer;
    QVERIFY(stored.Find({b, int64_t(std::filesystem::file_size(b)), Utc(2030, 1, 2, 0, 0)}, answer));
    QVERIFY(answer.has);
    QVERIFY(!stored.Find({b, int64_t(std::filesystem::file_size(b)), Utc(2030, 1, 3, 0, 0)}, answer));
    {
      // The second visit: no reading, the order at once.
      ImgListView view;
      view.SetSortType(istTaken);
      view.OpenFolder(dir.path());
      QVERIFY(!view.ReadingTakenDates());
      QCOMPARE(view.Item(0)->DisplayName(), std::string("b.jpg"));
    }
    // b changes its date (and so its size or time): it is read again.
    QVERIFY(Run("exiftool -q -overwrite_original '-DateTimeOriginal=2020:03:03 10:00:00' " +
                ShellQuote(b)));
    ImgListView view;
    view.SetSortType(istTaken);
    view.OpenFolder(dir.path());
    QVERIFY(view.ReadingTakenDates());
    QTRY_VERIFY_WITH_TIMEOUT(!view.ReadingTakenDates(), 30000);
    QCOMPARE(view.Item(0)->DisplayName(), std::string("a.jpg"));
  }

 private:
  std::unique_ptr<TestDir> cache_;
};

QTEST_MAIN(ImgListViewTakenTest)
#include "imglistview_taken_qtest.moc"
