// The shown folder: enumeration, add by path, sort order, navigation and the storing
// of thumbnail results.

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <unordered_map>
#include <vector>

#include "platform/FileNames.h"
#include "thumbnails/FolderItems.h"

namespace quorvane {

namespace {

int64_t MtimeNs(const struct stat& st) {
  return int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
}

int Sign(int64_t v) { return v < 0 ? -1 : (v > 0 ? 1 : 0); }

// Folder flag of a directory entry: a folder, or a link to one. Answers false with
// `ok` cleared when the entry has vanished.
bool EntryIsFolder(const std::string& folder, const char* name, unsigned char type, bool& link,
                   bool& ok) {
  ok = true;
  link = false;
  if (type == DT_DIR) return true;
  if (type != DT_UNKNOWN && type != DT_LNK) return false;
  const std::string path = JoinPath(folder, name);
  struct stat st {};
  if (type == DT_UNKNOWN) {
    if (lstat(path.c_str(), &st) != 0) {
      ok = false;
      return false;
    }
    if (!S_ISLNK(st.st_mode)) return S_ISDIR(st.st_mode);
  }
  link = true;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);  // broken: a file
}

// A path in its plain form: absolute, not the root, no empty, "." or ".." parts.
bool IsPlainPath(const std::string& path) {
  if (path.size() < 2 || path[0] != '/' || path.back() == '/') return false;
  size_t start = 1;
  while (start <= path.size()) {
    size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    const std::string_view part(path.data() + start, end - start);
    if (part.empty() || part == "." || part == "..") return false;
    start = end + 1;
  }
  return true;
}

}  // namespace

ShellFolderView::ShellFolderView(ShellPlatform* platform, FolderViewHost* host)
    : platform_(platform), host_(host), items_(std::make_unique<GridItems>(*this)) {
  thumbnails_.SetCellWidth(viewImage_.ImageWidth());
  thumbnails_.SetCellHeight(viewImage_.ImageHeight());
  thumbnails_.SetBudget(kThumbnailBudget);
}

ShellFolderView::~ShellFolderView() = default;

std::string ShellFolderView::NormalFolder(const std::string& path) {
  if (path.empty() || path[0] != '/') return {};
  std::vector<std::string_view> parts;
  size_t start = 0;
  while (start < path.size()) {
    size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    const std::string_view part(path.data() + start, end - start);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    start = end + 1;
  }
  if (parts.empty()) return "/";
  std::string out;
  for (std::string_view part : parts) {
    out += '/';
    out += part;
  }
  return out;
}

std::shared_ptr<const std::string> ShellFolderView::FolderNameFor(const std::string& folder) {
  if (folderName_ && *folderName_ == folder) return folderName_;
  if (!lastFolderName_ || *lastFolderName_ != folder)
    lastFolderName_ = std::make_shared<const std::string>(folder);
  return lastFolderName_;
}

bool ShellFolderView::OpenFolder(const std::string& path) {
  if (viewMode_ == ivmFile) return false;
  const std::string folder = NormalFolder(path);
  if (folder.empty() || folder == folder_) return false;
  struct stat st {};
  if (stat(folder.c_str(), &st) != 0) return false;  // no such path: nothing changes
  if (host_) host_->FolderChanging();
  items_->Clear();
  if (!S_ISDIR(st.st_mode)) {
    if (host_) host_->FolderChangeFailed();
    return false;
  }
  folder_ = folder;
  folderName_ = std::make_shared<const std::string>(folder_);
  if (chdir(folder_.c_str()) != 0) {
    // Not being able to enter the folder only leaves the old current directory.
  }
  if (host_)
    host_->FolderChanged();
  else
    Refill();
  return true;
}

bool ShellFolderView::UpOneLevel() {
  if (folder_.empty() || folder_ == "/") return false;
  const std::string parent = ExtractFileDir(folder_);
  return OpenFolder(parent.empty() ? std::string(1, '/') : parent);
}

void ShellFolderView::Refill() {
  if (viewMode_ == ivmFile || folder_.empty()) return;
  items_->Clear();
  Enumerate();
  thumbnails_.Clear();
  Sort();
}

bool ShellFolderView::LookAheadOn() const {
  return host_ && viewImage_.LookAhead() && host_->ShowsThumbnails();
}

void ShellFolderView::Sort() {
  items_->Sort();
  OrderLookAhead();
}

