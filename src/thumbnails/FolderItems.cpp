// Items, collections, the display filter and the view options.

#include "thumbnails/FolderItems.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "platform/FileNames.h"
#include "platform/PathAccess.h"

namespace quorvane {

namespace {

const std::string kEmpty;

bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }
unsigned char FoldAscii(unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + 32 : c; }

}  // namespace

std::string SizeText(int64_t size) {
  char text[40];
  std::snprintf(text, sizeof text, "%8lld%s", static_cast<long long>((size >> 10) + 1), "KB");
  std::string s = text;
  s.erase(0, s.find_first_not_of(' '));
  return s;
}

std::string DateText(int64_t mtime) {
  time_t t = time_t(mtime - (mtime % 2 + 2) % 2);  // down to 2 seconds, also before 1970
  struct tm local {};
  if (!localtime_r(&t, &local)) return {};
  char text[40];
  std::snprintf(text, sizeof text, "%04d/%02d/%02d %02d:%02d", local.tm_year + 1900,
                local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min);
  return text;
}

int CompareNatural(const std::string& a, const std::string& b) {
  size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    const unsigned char ca = a[i], cb = b[j];
    if (IsDigit(ca) && IsDigit(cb)) {
      // Compare the digit runs as numbers: skip leading zeros, then the longer run is
      // larger, then the first differing digit decides.
      size_t ei = i, ej = j;
      while (ei < a.size() && IsDigit(a[ei])) ++ei;
      while (ej < b.size() && IsDigit(b[ej])) ++ej;
      size_t si = i, sj = j;
      while (si + 1 < ei && a[si] == '0') ++si;
      while (sj + 1 < ej && b[sj] == '0') ++sj;
      if (ei - si != ej - sj) return ei - si < ej - sj ? -1 : 1;
      for (; si < ei; ++si, ++sj)
        if (a[si] != b[sj]) return a[si] < b[sj] ? -1 : 1;
      i = ei;
      j = ej;
      continue;
    }
    const unsigned char fa = FoldAscii(ca), fb = FoldAscii(cb);
    if (fa != fb) return fa < fb ? -1 : 1;
    ++i;
    ++j;
  }
  if (i < a.size()) return 1;
  if (j < b.size()) return -1;
  const int bytes = a.compare(b);
  return bytes < 0 ? -1 : (bytes > 0 ? 1 : 0);
}

bool IsValidFileName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find_first_of(std::string("/\0", 2)) == std::string::npos;
}

// ---------------------------------------------------------------- ShellItem

ShellItem::ShellItem(ShellItems* owner)
    : owner_(owner), number_(owner ? owner->counter_++ : 0) {}

ShellItem::~ShellItem() = default;

const std::string& ShellItem::FolderName() const { return folderName_ ? *folderName_ : kEmpty; }

const std::string& ShellItem::DisplayName() { return (loaded_ & kDisplay) ? displayName_ : name_; }

void ShellItem::SetDisplayName(const std::string& name) {
  displayName_ = name;
  loaded_ |= kDisplay;
}

const std::string& ShellItem::ParsingName() {
  if (!(loaded_ & kParsing)) {
    parsingName_ = hasId_ ? JoinPath(FolderName(), name_) : std::string();
    loaded_ |= kParsing;
  }
  return parsingName_;
}

int ShellItem::IconIndex() {
  if (!(loaded_ & kIcon) && hasId_) {
    ShellPlatform* platform = owner_ ? owner_->Platform() : nullptr;
    iconIndex_ = platform ? platform->IconIndex(ParsingName(), folder_) : -1;
    if (iconIndex_ >= 0) loaded_ |= kIcon;
  }
  return iconIndex_;
}

const std::string& ShellItem::TypeName() {
  if (!(loaded_ & kType) && hasId_) {
    ShellPlatform* platform = owner_ ? owner_->Platform() : nullptr;
    typeName_ = platform ? platform->TypeName(ParsingName(), folder_) : std::string();
    if (!typeName_.empty()) loaded_ |= kType;
  }
  return typeName_;
}

