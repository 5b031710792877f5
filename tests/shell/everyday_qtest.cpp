// The main window as a Linux user meets it: folder and file names that are no UTF-8,
// hidden files, the "네트워크" node, the status line and settings that last.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QMenu>
#include <QPushButton>
#include <QSlider>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QSplitter>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <sys/stat.h>
#include <unistd.h>

#include <QSettings>
#include <algorithm>
#include <fstream>
#include <functional>

#include "folders/ui/FolderTree.h"
#include "folders/ui/FolderDialog.h"
#include "imaging/JpegCodec.h"
#include "platform/CoreCount.h"
#include "processing/ui/ConvertDialog.h"
#include "processing/ui/ConvertSettingsDialog.h"
#include "shell/Settings.h"
#include "shell/ui/GridStatus.h"
#include "shell/ui/MainWindow.h"
#include "shell/WindowTestHelpers.h"
#include "support/TestDir.h"
#include "thumbnails/ui/ImgListView.h"
#include "viewer/ui/ViewerWindow.h"

using namespace quorvane;
using namespace quorvane::test;

namespace {

std::string gHome;  // bytes; set before the application starts

// A folder name and a picture name that are no UTF-8 (Latin-1 from an old archive).
const std::string kOddFolder = std::string("\xC5rsbilder 1999");
const std::string kOddPicture = std::string("f\xF6r\xE4ldrar.jpg");

void WriteJpeg(const std::string& path, int width, int height) {
  const std::vector<uint8_t> jpeg = EncodeJpeg(PatternBitmap(width, height), 90);
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(jpeg.data()), std::streamsize(jpeg.size()));
}

std::vector<std::string> ItemPaths(ImgListView& grid) {
  std::vector<std::string> paths;
  for (int i = 0; i < grid.Count(); ++i) paths.push_back(grid.Item(i)->ParsingName());
  return paths;
}

bool Contains(const std::vector<std::string>& list, const std::string& value) {
  return std::find(list.begin(), list.end(), value) != list.end();
}

QString ConfigFile() { return QString::fromStdString(gHome) + "/.config/quorvane/quorvane.conf"; }

}  // namespace

class EverydayTest : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase();
  void namesThatAreNoUtf8();
  void hiddenFilesFollowCtrlH();
  void statusLineCounts();
  void networkNodeLeadsSomewhereSensible();
  void settingsLast();
  void thumbnailSettingsReachTheGrid();
  void lookAheadGoesWithTheSharedCacheUnlessTurnedOff();
  void damagedSettingsFileGivesTheDefaults();

 private:
  std::unique_ptr<MainWindow> NewWindow() {
    auto w = std::make_unique<MainWindow>();
    w->show();
    w->activateWindow();
    if (!QTest::qWaitForWindowActive(w.get())) return nullptr;
    return w;
  }
  std::string odd_;  // the odd folder's path
};

void EverydayTest::initTestCase() {
  odd_ = gHome + "/" + kOddFolder;
  QVERIFY(QDir().mkpath(QString::fromStdString(gHome + "/.versteckt")));
  QVERIFY(::mkdir(odd_.c_str(), 0777) == 0);
  WriteJpeg(odd_ + "/" + kOddPicture, 40, 30);
  WriteJpeg(odd_ + "/.hidden.jpg", 20, 10);
  WriteJpeg(odd_ + "/plain.jpg", 64, 48);
}

