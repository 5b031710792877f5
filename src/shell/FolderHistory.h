#pragma once
// The folders visited in the main window, for Back and Forward as in a web browser: a
// new folder drops the ones ahead of the current one; going back and forward moves
// along the list without changing it.

#include <cstddef>
#include <string>
#include <vector>

namespace quorvane {

class FolderHistory {
 public:
  static constexpr size_t kMaxEntries = 100;

  // The folder now shown. The current one again changes nothing (so the arrival at a
  // folder reached by Back or Forward is no new visit).
  void Visit(const std::string& folder);
  bool CanGoBack() const { return at_ > 0; }
  bool CanGoForward() const { return at_ + 1 < entries_.size(); }
  // Moves one step and answers the folder there ("" when there is none that way).
  std::string GoBack();
  std::string GoForward();
  // "" before the first visit.
  std::string Current() const { return entries_.empty() ? std::string() : entries_[at_]; }

 private:
  std::vector<std::string> entries_;
  size_t at_ = 0;
};

}  // namespace quorvane
