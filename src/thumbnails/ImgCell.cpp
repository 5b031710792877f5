#include "thumbnails/ImgCell.h"

#include <algorithm>
#include <cstdint>

namespace quorvane {

namespace {

CellRectangle Shrink(CellRectangle r, int by) {
  return {r.Left + by, r.Top + by, r.Right - by, r.Bottom - by};
}

void AppendBevel(std::vector<CellFill>& fills, CellRectangle r, BevelCut cut, int width) {
  if (cut == bvNone) return;
  if (cut == bvLowered)
    AppendFrame3D(fills, r, clBtnShadow, clBtnHighlight, width);
  else
    AppendFrame3D(fills, r, clBtnHighlight, clBtnShadow, width);
}

}  // namespace

void FrameStyle::SetVisible(bool value) {
  if (value == visible_) return;
  visible_ = value;
  Changed();
}

void FrameStyle::SetColor(RgbColor value) {
  if (value == color_) return;
  color_ = value;
  Changed();
}

void FrameStyle::SetWidth(int value) {
  if (value == width_) return;
  width_ = value;
  Changed();
}

void FrameStyle::Assign(const FrameStyle& other) {
  if (visible_ == other.visible_ && color_ == other.color_ && width_ == other.width_) return;
  visible_ = other.visible_;
  color_ = other.color_;
  width_ = other.width_;
  Changed();
}

void BlankSpaceStyle::Set(int& field, int value) {
  if (value == field) return;
  field = value;
  if (OnChange) OnChange(*this);
}
void BlankSpaceStyle::SetLeft(int value) { Set(left_, value); }
void BlankSpaceStyle::SetTop(int value) { Set(top_, value); }
void BlankSpaceStyle::SetRight(int value) { Set(right_, value); }
void BlankSpaceStyle::SetBottom(int value) { Set(bottom_, value); }

void SmallIconStyle::SetIconPos(IconPosition value) {
  if (value == iconPos_) return;
  iconPos_ = value;
  if (OnChange) OnChange(*this);
}

void SmallIconStyle::SetSpace(int value) {
  if (value == space_) return;
  space_ = value;
  if (OnChange) OnChange(*this);
}

RgbColor SystemColorToRGB(RgbColor c) {
  if (!IsSystemColor(c)) return c;
  switch (c) {
    case clWindow:
      return clWhite;
    case clWindowText:
      return clBlack;
    case clInactiveBorder:
      return RGB(0xD4, 0xD0, 0xC8);
    case clHighlight:
      return RGB(0x0A, 0x24, 0x6A);
    case clBtnFace:
      return RGB(0xD4, 0xD0, 0xC8);
    case clBtnShadow:
      return RGB(0x80, 0x80, 0x80);
    case clBtnHighlight:
      return clWhite;
    case cl3DDkShadow:
      return RGB(0x40, 0x40, 0x40);
    case cl3DLight:
      return RGB(0xD4, 0xD0, 0xC8);
    default:
      return clBlack;
  }
}

CellGeometry ComputeCellMetrics(const CellStyleOptions& s) {
  CellGeometry m;
  const int frame = s.FrameVisible ? s.FrameWidth : 0;
  const int select = s.SelectFrameVisible ? s.SelectFrameWidth : 0;
  m.FrameWidth = std::max(frame, select);
  m.BorderOffset = m.FrameWidth + (s.BorderStyle == bsSingle ? 2 : 0);
  m.OuterBevelOffset = m.BorderOffset + (s.BevelOuter != bvNone ? s.BevelWidth : 0);
  m.ImageOffset = m.OuterBevelOffset + (s.BevelInner != bvNone ? s.BevelWidth : 0);
  // One pixel per bevel whatever BevelWidth is: with the default width of 1 the extent
  // and the image offset agree.
  m.CellExtent = m.FrameWidth + (s.BevelInner != bvNone ? 1 : 0) +
                 (s.BevelOuter != bvNone ? 1 : 0) + (s.BorderStyle == bsSingle ? 2 : 0);
  const bool both = s.FrameVisible && s.SelectFrameVisible;
  m.UnselectedInset =
      both && s.SelectFrameWidth > s.FrameWidth ? s.SelectFrameWidth - s.FrameWidth : 0;
  m.SelectedInset =
      both && s.FrameWidth > s.SelectFrameWidth ? s.FrameWidth - s.SelectFrameWidth : 0;
  m.CellWidth = s.BlankLeft + s.BlankRight + 2 * m.CellExtent + s.ImageWidth;
  m.CellHeight = s.BlankTop + s.BlankBottom + 2 * m.CellExtent + s.ImageHeight;
  return m;
}

void AppendFrame3D(std::vector<CellFill>& fills, CellRectangle r, RgbColor topLeft, RgbColor bottomRight,
                   int width) {
  for (int i = 0; i < width && r.Width() > 0 && r.Height() > 0; ++i) {
    const int right = r.Right - 1, bottom = r.Bottom - 1;
    fills.push_back({{r.Left, r.Top, right, r.Top + 1}, topLeft});        // top
    fills.push_back({{r.Left, r.Top, r.Left + 1, bottom}, topLeft});      // left
    fills.push_back({{right, r.Top, r.Right, r.Bottom}, bottomRight});    // right
    fills.push_back({{r.Left, bottom, r.Right, r.Bottom}, bottomRight});  // bottom
    r = Shrink(r, 1);
  }
}

std::vector<CellFill> CellFrameFills(const CellStyleOptions& s, const CellGeometry& m, int x, int y,
                                      bool highlighted) {
  std::vector<CellFill> fills;
  const CellRectangle cell{x, y, x + m.CellWidth, y + m.CellHeight};
  const bool useSelect = highlighted && s.SelectFrameVisible;
  const bool useFrame = !highlighted && s.FrameVisible;
  if (useSelect || useFrame) {
    const int w = useSelect ? s.SelectFrameWidth : s.FrameWidth;
    const RgbColor color = useSelect ? s.SelectFrameColor : s.FrameColor;
    const CellRectangle r = Shrink(cell, useSelect ? m.SelectedInset : m.UnselectedInset);
    if (w > 0) {
      fills.push_back({{r.Left, r.Top, r.Left + w, r.Bottom}, color});      // left
      fills.push_back({{r.Left, r.Bottom - w, r.Right, r.Bottom}, color});  // bottom
      fills.push_back({{r.Right - w, r.Top, r.Right, r.Bottom}, color});    // right
      fills.push_back({{r.Left, r.Top, r.Right, r.Top + w}, color});        // top
    }
  }
  if (s.BorderStyle == bsSingle) {
    const CellRectangle r = Shrink(cell, m.FrameWidth);
    AppendFrame3D(fills, r, clBtnShadow, clWhite, 1);
    AppendFrame3D(fills, Shrink(r, 1), cl3DDkShadow, cl3DLight, 1);
  }
  AppendBevel(fills, Shrink(cell, m.BorderOffset), s.BevelOuter, s.BevelWidth);
  AppendBevel(fills, Shrink(cell, m.OuterBevelOffset), s.BevelInner, s.BevelWidth);
  return fills;
}

CellRectangle CellImageBox(const CellStyleOptions& s, const CellGeometry& m, int x, int y) {
  const int left = x + m.ImageOffset + s.BlankLeft;
  const int top = y + m.ImageOffset + s.BlankTop;
  return {left, top, left + s.ImageWidth, top + s.ImageHeight};
}

CellRectangle PlaceInBox(int boxW, int boxH, int w, int h) {
  if (w <= 0 || h <= 0) {
    w = boxW;
    h = boxH;
  }
  if (w > boxW || h > boxH) {
    // Exact quotients in integers: the wider side takes the box.
    if (int64_t(w) * boxH >= int64_t(h) * boxW) {
      h = std::max(1, int(int64_t(h) * boxW / w));
      w = boxW;
    } else {
      w = std::max(1, int(int64_t(w) * boxH / h));
      h = boxH;
    }
  }
  const int left = (boxW - w) / 2, top = (boxH - h) / 2;
  return {left, top, left + w, top + h};
}

std::optional<CellRectangle> SmallIconRect(IconPosition pos, int space, int imageW, int imageH,
                                       int side) {
  int x = 0, y = 0;
  switch (pos) {
    case iipLeftTop:
      break;
    case iipLeftBottom:
      y = imageH - space - side;
      break;
    case iipRightTop:
      x = imageW - space - side;
      break;
    case iipRightBottom:
      x = imageW - space - side;
      y = imageH - space - side;
      break;
    case iipNone:
      return std::nullopt;
  }
  return CellRectangle{x, y, x + side, y + side};
}

}  // namespace quorvane
