// The grid follows the disk without losing the user's place: outside changes are merged,
// a rename editor survives them, and the user's own commands keep a sensible selection.

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QProgressDialog>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <map>

#include "ImgListViewTestHelpers.h"

using namespace quorvane;
using namespace quorvane::test;
namespace fs = std::filesystem;

namespace {

std::string Name(int i) {
  char name[32];
  std::snprintf(name, sizeof name, "p%03d.bmp", i);
  return name;
}

std::vector<std::string> SelectedNames(ImgListView& view) {
  std::vector<std::string> names;
  for (GridItem* item : view.SelectedItems()) names.push_back(item->DisplayName());
  return names;
}

std::string FocusedName(ImgListView& view) {
  GridItem* item = view.Item(view.ItemIndex());
  return item ? item->DisplayName() : std::string();
}

void SelectRows(ImgListView& view, const std::vector<int>& rows) {
  view.selectionModel()->clearSelection();
  for (int row : rows)
    view.selectionModel()->select(view.model()->index(row, 0), QItemSelectionModel::Select);
  view.selectionModel()->setCurrentIndex(view.model()->index(rows.back(), 0),
                                         QItemSelectionModel::NoUpdate);
}

// Thumbnails made so far, by item name.
std::map<std::string, int> ThumbnailCells(ImgListView& view) {
  std::map<std::string, int> cells;
  for (int i = 0; i < view.Count(); ++i)
    if (view.Item(i)->Handled) cells[view.Item(i)->DisplayName()] = view.Item(i)->ThumbnailIndex;
  return cells;
}

bool VisibleDone(ImgListView& view) {
  for (int i = 0; i < view.Count(); ++i)
    if (view.visualRect(view.model()->index(i, 0)).intersects(view.viewport()->rect()) &&
        !view.Item(i)->Handled)
      return false;
  return true;
}

QMenu* WaitForMenu() {
  QMenu* menu = nullptr;
  for (int i = 0; i < 150 && !menu; ++i) {
    menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    if (!menu) QTest::qWait(20);
  }
  return menu;
}

}  // namespace

class ImgListViewMergeTest : public QObject {
  Q_OBJECT
 private slots:
  void outsideChangesKeepThePlace();
  void renameEditorSurvivesMerges();
  void refusedCommandsSayWhy();
  void emptySpaceMenuPastesAndMakesFolders();
  void renameAndDeleteAsFileManagers();
  void cancelledTransferLeavesTheFolderAsItWas();
};

void ImgListViewMergeTest::outsideChangesKeepThePlace() {
  TestDir dir;
  for (int i = 0; i < 60; ++i) WritePicture(dir, Name(i), 8 + i % 5, 6, RGB(i * 4, 90, 200));
  auto view = ShowGrid(dir.path());
  QVERIFY(view);
  // As the main window watches: writes to files count too.
  view->ShellChangeNotification().SetNotifyTypes({intCreation, intDirName, intSize, intFileName});
  view->ShellChangeNotification().Watch(dir.path());
  std::vector<std::string> decoded;
  view->OnImageLoaded = [&](ImgListView&, GridItem& item) {
    decoded.push_back(item.DisplayName());
  };
  QScrollBar* bar = view->verticalScrollBar();
  QTRY_VERIFY(bar->maximum() > 0);
  bar->setValue(bar->maximum() / 2);
  QTRY_VERIFY_WITH_TIMEOUT(VisibleDone(*view), 15000);
  SelectRows(*view, {RowOf(*view, Name(30)), RowOf(*view, Name(31))});
  const int scroll = bar->value();
  const std::map<std::string, int> before = ThumbnailCells(*view);
  QVERIFY(before.count(Name(30)) && before.count(Name(33)));
  decoded.clear();

  // Another program: a new file sorting first, one removed, a selected one renamed,
  // one rewritten in place.
  WritePicture(dir, "a new.bmp", 9, 9, clLime);
  fs::remove(dir.file(Name(2)));
  fs::rename(dir.file(Name(31)), dir.file("q renamed.bmp"));
  WritePicture(dir, Name(33), 12, 7, clBlue);
  QTRY_VERIFY_WITH_TIMEOUT(RowOf(*view, "a new.bmp") == 0 && RowOf(*view, Name(2)) < 0 &&
                               RowOf(*view, "q renamed.bmp") == 59,
                           3000);
  QCOMPARE(view->Count(), 60);
  QCOMPARE(SelectedNames(*view), (std::vector<std::string>{Name(30), "q renamed.bmp"}));
  QCOMPARE(FocusedName(*view), std::string("q renamed.bmp"));
  QCOMPARE(bar->value(), scroll);
  // The rewritten file gets a new thumbnail; every other one stays as it was.
  QTRY_VERIFY_WITH_TIMEOUT(view->Item(RowOf(*view, Name(33)))->Handled &&
                               view->Item(RowOf(*view, Name(33)))->SourceWidth == 12,
                           15000);
  const std::map<std::string, int> after = ThumbnailCells(*view);
  for (const auto& [name, cell] : before) {
    if (name == Name(33) || name == Name(2)) continue;
    const std::string now = name == Name(31) ? "q renamed.bmp" : name;
    QVERIFY2(after.count(now) && after.at(now) == cell, name.c_str());
  }
  QTest::qWait(300);
  // Of the thumbnails made before, only the rewritten file's was made again.
  std::vector<std::string> again;
  for (const std::string& name : decoded)
    if (before.count(name) || name == "q renamed.bmp") again.push_back(name);
  QCOMPARE(again, std::vector<std::string>{Name(33)});
}

