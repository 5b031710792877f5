// The grid follows its folder: change notices are gathered for a moment and then merged
// into the items (added, removed, renamed and rewritten files), keeping the selection,
// the focused item and the scroll position.

#include <QItemSelectionModel>
#include <algorithm>
#include <functional>
#include <vector>

#include "thumbnails/ui/ImgListView.h"
#include "thumbnails/ui/ImgListViewModel.h"

namespace quorvane {

void ImgListView::ShellChanged() {
  // While the owner is busy (a batch or the viewer runs) the items are the batch's list:
  // the rescan waits until it is done.
  if (Busy()) {
    refillHeld_ = true;
    if (!busyTimer_.isActive()) busyTimer_.start();
    return;
  }
  Rescan();
}

void ImgListView::CheckBusyHold() {
  if (Busy()) return;
  busyTimer_.stop();
  if (!refillHeld_) return;
  refillHeld_ = false;
  Rescan();
}

void ImgListView::Rescan() {
  if (folder_.ViewMode() != ivmFolder || folder_.Folder().empty() || refilling_) return;
  mergeTimer_.stop();
  const ShellFolderView::MergePlan plan = folder_.PlanMerge(AcceptFile);
  if (plan.Empty()) return;
  internalChange_ = true;
  RemoveItems(plan.Remove);
  GridItems& items = folder_.Items();
  for (const auto& [number, name] : plan.Rename)
    if (GridItem* item = items.ItemByNumber(number)) folder_.ApplyRename(*item, name);
  for (int32_t number : plan.Change) {
    if (GridItem* item = items.ItemByNumber(number)) {
      jobs_->Redo(number);  // a picture of the file as it was is not stored
      folder_.ForgetChanged(*item);
      RepaintItem(item->Index());
    }
  }
  for (const ShellFolderView::DiskEntry& entry : plan.Add) folder_.AddEntry(entry);
  model_->SetCount(items.Count());
  ResortAndRepaint();
  StartTakenDates();  // new and rewritten files: their dates taken
  if (Count() > 0 && !currentIndex().isValid())
    selectionModel()->setCurrentIndex(model_->index(0), QItemSelectionModel::NoUpdate);
  internalChange_ = false;
  if (!paused_) ScheduleJobStart();
}

void ImgListView::RemoveItems(const std::vector<int32_t>& numbers) {
  GridItems& items = folder_.Items();
  std::vector<int> rows;
  for (int32_t number : numbers)
    if (const int row = items.IndexOfNumber(number); row >= 0) rows.push_back(row);
  if (rows.empty()) return;
  hotItem_ = -1;
  dropTarget_ = -1;
  // From the end, one run of neighbouring rows at a time.
  std::sort(rows.begin(), rows.end(), std::greater<int>());
  for (size_t i = 0; i < rows.size();) {
    size_t j = i;
    while (j + 1 < rows.size() && rows[j + 1] == rows[j] - 1) ++j;
    const int first = rows[j], last = rows[i];
    model_->RemoveRows(first, last, [&] {
      for (int row = last; row >= first; --row) items.Delete(row);
    });
    i = j + 1;
  }
}

}  // namespace quorvane
