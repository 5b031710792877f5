// The grid's keys, find, rename, clipboard and trash commands, double click and
// context menu.

#include <sys/stat.h>

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <cerrno>
#include <cstring>

#include "platform/FileChecks.h"
#include "platform/FileNames.h"
#include "platform/PathAccess.h"
#include "platform/Trash.h"
#include "platform/ui/QtText.h"
#include "thumbnails/ui/ImgListView.h"
#include "thumbnails/ui/ImgListViewModel.h"

namespace quorvane {

// ---- find ----

int ImgListView::FindItem(FindKind kind, const QString& text, int start, bool wrap) const {
  const int count = Count();
  if (count == 0) return -1;
  if (start < 0 || start >= count) start = 0;
  const QString wanted = text.toUpper();
  int i = start;
  for (;;) {
    if (GridItem* item = Item(i)) {
      const QString name = FromNative(item->DisplayName()).toUpper();
      if (kind == ifkPartial ? name.contains(wanted) : name.startsWith(wanted)) return i;
    }
    if (++i >= count) {
      if (!wrap) return -1;
      i = 0;
    }
    if (i == start) return -1;
  }
}

void ImgListView::keyboardSearch(const QString& search) {
  if (search.isEmpty() || Count() == 0) return;
  // Keys typed in quick succession make one search text; a new text starts after the
  // focused item, a longer one at it.
  const bool fresh =
      !searchClock_.isValid() || searchClock_.elapsed() > QApplication::keyboardInputInterval();
  searchClock_.start();
  searchText_ = fresh ? search : searchText_ + search;
  const int focused = std::max(0, ItemIndex());
  const int start = fresh ? (focused + 1) % Count() : focused;
  // Names that begin with the text come first; failing that, names that contain it.
  int found = FindItem(ifkExact, searchText_, start, true);
  if (found < 0) found = FindItem(ifkPartial, searchText_, start, true);
  if (found >= 0) SetItemIndex(found);
}

// ---- keys ----

void ImgListView::keyPressEvent(QKeyEvent* e) {
  if (observer_) observer_->KeyPressed(*this, *e);
  const Qt::KeyboardModifiers mods = e->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier |
                                                       Qt::AltModifier | Qt::MetaModifier);
  const int key = e->key();
  if (key == Qt::Key_Delete) {
    // Only a plain Delete moves to the trash; Shift+Delete does nothing at all.
    if (mods == Qt::NoModifier) DeleteSelection();
    e->accept();
    return;
  }
  if (key == Qt::Key_F2 && mods == Qt::NoModifier) {
    const int index = ItemIndex();
    GridItem* item = Item(index);
    if (item && !readOnly_ && selectionModel()->isSelected(model_->index(index)) &&
        item->CanRename())
      edit(model_->index(index));
    e->accept();
    return;
  }
  if (mods & Qt::ControlModifier) {
    switch (key) {
      case Qt::Key_A:
        SelectAllItems();
        e->accept();
        return;
      case Qt::Key_C:
        CopySelection();
        e->accept();
        return;
      case Qt::Key_X:
        CutSelection();
        e->accept();
        return;
      case Qt::Key_V:
        Paste();
        e->accept();
        return;
      case Qt::Key_I:
        InvertSelection();
        e->accept();
        return;
      default:
        break;
    }
  }
  if ((key == Qt::Key_Return || key == Qt::Key_Enter) && !(mods & Qt::AltModifier)) {
    if (state() == EditingState) {
      QListView::keyPressEvent(e);
      return;
    }
    dragState_ = DragState::None;
    char16_t ch = 13;
    if (OnKeyPress) OnKeyPress(*this, ch);
    if (ch != 0 && defaultExec_.DblClick) {
      if (GridItem* item = Item(ItemIndex())) item->Open();
    }
    e->accept();
    return;
  }
  const QString text = e->text();
  if (OnKeyPress && text.size() == 1 && text[0].isPrint() && !(mods & Qt::ControlModifier)) {
    char16_t ch = text[0].unicode();
    OnKeyPress(*this, ch);
    if (ch == 0) {
      e->accept();
      return;
    }
  }
  QListView::keyPressEvent(e);
}

void ImgListView::SelectAllItems() {
  if (Count() == 0 || !multiSelect_) return;
  selectionModel()->select(QItemSelection(model_->index(0), model_->index(Count() - 1)),
                           QItemSelectionModel::Select);
  viewport()->update();
}

