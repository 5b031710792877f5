// The cell settings of TViewImage: frames, border, bevels, blank space and the small type
// icon. Every change reaches TViewImage::OnChange, which the view answers by rebuilding
// its cells.

#include "thumbnails/ViewImage.h"

namespace quorvane {

namespace {

template <class T>
bool Store(T& field, T value) {
  if (field == value) return false;
  field = value;
  return true;
}

}  // namespace

void TViewImage::HookCellSettings() {
  frame_.OnChange = [this](TFrameStyle&) { Changed(); };
  selectFrame_.OnChange = [this](TFrameStyle&) { Changed(); };
  smallIcon_.OnChange = [this](TSmallIcon&) { Changed(); };
  blankSpace_.OnChange = [this](TBlankSpace&) { Changed(); };
}

void TViewImage::SetBevelInner(TBevelCut value) {
  if (Store(bevelInner_, value)) Changed();
}
void TViewImage::SetBevelOuter(TBevelCut value) {
  if (Store(bevelOuter_, value)) Changed();
}
void TViewImage::SetBevelWidth(int value) {
  if (Store(bevelWidth_, value)) Changed();
}
void TViewImage::SetBorderWidth(int value) {
  if (Store(borderWidth_, value)) Changed();
}
void TViewImage::SetBorderStyle(TBorderStyle value) {
  if (Store(borderStyle_, value)) Changed();
}

TCellStyle TViewImage::CellStyle() const {
  TCellStyle s;
  s.ImageWidth = ImageWidth();
  s.ImageHeight = ImageHeight();
  s.FrameVisible = frame_.Visible();
  s.FrameColor = frame_.Color();
  s.FrameWidth = frame_.Width();
  s.SelectFrameVisible = selectFrame_.Visible();
  s.SelectFrameColor = selectFrame_.Color();
  s.SelectFrameWidth = selectFrame_.Width();
  s.BorderStyle = borderStyle_;
  s.BevelInner = bevelInner_;
  s.BevelOuter = bevelOuter_;
  s.BevelWidth = bevelWidth_;
  s.BlankLeft = blankSpace_.Left();
  s.BlankTop = blankSpace_.Top();
  s.BlankRight = blankSpace_.Right();
  s.BlankBottom = blankSpace_.Bottom();
  return s;
}

}  // namespace quorvane
