// The grid and the files it shows: the clipboard both ways, drops, drags out and the
// context menu.

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDrag>
#include <QMenu>
#include <QMimeData>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <filesystem>

#include "ImgListViewTestHelpers.h"
#include "platform/FileUris.h"

using namespace quorvane;
using namespace quorvane::test;
namespace fs = std::filesystem;

namespace {

std::string Text(const QMimeData* data, const char* format) {
  const QByteArray bytes = data->data(format);
  return std::string(bytes.constData(), size_t(bytes.size()));
}

// Texts of a menu's actions, separators as "-", the bold default marked with "*".
QStringList MenuTexts(const QMenu& menu) {
  QStringList texts;
  for (QAction* action : menu.actions()) {
    QString text = action->isSeparator() ? QStringLiteral("-") : action->text().section('\t', 0, 0);
    if (action == menu.defaultAction()) text.prepend('*');
    texts << text;
  }
  return texts;
}

void SelectRows(ImgListView& view, const std::vector<int>& rows) {
  view.selectionModel()->clearSelection();
  for (int row : rows)
    view.selectionModel()->select(view.model()->index(row, 0), QItemSelectionModel::Select);
  if (!rows.empty())
    view.selectionModel()->setCurrentIndex(view.model()->index(rows.front(), 0),
                                           QItemSelectionModel::NoUpdate);
}

// Paste and drop transfer on a worker: waits until the grid has none running.
void WaitForTransfers(ImgListView& view) { QTRY_COMPARE(view.RunningTransfers(), 0); }

void SendDrop(ImgListView& view, const std::vector<std::string>& files, QPoint at,
              Qt::KeyboardModifiers mods,
              Qt::DropActions possible = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction) {
  std::unique_ptr<QMimeData> data = FileDataObject::MakeMimeData(files, false);
  data->removeFormat("x-special/gnome-copied-files");  // a drag carries the URI list only
  QDragEnterEvent enter(at, possible, data.get(), Qt::LeftButton, mods);
  QApplication::sendEvent(view.viewport(), &enter);
  QDropEvent drop(at, possible, data.get(), Qt::LeftButton, mods);
  QApplication::sendEvent(view.viewport(), &drop);
  WaitForTransfers(view);
}

}  // namespace

class ImgListViewFilesTest : public QObject {
  Q_OBJECT
 private slots:
  void copyAndPasteThroughTheClipboard();
  void cutFromAFileManagerMovesOnPaste();
  void aPastedCutLeavesANewerClipboardAlone();
  void dropsFollowTheModifierKeys();
  void dragNearAnEdgeScrolls();
  void menuMergesHostItemsWithFileVerbs();
  void contextMenuShowsOnlyWithASelection();
};

void ImgListViewFilesTest::copyAndPasteThroughTheClipboard() {
  TestDir a, b;
  const std::string photo = WritePicture(a, "사진 1.bmp", 20, 10, clRed);
  const std::string note = a.write("b c.txt", "note");
  auto view = ShowGrid(a.path());
  QVERIFY(view);
  view->setFocus();
  SelectRows(*view, {RowOf(*view, "b c.txt"), RowOf(*view, "사진 1.bmp")});
  QTest::keyClick(view.get(), Qt::Key_C, Qt::ControlModifier);

  // What file managers read: both lists, in grid order.
  const QMimeData* data = QApplication::clipboard()->mimeData();
  QVERIFY(data);
  const std::vector<std::string> grid = {view->Item(0)->ParsingName(),
                                         view->Item(1)->ParsingName()};
  QCOMPARE(DecodeUriList(Text(data, "text/uri-list")), grid);
  QCOMPARE(Text(data, "x-special/gnome-copied-files"), EncodeGnomeCopiedFiles({false, grid}));

  QVERIFY(view->OpenFolder(b.path()));
  QTest::keyClick(view.get(), Qt::Key_V, Qt::ControlModifier);
  WaitForTransfers(*view);
  QCOMPARE(ReadFileBytes(b.file("b c.txt")), std::string("note"));
  QCOMPARE(ReadFileBytes(b.file("사진 1.bmp")), ReadFileBytes(photo));
  QVERIFY(fs::exists(photo) && fs::exists(note));
  // Pasting again replaces nothing: the copies get free names.
  QTest::keyClick(view.get(), Qt::Key_V, Qt::ControlModifier);
  WaitForTransfers(*view);
  QCOMPARE(ReadFileBytes(b.file("b c (2).txt")), std::string("note"));
  QVERIFY(fs::exists(b.file("사진 1 (2).bmp")));
  QTRY_COMPARE(view->Count(), 4);

  // Cut and paste moves, and the clipboard lets go of the moved files.
  SelectRows(*view, {RowOf(*view, "b c (2).txt")});
  QTest::keyClick(view.get(), Qt::Key_X, Qt::ControlModifier);
  QCOMPARE(Text(QApplication::clipboard()->mimeData(), "x-special/gnome-copied-files").substr(0, 4),
           std::string("cut\n"));
  QVERIFY(view->OpenFolder(a.path()));
  QTest::keyClick(view.get(), Qt::Key_V, Qt::ControlModifier);
  WaitForTransfers(*view);
  QVERIFY(!fs::exists(b.file("b c (2).txt")));
  QCOMPARE(ReadFileBytes(a.file("b c (2).txt")), std::string("note"));
  QVERIFY(FileDataObject::FilesOf(QApplication::clipboard()->mimeData()).empty());
}

