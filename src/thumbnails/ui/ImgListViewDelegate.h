#pragma once
// Paints the grid's items: thumbnail cells (frame, border, bevels, picture) with their
// captions, icons, and the report view's rows; edits captions in place.

#include <QColor>
#include <QPalette>
#include <QStyledItemDelegate>

#include "imaging/RgbColor.h"

namespace quorvane {

// A colour of the cell settings on screen: the highlight, window and text colours come
// from the palette, the other system colours take their classic values.
QColor ToQColor(RgbColor c, const QPalette& palette);

class ImgListView;
class GridItem;

class ImgListDelegate : public QStyledItemDelegate {
  Q_OBJECT
 public:
  explicit ImgListDelegate(ImgListView& view);

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                        const QModelIndex& index) const override;
  void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const override;

  // The item's size in the current style (the grid pitch in the icon style).
  QSize ItemSize() const;
  // The picture area of an item laid out at `itemRect` (cell, or icon square).
  QRect ImageRect(const QRect& itemRect) const;
  // The caption area of an item laid out at `itemRect`.
  QRect TextRect(const QRect& itemRect) const;
  // Lines of caption text under a cell in the icon style.
  static constexpr int kCaptionLines = 2;

 private:
  void PaintImage(QPainter& painter, GridItem& item, const QRect& rect, bool highlighted) const;
  struct CaptionLook {
    bool highlighted = false;
    bool current = false;  // carries the focus rectangle
    bool hot = false;      // under the pointer with HotTrack
  };
  void PaintCaption(QPainter& painter, const QStyleOptionViewItem& option, const QString& text,
                    const QRect& rect, CaptionLook look, Qt::Alignment align, bool wrap) const;
  // The report style's other columns, the row highlight of RowSelect and GridLines.
  void PaintReportRow(QPainter& painter, const QStyleOptionViewItem& option,
                      const QModelIndex& index, bool highlighted) const;
  int ImageSide() const;  // the icon square in the icon styles

  ImgListView& view_;
};

}  // namespace quorvane
