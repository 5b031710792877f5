// The main window with a folder whose name is no UTF-8 (Latin-1 from an old archive):
// the grid opens it by Enter and by a double click, the result bar opens it in the file
// manager; and the status line's messages reach screen readers.
#include <sys/stat.h>

#include <QAccessible>
#include <QApplication>
#include <QDir>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include "folders/ui/FolderTree.h"
#include "imaging/BmpFile.h"
#include "platform/FileUris.h"
#include "shell/ui/BatchResultBar.h"
#include "shell/ui/GridStatus.h"
#include "shell/ui/MainWindow.h"
#include "support/TestDir.h"
#include "thumbnails/ui/ImgListView.h"

using namespace quorvane;
using namespace quorvane::test;

namespace {

std::string gHome;  // bytes; set before the application starts
const std::string kOddFolder = "\xC5rsbilder 1999";

int RowOfPath(ImgListView& grid, const std::string& path) {
  for (int i = 0; i < grid.Count(); ++i)
    if (grid.Item(i)->ParsingName() == path) return i;
  return -1;
}

}  // namespace

class MainWindowNamesTest : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase() {
    odd_ = gHome + "/" + kOddFolder;
    QVERIFY(::mkdir(odd_.c_str(), 0777) == 0);
    WriteBmpFile(odd_ + "/a.bmp", PatternBitmap(20, 10));
    w_ = std::make_unique<MainWindow>();
    w_->show();
    w_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w_.get()));
  }
  void cleanupTestCase() { w_.reset(); }

  void enterAndDoubleClickOpenAFolderWhoseNameIsNoUtf8() {
    ImgListView& grid = *w_->ImgListView1;
    for (const bool enter : {true, false}) {
      QVERIFY(w_->FolderTree1->SetPath(gHome));
      QTRY_VERIFY(RowOfPath(grid, odd_) >= 0);
      const int row = RowOfPath(grid, odd_);
      grid.SetItemIndex(row);
      if (enter) {
        QTest::keyClick(&grid, Qt::Key_Return);
      } else {
        const QPoint at = grid.visualRect(grid.model()->index(row, 0)).center();
        QTest::mouseDClick(grid.viewport(), Qt::LeftButton, {}, at);
      }
      QTRY_COMPARE(grid.FolderPath(), odd_);
      QCOMPARE(w_->FolderTree1->FolderPath(), odd_);
      QTRY_VERIFY(RowOfPath(grid, odd_ + "/a.bmp") >= 0);
    }
  }

  void resultBarOpensAFolderWhoseNameIsNoUtf8() {
    BatchResultBar& bar = *w_->ResultBar;
    std::vector<std::string> opened;
    bar.OpenFolder = [&](const std::string& folder) { opened.push_back(folder); };
    bar.ShowResult(2, odd_, 0, QString());
    QVERIFY(bar.Text().contains(QStringLiteral("\uFFFDrsbilder 1999")));
    QTest::mouseClick(bar.OpenFolderBtn, Qt::LeftButton);
    QCOMPARE(opened, std::vector<std::string>{odd_});
    // What the desktop's file manager is handed: the very bytes, escaped.
    const QByteArray url = BatchResultBar::FolderUrl(odd_).toEncoded();
    QVERIFY(url.endsWith("/%C5rsbilder%201999"));
    QCOMPARE(PathFromFileUri(url.toStdString()), odd_);
  }

  void statusMessagesReachScreenReaders() {
    GridStatus& status = *w_->StatusLine;
    ImgListView& grid = *w_->ImgListView1;
    QTRY_VERIFY(grid.Count() > 0);
    grid.clearSelection();
    w_->ptoJPG->trigger();  // nothing selected: said in the status line
    const QString message = QStringLiteral("선택된 파일이 없습니다.");
    QCOMPARE(status.currentMessage(), message);
    // What a screen reader reads of the line (the offscreen platform has no bridge to
    // watch its events on).
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(&status);
    QVERIFY(face);
    QCOMPARE(face->role(), QAccessible::StatusBar);
    QCOMPARE(face->text(QAccessible::Description), message);
    // Once the message is gone, the counts are what the line says again.
    status.clearMessage();
    QCOMPARE(face->text(QAccessible::Description), status.Text());
  }

 private:
  std::unique_ptr<MainWindow> w_;
  std::string odd_;
};

int main(int argc, char** argv) {
  QTemporaryDir home;
  if (!home.isValid()) return 1;
  gHome = QDir(home.path()).canonicalPath().toStdString();
  qputenv("HOME", QByteArray::fromStdString(gHome));
  qputenv("XDG_CACHE_HOME", QByteArray::fromStdString(gHome + "/.cache"));
  qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(gHome + "/.config"));
  QApplication app(argc, argv);
  MainWindowNamesTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "mainwindow_names_qtest.moc"
