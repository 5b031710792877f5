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

#include "imaging/TColor.h"

namespace quorvane {

// System colours: the high byte marks a palette entry, the low byte its Windows
// number. The Qt layer turns them into palette colours; SystemColorToRGB gives the
// classic values.
constexpr TColor clSystemColor = 0xFF000000;
constexpr TColor clWindow = clSystemColor | 5;
constexpr TColor clWindowText = clSystemColor | 8;
constexpr TColor clInactiveBorder = clSystemColor | 11;
constexpr TColor clHighlight = clSystemColor | 13;
constexpr TColor clBtnFace = clSystemColor | 15;
constexpr TColor clBtnShadow = clSystemColor | 16;
constexpr TColor clBtnHighlight = clSystemColor | 20;
constexpr TColor cl3DDkShadow = clSystemColor | 21;
constexpr TColor cl3DLight = clSystemColor | 22;

constexpr bool IsSystemColor(TColor c) { return (c & 0xFF000000) == clSystemColor; }
// A plain colour stays as it is; a system colour becomes its classic value.
TColor SystemColorToRGB(TColor c);

enum TBevelCut { bvNone, bvLowered, bvRaised, bvSpace };
enum TBorderStyle { bsNone, bsSingle };
enum TIconPosition { iipLeftTop, iipLeftBottom, iipRightTop, iipRightBottom, iipNone };

// The frame of a cell in one state (unselected or selected).
class TFrameStyle {
 public:
  TFrameStyle(bool visible, TColor color, int width)
      : visible_(visible), color_(color), width_(width) {}
  bool Visible() const { return visible_; }
  void SetVisible(bool value);
  TColor Color() const { return color_; }
  void SetColor(TColor value);
  int Width() const { return width_; }
  void SetWidth(int value);
  // Copies all three values (one change event when anything changed).
  void Assign(const TFrameStyle& other);
  std::function<void(TFrameStyle&)> OnChange;

 private:
  void Changed() {
    if (OnChange) OnChange(*this);
  }
  bool visible_;
  TColor color_;
  int width_;
};

// Blank margins of a cell (0, 0, 0, 0).
class TBlankSpace {
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
  std::function<void(TBlankSpace&)> OnChange;

 private:
  void Set(int& field, int value);
  int left_ = 0, top_ = 0, right_ = 0, bottom_ = 0;
};

// The small type icon stamped on stored thumbnails (iipRightBottom, 2 pixels in).
class TSmallIcon {
 public:
  TIconPosition IconPos() const { return iconPos_; }
  void SetIconPos(TIconPosition value);
  int Space() const { return space_; }
  void SetSpace(int value);
  // Copies IconPos only.
  void Assign(const TSmallIcon& other) { SetIconPos(other.iconPos_); }
  std::function<void(TSmallIcon&)> OnChange;

 private:
  TIconPosition iconPos_ = iipRightBottom;
  int space_ = 2;
};

struct TCellRect {
  int Left = 0, Top = 0, Right = 0, Bottom = 0;  // Right and Bottom exclusive
  int Width() const { return Right - Left; }
  int Height() const { return Bottom - Top; }
  bool operator==(const TCellRect&) const = default;
};

// Everything that decides how a cell looks, copied out of the view's settings.
struct TCellStyle {
  int ImageWidth = 94, ImageHeight = 94;
  bool FrameVisible = true;
  TColor FrameColor = clInactiveBorder;
  int FrameWidth = 1;
  bool SelectFrameVisible = true;
  TColor SelectFrameColor = clHighlight;
  int SelectFrameWidth = 3;
  TBorderStyle BorderStyle = bsNone;
  TBevelCut BevelInner = bvNone, BevelOuter = bvNone;
  int BevelWidth = 1;
  int BlankLeft = 0, BlankTop = 0, BlankRight = 0, BlankBottom = 0;
};

struct TCellMetrics {
  int FrameWidth = 0;        // the wider of the visible frames
  int BorderOffset = 0;      // frame width, + 2 with bsSingle
  int OuterBevelOffset = 0;  // + BevelWidth with an outer bevel
  int ImageOffset = 0;       // + BevelWidth with an inner bevel
  int CellExtent = 0;        // frame width + 1 per bevel + 2 with bsSingle
  int UnselectedInset = 0;   // how far the unselected frame sits inside the cell edge
  int SelectedInset = 0;     // likewise for the selected frame
  int CellWidth = 0, CellHeight = 0;
};

TCellMetrics ComputeCellMetrics(const TCellStyle& style);

// The distance between cells' origins: the icon spacing plus the cell size.
struct TCellPitch {
  int X = 0, Y = 0;
};
inline TCellPitch CellPitch(const TCellMetrics& m, int spacingX, int spacingY) {
  return {spacingX + m.CellWidth, spacingY + m.CellHeight};
}

// The least width of the report view's first column in thumbnail style.
inline int ReportFirstColumnMinWidth(const TCellStyle& s, const TCellMetrics& m) {
  return m.CellExtent + s.ImageWidth + 4;
}

// One solid fill of the cell painting.
struct TCellFill {
  TCellRect Rect;
  TColor Color = clBlack;
  bool operator==(const TCellFill&) const = default;
};

// The fills that draw a cell's frame, border and bevels at (x, y), in painting order.
// `highlighted`: the view has the focus (or keeps showing its selection) and the item
// is selected or is the drop target.
std::vector<TCellFill> CellFrameFills(const TCellStyle& style, const TCellMetrics& m, int x, int y,
                                      bool highlighted);

// A 3-D frame of `width` lines inside `r`: top and left in `topLeft`, bottom and right
// in `bottomRight` (the bottom-left and top-right corners take the bottom-right colour).
void AppendFrame3D(std::vector<TCellFill>& fills, TCellRect r, TColor topLeft, TColor bottomRight,
                   int width);

// The image box of a cell at (x, y).
TCellRect CellImageBox(const TCellStyle& style, const TCellMetrics& m, int x, int y);

// Where a picture of w x h goes inside a box of boxW x boxH: shrunk to fit keeping its
// proportions when it is larger than the box, then centred (offsets truncated); a size
// that is not positive takes the box's size. Relative to the box's origin.
TCellRect PlaceInBox(int boxW, int boxH, int w, int h);

// The corner at which the small type icon (side x side) is stamped onto a stored
// thumbnail; none for iipNone.
std::optional<TCellRect> SmallIconRect(TIconPosition pos, int space, int imageW, int imageH,
                                       int side = 16);

}  // namespace quorvane
