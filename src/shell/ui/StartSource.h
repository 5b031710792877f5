#pragma once
// What the viewer opened from the command line steps through: the pictures named, until
// the grid has listed their folder; from then on the grid, as for a viewer opened there.

#include <string>
#include <vector>

#include "thumbnails/ui/ImgListView.h"
#include "viewer/ViewerSource.h"

namespace quorvane {

class StartSource : public ViewerSource {
 public:
  explicit StartSource(std::vector<std::string> pictures) : pictures_(std::move(pictures)) {}

  // From now on the grid's items (null: the pictures named again).
  void UseGrid(ImgListView* grid) { grid_ = grid; }
  bool UsesGrid() const { return grid_ != nullptr; }
  const std::vector<std::string>& Pictures() const { return pictures_; }

  int ItemCount() const override { return grid_ ? grid_->Count() : int(pictures_.size()); }
  std::string ItemPath(int index) const override {
    if (!grid_) return index >= 0 && index < int(pictures_.size()) ? pictures_[index] : "";
    GridItem* item = grid_->Item(index);
    return item ? item->ParsingName() : std::string();
  }
  bool ItemIsFolder(int index) const override {
    if (!grid_) return false;
    GridItem* item = grid_->Item(index);
    return !item || item->IsFolder();
  }
  int SelectedIndex() const override {
    if (!grid_) return pictures_.empty() ? -1 : 0;
    GridItem* item = grid_->Selected();
    return item ? item->Index() : -1;
  }

 private:
  std::vector<std::string> pictures_;
  ImgListView* grid_ = nullptr;
};

}  // namespace quorvane
