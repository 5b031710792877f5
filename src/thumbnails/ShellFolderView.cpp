// The shown folder: enumeration, add by path, sort order, navigation and the storing
// of thumbnail results.

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

#include "platform/FileNames.h"
#include "thumbnails/ImgShare.h"

namespace quorvane {

namespace {

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

TShellFolderView::TShellFolderView(TShellPlatform* platform, TFolderViewHost* host)
    : platform_(platform), host_(host), items_(std::make_unique<TImgListItems>(*this)) {
  thumbnails_.SetCellWidth(viewImage_.ImageWidth());
  thumbnails_.SetCellHeight(viewImage_.ImageHeight());
  thumbnails_.SetBudget(kThumbnailBudget);
}

TShellFolderView::~TShellFolderView() = default;

std::string TShellFolderView::NormalFolder(const std::string& path) {
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

std::shared_ptr<const std::string> TShellFolderView::FolderNameFor(const std::string& folder) {
  if (folderName_ && *folderName_ == folder) return folderName_;
  if (!lastFolderName_ || *lastFolderName_ != folder)
    lastFolderName_ = std::make_shared<const std::string>(folder);
  return lastFolderName_;
}

bool TShellFolderView::OpenFolder(const std::string& path) {
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

bool TShellFolderView::UpOneLevel() {
  if (folder_.empty() || folder_ == "/") return false;
  const std::string parent = ExtractFileDir(folder_);
  return OpenFolder(parent.empty() ? std::string(1, '/') : parent);
}

void TShellFolderView::Refill() {
  if (viewMode_ == ivmFile || folder_.empty()) return;
  items_->Clear();
  Enumerate();
  thumbnails_.Clear();
  Sort();
}

void TShellFolderView::QueueLookAhead(TImgListItem& item) {
  if (item.IsFolder() || !host_ || !viewImage_.LookAhead() || !host_->ShowsThumbnails()) return;
  if (item.ThumbnailIndex < 0 && !item.Handled) host_->QueueThumbnail(item.Number(), false);
}

bool TShellFolderView::Enumerate() {
  if (viewMode_ == ivmFile || folder_.empty()) return false;
  DIR* dir = opendir(folder_.c_str());
  if (!dir) return false;
  const TDispTypes& types = view_.DispTypes();
  const bool restrictive = types.Restrictive();
  while (const dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    if (!types.Hidden() && name[0] == '.') continue;
    bool link = false, ok = true;
    const bool folder = EntryIsFolder(folder_, entry->d_name, entry->d_type, link, ok);
    if (!ok) continue;  // vanished while being listed
    if (folder ? !types.Folders() : !types.NonFolders()) continue;
    if (restrictive && !folder && !types.Match(name)) continue;

    std::unique_ptr<TImgListItem> item = items_->NewItem();
    TShellItem& base = *item;
    base.name_ = name;
    base.folderName_ = folderName_;
    base.hasId_ = true;
    base.folder_ = folder;
    base.overlay_ = link ? kOverlayLink : kOverlayNone;
    if (OnImgItemAdd) {
      bool allow = true;
      OnImgItemAdd(*this, *item, allow);
      if (!allow) continue;
    }
    // A handler that cleared the collection leaves an item from before: not added.
    if (TImgListItem* added = items_->Add(std::move(item))) QueueLookAhead(*added);
  }
  closedir(dir);
  return true;
}

TImgListItem* TShellFolderView::AddByPath(const std::string& path) {
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
  std::unique_ptr<TImgListItem> item = items_->NewItem();
  TShellItem& base = *item;
  base.name_ = ExtractFileName(path);
  base.folderName_ = FolderNameFor(ExtractFileDir(path));
  base.hasId_ = true;
  base.folder_ = folder;
  base.overlay_ = link ? kOverlayLink : kOverlayNone;
  TImgListItem* added = items_->Add(std::move(item));
  QueueLookAhead(*added);
  return added;
}

int TShellFolderView::Compare(TShellItem& a, TShellItem& b) const {
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
      }
      if (result == 0) result = CompareNatural(a.DisplayName(), b.DisplayName());
      // Items of different folders (added by path) with the same name: by folder.
      if (result == 0) result = Sign(a.FolderName().compare(b.FolderName()));
    }
  }
  return descend_ ? -result : result;
}

std::vector<std::string> TShellFolderView::SelectionPaths(const std::vector<int>& indexes) {
  std::vector<std::string> paths;
  if (indexes.empty()) {
    if (!folder_.empty()) paths.push_back(folder_);
    return paths;
  }
  for (int index : indexes) {
    TImgListItem* item = items_->Items(index);
    if (item && item->HasIdList()) paths.push_back(item->ParsingName());
  }
  return paths;
}

bool TShellFolderView::PrepareThumbnailJob(int32_t number, TThumbnailJob& job) {
  TImgListItem* item = items_->ItemByNumber(number);
  if (!item || item->Handled || !item->HasIdList() || !viewImage_.NeedsThumbnail(item->ImageKind()))
    return false;
  job.Number = number;
  job.Path = item->ParsingName();
  job.Kind = item->ImageKind();
  job.Width = viewImage_.ImageWidth();
  job.Height = viewImage_.ImageHeight();
  return true;
}

int TShellFolderView::StoreThumbnailResult(int32_t number, int result, const TImgUtil& loader) {
  const int index = items_->IndexOfNumber(number);
  TImgListItem* item = items_->Items(index);
  if (!item) return -1;
  if (result == 0 && !item->Handled) {
    item->Handled = true;
    int32_t dropped = -1;
    item->ThumbnailIndex = thumbnails_.Store(loader.Bitmap(), number, dropped);
    // The picture shown least recently made room; it is made again when shown again.
    if (TImgListItem* gone = items_->ItemByNumber(dropped)) {
      gone->ThumbnailIndex = -1;
      gone->Handled = false;
    }
    item->SourceWidth = loader.OrgWidth();
    item->SourceHeight = loader.OrgHeight();
  } else {
    item->SetImageKind(iitNone);
  }
  return index;
}

}  // namespace quorvane
