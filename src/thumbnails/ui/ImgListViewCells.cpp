// The grid's cells: their layout in each style, the caches of their pictures, and the
// picture part of a cell (its thumbnail, or the enlarged icon of its file type).

#include <QHeaderView>
#include <QPainter>
#include <algorithm>

#include "imaging/ui/QtBitmap.h"
#include "thumbnails/ui/ImgListView.h"
#include "thumbnails/ui/ImgListViewDelegate.h"
#include "thumbnails/ui/ImgListViewModel.h"

namespace quorvane {

// ---- layout ----

void ImgListView::ApplyLayout() {
  cellStyle_ = ViewImage().CellStyle();
  metrics_ = ComputeCellMetrics(cellStyle_);
  const int side = IconSide();
  if (iconPictures_.CellWidth() != side || iconPictures_.PageWidth() != side) {
    iconPictures_.SetCellWidth(side);
    iconPictures_.SetCellHeight(side);
    iconPictures_.SetPageWidth(side);
    iconCache_.clear();
  }
  // Thumbnails are kept at device pixels: sharp on a screen with a scale above 1.
  folder_.SetDeviceScale(devicePixelRatioF());
  PictureStore& thumbnails = folder_.Thumbnails();
  if (thumbnails.CellWidth() != folder_.DevicePixels(cellStyle_.ImageWidth))
    thumbnails.SetCellWidth(folder_.DevicePixels(cellStyle_.ImageWidth));
  if (thumbnails.CellHeight() != folder_.DevicePixels(cellStyle_.ImageHeight))
    thumbnails.SetCellHeight(folder_.DevicePixels(cellStyle_.ImageHeight));

  const bool report = viewStyle_ == vsReport;
  if (report && iconStyle_ == iisImage) {
    const int least = ReportFirstColumnMinWidth(cellStyle_, metrics_);
    if (header_->sectionSize(ImgListModel::ColName) < least)
      header_->resizeSection(ImgListModel::ColName, least);
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

void ImgListView::UpdateHeader() {
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

void ImgListView::updateGeometries() {
  QListView::updateGeometries();
  if (viewStyle_ == vsReport) UpdateHeader();
}

void ImgListView::scrollContentsBy(int dx, int dy) {
  QListView::scrollContentsBy(dx, dy);
  if (viewStyle_ == vsReport) header_->setOffset(horizontalOffset());
}

void ImgListView::RebuildCaches() {
  PictureStore& thumbnails = folder_.Thumbnails();
  thumbnails.SetColor(FromQColor(palette().color(QPalette::Base)));
  iconCache_.clear();
  iconPictures_.Clear();
  if (folder_.ViewMode() == ivmFolder) {
    Refill();
    return;
  }
  thumbnails.Clear();
  for (int i = 0; i < folder_.Items().Count(); ++i) {
    GridItem* item = Item(i);
    item->Reset();
    item->Handled = false;
    item->ThumbnailIndex = -1;
    item->IconPictureIndex = -1;
  }
  model_->Reset(folder_.Items().Count());
}

void ImgListView::RebuildCells() {
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

QRect ImgListView::CellRect(int index) const {
  if (index < 0 || index >= Count()) return {};
  const QRect item = visualRect(model_->index(index));
  return delegate_->ImageRect(item);
}

// ---- pictures ----

void ImgListView::StampSmallIcon(GridItem& item) {
  if (iconStyle_ != iisImage || IsIconKind(item.ImageKind()) ||
      !ViewImage().DispImage().Has(item.ImageKind()))
    return;
  const int side = QtIconProvider::kSmallIconSize;
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
      BitmapImage(*page, x, y, folder_.Thumbnails().CellWidth(), folder_.Thumbnails().CellHeight());
  QPainter painter(&cell);
  painter.setClipRect(cell.rect());
  painter.scale(folder_.DeviceScale(), folder_.DeviceScale());  // the place is in points
  painter.drawImage(QPoint(place->Left, place->Top), icon);
}

QImage ImgListView::SmallTypeIcon(GridItem& item) {
  return iconProvider_.TypeIconImage(platform_.TypeKey(item.IconIndex()),
                                     QtIconProvider::kSmallIconSize);
}

int ImgListView::IconSide() const {
  const ThumbnailContext& settings = const_cast<ShellFolderView&>(folder_).ViewImage();
  const int side = settings.BigIcon() ? settings.BigIconSize() : QtIconProvider::kLargeIconSize;
  return std::clamp(side, 1, 1024);
}

QImage ImgListView::EnlargedIcon(GridItem& item) {
  const int side = iconPictures_.CellWidth();
  if (item.IconPictureIndex < 0) {
    const std::string key = std::to_string(item.Overlay()) + "/" + std::to_string(item.IconIndex());
    const auto found = iconCache_.find(key);
    if (found != iconCache_.end()) {
      item.IconPictureIndex = found->second;
    } else {
      Bitmap picture;
      const RgbColor background = ViewImage().ImgUtil().BKColor();
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
  return page ? BitmapImage(*page, x, y, side, side) : QImage();
}

void ImgListView::PaintCellPicture(QPainter& painter, GridItem& item, const QRect& box) {
  PictureStore& thumbnails = folder_.Thumbnails();
  if (item.ThumbnailIndex >= 0) {
    thumbnails.Touch(item.ThumbnailIndex);
    int x = 0, y = 0;
    if (const Bitmap* page = thumbnails.GetCell(item.ThumbnailIndex, x, y)) {
      // The cell holds device pixels: drawn one to one onto the screen's pixels.
      QImage cell = BitmapImage(*page, x, y, thumbnails.CellWidth(), thumbnails.CellHeight());
      cell.setDevicePixelRatio(folder_.DeviceScale());
      painter.drawImage(box.topLeft(), cell);
    }
    return;
  }
  if (!item.HasIdList()) return;
  if (!item.Handled && ViewImage().NeedsThumbnail(item.ImageKind())) {
    item.LookedAhead = false;  // shown again: made again (from the disk cache)
    jobs_->Queue(item.Number(), true);
    ScheduleJobStart();
    return;
  }
  item.Handled = true;
  const QImage icon = EnlargedIcon(item);
  if (icon.isNull()) return;
  const CellRectangle at = PlaceInBox(box.width(), box.height(), icon.width(), icon.height());
  const QRect target(box.left() + at.Left, box.top() + at.Top, at.Width(), at.Height());
  if (target.size() == icon.size())
    painter.drawImage(target.topLeft(), icon);
  else
    painter.drawImage(target, icon);
}

}  // namespace quorvane
