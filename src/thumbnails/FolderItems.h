#pragma once
// The thumbnail browser's item model over the file system.
//
// - ShellItem / GridItem: one entry of the grid (a file or a folder), keyed by a
//   serial number that its collection never reuses, with details (display name, full
//   path, icon index, type name, size, date, attributes) read lazily and cached.
// - ShellItems / GridItems: the owning collection, with constant-time lookup of
//   an item by its number.
// - the display filter and view options: ViewOptions.h.
// - ShellFolderView: the folder the grid shows and everything around it that needs
//   no GUI: enumeration, add by path, sort, navigation, rename and open. The Qt view
//   (ImgListView) owns one and implements FolderViewHost to hear about its steps.
//
// Paths are absolute UTF-8 (or whatever bytes the file system holds), without a
// trailing "/" except the root "/". Everything here runs on the user-interface thread;
// a thumbnail worker never touches items or collections.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "imaging/Bitmap.h"
#include "thumbnails/PictureStore.h"
#include "thumbnails/ThumbnailReader.h"
#include "thumbnails/ThumbnailContext.h"
#include "thumbnails/ViewOptions.h"

namespace quorvane {

// Sort keys (the ordinal is the detail column of the original shell).
// istTaken: when the picture was taken, the modification time standing in until that
// is known and for a file without one.
enum SortKind { istName, istSize, istType, istDate, istAttr, istTaken };
// ivmFolder: the enumerated children of one folder; ivmFile: files the host adds.
enum FolderViewMode { ivmFolder, ivmFile };

// File attributes, as the item reports them (the values of the Windows attribute word,
// so that an attribute sort orders them the same way).
constexpr uint32_t kAttrReadOnly = 0x01;   // no write permission for the user
constexpr uint32_t kAttrHidden = 0x02;     // a name beginning with "."
constexpr uint32_t kAttrSystem = 0x04;     // a FIFO, socket or device: never opened
constexpr uint32_t kAttrDirectory = 0x10;  // a folder (or a link to one)
constexpr uint32_t kAttrArchive = 0x20;    // a regular file
constexpr uint32_t kAttrLink = 0x400;      // a symbolic link

// Overlay numbers.
constexpr int kOverlayNone = -1;
constexpr int kOverlayShare = 0;  // never set on this platform
constexpr int kOverlayLink = 1;

// What items need from the platform layer (the Qt layer implements it with the icon
// theme, QMimeDatabase and xdg-open). Every call may fail; items then keep the detail
// empty (or -1) and ask again next time.
class ShellPlatform {
 public:
  virtual ~ShellPlatform() = default;
  // Index of the item's icon in the platform's icon table, -1 when none.
  virtual int IconIndex(const std::string& Path, bool Folder) = 0;
  // The type name shown in the report view ("JPEG image"); "" when unknown.
  virtual std::string TypeName(const std::string& Path, bool Folder) = 0;
  // Opens a file with its default application; false when that could not be started.
  virtual bool Execute(const std::string& Path) = 0;
};

class ShellItems;
class GridItems;
class ShellFolderView;

// What a thumbnail worker needs about its item, captured on the user-interface thread:
// the worker never reads the collection.
struct ThumbnailJob {
  int32_t Number = -1;
  std::string Path;  // the item's full path
  FileKind Kind = iitNone;
  int Width = 94, Height = 94;  // the thumbnail box
};

// The size text of a file: "%8d%s" with (size shifted right by 10) + 1 and "KB", with
// the blanks trimmed ("1KB" for 0 and 1,023 bytes, "2KB" for 1,024). The whole 64-bit
// size counts.
std::string SizeText(int64_t size);
// "yyyy/mm/dd hh:nn" of a modification time (seconds since the epoch), in local time,
// rounded down to 2 seconds first.
std::string DateText(int64_t mtime);
// Natural order of names: case-insensitive, digit runs compared as numbers ("img2"
// before "img10"), byte order as the tie-break. <0, 0, >0.
int CompareNatural(const std::string& a, const std::string& b);
// True when a text may be used as a new file name in a folder: not empty, not "." or
// "..", no "/" and no NUL.
bool IsValidFileName(const std::string& name);

class ShellItem {
 public:
  virtual ~ShellItem();
  ShellItem(const ShellItem&) = delete;
  ShellItem& operator=(const ShellItem&) = delete;