void ImgListView::InvertSelection() {
  if (Count() == 0) return;
  if (!multiSelect_) return;
  selectionModel()->select(QItemSelection(model_->index(0), model_->index(Count() - 1)),
                           QItemSelectionModel::Toggle);
  viewport()->update();
}

// ---- double click ----

void ImgListView::mouseDoubleClickEvent(QMouseEvent* e) {
  dragState_ = DragState::None;
  const QModelIndex index = indexAt(e->position().toPoint());
  if (OnDblClick) OnDblClick(*this);
  if (defaultExec_.DblClick && index.isValid() && e->button() == Qt::LeftButton) {
    if (GridItem* item = Item(index.row())) item->Open();
  }
  e->accept();
}

// ---- rename ----

bool ImgListView::RenameItem(int index, const std::string& newName) {
  GridItem* item = Item(index);
  if (!item || readOnly_ || newName.empty() || newName == item->DisplayName()) return false;
  if (!item->CanRename()) return false;
  // Our own rename must not come back as a change notice and refill the view.
  const std::string watched = folder_.Folder();
  notification_->Unwatch();
  std::string error;
  bool ok = false;
  try {
    ok = item->Rename(newName, &error);
  } catch (...) {
    ok = false;
  }
  if (!watched.empty() && folder_.ViewMode() == ivmFolder) notification_->Watch(watched);
  if (!ok) {
    FileOpReport report;
    report.failed.push_back({item->ParsingName(), error});
    ReportFailures(QStringLiteral("이름을 바꾸지 못했습니다."), report);
    RepaintItem(index);
    return false;
  }
  // The item stays where it is (the next merge sorts it in), selected and in view once
  // the editor has closed.
  RepaintItem(index);
  const int32_t number = item->Number();
  QMetaObject::invokeMethod(
      this,
      [this, number] {
        if (const int row = folder_.Items().IndexOfNumber(number); row >= 0)
          scrollTo(model_->index(row));
      },
      Qt::QueuedConnection);
  return true;
}

bool ImgListView::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) {
  if (!QListView::edit(index, trigger, event)) return false;
  // As file managers do: the name without its extension is selected (a folder's whole).
  auto* editor = qobject_cast<QLineEdit*>(indexWidget(index));
  GridItem* item = Item(index.row());
  if (editor && item && !item->IsFolder()) {
    const int dot = editor->text().lastIndexOf(QLatin1Char('.'));
    if (dot > 0) editor->setSelection(0, dot);
  }
  return true;
}

// ---- clipboard and trash ----

std::vector<std::string> ImgListView::SelectedPaths() const {
  const std::vector<int> rows = SelectedIndexes();
  if (rows.empty()) return {};
  return const_cast<ShellFolderView&>(folder_).SelectionPaths(rows);
}

FileOpReport ImgListView::Refusals(const std::vector<std::string>& paths, bool remove) const {
  FileOpReport report;
  for (const std::string& path : paths) {
    if (remove ? CanRemove(path) : CanCopyFrom(path)) continue;
    struct stat st {};
    report.failed.push_back({path, ::lstat(path.c_str(), &st) != 0 ? "it no longer exists"
                                   : remove ? "the folder that holds it is not writable"
                                            : "it cannot be read (no permission)"});
  }
  return report;
}

bool ImgListView::ClipboardCommand(bool cut) {
  const std::vector<std::string> paths = SelectedPaths();
  if (paths.empty()) return false;
  // Copy needs readable files, cut a folder that lets them go; any failing file stops
  // the whole command, and the user is told which and why.
  const FileOpReport refused = Refusals(paths, cut);
  if (!refused.Ok()) {
    ReportFailures(cut ? QStringLiteral("잘라낼 수 없는 파일이 있습니다.")
                       : QStringLiteral("복사할 수 없는 파일이 있습니다."),
                   refused);
    return false;
  }
  QApplication::clipboard()->setMimeData(FileDataObject::MakeMimeData(paths, cut).release());
  SetCutPaths(cut ? paths : std::vector<std::string>());
  return true;
}

bool ImgListView::CopySelection() { return ClipboardCommand(false); }

bool ImgListView::CutSelection() { return ClipboardCommand(true); }

bool ImgListView::IsCut(GridItem& item) const {
  return !cutPaths_.empty() && item.HasIdList() && cutPaths_.count(item.ParsingName()) > 0;
}

