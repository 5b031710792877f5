#pragma once
// What the viewer needs from the list of pictures it steps through (the thumbnail grid
// in the program): the items in order, each a path and whether it is a folder, and which
// one is selected. The viewer only reads it.

#include <string>

namespace quorvane {

class ViewerSource {
 public:
  virtual ~ViewerSource() = default;
  virtual int ItemCount() const = 0;
  // Full path (UTF-8) of item `index`, 0 <= index < ItemCount().
  virtual std::string ItemPath(int index) const = 0;
  virtual bool ItemIsFolder(int index) const = 0;
  // Index of the selected item (the first selected in list order), -1 when none.
  virtual int SelectedIndex() const = 0;
};

}  // namespace quorvane