  ShellItems* Owner() const { return owner_; }
  // Serial number, unique for the collection's lifetime.
  int32_t Number() const { return number_; }
  // The item's position in its collection (kept up to date by append, sort, delete).
  int Index() const { return index_; }
  // False only for the empty item that add by path makes from an empty path.
  bool HasIdList() const { return hasId_; }
  // The name within its folder (the relative ID list).
  const std::string& Name() const { return name_; }
  // The folder that holds the item ("" for the empty item).
  const std::string& FolderName() const;

  // ---- details, read on first use and cached ----
  const std::string& DisplayName();
  const std::string& ParsingName();  // the full path
  int IconIndex();                   // -1 when the platform has none
  const std::string& TypeName();
  int64_t Size();  // bytes (a link reports its target's size)
  const std::string& SizeText();
  const std::string& DateText();
  int64_t ModifyTime();  // seconds since the epoch
  uint32_t Attributes();
  bool IsFolder() const { return folder_; }
  int Overlay() const { return overlay_; }
  // A FIFO, socket or device: listed, never opened.
  bool IsSpecialFile() { return (Attributes() & kAttrSystem) != 0; }
  // Forgets every cached detail, so each is asked again.
  void Reset();

  // The image kind (iitDir for a folder, else the loader's classification; iitNone for
  // special files). Cached.
  FileKind ImageKind();
  // Sets the kind and marks it known (a failed thumbnail turns it to iitNone).
  void SetImageKind(FileKind kind);

  virtual void SetDisplayName(const std::string& name);
  // The item's thumbnail picture; false when it has none.
  virtual bool GetThumbnail(Bitmap& out) = 0;
  // Stores a thumbnail picture (a new cell, or over the existing one).
  virtual void SetThumbnail(const Bitmap& picture) = 0;

  // Renames the file on disk. Refuses an invalid name (IsValidFileName) and a name that
  // already exists in the folder; on failure the old name stays and `error` (when
  // given) says why. On success the name, parsing name and display name follow.
  bool Rename(const std::string& NewName, std::string* error = nullptr);
  // True when the item may be renamed (its folder is writable).
  bool CanRename();
  // The default action: a folder (or a link to one) opens in the view; anything else is
  // executed by the platform (xdg-open). False when nothing could be done.
  bool Open();

  // When the picture was taken, seconds since the epoch: set by the view once read
  // (`has` false: the file has no such date). Until then, and without one, the
  // modification time.
  void SetTakenTime(bool has, int64_t seconds);
  bool TakenKnown() const { return takenState_ != 0; }
  int64_t TakenTime() { return takenState_ == 2 ? taken_ : ModifyTime(); }

  // ---- fields the view fills ----
  int SourceWidth = 0, SourceHeight = 0;  // the source picture's size
  int ThumbnailIndex = -1;                // cell in the view's thumbnail list
  int IconPictureIndex = -1;              // cell in the view's icon picture list

 protected:
  explicit ShellItem(ShellItems* owner);
  virtual FileKind GetImageKind() = 0;

 private:
  friend class ShellItems;
  friend class ShellFolderView;
  void LoadDetails();

  enum Loaded : uint8_t {
    kParsing = 1,
    kIcon = 2,
    kType = 4,
    kDetails = 8,
    kDisplay = 16,
    kKind = 32,
  };

  ShellItems* owner_;
  std::shared_ptr<const std::string> folderName_;  // shared by the items of one folder
  std::string name_;
  std::string displayName_, parsingName_, typeName_, sizeText_, dateText_;
  int64_t size_ = 0, mtime_ = 0;
  int32_t number_ = 0;
  int index_ = -1;
  uint32_t attributes_ = 0;
  int iconIndex_ = -1;
  int overlay_ = kOverlayNone;
  // The file as last seen on disk (inode 0: not known): a rename keeps the inode, a
  // write changes the size or the modification time.
  uint64_t ino_ = 0;
  int64_t seenSize_ = -1, seenMtimeNs_ = 0;
  bool hasId_ = false;
  bool folder_ = false;
  FileKind kind_ = iitNone;
  uint8_t loaded_ = 0;
  uint8_t takenState_ = 0;  // 0 not read, 1 none, 2 taken_ holds it
  int64_t taken_ = 0;
};

class GridItem : public ShellItem {
 public:
  explicit GridItem(GridItems* owner);
  // Set once the thumbnail is stored or the cell was drawn with the icon; a handled
  // item is never queued again.
  bool Handled = false;
  // With look-ahead on, its thumbnail was made but is not kept (the store was full and
  // its cell not on screen, or its picture made room for one on screen): no job is
  // started for it until its cell is shown again, which clears the flag.
  bool LookedAhead = false;