void EverydayTest::namesThatAreNoUtf8() {
  auto w = NewWindow();
  QVERIFY(w);
  // The tree selects the folder by its bytes and shows it with U+FFFD.
  QVERIFY(w->FolderTree1->SetPath(odd_));
  QCOMPARE(w->FolderTree1->FolderPath(), odd_);
  QVERIFY(w->FolderTree1->Path().contains(QChar(0xFFFD)));
  QVERIFY(w->windowTitle().endsWith(QStringLiteral("\uFFFDrsbilder 1999")));
  // The grid follows into that very folder and lists the picture under its own bytes.
  QCOMPARE(App().CurrentFolder, odd_);
  QTRY_VERIFY(Contains(ItemPaths(*w->ImgListView1), odd_ + "/" + kOddPicture));
  QCOMPARE(w->ImgListView1->FolderPath(), odd_);

  // The viewer reads the very file: its size shows, not (0x0).
  {
    ImgListView& grid = *w->ImgListView1;
    const auto paths = ItemPaths(grid);
    const int index = int(std::find(paths.begin(), paths.end(), odd_ + "/" + kOddPicture) -
                          paths.begin());
    grid.clearSelection();
    grid.selectionModel()->select(grid.model()->index(index, 0), QItemSelectionModel::Select);
    grid.setCurrentIndex(grid.model()->index(index, 0));
    QObject watchers;
    QString caption;
    WhenModal<ViewerWindow>(&watchers, [&](ViewerWindow& viewer) {
      caption = viewer.windowTitle();
      viewer.close();
    });
    w->enterkey();
    QCOMPARE(caption, QStringLiteral("f\uFFFDr\uFFFDldrar.jpg(40x30)"));
    // The rename editor committed unchanged keeps the name's bytes.
    const QModelIndex at = grid.model()->index(index, 0);
    QVERIFY(grid.model()->setData(at, grid.model()->data(at, Qt::EditRole), Qt::EditRole));
    QCOMPARE(::access((odd_ + "/" + kOddPicture).c_str(), F_OK), 0);
  }

  // A batch started there reads the odd file and writes a name with the same bytes,
  // into the folder the user chose.
  ImgListView& grid = *w->ImgListView1;
  const auto paths = ItemPaths(grid);
  const int index = int(std::find(paths.begin(), paths.end(), odd_ + "/" + kOddPicture) -
                        paths.begin());
  grid.clearSelection();
  grid.selectionModel()->select(grid.model()->index(index, 0), QItemSelectionModel::Select);
  QObject watchers;
  WhenModal<FolderDialog>(&watchers, [](FolderDialog& dialog) {
    QTest::mouseClick(dialog.OKBtn, Qt::LeftButton);
  });
  w->ptoPNG->trigger();
  QTRY_VERIFY_WITH_TIMEOUT(!QApplication::activeModalWidget(), 20000);
  const std::string out = odd_ + "/quorvane-conv/f\xF6r\xE4ldrar.png";
  QTRY_COMPARE_WITH_TIMEOUT(::access(out.c_str(), F_OK), 0, 20000);
}

void EverydayTest::hiddenFilesFollowCtrlH() {
  auto w = NewWindow();
  QVERIFY(w);
  const auto treeShows = [&](const std::string& name) {
    const FolderNode* root = w->FolderTree1->Model()->Root();
    for (const auto& child : root->children)
      if (child->name == name) return true;
    return false;
  };
  w->FolderTree1->SetPath(odd_);
  QTRY_VERIFY(Contains(ItemPaths(*w->ImgListView1), odd_ + "/plain.jpg"));
  QVERIFY(!w->ShowHidden());
  QVERIFY(!treeShows(".versteckt"));
  QVERIFY(!Contains(ItemPaths(*w->ImgListView1), odd_ + "/.hidden.jpg"));

  QTest::keyClick(w.get(), Qt::Key_H, Qt::ControlModifier);
  QVERIFY(w->ShowHidden());
  QTRY_VERIFY(treeShows(".versteckt"));
  QTRY_VERIFY(Contains(ItemPaths(*w->ImgListView1), odd_ + "/.hidden.jpg"));
  QCOMPARE(w->FolderTree1->FolderPath(), odd_);  // the tree kept its place

  QTest::keyClick(w.get(), Qt::Key_H, Qt::ControlModifier);
  QVERIFY(!w->ShowHidden());
  QTRY_VERIFY(!Contains(ItemPaths(*w->ImgListView1), odd_ + "/.hidden.jpg"));
  QVERIFY(!treeShows(".versteckt"));
}