void ImgListView::SetCutPaths(std::vector<std::string> paths) {
  if (cutPaths_.empty() && paths.empty()) return;
  cutPaths_ = std::unordered_set<std::string>(paths.begin(), paths.end());
  viewport()->update();
}

bool ImgListView::Paste() {
  const QMimeData* data = QApplication::clipboard()->mimeData();
  bool cut = false;
  const std::vector<std::string> files = FileDataObject::FilesOf(data, &cut);
  if (files.empty()) return false;
  if (folder_.ViewMode() == ivmFile) {
    AppendPaths(files);
    return true;
  }
  const std::string target = folder_.Folder();
  if (target.empty() || !CanWriteInto(target)) return false;
  TransferFiles(
      files, target, cut ? TransferMode::Move : TransferMode::Copy,
      [this, cut, files](const FileOpReport& report) {
        if (!cut || report.created.empty()) return;
        // Files that were cut live here now: the clipboard lets go of them,
        // unless it holds something else by now (a later cut or copy).
        bool stillCut = false;
        QClipboard* clipboard = QApplication::clipboard();
        if (FileDataObject::FilesOf(clipboard->mimeData(), &stillCut) == files && stillCut)
          clipboard->clear();
        if (cutPaths_ == std::unordered_set<std::string>(files.begin(), files.end()))
          SetCutPaths({});
      });
  return true;
}

bool ImgListView::DeleteSelection() {
  const std::vector<std::string> paths = SelectedPaths();
  if (paths.empty()) return false;
  const FileOpReport refused = Refusals(paths, true);
  if (!refused.Ok()) {
    ReportFailures(QStringLiteral("휴지통으로 옮길 수 없는 파일이 있습니다."), refused);
    return false;
  }
  // The item after the deleted ones takes the selection, as in file managers.
  const std::vector<int> rows = SelectedIndexes();
  const int32_t next = NextSurvivor(rows);
  const FileOpReport report = MoveToTrash(paths);
  ReportFailures(
      QStringLiteral("휴지통으로 옮기지 못한 파일이 있습니다. 그 파일은 그대로 있습니다."), report);
  FilesChanged(report);
  SelectNumber(next);
  return report.Ok();
}

int32_t ImgListView::NextSurvivor(const std::vector<int>& rows) const {
  if (rows.empty()) return -1;
  // The first unselected item after the last selected one, else the one before the first.
  for (int row = rows.back() + 1; row < Count(); ++row)
    if (!std::binary_search(rows.begin(), rows.end(), row)) return Item(row)->Number();
  for (int row = rows.front() - 1; row >= 0; --row)
    if (!std::binary_search(rows.begin(), rows.end(), row)) return Item(row)->Number();
  return -1;
}

void ImgListView::SelectNumber(int32_t number) {
  const int row = folder_.Items().IndexOfNumber(number);
  if (row < 0) return;
  selectionModel()->setCurrentIndex(model_->index(row), QItemSelectionModel::ClearAndSelect);
  scrollTo(model_->index(row));
}

void ImgListView::FilesChanged(const FileOpReport& report) {
  // Shown at once, without waiting for the change notice (nor needing one).
  if (report.created.empty() || folder_.ViewMode() != ivmFolder) return;
  Rescan();
}

void ImgListView::ReportFailures(const QString& what, const FileOpReport& report) {
  if (report.Ok()) return;
  QString message = what;
  for (const FileOpFailure& failure : report.failed)
    message += QStringLiteral("\n%1: %2")
                   .arg(FromNative(failure.path), QString::fromStdString(failure.message));
  ShowFileMessage(message);
}

void ImgListView::ReportLeftFiles(const FileOpReport& report) {
  if (report.leftFolders.empty()) return;
  QString message = QStringLiteral("원본 폴더에 남은 파일이 있습니다.");
  for (const std::string& folder : report.leftFolders) message += '\n' + FromNative(folder);
  ShowFileMessage(message);
}

void ImgListView::ShowFileMessage(const QString& message) {
  if (OnFileError) {
    OnFileError(*this, message);
    return;
  }
  auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Quorvane"), message,
                              QMessageBox::Ok, this);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->open();
}

// ---- context menu ----

