// The cell settings of ThumbnailContext: frames, border, bevels, blank space and the small type
// icon. Every change reaches ThumbnailContext::OnChange, which the view answers by rebuilding
// its cells.

#include "thumbnails/ThumbnailContext.h"

namespace quorvane {

namespace {

template <class T>
bool Store(T& field, T value) {
  if (field == value) return false;
  field = value;
  return true;
}

}  // namespace

void ThumbnailContext::HookCellSettings() {
  frame_.OnChange = [this](FrameStyle&) { Changed(); };
  selectFrame_.OnChange = [this](FrameStyle&) { Changed(); };
  smallIcon_.OnChange = [this](SmallIconStyle&) { Changed(); };
  blankSpace_.OnChange = [this](BlankSpaceStyle&) { Changed(); };
}

void ThumbnailContext::SetBevelInner(BevelCut value) {
  if (Store(bevelInner_, value)) Changed();
}
void ThumbnailContext::SetBevelOuter(BevelCut value) {
  if (Store(bevelOuter_, value)) Changed();
}
void ThumbnailContext::SetBevelWidth(int value) {
  if (Store(bevelWidth_, value)) Changed();
}
void ThumbnailContext::SetBorderWidth(int value) {
  if (Store(borderWidth_, value)) Changed();
}
void ThumbnailContext::SetBorderStyle(CellBorderStyle value) {
  if (Store(borderStyle_, value)) Changed();
}

CellStyleOptions ThumbnailContext::CellStyle() const {
  CellStyleOptions s;
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