void EverydayTest::statusLineCounts() {
  QCOMPARE(GridStatusText(3, 2, 0, 0, 0, 0), QStringLiteral("그림 3개, 폴더 2개"));
  QCOMPARE(GridStatusText(3, 2, 2, 3 * 1024 * 1024 / 2, 4000, 3000),
           QStringLiteral("그림 3개, 폴더 2개  ·  2개 선택 (1.5 MB)  ·  4000x3000"));

  auto w = NewWindow();
  QVERIFY(w);
  w->FolderTree1->SetPath(odd_);
  ImgListView& grid = *w->ImgListView1;
  QTRY_VERIFY(Contains(ItemPaths(grid), odd_ + "/plain.jpg"));
  // Two pictures (the hidden one is not shown) and the output folder of the batch above.
  QTRY_COMPARE(w->StatusLine->Text(), QStringLiteral("그림 2개, 폴더 1개"));
  const auto paths = ItemPaths(grid);
  const int plain =
      int(std::find(paths.begin(), paths.end(), odd_ + "/plain.jpg") - paths.begin());
  grid.setCurrentIndex(grid.model()->index(plain, 0));
  QTRY_VERIFY_WITH_TIMEOUT(grid.Item(plain)->SourceWidth == 64, 15000);
  struct stat st {};
  QCOMPARE(::stat((odd_ + "/plain.jpg").c_str(), &st), 0);
  QTRY_COMPARE(w->StatusLine->Text(),
               GridStatusText(2, 1, 1, st.st_size, 64, 48));
}

void EverydayTest::networkNodeLeadsSomewhereSensible() {
  auto w = NewWindow();
  QVERIFY(w);
  FolderTreeModel* model = w->FolderTree1->Model();
  FolderNode* network = model->Special(fkNetwork);
  QVERIFY(network);
  // This machine has no network mounts: the node has no expander.
  QVERIFY(!model->hasChildren(model->IndexOf(network)));
  w->FolderTree1->setCurrentIndex(model->IndexOf(network));
  QCOMPARE(w->windowTitle(), QStringLiteral("Quorvane - 네트워크"));
  QTRY_COMPARE(w->ImgListView1->Count(), 0);
  // "상위 폴더" goes to the folder the node sits under: the home folder.
  w->upfolder->trigger();
  QCOMPARE(w->FolderTree1->FolderPath(), gHome);
  QCOMPARE(App().CurrentFolder, gHome);
}

void EverydayTest::settingsLast() {
  QFile::remove(ConfigFile());
  {
    auto w = NewWindow();
    QVERIFY(w);
    QObject watchers;
    WhenModal<ConvertSettingsDialog>(&watchers, [](ConvertSettingsDialog& dialog) {
      dialog.TrackBar1->setValue(55);
      dialog.ComboBox1->setCurrentIndex(3);
      dialog.CheckBoxRename->setChecked(true);
      QTest::mouseClick(dialog.CheckBoxLossless, Qt::LeftButton);
      QTest::mouseClick(dialog.OKBtn, Qt::LeftButton);
    });
    w->optionsetExecute();
    QCOMPARE(App().settings.JpegQuality, 55);
    w->FolderTree1->SetPath(odd_);
    w->resize(700, 480);
    w->Splitter1->setSizes({250, 442});
    w->SetShowHidden(true);
    // The grid's order, chosen from the 정렬 button's menu.
    for (QAction* action : w->SortMenu->actions())
      if (action->text() == QStringLiteral("찍은 날짜") || action->text() == QStringLiteral("내림차순"))
        action->trigger();
    QCOMPARE(w->ImgListView1->SortType(), istTaken);
    w->close();
  }
  QVERIFY(QFile::exists(ConfigFile()));
  App().settings = Settings{};
  auto w = NewWindow();
  QVERIFY(w);
  QCOMPARE(App().settings.JpegQuality, 55);
  QCOMPARE(App().settings.DitherIndex, 3);
  QVERIFY(App().settings.RenameExisting);
  QVERIFY(App().settings.Lossless);
  QCOMPARE(w->size(), QSize(700, 480));
  QCOMPARE(w->Splitter1->sizes().first(), 250);
  QVERIFY(w->ShowHidden());
  QCOMPARE(w->ImgListView1->SortType(), istTaken);
  QVERIFY(w->ImgListView1->Descend());
  for (QAction* action : w->SortMenu->actions())
    if (action->text() == QStringLiteral("찍은 날짜")) QVERIFY(action->isChecked());
  // The window starts in the folder it showed last, found by its bytes.
  QCOMPARE(w->FolderTree1->FolderPath(), odd_);
  QCOMPARE(App().CurrentFolder, odd_);
  w->SetShowHidden(false);
  w->close();

  // A folder that is gone gives the home folder.
  {
    QSettings file(ConfigFile(), QSettings::IniFormat);
    file.setValue("Window/LastFolder", QByteArray::fromStdString(gHome + "/gone away"));
  }
  auto again = NewWindow();
  QVERIFY(again);
  QCOMPARE(again->FolderTree1->FolderPath(), gHome);
}

