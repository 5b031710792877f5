#pragma once
// The Qt model over the grid's item collection, in owner-data style: it holds nothing
// per item, only the count the view publishes, and reads every detail from the items
// when asked. Its four columns are the report view's. The selection model lets the host
// refuse selection and focus changes (OnChanging).

#include <QAbstractListModel>
#include <QItemSelectionModel>
#include <functional>

namespace quorvane {

class ImgListView;
class GridItem;

class ImgListModel : public QAbstractListModel {
  Q_OBJECT
 public:
  enum Column { ColName, ColSize, ColType, ColDate, ColumnCount };
  explicit ImgListModel(ImgListView& view);

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  GridItem* ItemAt(const QModelIndex& index) const;
  // The published count (the list view's virtual item count).
  int Count() const { return count_; }
  // Publishes a new count: items past the old count are inserted (selection kept),
  // anything else resets the model.
  void SetCount(int count);
  // Rows [first, last] leave: `remove` takes their items out of the collection while the
  // view is told, so that the selection, the focus and open editors of the other rows
  // stay (an editor of a removed row closes).
  void RemoveRows(int first, int last, const std::function<void()>& remove);
  // Publishes the count again after the items were rebuilt in place.
  void Reset(int count);
  // The collection is about to be reordered / was reordered: selection and focus follow
  // their items.
  void BeginReorder();
  void EndReorder();
  // Every cell must be painted again.
  void RepaintAll();

 private:
  ImgListView& view_;
  int count_ = 0;
  QModelIndexList reorderFrom_;
  std::vector<const GridItem*> reorderItems_;
};

// Asks the view's OnChanging before any selection or focus change; a refused change
// does not happen. The view's own changes (refill, rebuild) pass unasked.
class ImgSelectionModel : public QItemSelectionModel {
  Q_OBJECT
 public:
  ImgSelectionModel(ImgListView& view, QAbstractItemModel* model);

  void select(const QModelIndex& index, QItemSelectionModel::SelectionFlags command) override;
  void select(const QItemSelection& selection,
              QItemSelectionModel::SelectionFlags command) override;
  void setCurrentIndex(const QModelIndex& index,
                       QItemSelectionModel::SelectionFlags command) override;
  void reset() override;
  void clearCurrentIndex() override;

 private:
  bool Allowed(int row) const;
  ImgListView& view_;
};

}  // namespace quorvane