void ShellItem::LoadDetails() {
  if ((loaded_ & kDetails) || !hasId_) return;
  const std::string& path = ParsingName();
  struct stat st {};
  if (lstat(path.c_str(), &st) != 0) return;  // gone: asked again next time
  uint32_t attributes = 0;
  if (S_ISLNK(st.st_mode)) {
    attributes |= kAttrLink;
    struct stat target {};
    if (stat(path.c_str(), &target) == 0) st = target;  // a broken link reports itself
  }
  if (S_ISDIR(st.st_mode))
    attributes |= kAttrDirectory;
  else if (S_ISREG(st.st_mode))
    attributes |= kAttrArchive;
  else if (!S_ISLNK(st.st_mode))
    attributes |= kAttrSystem;
  if (!name_.empty() && name_[0] == '.') attributes |= kAttrHidden;
  if (access(path.c_str(), W_OK) != 0) attributes |= kAttrReadOnly;
  attributes_ = attributes;
  size_ = S_ISDIR(st.st_mode) ? 0 : int64_t(st.st_size);
  mtime_ = int64_t(st.st_mtime);
  sizeText_ = ::quorvane::SizeText(size_);
  if (dateText_.empty()) dateText_ = ::quorvane::DateText(mtime_);
  loaded_ |= kDetails;
}

int64_t ShellItem::Size() {
  LoadDetails();
  return size_;
}

const std::string& ShellItem::SizeText() {
  LoadDetails();
  return sizeText_;
}

const std::string& ShellItem::DateText() {
  LoadDetails();
  return dateText_;
}

int64_t ShellItem::ModifyTime() {
  LoadDetails();
  return mtime_;
}

uint32_t ShellItem::Attributes() {
  LoadDetails();
  return attributes_;
}

void ShellItem::Reset() {
  loaded_ = 0;
  typeName_.clear();
  sizeText_.clear();
  dateText_.clear();
  size_ = mtime_ = 0;
  attributes_ = 0;
  iconIndex_ = -1;
  takenState_ = 0;
}

void ShellItem::SetTakenTime(bool has, int64_t seconds) {
  takenState_ = has ? 2 : 1;
  taken_ = has ? seconds : 0;
}

FileKind ShellItem::ImageKind() {
  if (!(loaded_ & kKind)) {
    kind_ = GetImageKind();
    loaded_ |= kKind;
  }
  return kind_;
}

void ShellItem::SetImageKind(FileKind kind) {
  kind_ = kind;
  loaded_ |= kKind;
}

bool ShellItem::Rename(const std::string& NewName, std::string* error) {
  auto fail = [&](const std::string& why) {
    if (error) *error = why;
    return false;
  };
  if (!hasId_) return fail("no file");
  if (!IsValidFileName(NewName)) return fail("invalid name: \"" + NewName + "\"");
  if (NewName == name_) return true;
  const std::string target = JoinPath(FolderName(), NewName);
  const int err = RenameNoReplace(ParsingName(), target);
  if (err != 0)
    return fail(err == EEXIST ? "\"" + NewName + "\" already exists" : std::strerror(err));
  name_ = NewName;
  loaded_ &= uint8_t(~(kParsing | kDisplay));
  return true;
}

bool ShellItem::CanRename() { return hasId_ && access(FolderName().c_str(), W_OK) == 0; }

bool ShellItem::Open() {
  if (!hasId_ || !owner_) return false;
  if (folder_ && !owner_->IsFileMode()) {
    if (overlay_ == kOverlayLink) {
      // A link to a folder opens the folder it points at.
      char* target = realpath(ParsingName().c_str(), nullptr);
      if (!target) return false;
      const std::string resolved = target;
      std::free(target);
      return owner_->OpenFolderByPath(resolved);
    }
    // Opening the folder clears the collection, this item with it: work on copies.
    ShellItems* owner = owner_;
    const std::string path = ParsingName();
    return owner->OpenFolderByPath(path);
  }
  ShellPlatform* platform = owner_->Platform();
  if (!platform || ParsingName().empty()) return false;
  return platform->Execute(ParsingName());
}

// ---------------------------------------------------------------- GridItem

GridItem::GridItem(GridItems* owner) : ShellItem(owner) {}

GridItems* GridItem::Items() const { return static_cast<GridItems*>(Owner()); }

FileKind GridItem::GetImageKind() {
  if (IsFolder()) return iitDir;
  if (!HasIdList() || !Items() || IsSpecialFile()) return iitNone;
  return Items()->View().ViewImage().ImgUtil().ClassifyImageType(ParsingName());
}

