// The grid's keys, find, rename, clipboard and trash commands, double click and
// context menu.

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFile>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMimeData>

#include "platform/FileNames.h"
#include "platform/ui/QtText.h"
#include "thumbnails/ui/ImgListView.h"
#include "thumbnails/ui/ImgListViewModel.h"

namespace quorvane {

// ---- find ----

int TImgListView::FindItem(TFindKind kind, const QString& text, int start, bool wrap) const {
  const int count = Count();
  if (count == 0) return -1;
  if (start < 0 || start >= count) start = 0;
  const QString wanted = text.toUpper();
  int i = start;
  for (;;) {
    if (TImgListItem* item = Item(i)) {
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

void TImgListView::keyboardSearch(const QString& search) {
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

void TImgListView::keyPressEvent(QKeyEvent* e) {
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
    TImgListItem* item = Item(index);
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
      if (TImgListItem* item = Item(ItemIndex())) item->Open();
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

void TImgListView::SelectAllItems() {
  if (Count() == 0 || !multiSelect_) return;
  selectionModel()->select(QItemSelection(model_->index(0), model_->index(Count() - 1)),
                           QItemSelectionModel::Select);
  viewport()->update();
}

void TImgListView::InvertSelection() {
  if (Count() == 0) return;
  if (!multiSelect_) return;
  selectionModel()->select(QItemSelection(model_->index(0), model_->index(Count() - 1)),
                           QItemSelectionModel::Toggle);
  viewport()->update();
}

// ---- double click ----

void TImgListView::mouseDoubleClickEvent(QMouseEvent* e) {
  dragState_ = DragState::None;
  const QModelIndex index = indexAt(e->position().toPoint());
  if (OnDblClick) OnDblClick(*this);
  if (defaultExec_.DblClick && index.isValid() && e->button() == Qt::LeftButton) {
    if (TImgListItem* item = Item(index.row())) item->Open();
  }
  e->accept();
}

// ---- rename ----

bool TImgListView::RenameItem(int index, const std::string& newName) {
  TImgListItem* item = Item(index);
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
  }
  RepaintItem(index);
  return ok;
}

// ---- clipboard and trash ----

std::vector<std::string> TImgListView::SelectedPaths() const {
  const std::vector<int> rows = SelectedIndexes();
  if (rows.empty()) return {};
  return const_cast<TShellFolderView&>(folder_).SelectionPaths(rows);
}

bool TImgListView::ClipboardCommand(bool cut) {
  const std::vector<std::string> paths = SelectedPaths();
  if (paths.empty()) return false;
  // Copy needs readable files, cut a folder that lets them go; any failing file stops
  // the whole command.
  for (const std::string& path : paths)
    if (cut ? !CanRemove(path) : !CanCopyFrom(path)) return false;
  QApplication::clipboard()->setMimeData(TFileDataObject::MakeMimeData(paths, cut).release());
  return true;
}

bool TImgListView::CopySelection() { return ClipboardCommand(false); }

bool TImgListView::CutSelection() { return ClipboardCommand(true); }

bool TImgListView::Paste() {
  const QMimeData* data = QApplication::clipboard()->mimeData();
  bool cut = false;
  const std::vector<std::string> files = TFileDataObject::FilesOf(data, &cut);
  if (files.empty()) return false;
  if (folder_.ViewMode() == ivmFile) {
    AppendPaths(files);
    return true;
  }
  const std::string target = folder_.Folder();
  if (target.empty() || !CanWriteInto(target)) return false;
  const FileOpReport report =
      Transfer(files, target, cut ? TransferMode::Move : TransferMode::Copy);
  // Files that were cut live here now: the clipboard no longer names them.
  if (cut && !report.created.empty()) QApplication::clipboard()->clear();
  ReportFailures(QStringLiteral("붙여넣지 못한 파일이 있습니다."), report);
  FilesChanged(report);
  return report.Ok();
}

bool TImgListView::DeleteSelection() {
  const std::vector<std::string> paths = SelectedPaths();
  if (paths.empty()) return false;
  for (const std::string& path : paths)
    if (!CanRemove(path)) return false;
  const FileOpReport report = MoveToTrash(paths);
  ReportFailures(
      QStringLiteral("휴지통으로 옮기지 못한 파일이 있습니다. 그 파일은 그대로 있습니다."), report);
  FilesChanged(report);
  return report.Ok();
}

void TImgListView::FilesChanged(const FileOpReport& report) {
  if (report.created.empty() || folder_.ViewMode() != ivmFolder) return;
  if (!notification_->Watching()) Refill();
}

void TImgListView::ReportFailures(const QString& what, const FileOpReport& report) {
  if (report.Ok()) return;
  QString message = what;
  for (const FileOpFailure& failure : report.failed)
    message += QStringLiteral("\n%1: %2")
                   .arg(FromNative(failure.path), QString::fromStdString(failure.message));
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

std::vector<TFileVerbEntry> TImgListView::MenuVerbs() {
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
      !TFileDataObject::FilesOf(QApplication::clipboard()->mimeData()).empty();
  std::vector<TFileVerbEntry> verbs = {
      {TFileVerb::Open, !paths.empty()}, {TFileVerb::Cut, canRemove},
      {TFileVerb::Copy, canCopy},        {TFileVerb::Paste, canPaste && clipboardHasFiles},
      {TFileVerb::Trash, canRemove},
  };
  TImgListItem* focused = Item(ItemIndex());
  if (!readOnly_ && paths.size() == 1 && focused &&
      selectionModel()->isSelected(model_->index(ItemIndex())) && focused->CanRename())
    verbs.push_back({TFileVerb::Rename, true});
  return verbs;
}

void TImgListView::RunVerb(TFileVerb verb) {
  switch (verb) {
    case TFileVerb::Open:
      if (TImgListItem* item = Selected()) item->Open();
      break;
    case TFileVerb::Cut:
      CutSelection();
      break;
    case TFileVerb::Copy:
      CopySelection();
      break;
    case TFileVerb::Paste:
      Paste();
      break;
    case TFileVerb::Trash:
      DeleteSelection();
      break;
    case TFileVerb::Rename:
      if (ItemIndex() >= 0) edit(model_->index(ItemIndex()));
      break;
  }
}

void TImgListView::contextMenuEvent(QContextMenuEvent* e) {
  e->accept();
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