void ImgListViewMergeTest::renameEditorSurvivesMerges() {
  TestDir dir;
  for (int i = 0; i < 5; ++i) WritePicture(dir, Name(i), 8, 8, clRed);
  auto view = ShowGrid(dir.path());
  QVERIFY(view);
  view->setFocus();
  SelectRows(*view, {RowOf(*view, Name(3))});
  QTest::keyClick(view.get(), Qt::Key_F2);
  QPointer<QLineEdit> editor =
      qobject_cast<QLineEdit*>(view->indexWidget(view->model()->index(3, 0)));
  QVERIFY(editor);
  // The name without its extension is selected.
  QCOMPARE(editor->selectedText(), QString("p003"));
  editor->setText("p003 typed");

  WritePicture(dir, "a first.bmp", 8, 8, clRed);  // moves the edited item down a row
  fs::remove(dir.file(Name(0)));
  QTRY_VERIFY_WITH_TIMEOUT(RowOf(*view, "a first.bmp") == 0 && RowOf(*view, Name(0)) < 0, 3000);
  QVERIFY(editor->isVisible());
  QCOMPARE(editor->text(), QString("p003 typed"));
  QCOMPARE(view->indexWidget(view->model()->index(RowOf(*view, Name(3)), 0)), editor);
  QTest::keyClick(editor, Qt::Key_Return);
  QTRY_VERIFY(fs::exists(dir.file("p003 typed")));

  // Only the removal of the edited item itself ends an edit.
  SelectRows(*view, {RowOf(*view, Name(4))});
  QTest::keyClick(view.get(), Qt::Key_F2);
  QPointer<QWidget> second = view->indexWidget(view->model()->index(RowOf(*view, Name(4)), 0));
  QVERIFY(second);
  fs::remove(dir.file(Name(4)));
  QTRY_VERIFY_WITH_TIMEOUT(RowOf(*view, Name(4)) < 0, 3000);
  QTRY_VERIFY(!second);
  QVERIFY(fs::exists(dir.file("p003 typed")));
}

void ImgListViewMergeTest::refusedCommandsSayWhy() {
  TestDir dir;
  const std::string gone = WritePicture(dir, "gone.bmp", 8, 8, clRed);
  fs::create_directories(dir.file("locked"));
  const std::string kept = WritePicture(dir, "locked/a.bmp", 8, 8, clRed);
  auto view = ShowGrid(dir.path());
  QVERIFY(view);
  QStringList messages;
  view->OnFileError = [&](ImgListView&, const QString& text) { messages << text; };
  view->setFocus();
  // A file that went away before the grid heard of it.
  view->ShellChangeNotification().SetEnabled(false);
  fs::remove(gone);
  SelectRows(*view, {RowOf(*view, "gone.bmp")});
  for (int key : {Qt::Key_Delete, Qt::Key_C, Qt::Key_X})
    QTest::keyClick(view.get(), Qt::Key(key),
                    key == Qt::Key_Delete ? Qt::NoModifier : Qt::ControlModifier);
  QCOMPARE(messages.size(), 3);
  for (const QString& message : messages) {
    QVERIFY2(message.contains(QString::fromStdString(gone)), qPrintable(message));
    QVERIFY2(message.contains("no longer exists"), qPrintable(message));
  }
  if (geteuid() == 0) return;  // permissions do not hold for root
  messages.clear();
  view->OpenFolder(dir.file("locked"));
  fs::permissions(dir.file("locked"), fs::perms::owner_read | fs::perms::owner_exec);
  SelectRows(*view, {0});
  QTest::keyClick(view.get(), Qt::Key_Delete);
  fs::permissions(dir.file("locked"), fs::perms::owner_all);
  QCOMPARE(messages.size(), 1);
  QVERIFY2(
      messages[0].contains(QString::fromStdString(kept)) && messages[0].contains("not writable"),
      qPrintable(messages[0]));
  QVERIFY(fs::exists(kept));
}

