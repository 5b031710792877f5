#pragma once
// ImgListView: the thumbnail grid of the main window.
//
// A QListView over ImgListModel (owner data: the model reads the item collection and
// copies nothing per item). It shows the items of one folder (ShellFolderView) as
// thumbnail cells (IconStyle iisImage), large icons (iisIcon) or small icons
// (iisSmallIcon), in the icon, small-icon, list or report style (ViewStyle); the report
// style shows the four columns "名前", "サイズ", "ファイルの種類", "更新日時" under a
// header whose clicks sort. Thumbnails are made in the background by the job queue
// (FileImage), what is painted last first. The view watches its folder
// (ShellChangeNotification) and merges each burst of changes into its items (Rescan),
// holding merges while the program's BusyFlag is set. Keys: incremental find, F2
// rename, Delete (trash), Ctrl+A, Ctrl+C, Ctrl+X, Ctrl+V, Ctrl+I. It is a drag source
// and a drop target for file lists (as Linux file managers exchange them); paste and
// drop transfer on a worker (TransferFiles). It has the merged context menu of
// ImgListViewPopupMenu, and a menu of its own on empty space (paste, new folder).
//
// For the host (the main window):
// - navigation: OpenFolder(path), UpOneLevel(), FolderPath();
// - the folder's contents: Refresh() (re-read the folder), Rescan() (merge the changes
//   on disk), AppendPaths(paths),
//   Clear() (Refresh shows the folder again), SetPaused(on/off) (thumbnail
//   generation held);
// - items: Count(), Item(index) (ParsingName(), IsFolder()), SelectedIndexes() and
//   SelectedItems() in grid order, Selected() (the first selected in grid order);
// - the codec plug-in: InstallPlugin(&pictureLoader) puts it into ViewImage().ImgUtil();
// - the context menu: ImgPopupMenu().PopupMenu = the host's QMenu;
// - events: the std::function members below (OnChangeFolder, OnChanging,
//   OnImageLoad, OnImageLoaded, OnImgItemAdd, OnDblClick, OnKeyPress, the drag hooks
//   and OnFileError). Each may be left empty.

#include <QElapsedTimer>
#include <QListView>
#include <QPointer>
#include <QTimer>
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "platform/FileOps.h"
#include "thumbnails/ImgCell.h"
#include "thumbnails/PictureStore.h"
#include "thumbnails/TakenDates.h"
#include "thumbnails/FolderItems.h"
#include "thumbnails/ui/ImgListViewMenu.h"
#include "thumbnails/ui/ImgPlatformQt.h"
#include "thumbnails/ui/ImgThreads.h"
#include "thumbnails/ui/ShellChangeNotification.h"
#include "thumbnails/ui/ShellPlatformQt.h"

class QHeaderView;
class QKeyEvent;
class QMenu;
class QProgressDialog;

namespace quorvane {

class ImgListModel;
class ImgListDelegate;
class ImagePlugin;
class ImgListView;

// Watches the grid's work as it happens, for timing (the benchmark's trace is one: see
// ThumbnailTrace.h). Every call comes on the GUI thread.
class ImgListViewObserver {
 public:
  virtual ~ImgListViewObserver() = default;
  // OpenFolder begins.
  virtual void FolderOpening(ImgListView& view) = 0;
  // A thumbnail job's result was stored and its cell asked to repaint (result 0: made).
  virtual void ThumbnailStored(ImgListView& view, const GridItem& item, int result) = 0;
  // The result of the last queued job was taken: the queue is idle.
  virtual void QueueDrained(ImgListView& view) = 0;
  // A key press reached the grid, before the grid acts on it.
  virtual void KeyPressed(ImgListView& view, const QKeyEvent& e) = 0;
  // The grid finished a paint of its viewport.
  virtual void Painted(ImgListView& view) = 0;
};

enum IconStyleKind { iisIcon, iisSmallIcon, iisImage };
enum ViewStyleKind { vsIcon, vsSmallIcon, vsList, vsReport };
// Find kinds: partial = the display name contains the text; exact = it begins with it.
enum FindKind { ifkPartial, ifkExact };

class ImgListView : public QListView, public FolderViewHost, public ThumbnailJobHost {
  Q_OBJECT
 public:
  explicit ImgListView(QWidget* parent = nullptr);
  ~ImgListView() override;