void ImgListViewFilesTest::cutFromAFileManagerMovesOnPaste() {
  TestDir a, b;
  const std::string moved = a.write("from nautilus.txt", "n");
  const std::string copied = a.write("from dolphin.txt", "d");
  auto view = ShowGrid(b.path());
  QVERIFY(view);
  view->setFocus();
  auto* cut = new QMimeData;
  cut->setData("x-special/gnome-copied-files",
               QByteArray::fromStdString("cut\n" + FileUriFromPath(moved)));
  QApplication::clipboard()->setMimeData(cut);
  QTest::keyClick(view.get(), Qt::Key_V, Qt::ControlModifier);
  WaitForTransfers(*view);
  QVERIFY(!fs::exists(moved));
  QVERIFY(fs::exists(b.file("from nautilus.txt")));

  // A plain URI list (as Qt programs and KDE copy) is a copy.
  auto* list = new QMimeData;
  list->setUrls({QUrl::fromLocalFile(QString::fromStdString(copied))});
  QApplication::clipboard()->setMimeData(list);
  QTest::keyClick(view.get(), Qt::Key_V, Qt::ControlModifier);
  WaitForTransfers(*view);
  QVERIFY(fs::exists(copied));
  QVERIFY(fs::exists(b.file("from dolphin.txt")));

  // Text that names no files pastes nothing.
  QApplication::clipboard()->setText("/etc/passwd");
  QVERIFY(!view->Paste());
  QVERIFY(!fs::exists(b.file("passwd")));
}

void ImgListViewFilesTest::aPastedCutLeavesANewerClipboardAlone() {
  TestDir a, b;
  a.write("moved.txt", "m");
  auto view = ShowGrid(a.path());
  QVERIFY(view);
  view->setFocus();
  SelectRows(*view, {RowOf(*view, "moved.txt")});
  QVERIFY(view->CutSelection());
  QVERIFY(view->OpenFolder(b.path()));
  QVERIFY(view->Paste());
  // Something else is copied while the move runs: its end leaves that be.
  QApplication::clipboard()->setText(QStringLiteral("copied meanwhile"));
  WaitForTransfers(*view);
  QVERIFY(fs::exists(b.file("moved.txt")));
  QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("copied meanwhile"));
}