  void SetDisplayName(const std::string& name) override;
  bool GetThumbnail(Bitmap& out) override;
  void SetThumbnail(const Bitmap& picture) override;

 protected:
  FileKind GetImageKind() override;

 private:
  GridItems* Items() const;
};

// The owning list of items. Item access outside 0..Count()-1 answers null.
class ShellItems {
 public:
  ShellItems();
  virtual ~ShellItems();
  ShellItems(const ShellItems&) = delete;
  ShellItems& operator=(const ShellItems&) = delete;

  int Count() const { return int(items_.size()); }
  ShellItem* Item(int index) const;
  // Index of the item with that number, -1 when none (constant time).
  virtual int IndexOfNumber(int32_t number) const;
  ShellItem* ItemOfNumber(int32_t number) const;
  // Frees the item at the index; the later items move up.
  virtual void Delete(int index);
  // Deletes every item. The serial counter is not reset.
  virtual void Clear();
  // The next serial number (0 at creation).
  int32_t Counter() const { return counter_; }

  virtual bool IsFileMode() const = 0;
  // The folder the items belong to (in folder mode).
  virtual std::string FolderPath() const = 0;
  virtual bool NeedsThumbnail(int index) = 0;
  virtual bool OpenFolderByPath(const std::string& path) = 0;
  // Where items get their icons and type names, and how files are executed.
  virtual ShellPlatform* Platform() const { return nullptr; }

 protected:
  // Takes the item (numbered when it was made) into the list at the end.
  ShellItem* Append(std::unique_ptr<ShellItem> item);
  // Reorders the list by a comparison (<0, 0, >0) and renumbers positions.
  void SortBy(const std::function<int(ShellItem&, ShellItem&)>& compare);

 private:
  friend class ShellItem;
  void Reindex(int from);
  std::vector<std::unique_ptr<ShellItem>> items_;
  // Items by number - base_: numbers are handed out in order, so a plain vector is a
  // constant-time map (slots of deleted items are null).
  std::vector<ShellItem*> byNumber_;
  int32_t base_ = 0;
  int32_t counter_ = 0;
};

// The grid's collection: items of one ShellFolderView.
class GridItems : public ShellItems {
 public:
  explicit GridItems(ShellFolderView& view) : view_(view) {}

  ShellFolderView& View() const { return view_; }
  GridItem* Items(int index) const { return static_cast<GridItem*>(Item(index)); }
  GridItem* ItemByNumber(int32_t number) const {
    return static_cast<GridItem*>(ItemOfNumber(number));
  }
  // Cancels all thumbnail jobs (through the view's host) first, then empties the list
  // and tells the host that it now shows no items.
  void Clear() override;
  // Makes a new item with the next number, not yet in the list.
  std::unique_ptr<GridItem> NewItem() { return std::make_unique<GridItem>(this); }
  // Takes a new item into the list at the end.
  GridItem* Add(std::unique_ptr<GridItem> item) {
    return static_cast<GridItem*>(Append(std::move(item)));
  }
  // Sorts by the view's SortType and Descend.
  void Sort();

  bool IsFileMode() const override;
  std::string FolderPath() const override;
  // The item's kind is not an icon kind and is in the view's ViewImage.DispImage.
  bool NeedsThumbnail(int index) override;
  bool OpenFolderByPath(const std::string& path) override;
  ShellPlatform* Platform() const override;