void ShellFolderView::OrderLookAhead() {
  if (!LookAheadOn()) return;
  std::vector<int32_t> numbers;
  for (int i = 0; i < items_->Count(); ++i) {
    const GridItem& item = *items_->Items(i);
    if (!item.IsFolder() && item.HasIdList() && item.ThumbnailIndex < 0 && !item.Handled &&
        !item.LookedAhead)
      numbers.push_back(item.Number());
  }
  host_->OrderLookAhead(numbers);
}

void ShellFolderView::QueueLookAhead(GridItem& item) {
  if (item.IsFolder() || !LookAheadOn()) return;
  if (item.ThumbnailIndex < 0 && !item.Handled) host_->QueueThumbnail(item.Number(), false);
}

bool ShellFolderView::FilterTakes(const std::string& name, bool folder) const {
  const DisplayFilter& types = view_.DispTypes();
  if (!types.Hidden() && name[0] == '.') return false;
  if (folder ? !types.Folders() : !types.NonFolders()) return false;
  return folder || !types.Restrictive() || types.Match(name);
}

std::unique_ptr<GridItem> ShellFolderView::MakeItem(const DiskEntry& entry) {
  std::unique_ptr<GridItem> item = items_->NewItem();
  ShellItem& base = *item;
  base.name_ = entry.Name;
  base.folderName_ = folderName_;
  base.hasId_ = true;
  base.folder_ = entry.Folder;
  base.overlay_ = entry.Link ? kOverlayLink : kOverlayNone;
  base.ino_ = entry.Ino;
  return item;
}

bool ShellFolderView::Enumerate() {
  if (viewMode_ == ivmFile || folder_.empty()) return false;
  DIR* dir = opendir(folder_.c_str());
  if (!dir) return false;
  while (const dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    bool link = false, ok = true;
    const bool folder = EntryIsFolder(folder_, entry->d_name, entry->d_type, link, ok);
    if (!ok || !FilterTakes(name, folder)) continue;  // vanished while listed, or filtered
    std::unique_ptr<GridItem> item = MakeItem({name, uint64_t(entry->d_ino), folder, link});
    if (OnImgItemAdd) {
      bool allow = true;
      OnImgItemAdd(*this, *item, allow);
      if (!allow) continue;
    }
    // A handler that cleared the collection leaves an item from before: not added.
    if (GridItem* added = items_->Add(std::move(item))) QueueLookAhead(*added);
  }
  closedir(dir);
  return true;
}

GridItem* ShellFolderView::AddByPath(const std::string& path) {
  if (path.empty()) {
    // An empty item: no name, no folder.
    return items_->Add(items_->NewItem());
  }
  if (!IsPlainPath(path)) return nullptr;
  struct stat st {};
  if (lstat(path.c_str(), &st) != 0) return nullptr;
  bool link = S_ISLNK(st.st_mode);
  bool folder = S_ISDIR(st.st_mode);
  if (link) {
    struct stat target {};
    folder = stat(path.c_str(), &target) == 0 && S_ISDIR(target.st_mode);
  }
  std::unique_ptr<GridItem> item = items_->NewItem();
  ShellItem& base = *item;
  base.name_ = ExtractFileName(path);
  base.folderName_ = FolderNameFor(ExtractFileDir(path));
  base.hasId_ = true;
  base.folder_ = folder;
  base.overlay_ = link ? kOverlayLink : kOverlayNone;
  base.ino_ = uint64_t(st.st_ino);
  if (!folder) {
    struct stat target {};
    if (stat(path.c_str(), &target) == 0) {
      base.seenSize_ = int64_t(target.st_size);
      base.seenMtimeNs_ = MtimeNs(target);
    }
  }
  GridItem* added = items_->Add(std::move(item));
  QueueLookAhead(*added);
  return added;
}

int ShellFolderView::Compare(ShellItem& a, ShellItem& b) const {
  if (&a == &b) return 0;
  if (!a.HasIdList() || !b.HasIdList()) {
    if (!a.HasIdList() && !b.HasIdList()) return 0;
    return a.HasIdList() ? 1 : -1;
  }
  int result = 0;
  if (viewMode_ == ivmFile && sortType_ == istName) {
    const int c = a.DisplayName().compare(b.DisplayName());
    result = Sign(c);
  } else {
    if (a.IsFolder() != b.IsFolder()) {
      result = a.IsFolder() ? -1 : 1;
    } else {
      switch (sortType_) {
        case istName:
          break;
        case istSize:
          result = Sign(a.Size() - b.Size());
          break;
        case istType:
          result = CompareNatural(a.TypeName(), b.TypeName());
          break;
        case istDate:
          result = Sign(a.ModifyTime() - b.ModifyTime());
          break;
        case istAttr:
          result = Sign(int64_t(a.Attributes()) - int64_t(b.Attributes()));
          break;
        case istTaken:
          result = Sign(a.TakenTime() - b.TakenTime());
          break;
      }
      if (result == 0) result = CompareNatural(a.DisplayName(), b.DisplayName());
      // Items of different folders (added by path) with the same name: by folder.
      if (result == 0) result = Sign(a.FolderName().compare(b.FolderName()));
    }
  }
  return descend_ ? -result : result;
}

