// The program's main window, end to end on a temporary home folder: the tree, the scan,
// the watcher, a batch with its dialogs, the viewer, the settings and the size limits.
#include <sys/stat.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QProcess>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QtTest>
#include <functional>

#include "folders/ui/FolderTree.h"
#include "folders/ui/FolderTreeModel.h"
#include "folders/ui/FolderDialog.h"
#include "imaging/BmpFile.h"
#include "imaging/JpegCodec.h"
#include "imaging/OpenIL.h"
#include "processing/ui/ConvertDialog.h"
#include "processing/ui/ConvertSettingsDialog.h"
#include "shell/Settings.h"
#include "shell/ui/AboutBox.h"
#include "shell/ui/BatchResultBar.h"
#include "shell/ui/DirWatch.h"
#include "shell/ui/GridStatus.h"
#include "shell/ui/MainWindow.h"
#include "shell/WindowTestHelpers.h"
#include "support/TestDir.h"
#include "thumbnails/ui/ImgListView.h"
#include "viewer/ui/ViewerWindow.h"

using namespace quorvane;
using namespace quorvane::test;

namespace {

QString gHome;  // the temporary home folder, set before the application starts

QString Home(const QString& name = QString()) {
  return name.isEmpty() ? gHome : gHome + QLatin1Char('/') + name;
}

std::string Std(const QString& text) { return text.toStdString(); }

// Owns the watchers of WhenModal; replaced after every test so that no watcher of a
// finished test reaches into it.
QObject* gWatchers = nullptr;

// Runs `act` on the first modal dialog of type D that shows up (polling the event
// loop), once. `seen` tells whether it came.
template <class D>
void WhenModal(std::function<void(D&)> act, bool* seen = nullptr) {
  quorvane::test::WhenModal<D>(gWatchers, std::move(act), seen);
}

QStringList ItemNames(ImgListView& grid) {
  QStringList names;
  for (int i = 0; i < grid.Count(); ++i)
    names << QString::fromStdString(grid.Item(i)->DisplayName());
  return names;
}

int IndexOfName(ImgListView& grid, const QString& name) { return ItemNames(grid).indexOf(name); }

void SelectNames(ImgListView& grid, const QStringList& names) {
  grid.clearSelection();
  for (const QString& name : names) {
    const int index = IndexOfName(grid, name);
    QVERIFY2(index >= 0, qPrintable(name));
    grid.selectionModel()->select(grid.model()->index(index, 0), QItemSelectionModel::Select);
  }
}

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase();
  void cleanupTestCase();
  void init() { gWatchers = new QObject; }
  void cleanup() {
    delete gWatchers;
    gWatchers = nullptr;
    // A dialog left open by a failed test is closed, not left to the next one.
    while (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
      dialog->done(2);
  }
  void startsOnTheHomeFolder();
  void treeSelectionShowsFoldersThenPictures();
  void newFileAppearsAfterTheWatchersNotice();
  void batchToPngWritesIntoQuorvaneConv();
  void batchWithOnlyFoldersOpensNothing();
  void settingsCancelKeepsTheValues();
  void enterOpensTheViewerAndPageDownSteps();
  void theGridSelectsThePictureTheViewerShowedLast();
  void enterOnAFolderOpensItInTheTree();
  void menuButtonAboutAndUpFolder();
  void computerNodeShowsNothing();
  void reloadRescansTheFolder();
  void batchWithNothingSelectedSaysSo();
  void dropOnAFolderOfTheTree();
  void sizeLimits();

 private:
  // Keys reach the window's shortcuts only while it is the active window.
  void Activate() {
    w->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w.get()));
  }
  std::unique_ptr<MainWindow> w;
  QString photos;
};