  // ---- settings ----
  ThumbnailContext& ViewImage() { return folder_.ViewImage(); }
  ViewOptions& View() { return folder_.View(); }
  DefaultExecSettings& DefaultExec() { return defaultExec_; }
  ImgListViewPopupMenu& ImgPopupMenu() { return popupMenu_; }
  FolderChangeNotifier& ShellChangeNotification() { return *notification_; }
  ShellFolderView& FolderView() { return folder_; }
  QtShellPlatform& Platform() { return platform_; }
  QtIconProvider& IconProvider() { return iconProvider_; }

  IconStyleKind IconStyle() const { return iconStyle_; }  // iisIcon
  void SetIconStyle(IconStyleKind value);
  ViewStyleKind ViewStyle() const { return viewStyle_; }  // vsIcon
  void SetViewStyle(ViewStyleKind value);
  SortKind SortType() const { return folder_.SortType(); }  // istName
  // istTaken shows the folder in file-time order at once, reads the dates taken in the
  // background (the cache first) and reorders once when they are in.
  void SetSortType(SortKind value);
  // True while dates taken are being read.
  bool ReadingTakenDates() const { return takenThread_.joinable() && !takenApplied_; }
  bool Descend() const { return folder_.Descend(); }  // false
  void SetDescend(bool value);
  FolderViewMode ViewMode() const { return folder_.ViewMode(); }  // ivmFolder
  void SetViewMode(FolderViewMode value);
  // Selected cells keep their highlight only while the view has the focus (true).
  bool HideSelection() const { return hideSelection_; }
  void SetHideSelection(bool value);
  // No renaming (false).
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool value) { readOnly_ = value; }
  // Several items may be selected (false).
  bool MultiSelect() const { return multiSelect_; }
  void SetMultiSelect(bool value);

  // The report style's column header is shown (true).
  bool ShowColumnHeaders() const { return showColumnHeaders_; }
  void SetShowColumnHeaders(bool value);
  // The report style draws lines between rows and between columns (false).
  bool GridLines() const { return gridLines_; }
  void SetGridLines(bool value);
  // The report style highlights a selected row across every column, not just its name
  // (false).
  bool RowSelect() const { return rowSelect_; }
  void SetRowSelect(bool value);
  // The caption of the item under the mouse pointer is underlined in the highlight
  // colour (false).
  bool HotTrack() const { return hotTrack_; }
  void SetHotTrack(bool value);
  int HotItem() const { return hotItem_; }  // -1 when none
  // Flat scroll bars: a plain groove and handle without arrow buttons (false).
  bool FlatScrollBars() const { return flatScrollBars_; }
  void SetFlatScrollBars(bool value);

  // ---- the folder and its items ----
  bool OpenFolder(const std::string& path);
  bool UpOneLevel();
  std::string FolderPath() const { return folder_.FolderPath(); }
  // Re-reads the folder (folder mode) or resets every item (file mode).
  void Refresh();
  // Adds an item for each path, in the order given, after the items already shown.
  void AppendPaths(const std::vector<std::string>& paths);
  // Cancels every job and empties the view.
  void Clear();
  // Brings the grid in line with the folder on disk (folder mode): items gone go, new
  // ones come, renamed ones keep their place in the selection, a changed file's
  // thumbnail is made again; the sort, the selection, the focus, the scroll position,
  // an open rename editor and every other thumbnail stay. Change notices run it
  // (bursts coalesced), and so do the view's own file operations.
  void Rescan();
  // Files the display filter leaves out that the view still takes when they appear on
  // disk (given the name): the host's picture files. Unset: the filter alone decides.
  std::function<bool(const std::string& name)> AcceptFile;
  bool Paused() const { return paused_; }
  void SetPaused(bool value);
  // The codec plug-in for the loader (not owned); thumbnail generation is held while
  // it is put in.
  void InstallPlugin(ImagePlugin* plugin);

