#include "thumbnails/PictureStore.h"

#include <algorithm>
#include <cassert>
#include <climits>
#include <cstring>

#include "imaging/ImgResize.h"

namespace quorvane {

PictureStore::PictureStore() { UpdateLayout(); }

void PictureStore::UpdateLayout() {
  if (cellWidth_ <= 0 || cellHeight_ <= 0) {
    columns_ = rows_ = perPage_ = pageBitmapWidth_ = pageBitmapHeight_ = 0;
    return;
  }
  columns_ = pageWidth_ / cellWidth_;
  rows_ = pageHeight_ / cellHeight_;
  perPage_ = columns_ * rows_;
  pageBitmapWidth_ = std::max(columns_ * cellWidth_, cellWidth_);
  pageBitmapHeight_ = std::max(rows_ * cellHeight_, cellHeight_);
}

void PictureStore::SetCellWidth(int value) {
  if (value == cellWidth_) return;
  cellWidth_ = value;
  Clear();
  UpdateLayout();
}

void PictureStore::SetCellHeight(int value) {
  if (value == cellHeight_) return;
  cellHeight_ = value;
  Clear();
  UpdateLayout();
}

void PictureStore::SetPageWidth(int value) {
  if (value == pageWidth_) return;
  pageWidth_ = value;
  Clear();
  UpdateLayout();
}

void PictureStore::Clear() {
  count_ = 0;
  SetCapacity(0);
}

PictureStore::CellPos PictureStore::Locate(int index) const {
  const int r = index % perPage_;
  return {index / perPage_, (r % columns_) * cellWidth_, (r / columns_) * cellHeight_};
}

void PictureStore::SetCapacity(int N) {
  if (N < 0) N = 0;
  // A cell larger than the page gives no cells at all; nothing can be stored then.
  if (N == capacity_ || columns_ == 0 || perPage_ == 0) return;
  const int oldRows = CeilDiv(capacity_, columns_);
  capacity_ = N;
  if (N < count_) count_ = N;
  tags_.resize(size_t(count_));
  shown_.resize(size_t(count_));

  const size_t pagesNeeded = size_t(CeilDiv(N, perPage_));
  // Every page but the last is full height: a short last page that gets successors
  // grows to full height first.
  if (!pages_.empty() && pages_.size() < pagesNeeded &&
      pages_.back()->Height() != pageBitmapHeight_)
    pages_.back()->Resize(pageBitmapWidth_, pageBitmapHeight_, color_);
  while (pages_.size() < pagesNeeded) {
    auto page = std::make_unique<Bitmap>();
    const bool last = pages_.size() + 1 == pagesNeeded;
    page->SetSize(pageBitmapWidth_, last ? 0 : pageBitmapHeight_);
    if (!page->Empty()) page->Fill(color_);
    pages_.push_back(std::move(page));
  }
  pages_.resize(pagesNeeded);

  const int rowsNow = CeilDiv(N, columns_);
  if (!pages_.empty() && rowsNow != oldRows) {
    const int lastHeight = (((N - 1) % perPage_) / columns_ + 1) * cellHeight_;
    pages_.back()->Resize(pageBitmapWidth_, lastHeight, color_);
    capacity_ = rowsNow * columns_;
  }
}

int PictureStore::Add(const Bitmap& picture) {
  const int index = count_;
  ++count_;
  if (capacity_ < count_) SetCapacity(count_);
  tags_.resize(size_t(count_), -1);
  shown_.resize(size_t(count_), ++clock_);
  if (perPage_ == 0) return index;
  PutCell(index, picture, false);
  return index;
}

void PictureStore::PutCell(int index, const Bitmap& picture, bool clear) {
  const CellPos pos = Locate(index);
  Bitmap& page = *pages_[size_t(pos.page)];
  if (clear)
    for (int row = 0; row < cellHeight_; ++row) {
      uint8_t* line = page.ScanLine(pos.y + row) + size_t(pos.x) * 3;
      for (int col = 0; col < cellWidth_; ++col, line += 3) {
        line[0] = GetBValue(color_);
        line[1] = GetGValue(color_);
        line[2] = GetRValue(color_);
      }
    }
  const FittedSize fit =
      FitSize(igtPreview, picture.Width(), picture.Height(), cellWidth_, cellHeight_);
  const int w = std::min(fit.Width, picture.Width());
  const int h = std::min(fit.Height, picture.Height());
  if (w <= 0 || h <= 0) return;
  const int x = pos.x + (cellWidth_ - w) / 2;
  const int y = pos.y + (cellHeight_ - h) / 2;
  assert(x >= 0 && y >= 0 && x + w <= page.Width() && y + h <= page.Height());
  for (int row = 0; row < h; ++row)
    std::memcpy(page.ScanLine(y + row) + size_t(x) * 3, picture.ScanLine(row), size_t(w) * 3);
}

int PictureStore::BudgetCells() const {
  const size_t cell = size_t(std::max(cellWidth_, 0)) * size_t(std::max(cellHeight_, 0)) * 3;
  if (budget_ == 0 || cell == 0) return 0;
  return int(std::clamp<size_t>(budget_ / cell, 1, size_t(INT32_MAX)));
}

bool PictureStore::Full() const {
  const int limit = BudgetCells();
  return limit > 0 && count_ >= limit && perPage_ > 0;
}

int PictureStore::Store(const Bitmap& picture, int32_t tag, int32_t& dropped) {
  dropped = -1;
  int index;
  if (Full()) {
    index = int(std::min_element(shown_.begin(), shown_.end()) - shown_.begin());
    dropped = tags_[size_t(index)];
    PutCell(index, picture, true);
  } else {
    index = Add(picture);
  }
  if (size_t(index) < tags_.size()) {
    tags_[size_t(index)] = tag;
    shown_[size_t(index)] = ++clock_;
  }
  return index;
}

void PictureStore::Release(int Index) {
  if (Index < 0 || size_t(Index) >= tags_.size()) return;
  tags_[size_t(Index)] = -1;
  shown_[size_t(Index)] = 0;
}

void PictureStore::Touch(int Index) {
  if (Index >= 0 && size_t(Index) < shown_.size()) shown_[size_t(Index)] = ++clock_;
}

const Bitmap* PictureStore::GetCell(int Index, int& x, int& y) const {
  x = y = 0;
  if (Index < 0 || perPage_ == 0) return nullptr;
  const CellPos pos = Locate(Index);
  if (size_t(pos.page) >= pages_.size()) return nullptr;
  const Bitmap& page = *pages_[size_t(pos.page)];
  if (pos.y + cellHeight_ > page.Height()) return nullptr;
  x = pos.x;
  y = pos.y;
  return &page;
}

bool PictureStore::CopyCell(int Index, Bitmap& out) const {
  out.SetSize(std::max(cellWidth_, 0), std::max(cellHeight_, 0));
  int x = 0, y = 0;
  const Bitmap* page = GetCell(Index, x, y);
  if (!page) {
    if (!out.Empty()) out.Fill(color_);
    return false;
  }
  for (int row = 0; row < cellHeight_; ++row)
    std::memcpy(out.ScanLine(row), page->ScanLine(y + row) + size_t(x) * 3, size_t(cellWidth_) * 3);
  return true;
}

}  // namespace quorvane