void MainWindowTest::initTestCase() {
  photos = Home(QStringLiteral("사진 모음"));
  QVERIFY(QDir().mkpath(photos + QStringLiteral("/하위 폴더")));
  QVERIFY(QDir().mkpath(Home(QStringLiteral("문서"))));
  WriteBmpFile(Std(photos + QStringLiteral("/c 그림.bmp")), PatternBitmap(61, 37));
  const std::vector<uint8_t> jpeg = EncodeJpeg(PatternBitmap(80, 60), 90);
  {
    QFile file(photos + QStringLiteral("/b.jpg"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(reinterpret_cast<const char*>(jpeg.data()), qint64(jpeg.size()));
  }
  QVERIFY(QProcess::execute(QStringLiteral("convert"),
                            {QStringLiteral("-size"), QStringLiteral("45x33"),
                             QStringLiteral("gradient:red-blue"), photos + "/a.png"}) == 0);
  QFile::copy(photos + "/b.jpg", photos + "/.숨은 그림.jpg");
  QFile::copy(photos + "/b.jpg", photos + "/notes.txt");

  w = std::make_unique<MainWindow>();
  w->show();
  w->activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(w.get()));
}

void MainWindowTest::cleanupTestCase() {
  w.reset();
  QVERIFY(!CodecIsBound());
}

void MainWindowTest::startsOnTheHomeFolder() {
  QCOMPARE(w->FolderTree1->Path(), gHome);
  QCOMPARE(w->windowTitle(), QStringLiteral("Quorvane - ") + gHome);
  QTRY_VERIFY(ItemNames(*w->ImgListView1).contains(QStringLiteral("사진 모음")));
  QVERIFY(ItemNames(*w->ImgListView1).contains(QStringLiteral("문서")));
  QCOMPARE(Std(gHome), App().CurrentFolder);
  QVERIFY(w->ImgListView1->MultiSelect());
  QCOMPARE(w->ImgListView1->IconStyle(), iisImage);
  QCOMPARE(w->Panel3->height(), 32);
  // At its first size the window has room for every tool bar button.
  for (QAction* action : {w->upfolder, w->ReloadTree, w->CallMenu, w->optionset, w->Babout})
    QVERIFY2(w->Panel3->widgetForAction(action)->isVisible(), qPrintable(action->text()));
  QCOMPARE(w->Splitter1->handleWidth(), 8);
  QCOMPARE(w->Panel1->width(), 161);
  QCOMPARE(w->FolderTree1->indentation(), 19);
  QVERIFY(w->FolderTree1->FolderOptions().testFlag(foNetworkNeighborhood));
}

void MainWindowTest::treeSelectionShowsFoldersThenPictures() {
  ImgListView& grid = *w->ImgListView1;
  w->FolderTree1->SetPath(photos);
  QCOMPARE(w->windowTitle(), QStringLiteral("Quorvane - ") + photos);
  // The sub-folder comes with the grid's own listing, then the scan's pictures follow
  // (hidden files and other kinds left out).
  QTRY_COMPARE(ItemNames(grid),
               (QStringList{QStringLiteral("하위 폴더"), QStringLiteral("a.png"),
                            QStringLiteral("b.jpg"), QStringLiteral("c 그림.bmp")}));
  QCOMPARE(App().CurrentFolder, Std(photos));
  // Their thumbnails are made in the background.
  for (int i = 1; i < 4; ++i) QTRY_VERIFY_WITH_TIMEOUT(grid.Item(i)->Handled, 15000);
  QCOMPARE(grid.Item(1)->SourceWidth, 45);
  QCOMPARE(grid.Item(3)->SourceHeight, 37);
}

void MainWindowTest::newFileAppearsAfterTheWatchersNotice() {
  ImgListView& grid = *w->ImgListView1;
  QVERIFY(QFile::copy(photos + "/c 그림.bmp", photos + "/d 새 그림.bmp"));
  QTRY_VERIFY_WITH_TIMEOUT(ItemNames(grid).contains(QStringLiteral("d 새 그림.bmp")), 10000);
  QCOMPARE(ItemNames(grid).last(), QStringLiteral("d 새 그림.bmp"));
}

void MainWindowTest::batchToPngWritesIntoQuorvaneConv() {
  ImgListView& grid = *w->ImgListView1;
  SelectNames(grid,
              {QStringLiteral("c 그림.bmp"), QStringLiteral("하위 폴더"), QStringLiteral("b.jpg")});
  bool folderAsked = false;
  bool progressShown = false;
  bool busyDuringBatch = false;
  WhenModal<FolderDialog>(
      [&](FolderDialog& dialog) {
        QCOMPARE(dialog.FolderPath, photos);  // preset with the source folder
        QTest::mouseClick(dialog.OKBtn, Qt::LeftButton);
        WhenModal<ConvertDialog>(
            [&](ConvertDialog&) { busyDuringBatch = App().BusyFlag && w->ImgListView1->Paused(); },
            &progressShown);
      },
      &folderAsked);
  const int selectedBefore = int(grid.SelectedItems().size());
  w->ptoPNG->trigger();  // returns when the batch's dialog has closed
  // The batch's end leaves the grid as it was; the rescan that follows merges changes.
  QCOMPARE(int(grid.SelectedItems().size()), selectedBefore);
  QVERIFY(folderAsked);
  QVERIFY(progressShown);
  QVERIFY(busyDuringBatch);
  QVERIFY(!App().BusyFlag);
  QVERIFY(!grid.Paused());
  QVERIFY(!QApplication::activeModalWidget());
  const QString out = photos + QStringLiteral("/quorvane-conv");
  QCOMPARE(Identify(out + QStringLiteral("/c 그림.png")), QStringLiteral("PNG 61 37"));
  QCOMPARE(Identify(out + QStringLiteral("/b.png")), QStringLiteral("PNG 80 60"));
  QCOMPARE(QDir(out).entryList(QDir::Files).size(), 2);
  // The bar above the grid tells where the files went.
  QVERIFY(w->ResultBar->isVisible());
  QVERIFY(w->ResultBar->geometry().bottom() <= grid.geometry().top());
  QCOMPARE(w->ResultBar->Text(),
           QStringLiteral("2개 파일을 ") + out + QStringLiteral(" 에 저장했습니다."));
  QVERIFY(!w->ResultBar->ErrorsBtn->isVisible());
  // Afterwards the grid shows the folder again, with the new output folder.
  QTRY_VERIFY_WITH_TIMEOUT(ItemNames(grid).contains(QStringLiteral("quorvane-conv")), 10000);
  QTRY_VERIFY(ItemNames(grid).contains(QStringLiteral("b.jpg")));
}

void MainWindowTest::batchWithOnlyFoldersOpensNothing() {
  ImgListView& grid = *w->ImgListView1;
  QTRY_VERIFY(IndexOfName(grid, QStringLiteral("하위 폴더")) >= 0);
  SelectNames(grid, {QStringLiteral("하위 폴더")});
  bool anyDialog = false;
  WhenModal<QDialog>([&](QDialog& dialog) { anyDialog = true, dialog.done(2); });
  w->ptoJPG->trigger();
  w->Resizecv->trigger();
  QTest::qWait(300);
  QVERIFY(!anyDialog);
  QVERIFY(!App().BusyFlag);
  QVERIFY(!QDir(photos + QStringLiteral("/하위 폴더/quorvane-conv")).exists());
}

void MainWindowTest::settingsCancelKeepsTheValues() {
  const Settings before = App().settings;
  bool seen = false;
  WhenModal<ConvertSettingsDialog>(
      [](ConvertSettingsDialog& dialog) {
        dialog.ComboBox1->setCurrentIndex(4);
        dialog.TrackBar1->setValue(17);
        QTest::mouseClick(dialog.CancelBtn, Qt::LeftButton);
      },
      &seen);
  Activate();
  QTest::keyClick(w.get(), Qt::Key_F12);
  QVERIFY(seen);
  QCOMPARE(App().settings.JpegQuality, before.JpegQuality);
  QCOMPARE(App().settings.DitherIndex, before.DitherIndex);
  QCOMPARE(App().settings.OverwriteFiles, before.OverwriteFiles);
  // OK takes them.
  WhenModal<ConvertSettingsDialog>([](ConvertSettingsDialog& dialog) {
    dialog.ComboBox1->setCurrentIndex(4);
    QTest::mouseClick(dialog.OKBtn, Qt::LeftButton);
  });
  w->optionset->trigger();
  QCOMPARE(App().settings.DitherIndex, 4);
  App().settings = before;
}

void MainWindowTest::enterOpensTheViewerAndPageDownSteps() {
  ImgListView& grid = *w->ImgListView1;
  QTRY_VERIFY(IndexOfName(grid, QStringLiteral("a.png")) >= 0);
  grid.SetItemIndex(IndexOfName(grid, QStringLiteral("a.png")));
  grid.setFocus();
  QStringList captions;
  bool busy = false;
  bool selectionKept = false;
  int countWhileOpen = -1;
  bool rescanWaited = false;
  WhenModal<ViewerWindow>([&](ViewerWindow& viewer) {
    captions << viewer.windowTitle();
    busy = App().BusyFlag && grid.Paused();
    QTest::keyClick(&viewer, Qt::Key_PageDown);
    captions << viewer.windowTitle();
    // The grid refuses a change of selection while the viewer is open.
    QTest::keyClick(&grid, Qt::Key_End);
    selectionKept = grid.Selected() && grid.Selected()->DisplayName() == "a.png";
    // A file created meanwhile waits for the viewer to close before it is listed.
    countWhileOpen = grid.Count();
    QFile::copy(photos + "/a.png", photos + "/e 나중.png");
    QTest::qWait(1200);
    rescanWaited = w->RescanPending() && grid.Count() == countWhileOpen;
    QTest::keyClick(&viewer, Qt::Key_Escape);
  });
  QTest::keyClick(&grid, Qt::Key_Return);
  QCOMPARE(captions, (QStringList{QStringLiteral("a.png(45x33)"), QStringLiteral("b.jpg(80x60)")}));
  QVERIFY(busy);
  QVERIFY(selectionKept);
  QVERIFY(rescanWaited);
  QVERIFY(!App().BusyFlag);
  QVERIFY(!grid.Paused());
  QTRY_VERIFY_WITH_TIMEOUT(ItemNames(grid).contains(QStringLiteral("e 나중.png")), 10000);
}

void MainWindowTest::theGridSelectsThePictureTheViewerShowedLast() {
  ImgListView& grid = *w->ImgListView1;
  QTRY_VERIFY(IndexOfName(grid, QStringLiteral("a.png")) >= 0);
  grid.SetItemIndex(IndexOfName(grid, QStringLiteral("a.png")));
  grid.setFocus();
  QString last;
  WhenModal<ViewerWindow>([&](ViewerWindow& viewer) {
    QTest::keyClick(&viewer, Qt::Key_End);
    last = viewer.windowTitle().section(QLatin1Char('('), 0, 0);
    QTest::keyClick(&viewer, Qt::Key_Escape);
  });
  QTest::keyClick(&grid, Qt::Key_Return);
  QVERIFY(!last.isEmpty() && last != QStringLiteral("a.png"));
  const int index = IndexOfName(grid, last);
  QCOMPARE(grid.ItemIndex(), index);
  QCOMPARE(grid.SelectedIndexes(), std::vector<int>{index});
  QCOMPARE(w->focusWidget(), &grid);
  QVERIFY(grid.viewport()->rect().contains(grid.CellRect(index)));
}

void MainWindowTest::enterOnAFolderOpensItInTheTree() {
  ImgListView& grid = *w->ImgListView1;
  QTRY_VERIFY(IndexOfName(grid, QStringLiteral("하위 폴더")) >= 0);
  grid.SetItemIndex(IndexOfName(grid, QStringLiteral("하위 폴더")));
  QTest::keyClick(&grid, Qt::Key_Return);
  const QString sub = photos + QStringLiteral("/하위 폴더");
  QCOMPARE(w->FolderTree1->Path(), sub);
  QCOMPARE(w->windowTitle(), QStringLiteral("Quorvane - ") + sub);
  QTRY_COMPARE(QString::fromStdString(grid.FolderPath()), sub);
}

void MainWindowTest::menuButtonAboutAndUpFolder() {
  // Alt+Backspace goes up one folder, the tree and the caption follow.
  Activate();
  QTest::keyClick(w.get(), Qt::Key_Backspace, Qt::AltModifier);
  QTRY_COMPARE(w->FolderTree1->Path(), photos);
  QCOMPARE(w->windowTitle(), QStringLiteral("Quorvane - ") + photos);
  // The grid opening a folder by itself (its menu's Open): the tree follows and the
  // folder's pictures are scanned.
  QTRY_VERIFY(ItemNames(*w->ImgListView1).contains(QStringLiteral("a.png")));
  QVERIFY(w->ImgListView1->OpenFolder(Std(Home())));
  QTRY_COMPARE(w->FolderTree1->Path(), gHome);
  QCOMPARE(App().CurrentFolder, Std(gHome));
  w->FolderTree1->SetPath(photos);
  QTRY_VERIFY(ItemNames(*w->ImgListView1).contains(QStringLiteral("a.png")));

  QStringList top;
  for (QAction* action : w->PopupMenu1->actions()) top << action->text();
  QCOMPARE(top, (QStringList{QStringLiteral("이미지 변환"), QStringLiteral("크기 바꾸기(Smooth)"),
                             QStringLiteral("회전시키기"), QStringLiteral("뒤집기"),
                             QStringLiteral("부드러운 회전"), QStringLiteral("색감 조절"),
                             QStringLiteral("Gamma Correction")}));
  QStringList formats;
  for (QAction* action : w->PopupMenu1->actions().first()->menu()->actions())
    formats << action->text();
  QCOMPARE(formats, (QStringList{"to &JPG", "to P&NG", "to &GIF", "to &BMP", "to &TIF", "to &PNM",
                                 "to TG&A", "to SG&I", "to &WebP", "to &AVIF", "to JPEG &XL"}));
  Activate();
  QTest::keyClick(w.get(), Qt::Key_F10);
  QTRY_VERIFY(w->PopupMenu1->isVisible());
  const QPoint expected = w->btncall->mapToGlobal(QPoint(15, 10));
  QVERIFY((w->PopupMenu1->pos() - expected).manhattanLength() < 4);
  w->PopupMenu1->close();

  bool about = false;
  WhenModal<AboutBox>([](AboutBox& box) { QTest::mouseClick(box.OKBtn, Qt::LeftButton); },
                       &about);
  Activate();
  QTest::keyClick(w.get(), Qt::Key_F1);
  QVERIFY(about);

  // Every control can be named by assistive tools.
  QVERIFY(!w->FolderTree1->accessibleName().isEmpty());
  QVERIFY(!w->ImgListView1->accessibleName().isEmpty());
  for (QAbstractButton* button : w->findChildren<QAbstractButton*>()) {
    if (!button->isVisible()) continue;
    QVERIFY2(!button->accessibleName().isEmpty() || !button->text().isEmpty(),
             button->metaObject()->className());
  }
}

void MainWindowTest::computerNodeShowsNothing() {
  FolderTreeModel* model = w->FolderTree1->Model();
  w->FolderTree1->setCurrentIndex(model->IndexOf(model->Special(fkComputer)));
  QCOMPARE(w->FolderTree1->Path(), QString());
  QCOMPARE(w->windowTitle(), QStringLiteral("Quorvane - "));
  // No folder: the scan empties the grid and a batch has nothing to work on.
  QTRY_COMPARE(w->ImgListView1->Count(), 0);
  QVERIFY(App().CurrentFolder.empty());
  bool anyDialog = false;
  WhenModal<QDialog>([&](QDialog& dialog) { anyDialog = true, dialog.done(2); });
  w->ptoGIF->trigger();
  QTest::qWait(100);
  QVERIFY(!anyDialog);
  w->FolderTree1->SetPath(photos);
  QTRY_VERIFY(ItemNames(*w->ImgListView1).contains(QStringLiteral("a.png")));
}

void MainWindowTest::reloadRescansTheFolder() {
  ImgListView& grid = *w->ImgListView1;
  QTRY_VERIFY(ItemNames(grid).contains(QStringLiteral("b.jpg")));
  // A change that no notice reports (a network folder changed elsewhere).
  w->DirectoryWatch1->SetActive(false);
  grid.ShellChangeNotification().SetEnabled(false);
  grid.SetItemIndex(IndexOfName(grid, QStringLiteral("b.jpg")));
  QVERIFY(QFile::copy(photos + "/a.png", photos + QStringLiteral("/f 원격.png")));
  QTest::qWait(700);
  QVERIFY(!ItemNames(grid).contains(QStringLiteral("f 원격.png")));
  Activate();
  QTest::keyClick(w.get(), Qt::Key_F5);
  QTRY_VERIFY_WITH_TIMEOUT(ItemNames(grid).contains(QStringLiteral("f 원격.png")), 5000);
  // Merged in: the user's selection stays.
  QVERIFY(grid.Selected());
  QCOMPARE(grid.Selected()->DisplayName(), std::string("b.jpg"));
  grid.ShellChangeNotification().SetEnabled(true);
  grid.ShellChangeNotification().Watch(Std(photos));
  w->DirectoryWatch1->SetActive(true);
}

void MainWindowTest::batchWithNothingSelectedSaysSo() {
  ImgListView& grid = *w->ImgListView1;
  QTRY_VERIFY(grid.Count() > 0);
  grid.clearSelection();
  bool anyDialog = false;
  WhenModal<QDialog>([&](QDialog& dialog) { anyDialog = true, dialog.done(2); });
  w->ptoJPG->trigger();
  QCOMPARE(w->StatusLine->currentMessage(), QStringLiteral("선택된 파일이 없습니다."));
  QTest::qWait(100);
  QVERIFY(!anyDialog);
  QVERIFY(!App().BusyFlag);
}

void MainWindowTest::dropOnAFolderOfTheTree() {
  FolderTree& tree = *w->FolderTree1;
  FolderTreeModel* model = tree.Model();
  const QString documents = Home(QStringLiteral("문서"));
  const QModelIndex node = model->IndexOf(model->FindNode(Std(documents), false));
  QVERIFY(node.isValid());
  tree.scrollTo(node);
  const QPoint at = tree.visualRect(node).center();
  const auto drop = [&](const QString& file, Qt::KeyboardModifiers mods) {
    auto data = std::make_unique<QMimeData>();
    data->setUrls({QUrl::fromLocalFile(file)});
    const Qt::DropActions possible = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;
    QDragEnterEvent enter(at, possible, data.get(), Qt::LeftButton, mods);
    QApplication::sendEvent(tree.viewport(), &enter);
    QDropEvent dropped(at, possible, data.get(), Qt::LeftButton, mods);
    QApplication::sendEvent(tree.viewport(), &dropped);
    return dropped.isAccepted();
  };
  // Ctrl copies; no key moves within one file system; the names stay free.
  QVERIFY(drop(photos + "/a.png", Qt::ControlModifier));
  QTRY_VERIFY(QFile::exists(documents + "/a.png"));
  QVERIFY(QFile::exists(photos + "/a.png"));
  QVERIFY(QFile::copy(photos + "/a.png", photos + QStringLiteral("/옮길 그림.png")));
  QVERIFY(drop(photos + QStringLiteral("/옮길 그림.png"), Qt::NoModifier));
  QTRY_VERIFY(QFile::exists(documents + QStringLiteral("/옮길 그림.png")));
  QTRY_VERIFY(!QFile::exists(photos + QStringLiteral("/옮길 그림.png")));
  // The grid shows the folder the file left: it follows.
  QTRY_VERIFY(!ItemNames(*w->ImgListView1).contains(QStringLiteral("옮길 그림.png")));
}

void MainWindowTest::sizeLimits() {
  w->resize(299, 400);
  QCOMPARE(w->width(), 300);
  w->resize(600, 299);
  QCOMPARE(w->height(), 300);
  w->resize(544, 375);
  // The splitter keeps both sides at least 50 wide.
  w->Splitter1->setSizes({10, 600});
  QVERIFY(w->Panel1->width() >= 50);
  w->Splitter1->setSizes({600, 10});
  QVERIFY(w->Panel2->width() >= 50);
  QVERIFY(w->Panel1->width() >= 50);
}

int main(int argc, char** argv) {
  QTemporaryDir home;
  if (!home.isValid()) return 1;
  gHome = QDir(home.path()).canonicalPath();
  qputenv("HOME", gHome.toUtf8());
  qputenv("XDG_CACHE_HOME", (gHome + "/.cache").toUtf8());
  QApplication app(argc, argv);
  MainWindowTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "mainwindow_qtest.moc"
