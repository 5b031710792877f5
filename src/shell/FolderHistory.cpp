#include "shell/FolderHistory.h"

namespace quorvane {

void FolderHistory::Visit(const std::string& folder) {
  if (folder.empty() || (!entries_.empty() && entries_[at_] == folder)) return;
  if (!entries_.empty()) entries_.resize(at_ + 1);
  entries_.push_back(folder);
  if (entries_.size() > kMaxEntries) entries_.erase(entries_.begin());
  at_ = entries_.size() - 1;
}

std::string FolderHistory::GoBack() {
  if (!CanGoBack()) return {};
  return entries_[--at_];
}

std::string FolderHistory::GoForward() {
  if (!CanGoForward()) return {};
  return entries_[++at_];
}

}  // namespace quorvane