void ImgListViewFilesTest::dropsFollowTheModifierKeys() {
  TestDir source, target;
  MakeFolder(target, "inner");
  target.write("file.txt", "f");
  auto view = ShowGrid(target.path());
  QVERIFY(view);
  const QPoint empty = view->viewport()->rect().bottomRight() - QPoint(10, 10);
  QVERIFY(!view->indexAt(empty).isValid());

  const std::string plain = source.write("plain.txt", "1");
  SendDrop(*view, {plain}, empty, Qt::NoModifier);  // one file system: a move
  QVERIFY(!fs::exists(plain));
  QVERIFY(fs::exists(target.file("plain.txt")));

  const std::string ctrl = source.write("ctrl.txt", "2");
  SendDrop(*view, {ctrl}, empty, Qt::ControlModifier);
  QVERIFY(fs::exists(ctrl));
  QVERIFY(fs::exists(target.file("ctrl.txt")));

  const std::string link = source.write("link.txt", "3");
  SendDrop(*view, {link}, empty, Qt::ControlModifier | Qt::ShiftModifier);
  QCOMPARE(fs::read_symlink(target.file("link.txt")).string(), link);

  // Onto a folder item: into that folder. Onto a file: nothing.
  const std::string intoFolder = source.write("into.txt", "4");
  const QPoint folderCell = view->CellRect(RowOf(*view, "inner")).center();
  SendDrop(*view, {intoFolder}, folderCell, Qt::NoModifier);
  QVERIFY(fs::exists(target.file("inner/into.txt")));
  const std::string ontoFile = source.write("onto.txt", "5");
  SendDrop(*view, {ontoFile}, view->CellRect(RowOf(*view, "file.txt")).center(), Qt::NoModifier);
  QVERIFY(fs::exists(ontoFile));
  QVERIFY(!fs::exists(target.file("onto.txt")));

  // A folder dropped into itself is refused and reported; nothing moves.
  QString error;
  view->OnFileError = [&](ImgListView&, const QString& message) { error = message; };
  SendDrop(*view, {target.file("inner")}, folderCell, Qt::NoModifier);
  QVERIFY(!error.isEmpty());
  QVERIFY(fs::exists(target.file("inner/into.txt")));

  // The host may refuse a drop; so may the switch.
  bool asked = false;
  view->OnFileDragDrop = [&](ImgListView&, const FileDataObject& d, Qt::KeyboardModifiers, QPoint,
                             bool& accept) {
    asked = d.Count() == 1;
    accept = false;
  };
  const std::string refused = source.write("refused.txt", "6");
  SendDrop(*view, {refused}, empty, Qt::NoModifier);
  QVERIFY(asked);
  QVERIFY(fs::exists(refused));
  view->OnFileDragDrop = nullptr;
  view->DefaultExec().SetDropTarget(false);
  QVERIFY(!view->acceptDrops());

  // A drag out offers what DragType allows.
  QCOMPARE(ImgListView::DragActionsFor(DragKinds{idtCopy, idtLink}),
           Qt::CopyAction | Qt::LinkAction);
  QCOMPARE(ImgListView::DragActionsFor(DragKinds::All()),
           Qt::CopyAction | Qt::MoveAction | Qt::LinkAction);
}

void ImgListViewFilesTest::dragNearAnEdgeScrolls() {
  TestDir dir, source;
  for (int i = 0; i < 60; ++i) MakeFolder(dir, "folder " + std::to_string(i));
  const std::string file = source.write("x.txt", "x");
  auto view = ShowGrid(dir.path(), {400, 300});
  QVERIFY(view);
  QScrollBar* bar = view->verticalScrollBar();
  QVERIFY(bar->maximum() > 0);
  std::unique_ptr<QMimeData> data = FileDataObject::MakeMimeData({file}, false);
  const Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction;
  const QPoint nearBottom(150, view->viewport()->height() - 3);
  QDragEnterEvent enter(nearBottom, actions, data.get(), Qt::LeftButton, {});
  QApplication::sendEvent(view->viewport(), &enter);
  QTRY_VERIFY(bar->value() > 0);
  // In the middle it stops; near the top it goes back.
  QDragMoveEvent middle(QPoint(150, view->viewport()->height() / 2), actions, data.get(),
                        Qt::LeftButton, {});
  QApplication::sendEvent(view->viewport(), &middle);
  const int reached = bar->value();
  QTest::qWait(300);
  QCOMPARE(bar->value(), reached);
  QDragMoveEvent nearTop(QPoint(150, 2), actions, data.get(), Qt::LeftButton, {});
  QApplication::sendEvent(view->viewport(), &nearTop);
  QTRY_VERIFY(bar->value() < reached);
  QDragLeaveEvent leave;
  QApplication::sendEvent(view->viewport(), &leave);
  QVERIFY(fs::exists(file));
}