  GridItems& Items() { return folder_.Items(); }
  int Count() const;
  GridItem* Item(int index) const;
  std::vector<int> SelectedIndexes() const;  // grid order
  std::vector<GridItem*> SelectedItems() const;
  GridItem* Selected() const;  // the first selected in grid order, or null
  int ItemIndex() const;           // the focused item, -1 when none
  void SetItemIndex(int index);    // focuses and selects one item

  // The first item from `start` whose display name matches (ignoring case), going
  // forward and, with `wrap`, round to 0 until back at `start`; -1 when none.
  int FindItem(FindKind kind, const QString& text, int start, bool wrap) const;

  // ---- commands on the selection (false: refused or failed; nothing happened) ----
  bool CopySelection();
  bool CutSelection();
  bool Paste();            // true once the transfer has started (TransferFiles)
  bool DeleteSelection();  // to the trash
  // Copies, moves or links files into a folder on a worker; the window stays usable. A
  // dialog with the files, the bytes, the current name and a Cancel button shows when it
  // takes longer than half a second (Cancel leaves no partial copy behind); failures
  // are reported by file and reason; the grid follows the result. `done`, when given,
  // runs on this thread with the report at the end.
  void TransferFiles(const std::vector<std::string>& files, const std::string& folder,
                     TransferMode mode, std::function<void(const FileOpReport&)> done = {});
  // Transfers still running, and the progress dialog of the newest (null when none).
  int RunningTransfers() const { return int(transfers_.size()); }
  QProgressDialog* TransferDialog() const;
  // Makes a folder with a free name ("새 폴더", "새 폴더 (2)", ...) in the shown folder
  // and starts renaming it; false when it could not be made.
  bool NewFolder();
  void SelectAllItems();
  void InvertSelection();
  bool RenameItem(int index, const std::string& newName);
  void RunVerb(FileVerb verb);
  // The verbs the context menu offers for the selection, with their tests applied.
  std::vector<FileVerbEntry> MenuVerbs();

  // Lays the cells out and refills after a settings change.
  void RebuildCells();
  // The geometry of a cell with the current settings.
  const CellGeometry& CellMetrics() const { return metrics_; }
  const CellStyleOptions& CellStyle() const { return cellStyle_; }
  // Where an item's cell lies in viewport coordinates (iisImage in the icon style).
  QRect CellRect(int index) const;
  // The effects a drag out offers for a DefaultExec.DragType.
  static Qt::DropActions DragActionsFor(const DragKinds& type);
  // The report view's column header.
  QHeaderView* Header() const { return header_; }
  // The drop-highlighted item, -1 when none.
  int DropTarget() const { return dropTarget_; }

  // Asked before a change notice refills the view: while it answers true (a batch or the
  // viewer runs) the refill waits. Unset means never busy.
  std::function<bool()> IsBusy;
  bool Busy() const { return IsBusy && IsBusy(); }

  // ---- events ----
  // After the view shows another folder (once per real change, not on every refill).
  std::function<void(ImgListView& Sender)> OnChangeFolder;
  // Before the selection or the focus changes by the user: Index is the item (-1 for
  // several); AllowChange false refuses the change.
  std::function<void(ImgListView& Sender, int Index, bool& AllowChange)> OnChanging;
  std::function<void(ImgThreads& Sender, GridItem& ImgItem)> OnImageLoad;
  std::function<void(ImgListView& Sender, GridItem& ImgItem)> OnImageLoaded;
  std::function<void(ImgListView& Sender, GridItem& ImgItem, bool& AllowAdd)> OnImgItemAdd;
  // Double click (with DefaultExec.DblClick off this is all a double click does).
  std::function<void(ImgListView& Sender)> OnDblClick;
  // A character key: 13 for Enter. Setting Key to 0 swallows it.
  std::function<void(ImgListView& Sender, char16_t& Key)> OnKeyPress;
  using FileDropEvent =
      std::function<void(ImgListView& Sender, const FileDataObject& Data,
                         Qt::KeyboardModifiers Shift, QPoint Point, bool& Accept)>;
  FileDropEvent OnFileDragEnter, OnFileDragOver, OnFileDragDrop;
  std::function<void(ImgListView& Sender)> OnFileDragLeave;
  // A file operation failed (the message lists each file and why). Unset: a message box
  // shows it.
  std::function<void(ImgListView& Sender, const QString& Message)> OnFileError;