void GridItem::SetDisplayName(const std::string& name) {
  ShellItem::SetDisplayName(name);
  if (Items() && Items()->View().Host()) Items()->View().Host()->RepaintItem(Index());
}

bool GridItem::GetThumbnail(Bitmap& out) {
  if (ThumbnailIndex < 0 || !Items()) return false;
  return Items()->View().Thumbnails().CopyCell(ThumbnailIndex, out);
}

void GridItem::SetThumbnail(const Bitmap& picture) {
  if (!Items()) return;
  PictureStore& list = Items()->View().Thumbnails();
  if (ThumbnailIndex < 0) {
    ThumbnailIndex = list.Add(picture);
    return;
  }
  int x = 0, y = 0;
  Bitmap* page = list.GetCellMutable(ThumbnailIndex, x, y);
  if (!page) return;
  const int w = std::min(picture.Width(), list.CellWidth());
  const int h = std::min(picture.Height(), list.CellHeight());
  for (int row = 0; row < h; ++row)
    std::memcpy(page->ScanLine(y + row) + size_t(x) * 3, picture.ScanLine(row), size_t(w) * 3);
}

// ---------------------------------------------------------------- ShellItems

ShellItems::ShellItems() = default;
ShellItems::~ShellItems() = default;

ShellItem* ShellItems::Item(int index) const {
  if (index < 0 || index >= Count()) return nullptr;
  return items_[size_t(index)].get();
}

ShellItem* ShellItems::ItemOfNumber(int32_t number) const {
  const int64_t slot = int64_t(number) - base_;
  if (slot < 0 || slot >= int64_t(byNumber_.size())) return nullptr;
  return byNumber_[size_t(slot)];
}

int ShellItems::IndexOfNumber(int32_t number) const {
  const ShellItem* item = ItemOfNumber(number);
  return item ? item->index_ : -1;
}

ShellItem* ShellItems::Append(std::unique_ptr<ShellItem> item) {
  ShellItem* raw = item.get();
  if (items_.empty() && byNumber_.empty()) base_ = raw->number_;
  const int64_t slot = int64_t(raw->number_) - base_;
  if (slot < 0) return nullptr;  // made before the last Clear: not one of ours
  if (slot >= int64_t(byNumber_.size())) byNumber_.resize(size_t(slot) + 1, nullptr);
  byNumber_[size_t(slot)] = raw;
  raw->index_ = Count();
  items_.push_back(std::move(item));
  return raw;
}

void ShellItems::Delete(int index) {
  ShellItem* item = Item(index);
  if (!item) return;
  byNumber_[size_t(item->number_ - base_)] = nullptr;
  items_.erase(items_.begin() + index);
  Reindex(index);
}

void ShellItems::Clear() {
  items_.clear();
  byNumber_.clear();
  base_ = counter_;
}

void ShellItems::Reindex(int from) {
  for (int i = from; i < Count(); ++i) items_[size_t(i)]->index_ = i;
}

void ShellItems::SortBy(const std::function<int(ShellItem&, ShellItem&)>& compare) {
  std::sort(items_.begin(), items_.end(),
            [&](const std::unique_ptr<ShellItem>& a, const std::unique_ptr<ShellItem>& b) {
              return compare(*a, *b) < 0;
            });
  Reindex(0);
}

// ---------------------------------------------------------------- GridItems

void GridItems::Clear() {
  if (view_.Host()) view_.Host()->CancelAllJobs();
  ShellItems::Clear();
  if (view_.Host()) view_.Host()->ItemsCleared();
}

void GridItems::Sort() {
  SortBy([this](ShellItem& a, ShellItem& b) { return view_.Compare(a, b); });
}

bool GridItems::IsFileMode() const { return view_.ViewMode() == ivmFile; }

std::string GridItems::FolderPath() const { return view_.Folder(); }

bool GridItems::NeedsThumbnail(int index) {
  GridItem* item = Items(index);
  return item && view_.ViewImage().NeedsThumbnail(item->ImageKind());
}

bool GridItems::OpenFolderByPath(const std::string& path) { return view_.OpenFolder(path); }

ShellPlatform* GridItems::Platform() const { return view_.Platform(); }

}  // namespace quorvane