void ImgListViewFilesTest::menuMergesHostItemsWithFileVerbs() {
  TestDir dir;
  dir.write("a.txt", "a");
  auto view = ShowGrid(dir.path());
  QVERIFY(view);
  SelectRows(*view, {0});
  QMenu host;
  int converted = 0;
  QObject::connect(host.addAction("변환"), &QAction::triggered, [&] { ++converted; });
  host.addAction("크기 조정");  // no handler
  view->ImgPopupMenu().PopupMenu = &host;

  const QStringList verbs = {"열기(&O)",     "잘라내기(&T)",        "복사(&C)",
                             "붙여넣기(&P)", "휴지통으로 이동(&D)", "이름 바꾸기(&M)"};
  auto menu = view->ImgPopupMenu().BuildMenu(view->MenuVerbs(), view.get());
  QStringList expected = verbs;
  expected[0].prepend('*');
  expected << "-"
           << "변환"
           << "크기 조정";
  QCOMPARE(MenuTexts(*menu), expected);

  view->ImgPopupMenu().ShellMenuPos = 1;
  menu = view->ImgPopupMenu().BuildMenu(view->MenuVerbs(), view.get());
  expected = QStringList{"변환", "-"} + verbs + QStringList{"-", "크기 조정"};
  expected[2].prepend('*');
  QCOMPARE(MenuTexts(*menu), expected);

  view->ImgPopupMenu().ShellMenuPos = 99;  // at most after the last host item
  menu = view->ImgPopupMenu().BuildMenu(view->MenuVerbs(), view.get());
  QCOMPARE(MenuTexts(*menu).mid(0, 3), (QStringList{"변환", "크기 조정", "-"}));

  view->ImgPopupMenu().Enabled = false;
  menu = view->ImgPopupMenu().BuildMenu(view->MenuVerbs(), view.get());
  QCOMPARE(MenuTexts(*menu), (QStringList{"변환", "크기 조정"}));
  QCOMPARE(converted, 0);

  // Without ictCanRename there is no rename; with ictDefaultOnly only the first verb.
  view->ImgPopupMenu().Enabled = true;
  view->ImgPopupMenu().ShellMenuPos = 0;
  view->ImgPopupMenu().ContextMenuType = ContextMenuKinds{ictExplore};
  menu = view->ImgPopupMenu().BuildMenu(view->MenuVerbs(), view.get());
  QVERIFY(!MenuTexts(*menu).contains("이름 바꾸기(&M)"));
  view->ImgPopupMenu().ContextMenuType = ContextMenuKinds{ictDefaultOnly, ictNoDefault};
  menu = view->ImgPopupMenu().BuildMenu(view->MenuVerbs(), view.get());
  QCOMPARE(MenuTexts(*menu), (QStringList{"열기(&O)", "-", "변환", "크기 조정"}));
}

void ImgListViewFilesTest::contextMenuShowsOnlyWithASelection() {
  TestDir dir, data;
  qputenv("XDG_DATA_HOME", QByteArray::fromStdString(data.path()));
  const std::string file = dir.write("a.txt", "a");
  auto view = ShowGrid(dir.path());
  QVERIFY(view);
  QMenu host;
  int converted = 0;
  QObject::connect(host.addAction("변환"), &QAction::triggered, [&] { ++converted; });
  host.addAction("크기 조정");
  view->ImgPopupMenu().PopupMenu = &host;
  const QPoint at = view->CellRect(0).center();
  const auto rightClick = [&] {
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, view->viewport()->mapToGlobal(at));
    QApplication::sendEvent(view->viewport(), &event);
  };

  // Nothing selected: no menu.
  bool shown = false;
  QTimer::singleShot(100, [&] {
    if (QWidget* popup = QApplication::activePopupWidget()) {
      shown = true;
      popup->close();
    }
  });
  rightClick();
  QTest::qWait(200);
  QVERIFY(!shown);

  // The real menu: verbs first, the first verb bold; a host item without a handler does
  // nothing, one with a handler runs it, a verb runs on the selection.
  SelectRows(*view, {0});
  const auto choose = [&](const QString& text, QStringList* seen) {
    QTimer::singleShot(100, [&, text, seen] {
      auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
      if (!menu) return;
      if (seen) *seen = MenuTexts(*menu);
      for (QAction* action : menu->actions())
        if (action->text().section('\t', 0, 0) == text) {
          menu->setActiveAction(action);
          QTest::keyClick(menu, Qt::Key_Return);
          return;
        }
      menu->close();
    });
    rightClick();
  };
  QStringList seen;
  choose("크기 조정", &seen);
  QVERIFY(!seen.isEmpty());
  QCOMPARE(seen.first(), QString("*열기(&O)"));
  QCOMPARE(seen.mid(seen.size() - 2), (QStringList{"변환", "크기 조정"}));
  QCOMPARE(converted, 0);
  choose("변환", nullptr);
  QCOMPARE(converted, 1);
  choose("휴지통으로 이동(&D)", nullptr);
  QVERIFY(!fs::exists(file));
  QVERIFY(fs::exists(data.file("Trash/files/a.txt")));
  qunsetenv("XDG_DATA_HOME");
}

QTEST_MAIN(ImgListViewFilesTest)
#include "imglistview_files_qtest.moc"