  // ---- for the model, the delegate and the selection model ----
  bool AllowItemChange(int index);
  bool Refilling() const { return refilling_; }
  bool Highlighted(int index) const;
  // Whether the item was cut to the clipboard and not pasted yet (drawn faded).
  bool IsCut(GridItem& item) const;
  // Paints the picture part of a cell whose image box starts at `box` (thumbnail, or the
  // enlarged icon; queues the item when its thumbnail is still missing).
  void PaintCellPicture(QPainter& painter, GridItem& item, const QRect& box);
  // The enlarged icon of an item as stored in the icon picture list (side x side).
  QImage EnlargedIcon(GridItem& item);
  // The small type icon of an item (16 x 16).
  QImage SmallTypeIcon(GridItem& item);
  int IconSide() const;  // enlarged icons: 32, or BigIconSize with BigIcon

  // ---- FolderViewHost ----
  void CancelAllJobs() override;
  void ItemsCleared() override;
  void FolderChanging() override;
  void FolderChangeFailed() override;
  void FolderChanged() override;
  void RepaintItem(int index) override;
  bool ShowsThumbnails() const override { return iconStyle_ == iisImage; }
  void QueueThumbnail(int32_t number, bool urgent) override;
  void OrderLookAhead(const std::vector<int32_t>& numbers) override;

  // ---- ThumbnailJobHost ----
  bool PrepareThumbnailJob(int32_t Number, ThumbnailJob& Job) override;
  void ImageLoad(ImgThreads& Sender, int32_t Number) override;
  ThumbnailReader& ThumbnailLoader() override { return folder_.ViewImage().ImgUtil(); }
  QObject* ThumbnailReceiver() override { return this; }
  void ThumbnailResult(int32_t Number, int Result, ThumbnailReader& Loader) override;

  FileImage& JobQueue() { return *jobs_; }

  // The observer of the grid's work (owned; null for none).
  void SetObserver(std::unique_ptr<ImgListViewObserver> observer);

