#pragma once
// Geometry of a thumbnail cell: the derived widths, the cell size and pitch, and the
// rectangles that make up its frame, border and bevels, as plain numbers so that the
// painter and the tests share one description.
//
// A cell (x, y, x + CellWidth, y + CellHeight) holds, from the edge inwards: the frame
// (unselected or selected style, shrunk by that state's inset), the optional sunken
// border, the outer and inner bevels, and the image box of ImageWidth x ImageHeight at
// (x + ImageOffset + Blank.Left, y + ImageOffset + Blank.Top).

#include <optional>
#include <vector>

#include "shell/TColor.h"

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