 private:
  friend class ShellFolderView;
  ShellFolderView& view_;
};

// What the view (ImgListView) does around the model's steps. Every method has a do-
// nothing default so that tests and tools can run the model alone.
class FolderViewHost {
 public:
  virtual ~FolderViewHost() = default;
  // Before the collection is cleared: cancel every thumbnail job.
  virtual void CancelAllJobs() {}
  // The collection was emptied: the view shows no items now.
  virtual void ItemsCleared() {}
  // A new folder is about to be shown: stop change notification, scroll to the origin.
  virtual void FolderChanging() {}
  // The new folder could not be opened (the view stays empty): resume notification for
  // the folder still current.
  virtual void FolderChangeFailed() {}
  // The new folder is current: refill the view (its own refill calls
  // ShellFolderView::Refill) and resume change notification for it. A host must
  // refill here: the model does not list the new folder by itself when it has a host.
  virtual void FolderChanged() {}
  // An item's display changed (its display name).
  virtual void RepaintItem(int index) { (void)index; }
  // Whether cells show thumbnails (IconStyle = iisImage); look-ahead queues only then.
  virtual bool ShowsThumbnails() const { return true; }
  // Queues an item's number for a thumbnail (look-ahead queues it not urgent).
  virtual void QueueThumbnail(int32_t number, bool urgent) {
    (void)number;
    (void)urgent;
  }
  // Look-ahead in the grid's order: every file still without a thumbnail, from the top
  // (ImgThreads::OrderLookAhead). A host without it keeps the order of QueueThumbnail.
  virtual void OrderLookAhead(const std::vector<int32_t>& numbers) { (void)numbers; }
};

// The model side of the thumbnail grid: the shown folder, its items, the filter and
// view options, the shared loader (ViewImage) and the thumbnail picture store.
class ShellFolderView {
 public:
  explicit ShellFolderView(ShellPlatform* platform = nullptr, FolderViewHost* host = nullptr);
  ~ShellFolderView();
  ShellFolderView(const ShellFolderView&) = delete;
  ShellFolderView& operator=(const ShellFolderView&) = delete;

  GridItems& Items() { return *items_; }
  const GridItems& Items() const { return *items_; }
  ViewOptions& View() { return view_; }
  ThumbnailContext& ViewImage() { return viewImage_; }
  // The store of finished thumbnails (cells of ImageWidth x ImageHeight), at most
  // kThumbnailBudget bytes of them unless changed: storing past it drops the picture
  // shown least recently, whose item is made again when it is shown again.
  PictureStore& Thumbnails() { return thumbnails_; }
  // Device pixels per point of the screen the grid shows on: thumbnails are made and
  // stored at ImageWidth x ImageHeight times this (a 94-point cell gets 188 pixels at 2).
  double DeviceScale() const { return deviceScale_; }
  void SetDeviceScale(double value) { deviceScale_ = value >= 1 ? value : 1; }
  int DevicePixels(int points) const { return int(points * deviceScale_ + 0.5); }
  static constexpr size_t kThumbnailBudget = size_t(64) << 20;
  ShellPlatform* Platform() const { return platform_; }
  void SetPlatform(ShellPlatform* platform) { platform_ = platform; }
  FolderViewHost* Host() const { return host_; }
  void SetHost(FolderViewHost* host) { host_ = host; }

  FolderViewMode ViewMode() const { return viewMode_; }
  // Only stores the mode; the view reacts to the change (opens the folder or empties).
  void SetViewMode(FolderViewMode value) { viewMode_ = value; }
  SortKind SortType() const { return sortType_; }
  void SetSortType(SortKind value) { sortType_ = value; }  // the view sorts after
  bool Descend() const { return descend_; }
  void SetDescend(bool value) { descend_ = value; }

  // Called for every item that enumeration finds; AllowAdd false drops it.
  std::function<void(ShellFolderView& Sender, GridItem& ImgItem, bool& AllowAdd)> OnImgItemAdd;

  // ---- navigation (folder mode only; nothing happens in file mode) ----
  // The shown folder ("" until one is opened).
  const std::string& Folder() const { return folder_; }
  // The folder path as shown to the user.
  std::string FolderPath() const { return folder_; }
  // Opens a folder: answers true when it became the shown folder. The same folder
  // again, a path that is not an existing folder, or file mode: false and nothing
  // changes (except that a folder that cannot be read leaves the view empty). The
  // opened folder becomes the process's current directory.
  bool OpenFolder(const std::string& path);
  // Opens the parent folder; nothing at "/".
  bool UpOneLevel();

  // ---- items ----
  // Clears the collection and enumerates the shown folder, then sorts (folder mode).
  void Refill();
  // Enumerates the shown folder into the (emptied) collection; no sort. Answers false
  // when the folder cannot be read (the collection stays empty).
  bool Enumerate();
  // Adds one item for a full path: an empty path gives an empty item; otherwise only a
  // path that exists and is written in its plain form (absolute, no "." or ".." parts,
  // no doubled or trailing "/") gives an item. No sort, no OnImgItemAdd.
  GridItem* AddByPath(const std::string& path);
  // Sorts by SortType and Descend, and puts look-ahead into the new order.
  void Sort();
  // With look-ahead on and thumbnails shown: hands the host the files still without a
  // thumbnail (not handled, not looked ahead), in the collection's order.
  void OrderLookAhead();

