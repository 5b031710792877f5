#pragma once
// The store of finished thumbnails: equal-sized cells packed into a few large 24-bit
// page bitmaps, addressed by index. Pictures are appended one at a time and only ever
// removed all at once; with a memory budget, Store reuses the cell shown least recently
// once the budget is full. User-interface thread only.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "imaging/Bitmap.h"
#include "imaging/RgbColor.h"

namespace quorvane {

class PictureStore {
 public:
  PictureStore();
  PictureStore(const PictureStore&) = delete;
  PictureStore& operator=(const PictureStore&) = delete;

  // Appends a copy of the picture, centred in its cell, and answers its index. A
  // picture larger than the cell keeps the largest part of its top-left corner that
  // fits with its aspect ratio (callers pass pictures already fitted to the cell).
  int Add(const Bitmap& picture);
  // Stores a picture for an owner (`tag`, e.g. an item's number): appended while the
  // budget allows, else in place of the picture shown least recently, whose owner is
  // answered in `dropped` (-1 when nothing was dropped). Answers the cell's index.
  int Store(const Bitmap& picture, int32_t tag, int32_t& dropped);
  // The cell was shown now (its picture is the last to be dropped).
  void Touch(int Index);
  // The cell's owner no longer shows it: it has no owner and is the first one reused.
  void Release(int Index);
  // At most this many bytes of cells for Store (0: no limit).
  size_t Budget() const { return budget_; }
  void SetBudget(size_t bytes) { budget_ = bytes; }
  // The cells Store keeps at most (0: no limit).
  int BudgetCells() const;
  // Store would drop a picture to take another.
  bool Full() const;

  // Makes `out` CellWidth x CellHeight and copies the cell into it. An index outside
  // the stored cells gives a cell of the background colour and answers false.
  bool CopyCell(int Index, Bitmap& out) const;
  // The page holding the cell and the cell's top-left corner there; nullptr for an
  // index outside the pages.
  const Bitmap* GetCell(int Index, int& x, int& y) const;
  // The same for drawing onto a stored picture in place (the type icon stamp).
  Bitmap* GetCellMutable(int Index, int& x, int& y) {
    return const_cast<Bitmap*>(GetCell(Index, x, y));
  }
  // Forgets every picture and frees all pages.
  void Clear();
  // Provides N cells (pages grow and shrink by whole rows of cells).
  void SetCapacity(int N);

  int CellWidth() const { return cellWidth_; }
  int CellHeight() const { return cellHeight_; }
  int PageWidth() const { return pageWidth_; }
  int PageHeight() const { return pageHeight_; }
  // Changing a cell dimension or the page width discards every stored picture.
  void SetCellWidth(int value);
  void SetCellHeight(int value);
  void SetPageWidth(int value);

  // Background of new pages (pages already made keep theirs).
  RgbColor Color() const { return color_; }
  void SetColor(RgbColor value) { color_ = value; }

  int Count() const { return count_; }
  int Capacity() const { return capacity_; }
  int Columns() const { return columns_; }
  int Rows() const { return rows_; }
  int PerPage() const { return perPage_; }
  int PageBitmapWidth() const { return pageBitmapWidth_; }
  int PageBitmapHeight() const { return pageBitmapHeight_; }  // a full page
  int PageCount() const { return int(pages_.size()); }
  const Bitmap& Page(int index) const { return *pages_.at(size_t(index)); }

 private:
  struct CellPos {
    int page, x, y;
  };
  CellPos Locate(int index) const;
  void PutCell(int index, const Bitmap& picture, bool clear);
  void UpdateLayout();
  static int CeilDiv(int a, int b) { return (a + b - 1) / b; }

  std::vector<std::unique_ptr<Bitmap>> pages_;
  int cellWidth_ = 32, cellHeight_ = 32;
  int pageWidth_ = 1024, pageHeight_ = 1024;
  RgbColor color_ = clWhite;
  int count_ = 0, capacity_ = 0;
  int columns_ = 0, rows_ = 0, perPage_ = 0;
  int pageBitmapWidth_ = 0, pageBitmapHeight_ = 0;
  size_t budget_ = 0;
  std::vector<int32_t> tags_;   // per cell: its owner (-1: none)
  std::vector<uint64_t> shown_;  // per cell: when it was stored or last shown
  uint64_t clock_ = 0;
};

}  // namespace quorvane