std::vector<std::string> ShellFolderView::SelectionPaths(const std::vector<int>& indexes) {
  std::vector<std::string> paths;
  if (indexes.empty()) {
    if (!folder_.empty()) paths.push_back(folder_);
    return paths;
  }
  for (int index : indexes) {
    GridItem* item = items_->Items(index);
    if (item && item->HasIdList()) paths.push_back(item->ParsingName());
  }
  return paths;
}

bool ShellFolderView::PrepareThumbnailJob(int32_t number, ThumbnailJob& job) {
  GridItem* item = items_->ItemByNumber(number);
  if (!item || item->Handled || item->LookedAhead || !item->HasIdList() ||
      !viewImage_.NeedsThumbnail(item->ImageKind()))
    return false;
  job.Number = number;
  job.Path = item->ParsingName();
  // The thumbnail shows the file as it is now: a later write is a change.
  struct stat st {};
  if (stat(job.Path.c_str(), &st) == 0) {
    item->seenSize_ = int64_t(st.st_size);
    item->seenMtimeNs_ = MtimeNs(st);
  }
  job.Kind = item->ImageKind();
  job.Width = DevicePixels(viewImage_.ImageWidth());
  job.Height = DevicePixels(viewImage_.ImageHeight());
  return true;
}

int ShellFolderView::StoreThumbnailResult(int32_t number, int result, const ThumbnailReader& loader,
                                           bool shown) {
  const int index = items_->IndexOfNumber(number);
  GridItem* item = items_->Items(index);
  if (!item) return -1;
  if (result == 0 && !item->Handled && !shown && viewImage_.LookAhead() && thumbnails_.Full()) {
    item->LookedAhead = true;  // made (and in the disk cache), not kept
  } else if (result == 0 && !item->Handled) {
    item->Handled = true;
    int32_t dropped = -1;
    const int cell = thumbnails_.Store(loader.Bitmap(), number, dropped);
    // The picture shown least recently made room; it is made again when shown again.
    // An owner that shows another cell by now keeps it.
    GridItem* gone = dropped == number ? nullptr : items_->ItemByNumber(dropped);
    item->ThumbnailIndex = cell;
    if (gone && gone->ThumbnailIndex == cell) {
      gone->ThumbnailIndex = -1;
      gone->Handled = false;
      gone->LookedAhead = viewImage_.LookAhead();
    }
    item->SourceWidth = loader.OrgWidth();
    item->SourceHeight = loader.OrgHeight();
  } else {
    item->SetImageKind(iitNone);
  }
  return index;
}

// ---------------------------------------------------------------- following the disk

// A file under a new name is the item's own only when it is the file last seen: a
// file system hands a freed inode number to the next new file, so the number alone
// does not say. A folder keeps its number for as long as it exists.
ShellFolderView::SeenState ShellFolderView::CompareSeen(const ShellItem& item,
                                                      const std::string& path) {
  if (item.IsFolder()) return SeenState::kSame;
  if (item.seenSize_ < 0) return SeenState::kUnknown;
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && item.seenSize_ == int64_t(st.st_size) &&
                 item.seenMtimeNs_ == MtimeNs(st)
             ? SeenState::kSame
             : SeenState::kOther;
}