void ImgListViewMergeTest::emptySpaceMenuPastesAndMakesFolders() {
  TestDir dir, other;
  WritePicture(dir, "a.bmp", 8, 8, clRed);
  const std::string source = WritePicture(other, "pasted.bmp", 8, 8, clBlue);
  auto view = ShowGrid(dir.path());
  QVERIFY(view);
  const QPoint empty(view->viewport()->width() - 5, view->viewport()->height() - 5);
  QVERIFY(!view->indexAt(empty).isValid());
  const auto rightClick = [&] {
    QContextMenuEvent event(QContextMenuEvent::Mouse, empty, view->viewport()->mapToGlobal(empty));
    QApplication::sendEvent(view->viewport(), &event);
  };
  const auto choose = [&](const QString& text, QStringList* seen) {
    QTimer::singleShot(0, [&, text, seen] {
      QMenu* menu = WaitForMenu();
      if (!menu) return;
      for (QAction* action : menu->actions()) {
        if (seen) *seen << action->text() + (action->isEnabled() ? "" : " (off)");
        if (action->text() == text && action->isEnabled()) {
          menu->setActiveAction(action);
          QTest::keyClick(menu, Qt::Key_Return);
          return;
        }
      }
      menu->close();
    });
    rightClick();
  };

  QApplication::clipboard()->clear();
  QStringList seen;
  choose("-", &seen);
  QCOMPARE(seen, (QStringList{"붙여넣기 (off)", "새 폴더"}));

  QApplication::clipboard()->setMimeData(FileDataObject::MakeMimeData({source}, false).release());
  choose("붙여넣기", nullptr);
  QTRY_VERIFY(fs::exists(dir.file("pasted.bmp")));
  QTRY_VERIFY(RowOf(*view, "pasted.bmp") >= 0);

  // A new folder takes a free name and opens for renaming, its whole name selected.
  fs::create_directories(dir.file("새 폴더"));
  view->Rescan();
  choose("새 폴더", nullptr);
  QTRY_VERIFY(fs::is_directory(dir.file("새 폴더 (2)")));
  QCOMPARE(FocusedName(*view), std::string("새 폴더 (2)"));
  auto* editor = qobject_cast<QLineEdit*>(view->indexWidget(view->currentIndex()));
  QVERIFY(editor);
  QCOMPARE(editor->selectedText(), QString("새 폴더 (2)"));
  editor->setText("사진");
  QTest::keyClick(editor, Qt::Key_Return);
  QTRY_VERIFY(fs::is_directory(dir.file("사진")));
}

