// The grid's life: construction, folder and refill, layout, thumbnails and painting.
// Keys and clipboard live in ImgListViewKeys.cpp, drag and drop in ImgListViewDrag.cpp.

#include "thumbnails/ui/ImgListView.h"

#include <QApplication>
#include <QHeaderView>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "imaging/ImgCustom.h"
#include "thumbnails/ui/ImgListViewDelegate.h"
#include "thumbnails/ui/ImgListViewModel.h"

namespace quorvane {

namespace {

constexpr int kBusyPollMs = 100;
constexpr int kReportWidths[] = {162, 69, 138, 104};

// A part of a Bitmap seen as a QImage, without a copy (valid while the bitmap lives).
// The const form is read-only; painting on the other writes into the bitmap.
QImage WrapRegion(const Bitmap& page, int x, int y, int w, int h) {
  return QImage(page.Bits() + size_t(y) * page.Stride() + size_t(x) * 3, w, h,
                qsizetype(page.Stride()), QImage::Format_BGR888);
}
QImage WrapRegion(Bitmap& page, int x, int y, int w, int h) {
  return QImage(page.Bits() + size_t(y) * page.Stride() + size_t(x) * 3, w, h,
                qsizetype(page.Stride()), QImage::Format_BGR888);
}

TColor FromQColor(const QColor& c) {
  return RGB(uint8_t(c.red()), uint8_t(c.green()), uint8_t(c.blue()));
}

bool TraceThumbnails() {
  static const bool on = [] {
    const char* v = std::getenv("QUORVANE_TRACE_THUMBNAILS");
    return v && *v;
  }();
  return on;
}

// CLOCK_MONOTONIC in ms: the clock X servers stamp their events with.
qint64 MonotonicMs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return qint64(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

}  // namespace

TImgListView::TImgListView(QWidget* parent)
    : QListView(parent), folder_(&platform_, this), jobs_(std::make_unique<TFileImage>(*this)) {
  TImgUtil& loader = ViewImage().ImgUtil();
  loader.SetIconProvider(&iconProvider_);
  loader.SetTextRenderer(&textRenderer_);

  model_ = new TImgListModel(*this);
  setModel(model_);
  QItemSelectionModel* oldSelection = selectionModel();
  setSelectionModel(new TImgSelectionModel(*this, model_));
  delete oldSelection;
  delegate_ = new TImgListDelegate(*this);
  setItemDelegate(delegate_);

  header_ = new QHeaderView(Qt::Horizontal, this);
  header_->setModel(model_);
  header_->setSectionsClickable(true);
  header_->setHighlightSections(false);
  header_->setStretchLastSection(false);
  header_->setSortIndicatorShown(false);
  for (int i = 0; i < TImgListModel::ColumnCount; ++i) header_->resizeSection(i, kReportWidths[i]);
  header_->hide();
  connect(header_, &QHeaderView::sectionClicked, this, [this](int s) { ColumnClicked(s); });
  connect(header_, &QHeaderView::sectionResized, this, [this](int section, int, int size) {
    // In thumbnail style the first column never gets narrower than a cell.
    const int least = iconStyle_ == iisImage ? ReportFirstColumnMinWidth(cellStyle_, metrics_) : 0;
    if (section == TImgListModel::ColName && size < least) header_->resizeSection(section, least);
    doItemsLayout();
    viewport()->update();
  });

  notification_ = new TShellChangeNotification(this);
  notification_->OnChange = [this](TShellChangeNotification&) { ShellChanged(); };

  View().OnChange1 = [this](TView&) { RebuildCells(); };
  View().OnChange2 = [this](TView&) { RebuildCells(); };
  ViewImage().OnChange = [this](TViewImage&) { RebuildCells(); };
  defaultExec_.OnChange = [this](TDefaultExec& e) { setAcceptDrops(e.DropTarget()); };
  folder_.OnImgItemAdd = [this](TShellFolderView&, TImgListItem& item, bool& allow) {
    if (OnImgItemAdd) OnImgItemAdd(*this, item, allow);
  };
  popupMenu_.OnVerb = [this](TFileVerb verb) { RunVerb(verb); };

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

TImgListView::~TImgListView() {
  notification_->OnChange = nullptr;
  notification_->Unwatch();
  busyTimer_.stop();
  jobs_->CancelAll();
  jobs_.reset();
  // The collection goes with folder_; nothing may call back into the view meanwhile.
  folder_.SetHost(nullptr);
}

// ---- properties ----

void TImgListView::SetIconStyle(TIconStyle value) {
  if (value == iconStyle_) return;
  iconStyle_ = value;
  RebuildCells();
}

void TImgListView::SetViewStyle(TViewStyle value) {
  if (value == viewStyle_) return;
  viewStyle_ = value;
  ApplyLayout();
  doItemsLayout();
  viewport()->update();
}

void TImgListView::SetShowColumnHeaders(bool value) {
  if (value == showColumnHeaders_) return;
  showColumnHeaders_ = value;
  UpdateHeader();
}

void TImgListView::SetGridLines(bool value) {
  if (value == gridLines_) return;
  gridLines_ = value;
  viewport()->update();
}

void TImgListView::SetRowSelect(bool value) {
  if (value == rowSelect_) return;
  rowSelect_ = value;
  viewport()->update();
}

void TImgListView::SetHotTrack(bool value) {
  if (value == hotTrack_) return;
  hotTrack_ = value;
  setMouseTracking(value);
  SetHotItem(-1);
}

void TImgListView::SetHotItem(int index) {
  if (index == hotItem_) return;
  if (hotItem_ >= 0 && hotItem_ < Count()) update(model_->index(hotItem_));
  hotItem_ = index;
  if (hotItem_ >= 0) update(model_->index(hotItem_));
}

void TImgListView::SetFlatScrollBars(bool value) {
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

void TImgListView::SetSortType(TSortTypeEx value) {
  if (value == folder_.SortType()) return;
  folder_.SetSortType(value);
  ResortAndRepaint();
}

void TImgListView::SetDescend(bool value) {
  if (value == folder_.Descend()) return;
  folder_.SetDescend(value);
  ResortAndRepaint();
}

void TImgListView::SetViewMode(TViewMode value) {
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

void TImgListView::SetHideSelection(bool value) {
  if (value == hideSelection_) return;
  hideSelection_ = value;
  viewport()->update();
}

void TImgListView::SetMultiSelect(bool value) {
  multiSelect_ = value;
  setSelectionMode(value ? ExtendedSelection : SingleSelection);
}

void TImgListView::ResortAndRepaint() {
  model_->BeginReorder();
  folder_.Sort();
  model_->EndReorder();
  viewport()->update();
}

void TImgListView::ColumnClicked(int section) {
  if (!defaultExec_.ColumnSort) return;
  static constexpr TSortTypeEx kKeys[] = {istName, istSize, istType, istDate};
  if (section < 0 || section >= int(std::size(kKeys))) return;
  const TSortTypeEx key = kKeys[section];
  if (key == SortType())
    SetDescend(!Descend());
  else
    SetSortType(key);
}

// ---- items ----

int TImgListView::Count() const { return model_->Count(); }

TImgListItem* TImgListView::Item(int index) const {
  return const_cast<TShellFolderView&>(folder_).Items().Items(index);
}

std::vector<int> TImgListView::SelectedIndexes() const {
  std::vector<int> rows;
  for (const QModelIndex& index : selectionModel()->selectedIndexes())
    if (index.column() == 0 && index.row() < Count()) rows.push_back(index.row());
  std::sort(rows.begin(), rows.end());
  rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
  return rows;
}

std::vector<TImgListItem*> TImgListView::SelectedItems() const {
  std::vector<TImgListItem*> items;
  for (int row : SelectedIndexes())
    if (TImgListItem* item = Item(row)) items.push_back(item);
  return items;
}

TImgListItem* TImgListView::Selected() const {
  const std::vector<int> rows = SelectedIndexes();
  return rows.empty() ? nullptr : Item(rows.front());
}

int TImgListView::ItemIndex() const {
  const QModelIndex current = currentIndex();
  return current.isValid() && current.row() < Count() ? current.row() : -1;
}

void TImgListView::SetItemIndex(int index) {
  if (index < 0 || index >= Count()) return;
  selectionModel()->setCurrentIndex(model_->index(index), QItemSelectionModel::ClearAndSelect);
}

bool TImgListView::AllowItemChange(int index) {
  if (internalChange_ || refilling_ || !OnChanging) return true;
  bool allow = true;
  OnChanging(*this, index, allow);
  return allow;
}

bool TImgListView::Highlighted(int index) const {
  const bool showing = hasFocus() || !hideSelection_;
  return showing && (index == dropTarget_ || selectionModel()->isSelected(model_->index(index)));
}

// ---- the folder ----

bool TImgListView::OpenFolder(const std::string& path) {
  if (TraceThumbnails()) {
    traceClock_.start();
    traceStored_ = 0;
    traceFirstScreen_ = false;
    std::fprintf(stderr, "trace: open-folder t=0 monotonic=%lld\n", (long long)MonotonicMs());
  }
  return folder_.OpenFolder(path);
}

bool TImgListView::UpOneLevel() { return folder_.UpOneLevel(); }

void TImgListView::FireChangeFolder() {
  // Once per real change of folder: a refill of the same folder (a change on disk, a
  // refresh) is not one, and telling the host would make it cancel its own rescan.
  if (folder_.Folder() == changeFolderFiredFor_) return;
  changeFolderFiredFor_ = folder_.Folder();
  if (OnChangeFolder) OnChangeFolder(*this);
}

void TImgListView::Refill() {
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
}

void TImgListView::Refresh() {
  if (folder_.ViewMode() == ivmFolder) {
    if (ViewImage().ImgUtil().AutoThumb()) {
      // The cached thumbnails of the shown items are made again.
      std::vector<std::string> paths;
      for (int i = 0; i < folder_.Items().Count(); ++i)
        if (TImgListItem* item = Item(i); item && !item->IsFolder())
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

void TImgListView::AppendPaths(const std::vector<std::string>& paths) {
  refilling_ = true;
  for (const std::string& path : paths) folder_.AddByPath(path);
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

void TImgListView::Clear() {
  setUpdatesEnabled(false);
  jobs_->CancelAll();
  folder_.Items().Clear();
  setUpdatesEnabled(true);
}

void TImgListView::SetPaused(bool value) {
  if (value == paused_) return;
  paused_ = value;
  if (value)
    jobs_->Pause();
  else
    jobs_->Resume();
}

void TImgListView::InstallPlugin(TImgCustom* plugin) {
  const bool wasPaused = paused_;
  SetPaused(true);
  ViewImage().ImgUtil().SetCustomPlugin(plugin);
  SetPaused(wasPaused);
}

// ---- change notification ----

void TImgListView::ShellChanged() {
  // While the owner is busy (a batch or the viewer runs) the items are the batch's list:
  // the refill waits until it is done.
  if (Busy()) {
    refillHeld_ = true;
    if (!busyTimer_.isActive()) busyTimer_.start();
    return;
  }
  Refill();
}

void TImgListView::CheckBusyHold() {
  if (Busy()) return;
  busyTimer_.stop();
  if (!refillHeld_) return;
  refillHeld_ = false;
  Refill();
}

// ---- TFolderViewHost ----

void TImgListView::CancelAllJobs() { jobs_->CancelAll(); }

void TImgListView::ItemsCleared() {
  dropTarget_ = -1;
  hotItem_ = -1;
  model_->Reset(0);
}

void TImgListView::FolderChanging() {
  notification_->Unwatch();
  scrollToTop();
}

void TImgListView::FolderChangeFailed() {
  if (!folder_.Folder().empty()) notification_->Watch(folder_.Folder());
}

void TImgListView::FolderChanged() {
  Refill();
  notification_->Watch(folder_.Folder());
}

void TImgListView::RepaintItem(int index) {
  if (index >= 0 && index < Count()) update(model_->index(index));
}

void TImgListView::QueueThumbnail(int32_t number, bool urgent) { jobs_->Queue(number, urgent); }

// ---- thumbnails ----

bool TImgListView::PrepareThumbnailJob(int32_t Number, TThumbnailJob& Job) {
  return folder_.PrepareThumbnailJob(Number, Job);
}

void TImgListView::ImageLoad(TImgThreads& Sender, int32_t Number) {
  if (!OnImageLoad) return;
  if (TImgListItem* item = folder_.Items().ItemByNumber(Number)) OnImageLoad(Sender, *item);
}

void TImgListView::ThumbnailResult(int32_t Number, int Result) {
  if (refilling_ || paused_) return;
  const int index = folder_.StoreThumbnailResult(Number, Result, ViewImage().ImgUtil());
  TImgListItem* item = folder_.Items().Items(index);
  if (!item) return;
  if (Result == 0 && item->ThumbnailIndex >= 0) StampSmallIcon(*item);
  if (OnImageLoaded) OnImageLoaded(*this, *item);
  RepaintItem(item->Index());
  if (TraceThumbnails()) TraceResult(*item, Result);
}

void TImgListView::TraceResult(const TImgListItem& item, int result) {
  const qint64 t = traceClock_.isValid() ? traceClock_.elapsed() : -1;
  std::fprintf(stderr, "trace: thumbnail n=%d index=%d result=%d t=%lld\n", ++traceStored_,
               item.Index(), result, (long long)t);
  if (!traceFirstScreen_ && VisibleCellsDone()) {
    traceFirstScreen_ = true;
    std::fprintf(stderr, "trace: first-screen t=%lld stored=%d\n", (long long)t, traceStored_);
  }
}

bool TImgListView::VisibleCellsDone() const {
  const QRect area = viewport()->rect();
  int visible = 0;
  for (int i = 0; i < Count(); ++i) {
    if (!visualRect(model_->index(i)).intersects(area)) continue;
    TImgListItem* item = Item(i);
    if (!item || item->IsFolder()) continue;
    if (!item->Handled) return false;
    ++visible;
  }
  return visible > 0;
}

void TImgListView::StampSmallIcon(TImgListItem& item) {
  if (iconStyle_ != iisImage || IsIconKind(item.ImageKind()) ||
      !ViewImage().DispImage().Has(item.ImageKind()))
    return;
  const int side = TQtIconProvider::kSmallIconSize;
  const auto place =
      SmallIconRect(ViewImage().SmallIcon().IconPos(), ViewImage().SmallIcon().Space(),
                    ViewImage().ImageWidth(), ViewImage().ImageHeight(), side);
  if (!place) return;
  int x = 0, y = 0;
  Bitmap* page = folder_.Thumbnails().GetCellMutable(item.ThumbnailIndex, x, y);
  if (!page) return;
  const QImage icon = SmallTypeIcon(item);
  if (icon.isNull()) return;
  // Only the cell itself may change, whatever the box and the icon make of the corner.
  QImage cell =
      WrapRegion(*page, x, y, folder_.Thumbnails().CellWidth(), folder_.Thumbnails().CellHeight());
  QPainter painter(&cell);
  painter.setClipRect(cell.rect());
  painter.drawImage(QPoint(place->Left, place->Top), icon);
}

QImage TImgListView::SmallTypeIcon(TImgListItem& item) {
  return iconProvider_.TypeIconImage(platform_.TypeKey(item.IconIndex()),
                                     TQtIconProvider::kSmallIconSize);
}

int TImgListView::IconSide() const {
  const TViewImage& settings = const_cast<TShellFolderView&>(folder_).ViewImage();
  const int side = settings.BigIcon() ? settings.BigIconSize() : TQtIconProvider::kLargeIconSize;
  return std::clamp(side, 1, 1024);
}

QImage TImgListView::EnlargedIcon(TImgListItem& item) {
  const int side = iconPictures_.CellWidth();
  if (item.IconPictureIndex < 0) {
    const std::string key = std::to_string(item.Overlay()) + "/" + std::to_string(item.IconIndex());
    const auto found = iconCache_.find(key);
    if (found != iconCache_.end()) {
      item.IconPictureIndex = found->second;
    } else {
      Bitmap picture;
      const TColor background = ViewImage().ImgUtil().BKColor();
      if (!iconProvider_.DrawTypeIcon(platform_.TypeKey(item.IconIndex()), side, item.Overlay(),
                                      background, picture)) {
        picture.SetSize(side, side);
        picture.Fill(background);
      }
      item.IconPictureIndex = iconPictures_.Add(picture);
      iconCache_.emplace(key, item.IconPictureIndex);
    }
  }
  item.SourceWidth = side;
  item.SourceHeight = side;
  int x = 0, y = 0;
  const Bitmap* page = iconPictures_.GetCell(item.IconPictureIndex, x, y);
  return page ? WrapRegion(*page, x, y, side, side) : QImage();
}

void TImgListView::ScheduleJobStart() {
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

void TImgListView::PaintCellPicture(QPainter& painter, TImgListItem& item, const QRect& box) {
  const TImgList& thumbnails = folder_.Thumbnails();
  if (item.ThumbnailIndex >= 0) {
    int x = 0, y = 0;
    if (const Bitmap* page = thumbnails.GetCell(item.ThumbnailIndex, x, y))
      painter.drawImage(box.topLeft(),
                        WrapRegion(*page, x, y, thumbnails.CellWidth(), thumbnails.CellHeight()));
    return;
  }
  if (!item.HasIdList()) return;
  if (!item.Handled && ViewImage().NeedsThumbnail(item.ImageKind())) {
    jobs_->Queue(item.Number(), true);
    ScheduleJobStart();
    return;
  }
  item.Handled = true;
  const QImage icon = EnlargedIcon(item);
  if (icon.isNull()) return;
  const TCellRect at = PlaceInBox(box.width(), box.height(), icon.width(), icon.height());
  const QRect target(box.left() + at.Left, box.top() + at.Top, at.Width(), at.Height());
  if (target.size() == icon.size())
    painter.drawImage(target.topLeft(), icon);
  else
    painter.drawImage(target, icon);
}

bool TImgListView::event(QEvent* e) {
  if (e->type() == TThumbnailResultEvent::kType) {
    const bool taken = jobs_->TakeResult(*static_cast<TThumbnailResultEvent*>(e));
    if (taken && TraceThumbnails() && !jobs_->Busy())
      std::fprintf(stderr, "trace: queue-drained t=%lld stored=%d\n",
                   (long long)traceClock_.elapsed(), traceStored_);
    return true;
  }
  return QListView::event(e);
}

// ---- layout ----

void TImgListView::ApplyLayout() {
  cellStyle_ = ViewImage().CellStyle();
  metrics_ = ComputeCellMetrics(cellStyle_);
  const int side = IconSide();
  if (iconPictures_.CellWidth() != side || iconPictures_.PageWidth() != side) {
    iconPictures_.SetCellWidth(side);
    iconPictures_.SetCellHeight(side);
    iconPictures_.SetPageWidth(side);
    iconCache_.clear();
  }
  TImgList& thumbnails = folder_.Thumbnails();
  if (thumbnails.CellWidth() != cellStyle_.ImageWidth)
    thumbnails.SetCellWidth(cellStyle_.ImageWidth);
  if (thumbnails.CellHeight() != cellStyle_.ImageHeight)
    thumbnails.SetCellHeight(cellStyle_.ImageHeight);

  const bool report = viewStyle_ == vsReport;
  if (report && iconStyle_ == iisImage) {
    const int least = ReportFirstColumnMinWidth(cellStyle_, metrics_);
    if (header_->sectionSize(TImgListModel::ColName) < least)
      header_->resizeSection(TImgListModel::ColName, least);
  }
  switch (viewStyle_) {
    case vsIcon:
      setViewMode(ListMode);
      setFlow(LeftToRight);
      setWrapping(true);
      setResizeMode(Adjust);
      setGridSize(delegate_->ItemSize());
      break;
    case vsSmallIcon:
      setViewMode(ListMode);
      setFlow(LeftToRight);
      setWrapping(true);
      setResizeMode(Adjust);
      setGridSize(QSize());
      break;
    case vsList:
      setViewMode(ListMode);
      setFlow(TopToBottom);
      setWrapping(true);
      setResizeMode(Adjust);
      setGridSize(QSize());
      break;
    case vsReport:
      setViewMode(ListMode);
      setFlow(TopToBottom);
      setWrapping(false);
      setGridSize(QSize());
      break;
  }
  setSpacing(0);
  setUniformItemSizes(true);
  UpdateHeader();
}

void TImgListView::UpdateHeader() {
  const bool report = viewStyle_ == vsReport && showColumnHeaders_;
  header_->setVisible(report);
  const int height = report ? header_->sizeHint().height() : 0;
  setViewportMargins(0, height, 0, 0);
  if (report) {
    const QRect area = viewport()->geometry();
    header_->setGeometry(area.left(), area.top() - height, area.width(), height);
    header_->setOffset(horizontalOffset());
  }
}

void TImgListView::updateGeometries() {
  QListView::updateGeometries();
  if (viewStyle_ == vsReport) UpdateHeader();
}

void TImgListView::scrollContentsBy(int dx, int dy) {
  QListView::scrollContentsBy(dx, dy);
  if (viewStyle_ == vsReport) header_->setOffset(horizontalOffset());
}

void TImgListView::RebuildCaches() {
  TImgList& thumbnails = folder_.Thumbnails();
  thumbnails.SetColor(FromQColor(palette().color(QPalette::Base)));
  iconCache_.clear();
  iconPictures_.Clear();
  if (folder_.ViewMode() == ivmFolder) {
    Refill();
    return;
  }
  thumbnails.Clear();
  for (int i = 0; i < folder_.Items().Count(); ++i) {
    TImgListItem* item = Item(i);
    item->Reset();
    item->Handled = false;
    item->ThumbnailIndex = -1;
    item->IconPictureIndex = -1;
  }
  model_->Reset(folder_.Items().Count());
}

void TImgListView::RebuildCells() {
  setUpdatesEnabled(false);
  refilling_ = true;
  model_->Reset(0);
  jobs_->CancelAll();
  ApplyLayout();
  RebuildCaches();
  refilling_ = true;
  if (model_->Count() != folder_.Items().Count()) model_->Reset(folder_.Items().Count());
  refilling_ = false;
  doItemsLayout();
  setUpdatesEnabled(true);
  viewport()->update();
}

QRect TImgListView::CellRect(int index) const {
  if (index < 0 || index >= Count()) return {};
  const QRect item = visualRect(model_->index(index));
  return delegate_->ImageRect(item);
}

void TImgListView::showEvent(QShowEvent* e) {
  QListView::showEvent(e);
  if (shown_) return;
  shown_ = true;
  // The root is shown when the host has not opened a folder by the time the window
  // appears.
  if (folder_.ViewMode() == ivmFolder && folder_.Folder().empty()) OpenFolder("/");
}

void TImgListView::paintEvent(QPaintEvent* e) {
  if (refilling_) return;
  QListView::paintEvent(e);
  if (TraceThumbnails() && traceKeyAt_ >= 0) {
    const qint64 now = MonotonicMs();
    std::fprintf(stderr, "trace: key-paint key=0x%x from-handler=%lld from-x-event=%lld\n",
                 traceKey_, (long long)(traceClock_.elapsed() - traceKeyAt_),
                 (long long)((quint64(now) - traceKeyXTime_) & 0xffffffffu));
    traceKeyAt_ = -1;
  }
}

void TImgListView::changeEvent(QEvent* e) {
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
