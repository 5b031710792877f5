#include "thumbnails/ImgCell.h"

#include <gtest/gtest.h>

#include <vector>

#include "thumbnails/ThumbnailContext.h"

namespace quorvane {
namespace {

// Paints the fills of a cell at (0, 0) on a canvas of the cell's size, background 0.
struct Canvas {
  int w, h;
  std::vector<RgbColor> px;
  Canvas(int width, int height) : w(width), h(height), px(size_t(width * height), 0) {}
  void Paint(const std::vector<CellFill>& fills) {
    for (const CellFill& f : fills)
      for (int y = std::max(0, f.Rect.Top); y < std::min(h, f.Rect.Bottom); ++y)
        for (int x = std::max(0, f.Rect.Left); x < std::min(w, f.Rect.Right); ++x)
          px[size_t(y * w + x)] = f.Color;
  }
  RgbColor at(int x, int y) const { return px[size_t(y * w + x)]; }
  // The colour of the ring `inset` pixels inside the edge, when the ring is uniform.
  RgbColor Ring(int inset) const {
    const RgbColor c = at(inset, inset);
    for (int i = inset; i < w - inset; ++i)
      if (at(i, inset) != c || at(i, h - 1 - inset) != c) return 0xDEAD;
    for (int i = inset; i < h - inset; ++i)
      if (at(inset, i) != c || at(w - 1 - inset, i) != c) return 0xDEAD;
    return c;
  }
};

TEST(ImgCell, DefaultCellIsHundredSquareWithFramesWhereTheyBelong) {
  CellStyleOptions style;
  style.FrameColor = clLime;
  style.SelectFrameColor = clRed;
  const CellGeometry m = ComputeCellMetrics(style);
  EXPECT_EQ(m.CellExtent, 3);
  EXPECT_EQ(m.ImageOffset, 3);
  EXPECT_EQ(m.CellWidth, 100);
  EXPECT_EQ(m.CellHeight, 100);
  EXPECT_EQ(CellImageBox(style, m, 10, 20), (CellRectangle{13, 23, 107, 117}));
  const CellPitchSize pitch = CellPitch(m, 15, 32);
  EXPECT_EQ(pitch.X, 115);
  EXPECT_EQ(pitch.Y, 132);
  EXPECT_EQ(ReportFirstColumnMinWidth(style, m), 101);

  // Unselected: a 1-pixel frame two pixels inside the edge; selected: 3 pixels at the edge.
  Canvas plain(100, 100);
  plain.Paint(CellFrameFills(style, m, 0, 0, false));
  EXPECT_EQ(plain.Ring(0), 0u);
  EXPECT_EQ(plain.Ring(1), 0u);
  EXPECT_EQ(plain.Ring(2), clLime);
  EXPECT_EQ(plain.Ring(3), 0u);
  Canvas selected(100, 100);
  selected.Paint(CellFrameFills(style, m, 0, 0, true));
  for (int i = 0; i < 3; ++i) EXPECT_EQ(selected.Ring(i), clRed) << i;
  EXPECT_EQ(selected.Ring(3), 0u);

  // A frame wider than the selected one: the selected frame moves in instead.
  style.FrameWidth = 5;
  const CellGeometry wide = ComputeCellMetrics(style);
  EXPECT_EQ(wide.CellWidth, 104);
  EXPECT_EQ(wide.UnselectedInset, 0);
  EXPECT_EQ(wide.SelectedInset, 2);
  Canvas sel2(104, 104);
  sel2.Paint(CellFrameFills(style, wide, 0, 0, true));
  EXPECT_EQ(sel2.Ring(1), 0u);
  EXPECT_EQ(sel2.Ring(2), clRed);
  EXPECT_EQ(sel2.Ring(5), 0u);

  // An invisible style draws nothing and takes no room.
  style.SelectFrameVisible = false;
  style.FrameVisible = false;
  const CellGeometry none = ComputeCellMetrics(style);
  EXPECT_EQ(none.CellWidth, 94);
  EXPECT_TRUE(CellFrameFills(style, none, 0, 0, true).empty());
}

TEST(ImgCell, BorderAndBevels) {
  CellStyleOptions style;
  style.BorderStyle = bsSingle;
  CellGeometry m = ComputeCellMetrics(style);
  EXPECT_EQ(m.CellWidth, 104);  // the border grows the cell by 4 in each direction
  EXPECT_EQ(m.ImageOffset, 5);
  Canvas c(104, 104);
  c.Paint(CellFrameFills(style, m, 0, 0, false));
  // Ring 3 (just inside the frame width): shadow top-left, white bottom-right.
  EXPECT_EQ(c.at(3, 50), clBtnShadow);
  EXPECT_EQ(c.at(50, 3), clBtnShadow);
  EXPECT_EQ(c.at(100, 50), clWhite);
  EXPECT_EQ(c.at(50, 100), clWhite);
  EXPECT_EQ(c.at(3, 100), clWhite);  // the bottom-left corner takes the bottom colour
  EXPECT_EQ(c.at(100, 3), clWhite);
  EXPECT_EQ(c.at(4, 50), cl3DDkShadow);
  EXPECT_EQ(c.at(99, 50), cl3DLight);
  EXPECT_EQ(c.at(5, 50), 0u);

  // Bevels: the extent counts one pixel each, the image offset counts BevelWidth.
  style.BorderStyle = bsNone;
  style.BevelOuter = bvLowered;
  style.BevelInner = bvRaised;
  style.BevelWidth = 2;
  m = ComputeCellMetrics(style);
  EXPECT_EQ(m.CellExtent, 5);
  EXPECT_EQ(m.OuterBevelOffset, 5);
  EXPECT_EQ(m.ImageOffset, 7);
  Canvas b(m.CellWidth, m.CellHeight);
  b.Paint(CellFrameFills(style, m, 0, 0, false));
  EXPECT_EQ(b.at(3, 50), clBtnShadow);  // outer, lowered
  EXPECT_EQ(b.at(4, 50), clBtnShadow);
  EXPECT_EQ(b.at(5, 50), clBtnHighlight);  // inner, raised
  EXPECT_EQ(b.at(6, 50), clBtnHighlight);
  EXPECT_EQ(b.at(m.CellWidth - 6, 50), clBtnShadow);
}

TEST(ImgCell, IconPlacementAndSmallIcon) {
  EXPECT_EQ(PlaceInBox(94, 94, 32, 32), (CellRectangle{31, 31, 63, 63}));
  EXPECT_EQ(PlaceInBox(94, 94, 33, 32), (CellRectangle{30, 31, 63, 63}));
  EXPECT_EQ(PlaceInBox(94, 94, 0, 32), (CellRectangle{0, 0, 94, 94}));
  EXPECT_EQ(PlaceInBox(94, 94, 188, 47), (CellRectangle{0, 35, 94, 58}));
  EXPECT_EQ(PlaceInBox(94, 50, 100, 100), (CellRectangle{22, 0, 72, 50}));

  EXPECT_EQ(SmallIconRect(iipLeftTop, 9, 94, 94), (CellRectangle{0, 0, 16, 16}));
  EXPECT_EQ(SmallIconRect(iipLeftBottom, 2, 94, 94), (CellRectangle{0, 76, 16, 92}));
  EXPECT_EQ(SmallIconRect(iipRightTop, 2, 94, 80), (CellRectangle{76, 0, 92, 16}));
  EXPECT_EQ(SmallIconRect(iipRightBottom, 2, 94, 80), (CellRectangle{76, 62, 92, 78}));
  EXPECT_FALSE(SmallIconRect(iipNone, 2, 94, 94).has_value());
  EXPECT_EQ(SystemColorToRGB(clRed), clRed);
  EXPECT_FALSE(IsSystemColor(SystemColorToRGB(clHighlight)));
}

TEST(ImgCell, SettingsFireOneChangePerRealChange) {
  ThumbnailContext view;
  int changes = 0;
  view.OnChange = [&](ThumbnailContext&) { ++changes; };
  const CellStyleOptions defaults = view.CellStyle();
  EXPECT_EQ(ComputeCellMetrics(defaults).CellWidth, 100);
  EXPECT_EQ(defaults.SelectFrameColor, clHighlight);
  EXPECT_EQ(view.SmallIcon().IconPos(), iipRightBottom);

  view.Frame().SetWidth(1);  // unchanged: no event
  view.SelectFrame().SetColor(clRed);
  view.BlankSpace().SetLeft(4);
  view.SmallIcon().SetSpace(2);  // unchanged
  view.SmallIcon().SetIconPos(iipLeftTop);
  view.SetBorderStyle(bsSingle);
  view.SetBorderStyle(bsSingle);
  view.SetBorderWidth(7);  // stored, no effect on the geometry
  EXPECT_EQ(changes, 5);
  EXPECT_EQ(view.BorderWidth(), 7);
  const CellStyleOptions changed = view.CellStyle();
  EXPECT_EQ(changed.SelectFrameColor, clRed);
  EXPECT_EQ(ComputeCellMetrics(changed).CellWidth, 108);

  // Assigning a frame copies all three values; a small icon copies only its position.
  FrameStyle other(false, clBlue, 9);
  view.Frame().Assign(other);
  EXPECT_EQ(changes, 6);
  EXPECT_FALSE(view.Frame().Visible());
  EXPECT_EQ(view.Frame().Width(), 9);
  SmallIconStyle icon;
  icon.SetSpace(11);
  view.SmallIcon().Assign(icon);
  EXPECT_EQ(view.SmallIcon().IconPos(), iipRightBottom);
  EXPECT_EQ(view.SmallIcon().Space(), 2);
  EXPECT_EQ(changes, 7);
}

}  // namespace
}  // namespace quorvane