std::vector<FileVerbEntry> ImgListView::MenuVerbs() {
  const std::vector<std::string> paths = SelectedPaths();
  bool canCopy = !paths.empty(), canRemove = !paths.empty();
  for (const std::string& path : paths) {
    canCopy = canCopy && CanCopyFrom(path);
    canRemove = canRemove && CanRemove(path);
  }
  const bool canPaste = folder_.ViewMode() == ivmFile
                            ? true
                            : !folder_.Folder().empty() && CanWriteInto(folder_.Folder());
  const bool clipboardHasFiles =
      !FileDataObject::FilesOf(QApplication::clipboard()->mimeData()).empty();
  std::vector<FileVerbEntry> verbs = {
      {FileVerb::Open, !paths.empty()}, {FileVerb::Cut, canRemove},
      {FileVerb::Copy, canCopy},        {FileVerb::Paste, canPaste && clipboardHasFiles},
      {FileVerb::Trash, canRemove},
  };
  GridItem* focused = Item(ItemIndex());
  if (!readOnly_ && paths.size() == 1 && focused &&
      selectionModel()->isSelected(model_->index(ItemIndex())) && focused->CanRename())
    verbs.push_back({FileVerb::Rename, true});
  return verbs;
}

void ImgListView::RunVerb(FileVerb verb) {
  switch (verb) {
    case FileVerb::Open:
      if (GridItem* item = Selected()) item->Open();
      break;
    case FileVerb::Cut:
      CutSelection();
      break;
    case FileVerb::Copy:
      CopySelection();
      break;
    case FileVerb::Paste:
      Paste();
      break;
    case FileVerb::Trash:
      DeleteSelection();
      break;
    case FileVerb::Rename:
      if (ItemIndex() >= 0) edit(model_->index(ItemIndex()));
      break;
  }
}

bool ImgListView::NewFolder() {
  const std::string folder = folder_.Folder();
  if (folder_.ViewMode() != ivmFolder || folder.empty()) return false;
  const std::string name = FreeName(folder, "새 폴더");
  if (::mkdir(JoinPath(folder, name).c_str(), 0777) != 0) {
    FileOpReport report;
    report.failed.push_back({JoinPath(folder, name), std::strerror(errno)});
    ReportFailures(QStringLiteral("새 폴더를 만들지 못했습니다."), report);
    return false;
  }
  Rescan();
  const int row = RowOfName(name);
  if (row < 0) return false;
  SelectNumber(Item(row)->Number());
  edit(model_->index(row));
  return true;
}

int ImgListView::RowOfName(const std::string& name) const {
  for (int i = 0; i < Count(); ++i)
    if (GridItem* item = Item(i);
        item->FolderName() == folder_.Folder() && item->Name() == name)
      return i;
  return -1;
}

void ImgListView::ShowEmptySpaceMenu(const QPoint& globalPos) {
  QMenu menu(this);
  QAction* paste = menu.addAction(QStringLiteral("붙여넣기"));
  paste->setShortcut(QKeySequence::Paste);
  const bool writable = folder_.ViewMode() == ivmFile ||
                        (!folder_.Folder().empty() && CanWriteInto(folder_.Folder()));
  paste->setEnabled(writable &&
                    !FileDataObject::FilesOf(QApplication::clipboard()->mimeData()).empty());
  QAction* newFolder = menu.addAction(QStringLiteral("새 폴더"));
  newFolder->setEnabled(folder_.ViewMode() == ivmFolder && !folder_.Folder().empty() &&
                        CanWriteInto(folder_.Folder()));
  QAction* chosen = menu.exec(globalPos);
  if (chosen == paste)
    Paste();
  else if (chosen == newFolder)
    NewFolder();
}

void ImgListView::contextMenuEvent(QContextMenuEvent* e) {
  e->accept();
  if (e->reason() == QContextMenuEvent::Mouse && !indexAt(e->pos()).isValid()) {
    // Empty space: what can be done to the folder itself.
    dragState_ = DragState::None;
    selectionModel()->clearSelection();
    ShowEmptySpaceMenu(e->globalPos());
    return;
  }
  if (SelectedIndexes().empty()) return;
  QPoint at = e->globalPos();
  if (e->reason() == QContextMenuEvent::Keyboard) {
    const QRect cell = visualRect(currentIndex());
    if (cell.isValid()) at = viewport()->mapToGlobal(cell.center());
  }
  dragState_ = DragState::None;
  popupMenu_.Popup(MenuVerbs(), at, this);
}

}  // namespace quorvane