  // ---- following the disk ----
  // An entry of the shown folder that the collection lacks.
  struct DiskEntry {
    std::string Name;
    uint64_t Ino = 0;
    bool Folder = false, Link = false;
  };
  // How the collection differs from the shown folder on disk.
  struct MergePlan {
    std::vector<int32_t> Remove;                          // items gone from the disk
    std::vector<std::pair<int32_t, std::string>> Rename;  // kept items, now under this name
    std::vector<int32_t> Change;                          // files written since last seen
    std::vector<DiskEntry> Add;                          // new entries the filter takes
    bool Empty() const { return Remove.empty() && Rename.empty() && Change.empty() && Add.empty(); }
  };
  // Reads the shown folder and compares it with the collection; only items of the shown
  // folder take part. Entries come in as enumeration takes them (the display filter),
  // and files the filter leaves out also when `acceptFile` (given the name) takes them.
  // A file has changed when its size or modification time differs from when it was last
  // seen; a vanished name whose file (inode) reappears under a new name with the size
  // and modification time last seen is a rename, with other ones a removal and a new
  // file (the file system reused the number); a file whose size was never looked at is
  // renamed and changed. Changes nothing.
  MergePlan PlanMerge(const std::function<bool(const std::string& name)>& acceptFile);
  // A kept item under its new name (its thumbnail stays: the file is the same).
  void ApplyRename(GridItem& item, const std::string& name);
  // A changed file: its details and its thumbnail are made again.
  void ForgetChanged(GridItem& item);
  // Adds an item for a new entry at the end; null when OnImgItemAdd refuses it.
  GridItem* AddEntry(const DiskEntry& entry);
  // Compares two items in the view's order (<0, 0, >0).
  int Compare(ShellItem& a, ShellItem& b) const;
  // The full paths of the items at the given indexes (the selection, for drag and drop,
  // the clipboard and the context menu), skipping indexes without an item and the empty
  // item; with no index at all, the shown folder alone.
  std::vector<std::string> SelectionPaths(const std::vector<int>& indexes);

  // Fills a thumbnail job for the item with that number when it still wants one: it
  // exists, is not handled, and its kind needs a thumbnail (the kind is classified here,
  // on the user-interface thread). The box is ViewImage's.
  bool PrepareThumbnailJob(int32_t number, ThumbnailJob& job);
  // Stores the result of a thumbnail job for the item with that number: on success (0)
  // the loader's picture goes into the thumbnail store, the item is marked handled and
  // takes the source size; any failure, or a result for an item already handled, turns
  // its kind to iitNone. With look-ahead on, a picture of a cell that is not `shown`
  // (on screen) is not kept once the store is full: the item is marked LookedAhead
  // instead, so that it never pushes out a picture on screen. Answers the item's index,
  // -1 when it is gone.
  int StoreThumbnailResult(int32_t number, int result, const ThumbnailReader& loader,
                           bool shown = true);

 private:
  friend class GridItems;
  friend class GridItem;
  friend class ShellItem;
  static std::string NormalFolder(const std::string& path);
  // How a file under a new name compares with the item's file as last seen.
  enum class SeenState { kSame, kOther, kUnknown };
  static SeenState CompareSeen(const ShellItem& item, const std::string& path);
  bool LookAheadOn() const;
  void QueueLookAhead(GridItem& item);
  std::unique_ptr<GridItem> MakeItem(const DiskEntry& entry);
  // Whether enumeration takes an entry by the display filter.
  bool FilterTakes(const std::string& name, bool folder) const;
  std::shared_ptr<const std::string> FolderNameFor(const std::string& folder);
  std::shared_ptr<const std::string> lastFolderName_;  // of the last add by path

  ShellPlatform* platform_;
  FolderViewHost* host_;
  ViewOptions view_;
  ThumbnailContext viewImage_;
  PictureStore thumbnails_;
  std::unique_ptr<GridItems> items_;
  std::string folder_;
  std::shared_ptr<const std::string> folderName_;  // folder_ shared with its items
  FolderViewMode viewMode_ = ivmFolder;
  SortKind sortType_ = istName;
  double deviceScale_ = 1;
  bool descend_ = false;
};

}  // namespace quorvane
