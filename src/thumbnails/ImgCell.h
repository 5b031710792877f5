#pragma once
// Geometry of a thumbnail cell: the derived widths, the cell size and pitch, and the
// rectangles that make up its frame, border and bevels, as plain numbers so that the
// painter and the tests share one description.
//
// A cell (x, y, x + CellWidth, y + CellHeight) holds, from the edge inwards: the frame
// (unselected or selected style, shrunk by that state's inset), the optional sunken
// border, the outer and inner bevels, and the image box of ImageWidth x ImageHeight at
// (x + ImageOffset + Blank.Left, y + ImageOffset + Blank.Top).

#include <functional>
#include <optional>
#include <vector>

#include "imaging/RgbColor.h"

namespace quorvane {

// System colours: the high byte marks a palette entry, the low byte its Windows
// number. The Qt layer turns them into palette colours; SystemColorToRGB gives the
// classic values.
constexpr RgbColor clSystemColor = 0xFF000000;
constexpr RgbColor clWindow = clSystemColor | 5;
constexpr RgbColor clWindowText = clSystemColor | 8;
constexpr RgbColor clInactiveBorder = clSystemColor | 11;
constexpr RgbColor clHighlight = clSystemColor | 13;
constexpr RgbColor clBtnFace = clSystemColor | 15;
constexpr RgbColor clBtnShadow = clSystemColor | 16;
constexpr RgbColor clBtnHighlight = clSystemColor | 20;
constexpr RgbColor cl3DDkShadow = clSystemColor | 21;
constexpr RgbColor cl3DLight = clSystemColor | 22;

constexpr bool IsSystemColor(RgbColor c) { return (c & 0xFF000000) == clSystemColor; }
// A plain colour stays as it is; a system colour becomes its classic value.
RgbColor SystemColorToRGB(RgbColor c);

enum BevelCut { bvNone, bvLowered, bvRaised, bvSpace };
enum CellBorderStyle { bsNone, bsSingle };
enum IconPosition { iipLeftTop, iipLeftBottom, iipRightTop, iipRightBottom, iipNone };

// The frame of a cell in one state (unselected or selected).
class FrameStyle {
 public:
  FrameStyle(bool visible, RgbColor color, int width)
      : visible_(visible), color_(color), width_(width) {}
  bool Visible() const { return visible_; }
  void SetVisible(bool value);
  RgbColor Color() const { return color_; }
  void SetColor(RgbColor value);
  int Width() const { return width_; }
  void SetWidth(int value);
  // Copies all three values (one change event when anything changed).
  void Assign(const FrameStyle& other);
  std::function<void(FrameStyle&)> OnChange;

 private:
  void Changed() {
    if (OnChange) OnChange(*this);
  }
  bool visible_;
  RgbColor color_;
  int width_;
};

// Blank margins of a cell (0, 0, 0, 0).
class BlankSpaceStyle {
 public:
  int Left() const { return left_; }
  void SetLeft(int value);
  int Top() const { return top_; }
  void SetTop(int value);
  int Right() const { return right_; }
  void SetRight(int value);
  int Bottom() const { return bottom_; }
  void SetBottom(int value);
  int Horizontal() const { return left_ + right_; }
  int Vertical() const { return top_ + bottom_; }
  std::function<void(BlankSpaceStyle&)> OnChange;

 private:
  void Set(int& field, int value);
  int left_ = 0, top_ = 0, right_ = 0, bottom_ = 0;
};

// The small type icon stamped on stored thumbnails (iipRightBottom, 2 pixels in).
class SmallIconStyle {
 public:
  IconPosition IconPos() const { return iconPos_; }
  void SetIconPos(IconPosition value);
  int Space() const { return space_; }
  void SetSpace(int value);
  // Copies IconPos only.
  void Assign(const SmallIconStyle& other) { SetIconPos(other.iconPos_); }
  std::function<void(SmallIconStyle&)> OnChange;

 private:
  IconPosition iconPos_ = iipRightBottom;
  int space_ = 2;
};

struct CellRectangle {
  int Left = 0, Top = 0, Right = 0, Bottom = 0;  // Right and Bottom exclusive
  int Width() const { return Right - Left; }
  int Height() const { return Bottom - Top; }
  bool operator==(const CellRectangle&) const = default;
};

// Everything that decides how a cell looks, copied out of the view's settings.
struct CellStyleOptions {
  int ImageWidth = 94, ImageHeight = 94;
  bool FrameVisible = true;
  RgbColor FrameColor = clInactiveBorder;
  int FrameWidth = 1;
  bool SelectFrameVisible = true;
  RgbColor SelectFrameColor = clHighlight;
  int SelectFrameWidth = 3;
  CellBorderStyle BorderStyle = bsNone;
  BevelCut BevelInner = bvNone, BevelOuter = bvNone;
  int BevelWidth = 1;
  int BlankLeft = 0, BlankTop = 0, BlankRight = 0, BlankBottom = 0;
};

struct CellGeometry {
  int FrameWidth = 0;        // the wider of the visible frames
  int BorderOffset = 0;      // frame width, + 2 with bsSingle
  int OuterBevelOffset = 0;  // + BevelWidth with an outer bevel
  int ImageOffset = 0;       // + BevelWidth with an inner bevel
  int CellExtent = 0;        // frame width + 1 per bevel + 2 with bsSingle
  int UnselectedInset = 0;   // how far the unselected frame sits inside the cell edge
  int SelectedInset = 0;     // likewise for the selected frame
  int CellWidth = 0, CellHeight = 0;
};

CellGeometry ComputeCellMetrics(const CellStyleOptions& style);

// The distance between cells' origins: the icon spacing plus the cell size.
struct CellPitchSize {
  int X = 0, Y = 0;
};
inline CellPitchSize CellPitch(const CellGeometry& m, int spacingX, int spacingY) {
  return {spacingX + m.CellWidth, spacingY + m.CellHeight};
}

// The least width of the report view's first column in thumbnail style.
inline int ReportFirstColumnMinWidth(const CellStyleOptions& s, const CellGeometry& m) {
  return m.CellExtent + s.ImageWidth + 4;
}

// One solid fill of the cell painting.
struct CellFill {
  CellRectangle Rect;
  RgbColor Color = clBlack;
  bool operator==(const CellFill&) const = default;
};

// The fills that draw a cell's frame, border and bevels at (x, y), in painting order.
// `highlighted`: the view has the focus (or keeps showing its selection) and the item
// is selected or is the drop target.
std::vector<CellFill> CellFrameFills(const CellStyleOptions& style, const CellGeometry& m, int x, int y,
                                      bool highlighted);

// A 3-D frame of `width` lines inside `r`: top and left in `topLeft`, bottom and right
// in `bottomRight` (the bottom-left and top-right corners take the bottom-right colour).
void AppendFrame3D(std::vector<CellFill>& fills, CellRectangle r, RgbColor topLeft, RgbColor bottomRight,
                   int width);

// The image box of a cell at (x, y).
CellRectangle CellImageBox(const CellStyleOptions& style, const CellGeometry& m, int x, int y);

// Where a picture of w x h goes inside a box of boxW x boxH: shrunk to fit keeping its
// proportions when it is larger than the box, then centred (offsets truncated); a size
// that is not positive takes the box's size. Relative to the box's origin.
CellRectangle PlaceInBox(int boxW, int boxH, int w, int h);

// The corner at which the small type icon (side x side) is stamped onto a stored
// thumbnail; none for iipNone.
std::optional<CellRectangle> SmallIconRect(IconPosition pos, int space, int imageW, int imageH,
                                       int side = 16);

}  // namespace quorvane