 protected:
  bool event(QEvent* e) override;
  void showEvent(QShowEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  void keyboardSearch(const QString& search) override;
  using QListView::edit;
  // Rename editors start with the name without its extension selected.
  bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void mouseDoubleClickEvent(QMouseEvent* e) override;
  void leaveEvent(QEvent* e) override;
  void contextMenuEvent(QContextMenuEvent* e) override;
  void dragEnterEvent(QDragEnterEvent* e) override;
  void dragMoveEvent(QDragMoveEvent* e) override;
  void dragLeaveEvent(QDragLeaveEvent* e) override;
  void dropEvent(QDropEvent* e) override;
  void paintEvent(QPaintEvent* e) override;
  void updateGeometries() override;
  void scrollContentsBy(int dx, int dy) override;
  void changeEvent(QEvent* e) override;

 private:
  enum class DragState { None, LeftPressed, RightPressed, LeftDrag, RightDrag };

  void Refill();
  void FireChangeFolder();
  void ApplyLayout();
  void RebuildCaches();
  void ResortAndRepaint();
  // Dates taken (ImgListViewTaken.cpp): the cache's answers at once, the rest read on
  // a worker; applying them reorders once, keeping the selection and the scroll.
  void StartTakenDates();
  void StopTakenDates();
  void ApplyTakenDates(int round, const std::vector<int32_t>& numbers,
                       const std::vector<TakenAnswer>& answers);
  void ColumnClicked(int section);
  void ShellChanged();
  void RemoveItems(const std::vector<int32_t>& numbers);
  void CheckBusyHold();
  void StampSmallIcon(GridItem& item);
  void ScheduleJobStart();
  void ReportFailures(const QString& what, const FileOpReport& report);
  // Names the source folders a move could not empty (files arrived in them meanwhile).
  void ReportLeftFiles(const FileOpReport& report);
  // Shows a file operation's message (through OnFileError when set).
  void ShowFileMessage(const QString& message);
  // After the view's own file operation: the grid follows at once (a rescan).
  void FilesChanged(const FileOpReport& report);
  std::vector<std::string> SelectedPaths() const;
  bool ClipboardCommand(bool cut);
  // The paths of `paths` that may not be copied (or, with `remove`, cut or deleted), each
  // with the reason.
  FileOpReport Refusals(const std::vector<std::string>& paths, bool remove) const;
  // The item that takes the selection after the rows go: -1 when none is left.
  int32_t NextSurvivor(const std::vector<int>& rows) const;
  // Selects, focuses and shows the item with that number (if it is still there).
  void SelectNumber(int32_t number);
  // The row of the item of the shown folder with that name, -1 when none.
  int RowOfName(const std::string& name) const;
  void SetCutPaths(std::vector<std::string> paths);
  void ShowEmptySpaceMenu(const QPoint& globalPos);
  void StartFileDrag();
  // Where a drop at a point goes: a folder item, the shown folder, or nowhere ("").
  std::string DropFolderAt(const QPoint& pos, int& item);
  void SetDropTarget(int index);
  void DragAutoScroll();
  void UpdateHeader();
  void SetHotItem(int index);

  QtShellPlatform platform_;
  QtIconProvider iconProvider_;
  QtTextPainter textRenderer_;
  ShellFolderView folder_;
  std::unique_ptr<FileImage> jobs_;
  ImgListModel* model_ = nullptr;
  ImgListDelegate* delegate_ = nullptr;
  QHeaderView* header_ = nullptr;
  FolderChangeNotifier* notification_ = nullptr;
  DefaultExecSettings defaultExec_;
  ImgListViewPopupMenu popupMenu_;

  IconStyleKind iconStyle_ = iisIcon;
  ViewStyleKind viewStyle_ = vsIcon;
  bool hideSelection_ = true;
  bool readOnly_ = false;
  bool multiSelect_ = false;
  bool showColumnHeaders_ = true;
  bool gridLines_ = false;
  bool rowSelect_ = false;
  bool hotTrack_ = false;
  bool flatScrollBars_ = false;
  int hotItem_ = -1;
  bool paused_ = false;
  bool refilling_ = false;
  bool internalChange_ = false;  // the view's own selection changes pass unasked
  bool shown_ = false;
  bool startPending_ = false;
  bool refillHeld_ = false;

  CellStyleOptions cellStyle_;
  CellGeometry metrics_;
  PictureStore iconPictures_;                           // enlarged icons, one cell each
  std::unordered_map<std::string, int> iconCache_;  // "overlay/icon index" -> picture
  // A transfer on its worker, and its progress dialog (shown after a delay).
  struct Transfer {
    FileOpProgress progress;
    FileOpReport report;  // written by the worker, read once it has ended
    TransferMode mode = TransferMode::Copy;
    std::function<void(const FileOpReport&)> done;
    std::thread worker;
    QProgressDialog* dialog = nullptr;
    QTimer* poll = nullptr;
    void ShowProgress();
  };
  void FinishTransfer(Transfer* transfer);
  void StopTransfers();  // cancels and waits for every transfer (the view is going)
  std::vector<std::unique_ptr<Transfer>> transfers_;
  std::unordered_set<std::string> cutPaths_;  // what the clipboard holds as cut
  std::string changeFolderFiredFor_;          // the folder OnChangeFolder last told of

  QTimer busyTimer_;        // polls BusyFlag while a refill is held
  QTimer mergeTimer_;       // gathers a burst of change notices into one rescan
  QTimer autoScrollTimer_;  // scrolls while a drag hovers near an edge
  QPoint dragPos_;          // the last drag position (viewport)
  int dropTarget_ = -1;

  DragState dragState_ = DragState::None;
  QPoint pressPos_;
  Qt::MouseButton dragButton_ = Qt::NoButton;

  QString searchText_;
  QElapsedTimer searchClock_;

  std::unique_ptr<ImgListViewObserver> observer_;

  std::unique_ptr<TakenDateCache> takenCache_;  // opened on first use
  std::thread takenThread_;
  std::atomic<bool> takenStop_{false};
  bool takenApplied_ = true;
  int takenRound_ = 0;
};

}  // namespace quorvane