void EverydayTest::thumbnailSettingsReachTheGrid() {
  QVERIFY(QDir().mkpath(QFileInfo(ConfigFile()).absolutePath()));
  QFile::remove(ConfigFile());
  App().settings = Settings{};
  {
    auto w = NewWindow();
    QVERIFY(w);
    // By default a worker per core and the cache shared with other programs.
    QCOMPARE(w->ImgListView1->JobQueue().ThreadCount(), CoreCount());
    QVERIFY(w->ImgListView1->ViewImage().ImgUtil().SharedCache() != nullptr);
  }
  {
    QFile file(ConfigFile());
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write("[Settings]\nThumbnailThreads=1\nSharedThumbnailCache=false\n");
  }
  App().settings = Settings{};
  auto w = NewWindow();
  QVERIFY(w);
  QCOMPARE(w->ImgListView1->JobQueue().ThreadCount(), 1);
  QVERIFY(w->ImgListView1->ViewImage().ImgUtil().SharedCache() == nullptr);
  w.reset();
  QFile::remove(ConfigFile());
}

void EverydayTest::lookAheadGoesWithTheSharedCacheUnlessTurnedOff() {
  QVERIFY(QDir().mkpath(QFileInfo(ConfigFile()).absolutePath()));
  const auto lookAheadWith = [this](const char* settings) {
    QFile::remove(ConfigFile());
    if (*settings) {
      QFile file(ConfigFile());
      if (!file.open(QIODevice::WriteOnly)) return -1;
      file.write(settings);
    }
    App().settings = Settings{};
    auto w = NewWindow();
    return w ? int(w->ImgListView1->ViewImage().LookAhead()) : -1;
  };
  QCOMPARE(lookAheadWith(""), 1);
  QCOMPARE(lookAheadWith("[Settings]\nLookAhead=false\n"), 0);
  // Without the shared cache a picture not kept in memory would be lost: no look-ahead.
  QCOMPARE(lookAheadWith("[Settings]\nSharedThumbnailCache=false\nLookAhead=true\n"), 0);
  QFile::remove(ConfigFile());
  App().settings = Settings{};
}

void EverydayTest::damagedSettingsFileGivesTheDefaults() {
  QVERIFY(QDir().mkpath(QFileInfo(ConfigFile()).absolutePath()));
  {
    QFile file(ConfigFile());
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[Settings]\nJpegQuality=5000\nDitherIndex=zwei\nKeepMetadata=vielleicht\n"
               "AutoOrient=false\n[Window]\nGeometry=\x01\x02\xff\n");
  }
  App().settings = Settings{};
  auto w = NewWindow();
  QVERIFY(w);
  // Values out of range or unreadable give their defaults; the good one is taken.
  QCOMPARE(App().settings.JpegQuality, 80);
  QCOMPARE(App().settings.DitherIndex, 1);
  QCOMPARE(App().settings.KeepMetadata, true);
  QCOMPARE(App().settings.AutoOrient, false);
  w.reset();

  // A file that cannot be read at all (here a folder in its place): the defaults, a
  // warning, and the window starts.
  QVERIFY(QFile::remove(ConfigFile()));
  QVERIFY(QDir().mkpath(ConfigFile()));
  App().settings = Settings{};
  auto unreadable = NewWindow();
  QVERIFY(unreadable);
  QCOMPARE(App().settings.AutoOrient, true);
}

int main(int argc, char** argv) {
  QTemporaryDir home;
  if (!home.isValid()) return 1;
  gHome = QDir(home.path()).canonicalPath().toStdString();
  qputenv("HOME", QByteArray::fromStdString(gHome));
  qputenv("XDG_CACHE_HOME", QByteArray::fromStdString(gHome + "/.cache"));
  qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(gHome + "/.config"));
  QApplication app(argc, argv);
  EverydayTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "everyday_qtest.moc"
