#include "thumbnails/ui/ImgListViewModel.h"

#include <QFile>

#include "platform/ui/QtText.h"
#include "thumbnails/ui/ImgListView.h"

namespace quorvane {

ImgListModel::ImgListModel(ImgListView& view) : QAbstractListModel(&view), view_(view) {}

int ImgListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : count_;
}

int ImgListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : ColumnCount;
}

GridItem* ImgListModel::ItemAt(const QModelIndex& index) const {
  if (!index.isValid() || index.row() >= count_) return nullptr;
  return view_.Item(index.row());
}

QVariant ImgListModel::data(const QModelIndex& index, int role) const {
  GridItem* item = ItemAt(index);
  if (!item) return {};
  switch (role) {
    case Qt::DisplayRole:
      switch (index.column()) {
        case ColName:
          return view_.View().ShowCaptions() ? FromNative(item->DisplayName()) : QString();
        case ColSize:
          return item->IsFolder() ? QString() : QString::fromStdString(item->SizeText());
        case ColType:
          return QString::fromStdString(item->TypeName());
        case ColDate:
          return QString::fromStdString(item->DateText());
      }
      return {};
    case Qt::EditRole:
      return FromNative(item->DisplayName());
    case Qt::ToolTipRole:
      return FromNative(item->ParsingName());
    case Qt::TextAlignmentRole:
      return index.column() == ColSize ? QVariant(Qt::AlignRight | Qt::AlignVCenter)
                                       : QVariant(Qt::AlignLeft | Qt::AlignVCenter);
    default:
      return {};
  }
}

bool ImgListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  GridItem* item = ItemAt(index);
  if (role != Qt::EditRole || !item) return false;
  // An unchanged text keeps the name's own bytes: a name that is no UTF-8 shows with
  // U+FFFD, and writing the text back would rename the file.
  const QString text = value.toString();
  if (text == FromNative(item->DisplayName())) return true;
  return view_.RenameItem(index.row(), ToNative(text));
}

Qt::ItemFlags ImgListModel::flags(const QModelIndex& index) const {
  if (!ItemAt(index)) return Qt::ItemIsDropEnabled;
  Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled;
  if (!view_.ReadOnly()) f |= Qt::ItemIsEditable;
  return f;
}

QVariant ImgListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal) return {};
  if (role == Qt::DisplayRole) {
    switch (section) {
      case ColName:
        return QStringLiteral("名前");
      case ColSize:
        return QStringLiteral("サイズ");
      case ColType:
        return QStringLiteral("ファイルの種類");
      case ColDate:
        return QStringLiteral("更新日時");
    }
  }
  if (role == Qt::TextAlignmentRole)
    return section == ColSize ? QVariant(Qt::AlignRight | Qt::AlignVCenter)
                              : QVariant(Qt::AlignLeft | Qt::AlignVCenter);
  return {};
}

void ImgListModel::SetCount(int count) {
  if (count == count_) return;
  if (count > count_ && count_ > 0) {
    beginInsertRows({}, count_, count - 1);
    count_ = count;
    endInsertRows();
    return;
  }
  Reset(count);
}

void ImgListModel::RemoveRows(int first, int last, const std::function<void()>& remove) {
  if (first < 0 || last < first || last >= count_) return;
  beginRemoveRows({}, first, last);
  remove();
  count_ -= last - first + 1;
  endRemoveRows();
}

void ImgListModel::Reset(int count) {
  beginResetModel();
  count_ = count;
  endResetModel();
}

void ImgListModel::BeginReorder() {
  emit layoutAboutToBeChanged();
  reorderFrom_ = persistentIndexList();
  reorderItems_.clear();
  for (const QModelIndex& index : reorderFrom_) reorderItems_.push_back(ItemAt(index));
}

void ImgListModel::EndReorder() {
  QModelIndexList to;
  for (size_t i = 0; i < reorderItems_.size(); ++i) {
    const GridItem* item = reorderItems_[i];
    const QModelIndex& from = reorderFrom_[qsizetype(i)];
    to << (item && item->Index() >= 0 && item->Index() < count_
               ? index(item->Index(), from.column())
               : QModelIndex());
  }
  changePersistentIndexList(reorderFrom_, to);
  reorderFrom_.clear();
  reorderItems_.clear();
  emit layoutChanged();
}

void ImgListModel::RepaintAll() {
  if (count_ > 0) emit dataChanged(index(0, 0), index(count_ - 1, ColumnCount - 1));
}

// ---- selection ----

ImgSelectionModel::ImgSelectionModel(ImgListView& view, QAbstractItemModel* model)
    : QItemSelectionModel(model, &view), view_(view) {}

bool ImgSelectionModel::Allowed(int row) const { return view_.AllowItemChange(row); }

void ImgSelectionModel::select(const QModelIndex& index,
                                QItemSelectionModel::SelectionFlags command) {
  // Goes through the selection overload below, which asks.
  QItemSelectionModel::select(index, command);
}

void ImgSelectionModel::select(const QItemSelection& selection,
                                QItemSelectionModel::SelectionFlags command) {
  if (command != NoUpdate) {
    const int row =
        selection.size() == 1 && selection.first().height() == 1 ? selection.first().top() : -1;
    if (!Allowed(row)) return;
  }
  QItemSelectionModel::select(selection, command);
}

void ImgSelectionModel::setCurrentIndex(const QModelIndex& index,
                                         QItemSelectionModel::SelectionFlags command) {
  if (index != currentIndex() && !Allowed(index.isValid() ? index.row() : -1)) return;
  QItemSelectionModel::setCurrentIndex(index, command);
}

void ImgSelectionModel::reset() {
  // A reset follows the collection (refill, clear): never refused.
  QItemSelectionModel::reset();
}

void ImgSelectionModel::clearCurrentIndex() {
  if (!currentIndex().isValid() || Allowed(-1)) QItemSelectionModel::clearCurrentIndex();
}

}  // namespace quorvane
