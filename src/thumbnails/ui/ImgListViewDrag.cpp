// The grid as a drag source and a drop target for file lists.

#include <QApplication>
#include <QDrag>
#include <QDragEnterEvent>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QScrollBar>

#include "platform/FileChecks.h"
#include "platform/ui/FileDrop.h"
#include "thumbnails/ui/ImgListView.h"
#include "thumbnails/ui/ImgListViewModel.h"

namespace quorvane {

// ---- drag source ----

Qt::DropActions ImgListView::DragActionsFor(const DragKinds& type) {
  Qt::DropActions actions;
  if (type.Has(idtCopy)) actions |= Qt::CopyAction;
  if (type.Has(idtMove)) actions |= Qt::MoveAction;
  if (type.Has(idtLink)) actions |= Qt::LinkAction;
  return actions;
}

void ImgListView::mousePressEvent(QMouseEvent* e) {
  const QPoint pos = e->position().toPoint();
  const QModelIndex index = indexAt(pos);
  const bool onSelected = index.isValid() && selectionModel()->isSelected(index);
  if (defaultExec_.DropSource && onSelected &&
      (e->button() == Qt::LeftButton || e->button() == Qt::RightButton)) {
    dragState_ = e->button() == Qt::LeftButton ? DragState::LeftPressed : DragState::RightPressed;
    pressPos_ = pos;
    // A press on the selection keeps it, so that it can be dragged as a whole.
    if (e->button() == Qt::RightButton ||
        (e->modifiers() & (Qt::ControlModifier | Qt::ShiftModifier)) == 0) {
      selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
      e->accept();
      return;
    }
  } else {
    dragState_ = DragState::None;
  }
  QListView::mousePressEvent(e);
}

void ImgListView::mouseMoveEvent(QMouseEvent* e) {
  if (hotTrack_) SetHotItem(indexAt(e->position().toPoint()).row());
  const bool left = dragState_ == DragState::LeftPressed;
  const bool right = dragState_ == DragState::RightPressed;
  if (left || right) {
    const Qt::MouseButton button = left ? Qt::LeftButton : Qt::RightButton;
    const QPoint moved = e->position().toPoint() - pressPos_;
    const int threshold = QApplication::startDragDistance();
    if (!(e->buttons() & button)) {
      dragState_ = DragState::None;
    } else if (std::abs(moved.x()) > threshold || std::abs(moved.y()) > threshold) {
      dragState_ = left ? DragState::LeftDrag : DragState::RightDrag;
      dragButton_ = button;
      StartFileDrag();
      return;
    } else {
      e->accept();
      return;
    }
  }
  QListView::mouseMoveEvent(e);
}

void ImgListView::leaveEvent(QEvent* e) {
  SetHotItem(-1);
  QListView::leaveEvent(e);
}

void ImgListView::mouseReleaseEvent(QMouseEvent* e) {
  const bool pressedOnSelection =
      dragState_ == DragState::LeftPressed && e->button() == Qt::LeftButton;
  dragState_ = DragState::None;
  if (pressedOnSelection) {
    // A click (no drag) on a selected item selects it alone, as a click does.
    const QModelIndex index = indexAt(e->position().toPoint());
    if (index.isValid())
      selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    e->accept();
    return;
  }
  QListView::mouseReleaseEvent(e);
}

void ImgListView::StartFileDrag() {
  const std::vector<std::string> paths = SelectedPaths();
  const Qt::DropActions allowed = DragActionsFor(defaultExec_.DragType);
  if (paths.empty() || allowed == Qt::IgnoreAction) {
    dragState_ = DragState::None;
    return;
  }
  auto* drag = new QDrag(this);
  drag->setMimeData(FileDataObject::MakeMimeData(paths, false).release());
  const QModelIndex current = currentIndex();
  if (current.isValid()) {
    const QRect cell = CellRect(current.row());
    if (cell.isValid() && cell.width() <= 512 && cell.height() <= 512) {
      QPixmap picture = viewport()->grab(cell);
      drag->setPixmap(picture.scaled(picture.size() / 2, Qt::KeepAspectRatio));
    }
  }
  Qt::DropAction preferred = allowed & Qt::MoveAction ? Qt::MoveAction : Qt::CopyAction;
  drag->exec(allowed, preferred);
  dragState_ = DragState::None;
  dragButton_ = Qt::NoButton;
}

// ---- drop target ----

std::string ImgListView::DropFolderAt(const QPoint& pos, int& item) {
  item = -1;
  if (folder_.ViewMode() == ivmFile) return {};
  const QModelIndex index = indexAt(pos);
  if (index.isValid()) {
    GridItem* target = Item(index.row());
    // Only folders take drops; a file under the pointer takes nothing.
    if (!target || !target->IsFolder() || !target->HasIdList()) return {};
    item = index.row();
    return target->ParsingName();
  }
  return folder_.Folder();
}

void ImgListView::SetDropTarget(int index) {
  if (index == dropTarget_) return;
  const int old = dropTarget_;
  dropTarget_ = index;
  RepaintItem(old);
  RepaintItem(index);
}

void ImgListView::dragEnterEvent(QDragEnterEvent* e) {
  if (!defaultExec_.DropTarget()) {
    e->ignore();
    return;
  }
  const FileDataObject data(e->mimeData());
  bool accept = data.Count() > 0;
  if (accept && OnFileDragEnter)
    OnFileDragEnter(*this, data, e->modifiers(), e->position().toPoint(), accept);
  if (!accept) {
    e->ignore();
    return;
  }
  e->accept();
  dragMoveEvent(e);
}

void ImgListView::dragMoveEvent(QDragMoveEvent* e) {
  const QPoint pos = e->position().toPoint();
  dragPos_ = pos;
  if (!autoScrollTimer_.isActive()) autoScrollTimer_.start();
  const FileDataObject data(e->mimeData());
  int item = -1;
  const std::string folder = DropFolderAt(pos, item);
  SetDropTarget(item);
  Qt::DropAction action = Qt::IgnoreAction;
  const bool fromHereLeft = e->source() == this && dragButton_ == Qt::LeftButton;
  if (folder_.ViewMode() == ivmFile) {
    action = FileDropAction(*e, "/", data.FileNames());
  } else if (!folder.empty() && !fromHereLeft && CanWriteInto(folder) && data.Count() > 0) {
    action = FileDropAction(*e, folder, data.FileNames());
  }
  bool accept = action != Qt::IgnoreAction;
  if (accept && OnFileDragOver)
    OnFileDragOver(*this, data, e->modifiers(), mapToGlobal(pos), accept);
  if (!accept) {
    e->ignore(visualRect(indexAt(pos)));
    return;
  }
  e->setDropAction(action);
  e->accept();
}

void ImgListView::dragLeaveEvent(QDragLeaveEvent* e) {
  autoScrollTimer_.stop();
  SetDropTarget(-1);
  if (OnFileDragLeave) OnFileDragLeave(*this);
  e->accept();
}

void ImgListView::dropEvent(QDropEvent* e) {
  autoScrollTimer_.stop();
  const QPoint pos = e->position().toPoint();
  const FileDataObject data(e->mimeData());
  int item = -1;
  const std::string folder = DropFolderAt(pos, item);
  SetDropTarget(-1);
  bool accept = data.Count() > 0;
  if (accept && OnFileDragDrop) OnFileDragDrop(*this, data, e->modifiers(), pos, accept);
  // A left-button drag that began here and ends here does nothing.
  const bool fromHereLeft = e->source() == this && dragButton_ == Qt::LeftButton;
  if (!accept || fromHereLeft) {
    e->ignore();
    return;
  }
  if (folder_.ViewMode() == ivmFile) {
    AppendPaths(data.FileNames());
    e->setDropAction(Qt::CopyAction);
    e->accept();
    return;
  }
  if (folder.empty() || !CanWriteInto(folder)) {
    e->ignore();
    return;
  }
  Qt::DropAction action = FileDropAction(*e, folder, data.FileNames());
  if (e->source() == this && dragButton_ == Qt::RightButton) {
    // A right-button drag asks what to do.
    QMenu menu(this);
    QAction* move = menu.addAction(QStringLiteral("여기로 이동(&M)"));
    QAction* copy = menu.addAction(QStringLiteral("여기에 복사(&C)"));
    QAction* link = menu.addAction(QStringLiteral("여기에 바로 가기 만들기(&S)"));
    menu.addSeparator();
    menu.addAction(QStringLiteral("취소"));
    move->setEnabled(e->possibleActions() & Qt::MoveAction);
    copy->setEnabled(e->possibleActions() & Qt::CopyAction);
    link->setEnabled(e->possibleActions() & Qt::LinkAction);
    menu.setDefaultAction(action == Qt::CopyAction ? copy : move);
    QAction* chosen = menu.exec(mapToGlobal(pos));
    action = chosen == move   ? Qt::MoveAction
             : chosen == copy ? Qt::CopyAction
             : chosen == link ? Qt::LinkAction
                              : Qt::IgnoreAction;
  }
  if (action == Qt::IgnoreAction) {
    e->ignore();
    return;
  }
  // On a worker: the source application and the window go on at once.
  TransferFiles(data.FileNames(), folder, TransferModeOf(action));
  // The files are where they belong now: the source has nothing left to do.
  e->setDropAction(action == Qt::MoveAction ? Qt::CopyAction : action);
  e->accept();
}

void ImgListView::DragAutoScroll() {
  if (!viewport()->rect().contains(dragPos_) || !acceptDrops()) {
    autoScrollTimer_.stop();
    return;
  }
  // Within one font height of an edge the view moves one line.
  const int margin = fontMetrics().height();
  const QRect area = viewport()->rect();
  QScrollBar* v = verticalScrollBar();
  QScrollBar* h = horizontalScrollBar();
  if (v->maximum() > v->minimum()) {
    if (dragPos_.y() < area.top() + margin)
      v->triggerAction(QAbstractSlider::SliderSingleStepSub);
    else if (dragPos_.y() > area.bottom() - margin)
      v->triggerAction(QAbstractSlider::SliderSingleStepAdd);
  }
  if (h->maximum() > h->minimum()) {
    if (dragPos_.x() < area.left() + margin)
      h->triggerAction(QAbstractSlider::SliderSingleStepSub);
    else if (dragPos_.x() > area.right() - margin)
      h->triggerAction(QAbstractSlider::SliderSingleStepAdd);
  }
}

}  // namespace quorvane