ShellFolderView::MergePlan ShellFolderView::PlanMerge(
    const std::function<bool(const std::string& name)>& acceptFile) {
  MergePlan plan;
  if (viewMode_ == ivmFile || folder_.empty()) return plan;
  DIR* dir = opendir(folder_.c_str());
  if (!dir) return plan;  // unreadable now: keep what is shown
  std::unordered_map<std::string, std::pair<uint64_t, unsigned char>> onDisk;
  while (const dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..")
      onDisk.emplace(name, std::make_pair(uint64_t(entry->d_ino), entry->d_type));
  }
  closedir(dir);

  const auto Takes = [&](const std::string& name, bool folder) {
    return FilterTakes(name, folder) || (!folder && acceptFile && acceptFile(name));
  };
  // Items still on disk are kept (a file written since is changed); the others are
  // gone unless their file turns up under a new name.
  std::unordered_map<uint64_t, GridItem*> vanished;  // by inode
  for (int i = 0; i < items_->Count(); ++i) {
    GridItem* item = items_->Items(i);
    if (!item->HasIdList() || item->FolderName() != folder_) continue;
    const auto found = onDisk.find(item->Name());
    if (found == onDisk.end()) {
      if (item->ino_ != 0 && vanished.emplace(item->ino_, item).second) continue;
      plan.Remove.push_back(item->Number());
      continue;
    }
    // A file put in place of another (written beside it and renamed over it) is changed
    // even when it kept the size and time of the one it replaced.
    const uint64_t inoOnDisk = found->second.first;
    const bool replaced = item->ino_ != 0 && inoOnDisk != 0 && inoOnDisk != item->ino_;
    onDisk.erase(found);
    if (!Takes(item->Name(), item->IsFolder())) {  // the filter changed since
      plan.Remove.push_back(item->Number());
      continue;
    }
    if (item->IsFolder()) continue;
    struct stat st {};
    if (stat(item->ParsingName().c_str(), &st) != 0) continue;
    const int64_t mtime = MtimeNs(st);
    if (item->seenSize_ >= 0 &&
        (item->seenSize_ != int64_t(st.st_size) || item->seenMtimeNs_ != mtime || replaced))
      plan.Change.push_back(item->Number());
    if (inoOnDisk != 0) item->ino_ = inoOnDisk;
    item->seenSize_ = int64_t(st.st_size);
    item->seenMtimeNs_ = mtime;
  }

  // New names: a rename of a vanished item, or a new entry the filter takes.
  std::vector<std::string> names;
  names.reserve(onDisk.size());
  for (const auto& [name, info] : onDisk) names.push_back(name);
  std::sort(names.begin(), names.end());  // the same order whatever the hash does
  for (const std::string& name : names) {
    const auto [ino, type] = onDisk[name];
    bool link = false, ok = true;
    const bool folder = EntryIsFolder(folder_, name.c_str(), type, link, ok);
    if (!ok) continue;
    if (!Takes(name, folder)) continue;
    if (!FilterTakes(name, folder)) {
      struct stat st {};  // the host's files are regular files (or links to one)
      if (stat(JoinPath(folder_, name).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
    }
    const auto renamed = vanished.find(ino);
    const SeenState seen = renamed == vanished.end() || renamed->second->IsFolder() != folder
                           ? SeenState::kOther
                           : CompareSeen(*renamed->second, JoinPath(folder_, name));
    if (seen != SeenState::kOther) {
      plan.Rename.emplace_back(renamed->second->Number(), name);
      // A file never looked at keeps its place, but nothing known of it is trusted.
      if (seen == SeenState::kUnknown) plan.Change.push_back(renamed->second->Number());
      vanished.erase(renamed);
      continue;
    }
    plan.Add.push_back({name, ino, folder, link});
  }
  for (const auto& [ino, item] : vanished) plan.Remove.push_back(item->Number());
  return plan;
}

void ShellFolderView::ApplyRename(GridItem& item, const std::string& name) {
  ShellItem& base = item;
  base.name_ = name;
  // The type may follow the new extension; the thumbnail stays.
  base.loaded_ &= uint8_t(
      ~(ShellItem::kParsing | ShellItem::kDisplay | ShellItem::kType | ShellItem::kIcon));
}

void ShellFolderView::ForgetChanged(GridItem& item) {
  thumbnails_.Release(item.ThumbnailIndex);  // its picture is of the file as it was
  item.Reset();
  item.Handled = false;
  item.LookedAhead = false;
  item.ThumbnailIndex = -1;
  item.SourceWidth = item.SourceHeight = 0;
  QueueLookAhead(item);
}

GridItem* ShellFolderView::AddEntry(const DiskEntry& entry) {
  std::unique_ptr<GridItem> item = MakeItem(entry);
  if (!entry.Folder) {
    struct stat st {};
    if (stat(item->ParsingName().c_str(), &st) == 0) {
      item->seenSize_ = int64_t(st.st_size);
      item->seenMtimeNs_ = MtimeNs(st);
    }
  }
  if (OnImgItemAdd) {
    bool allow = true;
    OnImgItemAdd(*this, *item, allow);
    if (!allow) return nullptr;
  }
  GridItem* added = items_->Add(std::move(item));
  if (added) QueueLookAhead(*added);
  return added;
}

}  // namespace quorvane
