// The grid's life: construction, properties, the folder and its refill, thumbnail results.
// The cells' layout and pictures live in ImgListViewCells.cpp, the merging of folder
// changes in ImgListViewChanges.cpp, keys and clipboard in ImgListViewKeys.cpp, drag and
// drop in ImgListViewDrag.cpp.

#include "thumbnails/ui/ImgListView.h"

#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QScrollBar>
#include <algorithm>

#include "imaging/ImagePlugin.h"
#include "thumbnails/ui/ImgListViewDelegate.h"
#include "thumbnails/ui/ImgListViewModel.h"

namespace quorvane {

namespace {

constexpr int kBusyPollMs = 100;
// Change notices within this time make one rescan: new files show within it, and a
// copy of thousands of files redraws the grid a few times a second.
constexpr int kMergeDelayMs = 300;
constexpr int kReportWidths[] = {162, 69, 138, 104};

}  // namespace

ImgListView::ImgListView(QWidget* parent)
    : QListView(parent), folder_(&platform_, this), jobs_(std::make_unique<FileImage>(*this)) {
  ThumbnailReader& loader = ViewImage().ImgUtil();
  loader.SetIconProvider(&iconProvider_);
  loader.SetTextRenderer(&textRenderer_);

  model_ = new ImgListModel(*this);
  setModel(model_);
  QItemSelectionModel* oldSelection = selectionModel();
  setSelectionModel(new ImgSelectionModel(*this, model_));
  delete oldSelection;
  delegate_ = new ImgListDelegate(*this);
  setItemDelegate(delegate_);

  header_ = new QHeaderView(Qt::Horizontal, this);
  header_->setModel(model_);
  header_->setSectionsClickable(true);
  header_->setHighlightSections(false);
  header_->setStretchLastSection(false);
  header_->setSortIndicatorShown(false);
  for (int i = 0; i < ImgListModel::ColumnCount; ++i) header_->resizeSection(i, kReportWidths[i]);
  header_->hide();
  connect(header_, &QHeaderView::sectionClicked, this, [this](int s) { ColumnClicked(s); });
  connect(header_, &QHeaderView::sectionResized, this, [this](int section, int, int size) {
    // In thumbnail style the first column never gets narrower than a cell.
    const int least = iconStyle_ == iisImage ? ReportFirstColumnMinWidth(cellStyle_, metrics_) : 0;
    if (section == ImgListModel::ColName && size < least) header_->resizeSection(section, least);
    doItemsLayout();
    viewport()->update();
  });

  notification_ = new FolderChangeNotifier(this);
  // A burst of notices waits for one rescan (the first notice starts the wait).
  notification_->OnChange = [this](FolderChangeNotifier&) {
    if (!mergeTimer_.isActive()) mergeTimer_.start();
  };

  View().OnChange1 = [this](ViewOptions&) { RebuildCells(); };
  View().OnChange2 = [this](ViewOptions&) { RebuildCells(); };
  ViewImage().OnChange = [this](ThumbnailContext&) { RebuildCells(); };
  defaultExec_.OnChange = [this](DefaultExecSettings& e) { setAcceptDrops(e.DropTarget()); };
  folder_.OnImgItemAdd = [this](ShellFolderView&, GridItem& item, bool& allow) {
    if (OnImgItemAdd) OnImgItemAdd(*this, item, allow);
  };
  popupMenu_.OnVerb = [this](FileVerb verb) { RunVerb(verb); };
  // Cut items are faded only while the clipboard still holds them as cut.
  connect(QApplication::clipboard(), &QClipboard::dataChanged, this, [this] {
    bool cut = false;
    const std::vector<std::string> files =
        FileDataObject::FilesOf(QApplication::clipboard()->mimeData(), &cut);
    if (!cut || std::unordered_set<std::string>(files.begin(), files.end()) != cutPaths_)
      SetCutPaths({});
  });

  mergeTimer_.setSingleShot(true);
  mergeTimer_.setInterval(kMergeDelayMs);
  connect(&mergeTimer_, &QTimer::timeout, this, [this] { ShellChanged(); });
  busyTimer_.setInterval(kBusyPollMs);
  connect(&busyTimer_, &QTimer::timeout, this, [this] { CheckBusyHold(); });
  autoScrollTimer_.setInterval(60);
  connect(&autoScrollTimer_, &QTimer::timeout, this, [this] { DragAutoScroll(); });

  setAutoFillBackground(true);
  setUniformItemSizes(true);
  setSelectionRectVisible(true);
  setEditTriggers(NoEditTriggers);
  setDragEnabled(false);  // drags start in mouseMoveEvent
  setAcceptDrops(defaultExec_.DropTarget());
  setDropIndicatorShown(false);
  setMouseTracking(false);
  SetMultiSelect(false);
  ApplyLayout();
}

ImgListView::~ImgListView() {
  StopTakenDates();
  StopTransfers();
  notification_->OnChange = nullptr;
  mergeTimer_.stop();
  notification_->Unwatch();
  busyTimer_.stop();
  jobs_->CancelAll();
  jobs_.reset();
  // The collection goes with folder_; nothing may call back into the view meanwhile.
  folder_.SetHost(nullptr);
}

// ---- properties ----

void ImgListView::SetIconStyle(IconStyleKind value) {
  if (value == iconStyle_) return;
  iconStyle_ = value;
  RebuildCells();
}

void ImgListView::SetViewStyle(ViewStyleKind value) {
  if (value == viewStyle_) return;
  viewStyle_ = value;
  ApplyLayout();
  doItemsLayout();
  viewport()->update();
}

void ImgListView::SetShowColumnHeaders(bool value) {
  if (value == showColumnHeaders_) return;
  showColumnHeaders_ = value;
  UpdateHeader();
}

void ImgListView::SetGridLines(bool value) {
  if (value == gridLines_) return;
  gridLines_ = value;
  viewport()->update();
}

void ImgListView::SetRowSelect(bool value) {
  if (value == rowSelect_) return;
  rowSelect_ = value;
  viewport()->update();
}

void ImgListView::SetHotTrack(bool value) {
  if (value == hotTrack_) return;
  hotTrack_ = value;
  setMouseTracking(value);
  SetHotItem(-1);
}

void ImgListView::SetHotItem(int index) {
  if (index == hotItem_) return;
  if (hotItem_ >= 0 && hotItem_ < Count()) update(model_->index(hotItem_));
  hotItem_ = index;
  if (hotItem_ >= 0) update(model_->index(hotItem_));
}

void ImgListView::SetFlatScrollBars(bool value) {
  if (value == flatScrollBars_) return;
  flatScrollBars_ = value;
  // A plain groove in the view's colour and a flat handle; the arrow buttons go.
  const QString flat = QStringLiteral(
      "QScrollBar { background: palette(base); border: none; margin: 0; }"
      "QScrollBar:vertical { width: 14px; }"
      "QScrollBar:horizontal { height: 14px; }"
      "QScrollBar::handle { background: palette(mid); border: none; }"
      "QScrollBar::handle:hover { background: palette(dark); }"
      "QScrollBar::handle:vertical { min-height: 24px; margin: 2px 3px; }"
      "QScrollBar::handle:horizontal { min-width: 24px; margin: 3px 2px; }"
      "QScrollBar::add-line, QScrollBar::sub-line { width: 0; height: 0; border: none; }"
      "QScrollBar::add-page, QScrollBar::sub-page { background: none; }");
  for (QScrollBar* bar : {verticalScrollBar(), horizontalScrollBar()})
    bar->setStyleSheet(value ? flat : QString());
}

void ImgListView::SetSortType(SortKind value) {
  if (value == folder_.SortType()) return;
  folder_.SetSortType(value);
  ResortAndRepaint();
  StartTakenDates();
}

void ImgListView::SetDescend(bool value) {
  if (value == folder_.Descend()) return;
  folder_.SetDescend(value);
  ResortAndRepaint();
}

void ImgListView::SetViewMode(FolderViewMode value) {
  if (value == folder_.ViewMode()) return;
  folder_.SetViewMode(value);
  if (value == ivmFolder) {
    const std::string folder = folder_.Folder().empty() ? "/" : folder_.Folder();
    Refill();
    notification_->Watch(folder);
  } else {
    notification_->Unwatch();
    jobs_->CancelAll();
    folder_.Items().Clear();
    scrollToTop();
    viewport()->update();
  }
}

void ImgListView::SetHideSelection(bool value) {
  if (value == hideSelection_) return;
  hideSelection_ = value;
  viewport()->update();
}

void ImgListView::SetMultiSelect(bool value) {
  multiSelect_ = value;
  setSelectionMode(value ? ExtendedSelection : SingleSelection);
}

void ImgListView::ResortAndRepaint() {
  model_->BeginReorder();
  folder_.Sort();
  model_->EndReorder();
  viewport()->update();
}

void ImgListView::ColumnClicked(int section) {
  if (!defaultExec_.ColumnSort) return;
  static constexpr SortKind kKeys[] = {istName, istSize, istType, istDate};
  if (section < 0 || section >= int(std::size(kKeys))) return;
  const SortKind key = kKeys[section];
  if (key == SortType())
    SetDescend(!Descend());
  else
    SetSortType(key);
}

// ---- items ----

int ImgListView::Count() const { return model_->Count(); }

GridItem* ImgListView::Item(int index) const {
  return const_cast<ShellFolderView&>(folder_).Items().Items(index);
}

std::vector<int> ImgListView::SelectedIndexes() const {
  std::vector<int> rows;
  for (const QModelIndex& index : selectionModel()->selectedIndexes())
    if (index.column() == 0 && index.row() < Count()) rows.push_back(index.row());
  std::sort(rows.begin(), rows.end());
  rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
  return rows;
}

std::vector<GridItem*> ImgListView::SelectedItems() const {
  std::vector<GridItem*> items;
  for (int row : SelectedIndexes())
    if (GridItem* item = Item(row)) items.push_back(item);
  return items;
}

GridItem* ImgListView::Selected() const {
  const std::vector<int> rows = SelectedIndexes();
  return rows.empty() ? nullptr : Item(rows.front());
}

int ImgListView::ItemIndex() const {
  const QModelIndex current = currentIndex();
  return current.isValid() && current.row() < Count() ? current.row() : -1;
}

void ImgListView::SetItemIndex(int index) {
  if (index < 0 || index >= Count()) return;
  selectionModel()->setCurrentIndex(model_->index(index), QItemSelectionModel::ClearAndSelect);
}

bool ImgListView::AllowItemChange(int index) {
  if (internalChange_ || refilling_ || !OnChanging) return true;
  bool allow = true;
  OnChanging(*this, index, allow);
  return allow;
}

bool ImgListView::Highlighted(int index) const {
  const bool showing = hasFocus() || !hideSelection_;
  return showing && (index == dropTarget_ || selectionModel()->isSelected(model_->index(index)));
}

// ---- the folder ----

bool ImgListView::OpenFolder(const std::string& path) {
  if (observer_) observer_->FolderOpening(*this);
  return folder_.OpenFolder(path);
}

bool ImgListView::UpOneLevel() { return folder_.UpOneLevel(); }

void ImgListView::FireChangeFolder() {
  // Once per real change of folder: a refill of the same folder (a change on disk, a
  // refresh) is not one, and telling the host would make it cancel its own rescan.
  if (folder_.Folder() == changeFolderFiredFor_) return;
  changeFolderFiredFor_ = folder_.Folder();
  if (OnChangeFolder) OnChangeFolder(*this);
}

void ImgListView::Refill() {
  if (folder_.ViewMode() == ivmFile || folder_.Folder().empty()) return;
  setUpdatesEnabled(false);
  refilling_ = true;
  internalChange_ = true;
  try {
    folder_.Refill();  // cancels every job and clears first
    folder_.Thumbnails().SetCapacity(0);
    model_->Reset(folder_.Items().Count());
    if (Count() > 0)
      selectionModel()->setCurrentIndex(model_->index(0), QItemSelectionModel::NoUpdate);
  } catch (...) {
    // An enumeration that failed part-way shows what it found.
    model_->Reset(folder_.Items().Count());
  }
  internalChange_ = false;
  FireChangeFolder();
  if (!paused_) jobs_->Resume();
  refilling_ = false;
  doItemsLayout();
  setUpdatesEnabled(true);
  viewport()->update();
  StartTakenDates();
}

void ImgListView::Refresh() {
  if (folder_.ViewMode() == ivmFolder) {
    if (ViewImage().ImgUtil().AutoThumb()) {
      // The cached thumbnails of the shown items are made again.
      std::vector<std::string> paths;
      for (int i = 0; i < folder_.Items().Count(); ++i)
        if (GridItem* item = Item(i); item && !item->IsFolder())
          paths.push_back(item->ParsingName());
      try {
        ViewImage().Thumbnail().Purge(paths);
      } catch (...) {
        // A foreign cache file stays as it is.
      }
    }
    Refill();
    return;
  }
  refilling_ = true;
  jobs_->CancelAll();
  RebuildCaches();
  refilling_ = false;
  viewport()->update();
}

void ImgListView::AppendPaths(const std::vector<std::string>& paths) {
  refilling_ = true;
  for (const std::string& path : paths) folder_.AddByPath(path);
  folder_.OrderLookAhead();
  refilling_ = false;
  const bool wasEmpty = Count() == 0;
  model_->SetCount(folder_.Items().Count());
  if (wasEmpty && Count() > 0 && !currentIndex().isValid()) {
    internalChange_ = true;
    selectionModel()->setCurrentIndex(model_->index(0), QItemSelectionModel::NoUpdate);
    internalChange_ = false;
  }
  if (!paused_ && !jobs_->Busy()) jobs_->Start();
  viewport()->update();
}

void ImgListView::Clear() {
  setUpdatesEnabled(false);
  jobs_->CancelAll();
  folder_.Items().Clear();
  setUpdatesEnabled(true);
}

void ImgListView::SetPaused(bool value) {
  if (value == paused_) return;
  paused_ = value;
  if (value)
    jobs_->Pause();
  else
    jobs_->Resume();
}

void ImgListView::InstallPlugin(ImagePlugin* plugin) {
  const bool wasPaused = paused_;
  SetPaused(true);
  ViewImage().ImgUtil().SetCustomPlugin(plugin);
  SetPaused(wasPaused);
}

// ---- FolderViewHost ----

void ImgListView::CancelAllJobs() { jobs_->CancelAll(); }

void ImgListView::ItemsCleared() {
  dropTarget_ = -1;
  hotItem_ = -1;
  model_->Reset(0);
}

void ImgListView::FolderChanging() {
  notification_->Unwatch();
  scrollToTop();
}

void ImgListView::FolderChangeFailed() {
  if (!folder_.Folder().empty()) notification_->Watch(folder_.Folder());
}

void ImgListView::FolderChanged() {
  Refill();
  notification_->Watch(folder_.Folder());
}

void ImgListView::RepaintItem(int index) {
  if (index >= 0 && index < Count()) update(model_->index(index));
}

void ImgListView::QueueThumbnail(int32_t number, bool urgent) { jobs_->Queue(number, urgent); }

void ImgListView::OrderLookAhead(const std::vector<int32_t>& numbers) {
  jobs_->OrderLookAhead(numbers);
}

// ---- thumbnails ----

bool ImgListView::PrepareThumbnailJob(int32_t Number, ThumbnailJob& Job) {
  return folder_.PrepareThumbnailJob(Number, Job);
}

void ImgListView::ImageLoad(ImgThreads& Sender, int32_t Number) {
  if (!OnImageLoad) return;
  if (GridItem* item = folder_.Items().ItemByNumber(Number)) OnImageLoad(Sender, *item);
}

void ImgListView::ThumbnailResult(int32_t Number, int Result, ThumbnailReader& Loader) {
  if (refilling_ || paused_) return;
  const int at = folder_.Items().IndexOfNumber(Number);
  const bool shown =
      at >= 0 && at < Count() && visualRect(model_->index(at)).intersects(viewport()->rect());
  const int index = folder_.StoreThumbnailResult(Number, Result, Loader, shown);
  GridItem* item = folder_.Items().Items(index);
  if (!item) return;
  if (Result == 0 && item->ThumbnailIndex >= 0) StampSmallIcon(*item);
  if (OnImageLoaded) OnImageLoaded(*this, *item);
  RepaintItem(item->Index());
  if (observer_) observer_->ThumbnailStored(*this, *item, Result);
}

void ImgListView::SetObserver(std::unique_ptr<ImgListViewObserver> observer) {
  observer_ = std::move(observer);
}

void ImgListView::ScheduleJobStart() {
  // After the paint: the cells painted last are then at the end of the queue and are
  // taken first.
  if (startPending_ || paused_) return;
  startPending_ = true;
  QMetaObject::invokeMethod(
      this,
      [this] {
        startPending_ = false;
        if (!paused_ && !refilling_) jobs_->Start();
      },
      Qt::QueuedConnection);
}

bool ImgListView::event(QEvent* e) {
  if (e->type() == ThumbnailResultEvent::kType) {
    const bool taken = jobs_->TakeResult(*static_cast<ThumbnailResultEvent*>(e));
    if (taken && observer_ && !jobs_->Busy()) observer_->QueueDrained(*this);
    return true;
  }
  return QListView::event(e);
}

void ImgListView::showEvent(QShowEvent* e) {
  QListView::showEvent(e);
  if (shown_) return;
  shown_ = true;
  // The root is shown when the host has not opened a folder by the time the window
  // appears.
  if (folder_.ViewMode() == ivmFolder && folder_.Folder().empty()) OpenFolder("/");
}

void ImgListView::paintEvent(QPaintEvent* e) {
  if (refilling_) return;
  QListView::paintEvent(e);
  if (observer_) observer_->Painted(*this);
}

void ImgListView::changeEvent(QEvent* e) {
  QListView::changeEvent(e);
  if (e->type() == QEvent::PaletteChange && !refilling_) {
    // The thumbnails' background follows the control's colour.
    refilling_ = true;
    jobs_->CancelAll();
    RebuildCaches();
    refilling_ = false;
  }
}

}  // namespace quorvane