void ImgListViewMergeTest::renameAndDeleteAsFileManagers() {
  TestDir dir, data;
  qputenv("XDG_DATA_HOME", QByteArray::fromStdString(data.path()));
  for (int i = 0; i < 40; ++i) WritePicture(dir, Name(i), 8, 8, RGB(i * 5, 0, 0));
  auto view = ShowGrid(dir.path(), {300, 200});
  QVERIFY(view);
  view->setFocus();
  // Renamed while scrolled away from it: it stays selected and comes back into view; a
  // later change sorts it in without losing the selection.
  SelectRows(*view, {RowOf(*view, Name(1))});
  QTest::keyClick(view.get(), Qt::Key_F2);
  auto* editor = qobject_cast<QLineEdit*>(view->indexWidget(view->currentIndex()));
  QVERIFY(editor);
  editor->setText("z last.bmp");
  view->verticalScrollBar()->setValue(view->verticalScrollBar()->maximum());
  QTest::keyClick(editor, Qt::Key_Return);
  QTRY_VERIFY(fs::exists(dir.file("z last.bmp")));
  QCOMPARE(SelectedNames(*view), std::vector<std::string>{"z last.bmp"});
  QTRY_VERIFY(view->viewport()->rect().contains(view->visualRect(view->currentIndex())));
  WritePicture(dir, "a.bmp", 8, 8, clRed);
  QTRY_COMPARE(RowOf(*view, "z last.bmp"), 40);
  QCOMPARE(SelectedNames(*view), std::vector<std::string>{"z last.bmp"});
  QCOMPARE(FocusedName(*view), std::string("z last.bmp"));

  // After Delete the next item takes the selection.
  SelectRows(*view, {RowOf(*view, Name(5)), RowOf(*view, Name(6))});
  QTest::keyClick(view.get(), Qt::Key_Delete);
  QVERIFY(!fs::exists(dir.file(Name(5))));
  QCOMPARE(SelectedNames(*view), std::vector<std::string>{Name(7)});
  QCOMPARE(FocusedName(*view), Name(7));
  // The last item deleted: the one before it.
  SelectRows(*view, {view->Count() - 1});
  QTest::keyClick(view.get(), Qt::Key_Delete);
  QCOMPARE(SelectedNames(*view), std::vector<std::string>{Name(39)});

  // Cut items are faded until the clipboard lets go of them.
  SelectRows(*view, {RowOf(*view, Name(8))});
  QTest::keyClick(view.get(), Qt::Key_X, Qt::ControlModifier);
  QVERIFY(view->IsCut(*view->Item(RowOf(*view, Name(8)))));
  QVERIFY(!view->IsCut(*view->Item(RowOf(*view, Name(9)))));
  QTest::keyClick(view.get(), Qt::Key_C, Qt::ControlModifier);
  QVERIFY(!view->IsCut(*view->Item(RowOf(*view, Name(8)))));
  qunsetenv("XDG_DATA_HOME");
}

void ImgListViewMergeTest::cancelledTransferLeavesTheFolderAsItWas() {
  TestDir source, target;
  const std::string small = WritePicture(source, "small.bmp", 8, 8, clRed);
  const std::string big = source.file("big.bin");
  fs::resize_file(source.write("big.bin", ""), std::uintmax_t(1) << 30);  // long to copy
  WritePicture(target, "a.bmp", 8, 8, clRed);
  WritePicture(target, "b.bmp", 8, 8, clRed);
  auto view = ShowGrid(target.path());
  QVERIFY(view);
  QStringList errors;
  view->OnFileError = [&](ImgListView&, const QString& text) { errors << text; };
  view->setFocus();
  view->SetItemIndex(0);
  QApplication::clipboard()->setMimeData(
      FileDataObject::MakeMimeData({small, big}, false).release());
  QTest::keyClick(view.get(), Qt::Key_V, Qt::ControlModifier);
  QCOMPARE(view->RunningTransfers(), 1);
  // The window answers meanwhile.
  QTest::keyClick(view.get(), Qt::Key_Right);
  QCOMPARE(view->ItemIndex(), 1);
  QVERIFY(view->TransferDialog() && !view->TransferDialog()->isVisible());
  // After half a second: files, bytes and the current name.
  QTRY_VERIFY_WITH_TIMEOUT(view->TransferDialog() && view->TransferDialog()->isVisible(), 3000);
  QProgressDialog* dialog = view->TransferDialog();
  QTRY_VERIFY(dialog->labelText().contains("big.bin"));
  QVERIFY2(dialog->labelText().contains("1 / 2"), qPrintable(dialog->labelText()));
  QVERIFY(fs::exists(target.file("small.bmp")));
  QPushButton* cancel = dialog->findChild<QPushButton*>();
  QVERIFY(cancel);
  QTest::mouseClick(cancel, Qt::LeftButton);
  QTRY_COMPARE_WITH_TIMEOUT(view->RunningTransfers(), 0, 5000);
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(target.path()))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  QCOMPARE(names, (std::vector<std::string>{"a.bmp", "b.bmp"}));
  QVERIFY(errors.isEmpty());
  QVERIFY(fs::exists(small) && fs::file_size(big) == std::uintmax_t(1) << 30);
}

QTEST_MAIN(ImgListViewMergeTest)
#include "imglistview_merge_qtest.moc"
