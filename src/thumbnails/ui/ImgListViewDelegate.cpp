#include "thumbnails/ui/ImgListViewDelegate.h"

#include <QApplication>
#include <QFile>
#include <QHeaderView>
#include <QLineEdit>
#include <QPainter>
#include <QStyle>
#include <QTextLayout>

#include "imaging/ui/QtBitmap.h"
#include "thumbnails/ui/ImgListView.h"
#include "thumbnails/ui/ImgListViewModel.h"

namespace quorvane {

namespace {

constexpr int kIconTextGap = 4;
constexpr int kListTextWidth = 160;  // text width of an item in the small-icon and list styles
constexpr int kIconGridWidth = 76;   // the icon styles' spacing across

}  // namespace

QColor ToQColor(RgbColor c, const QPalette& palette) {
  switch (c) {
    case clHighlight:
      return palette.color(QPalette::Active, QPalette::Highlight);
    case clWindow:
      return palette.color(QPalette::Base);
    case clWindowText:
      return palette.color(QPalette::Text);
    default:
      break;
  }
  return ToQColor(SystemColorToRGB(c));
}

ImgListDelegate::ImgListDelegate(ImgListView& view) : QStyledItemDelegate(&view), view_(view) {}

int ImgListDelegate::ImageSide() const {
  return view_.IconStyle() == iisSmallIcon ? QtIconProvider::kSmallIconSize
                                           : QtIconProvider::kLargeIconSize;
}

QSize ImgListDelegate::ItemSize() const {
  const int line = view_.fontMetrics().height();
  const bool cells = view_.IconStyle() == iisImage;
  const CellGeometry& m = view_.CellMetrics();
  const QSize image = cells ? QSize(m.CellWidth, m.CellHeight) : QSize(ImageSide(), ImageSide());
  switch (view_.ViewStyle()) {
    case vsIcon:
      if (cells) {
        const CellPitchSize pitch =
            CellPitch(m, view_.View().IconSpacing().X(), view_.View().IconSpacing().Y());
        return {pitch.X, pitch.Y};
      }
      // Room for a name like "photo_1234.jpg" on one line.
      return {std::max({kIconGridWidth, image.width() + 8,
                        view_.fontMetrics().horizontalAdvance(QStringLiteral("photo_1234.jpg"))}),
              image.height() + 6 + kCaptionLines * line};
    case vsSmallIcon:
    case vsList:
      return {image.width() + kIconTextGap + kListTextWidth, std::max(image.height(), line) + 2};
    case vsReport: {
      const QHeaderView* header = view_.Header();
      const int width = header ? header->length() : image.width() + kListTextWidth;
      return {width, std::max(image.height(), line) + 2};
    }
  }
  return image;
}

QSize ImgListDelegate::sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const {
  return ItemSize();
}

QRect ImgListDelegate::ImageRect(const QRect& r) const {
  const bool cells = view_.IconStyle() == iisImage;
  const CellGeometry& m = view_.CellMetrics();
  const QSize image = cells ? QSize(m.CellWidth, m.CellHeight) : QSize(ImageSide(), ImageSide());
  if (view_.ViewStyle() == vsIcon)
    return QRect(QPoint(r.left() + (r.width() - image.width()) / 2, r.top() + (cells ? 0 : 2)),
                 image);
  return QRect(QPoint(r.left() + 2, r.top() + (r.height() - image.height()) / 2), image);
}

QRect ImgListDelegate::TextRect(const QRect& r) const {
  const QRect image = ImageRect(r);
  if (view_.ViewStyle() == vsIcon)
    return QRect(r.left() + 1, image.bottom() + 3, r.width() - 2, r.bottom() - image.bottom() - 3);
  int right = r.right();
  if (view_.ViewStyle() == vsReport) {
    const QHeaderView* header = view_.Header();
    if (header) right = r.left() + header->sectionSize(ImgListModel::ColName) - 1;
  }
  return QRect(QPoint(image.right() + kIconTextGap, r.top()), QPoint(right, r.bottom()));
}

void ImgListDelegate::PaintImage(QPainter& painter, GridItem& item, const QRect& rect,
                                  bool highlighted) const {
  if (view_.IconStyle() == iisImage) {
    const CellStyleOptions& style = view_.CellStyle();
    const CellGeometry& m = view_.CellMetrics();
    const QPalette& palette = view_.palette();
    for (const CellFill& fill : CellFrameFills(style, m, rect.left(), rect.top(), highlighted))
      painter.fillRect(QRect(fill.Rect.Left, fill.Rect.Top, fill.Rect.Width(), fill.Rect.Height()),
                       ToQColor(fill.Color, palette));
    const CellRectangle box = CellImageBox(style, m, rect.left(), rect.top());
    const QRect picture(box.Left, box.Top, box.Width(), box.Height());
    view_.PaintCellPicture(painter, item, picture);
    if (view_.IsCut(item)) {
      // Cut and not yet pasted: the picture shows faded.
      QColor veil = palette.color(QPalette::Base);
      veil.setAlpha(150);
      painter.fillRect(picture, veil);
    }
    return;
  }
  const int side = ImageSide();
  QImage icon = view_.IconProvider().TypeIconImage(view_.Platform().TypeKey(item.IconIndex()), side,
                                                   item.Overlay());
  if (icon.isNull()) return;
  if (highlighted) {
    // A selected icon takes a tint of the highlight colour, as list views show it.
    icon = icon.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QPainter tint(&icon);
    tint.setCompositionMode(QPainter::CompositionMode_SourceAtop);
    QColor color = view_.palette().color(QPalette::Active, QPalette::Highlight);
    color.setAlpha(110);
    tint.fillRect(icon.rect(), color);
  }
  const qreal opacity = painter.opacity();
  if (view_.IsCut(item)) painter.setOpacity(opacity * 0.45);  // cut: faded
  painter.drawImage(rect.topLeft(), icon);
  painter.setOpacity(opacity);
}

void ImgListDelegate::PaintCaption(QPainter& painter, const QStyleOptionViewItem& option,
                                    const QString& text, const QRect& rect, CaptionLook look,
                                    Qt::Alignment align, bool wrap) const {
  if (text.isEmpty() || rect.width() <= 0 || rect.height() <= 0) return;
  const bool highlighted = look.highlighted;
  const QFontMetrics metrics = view_.fontMetrics();
  QStringList lines;
  if (wrap) {
    // Up to two lines broken at word or character boundaries, the last one elided.
    QTextLayout layout(text, view_.font());
    QTextOption textOption(Qt::AlignHCenter);
    textOption.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(textOption);
    layout.beginLayout();
    int consumed = 0;
    for (int n = 0; n < kCaptionLines; ++n) {
      QTextLine line = layout.createLine();
      if (!line.isValid()) break;
      line.setLineWidth(rect.width() - 4);
      if (n == kCaptionLines - 1) {
        lines << metrics.elidedText(text.mid(consumed), Qt::ElideRight, rect.width() - 4);
        consumed = int(text.size());
      } else {
        lines << text.mid(line.textStart(), line.textLength()).trimmed();
        consumed = line.textStart() + line.textLength();
      }
      if (consumed >= text.size()) break;
    }
    layout.endLayout();
  } else {
    lines << metrics.elidedText(text, Qt::ElideRight, rect.width() - 4);
  }
  int widest = 0;
  for (const QString& line : lines) widest = std::max(widest, metrics.horizontalAdvance(line));
  const int height = int(lines.size()) * metrics.height();
  int left = rect.left() + 2;
  if (align & Qt::AlignHCenter) left = rect.left() + (rect.width() - widest) / 2;
  if (align & Qt::AlignRight) left = rect.right() - 1 - widest;
  const int top = wrap ? rect.top() : rect.top() + (rect.height() - height) / 2;
  const QRect bounds(left - 2, top, widest + 4, height);
  const QPalette& palette = view_.palette();
  if (highlighted) painter.fillRect(bounds, palette.color(QPalette::Active, QPalette::Highlight));
  painter.setPen(palette.color(QPalette::Active, highlighted ? QPalette::HighlightedText
                                                 : look.hot  ? QPalette::Highlight
                                                             : QPalette::Text));
  if (look.hot) {
    QFont underlined = view_.font();
    underlined.setUnderline(true);
    painter.setFont(underlined);
  } else {
    painter.setFont(view_.font());
  }
  for (int i = 0; i < lines.size(); ++i) {
    const int w = metrics.horizontalAdvance(lines[i]);
    int x = left;
    if (align & Qt::AlignHCenter) x = rect.left() + (rect.width() - w) / 2;
    if (align & Qt::AlignRight) x = rect.right() - 1 - w;
    painter.drawText(QPoint(x, top + i * metrics.height() + metrics.ascent()), lines[i]);
  }
  if (look.current && view_.hasFocus()) {
    QStyleOptionFocusRect focus;
    focus.initFrom(&view_);
    focus.rect = bounds;
    focus.backgroundColor = palette.color(highlighted ? QPalette::Highlight : QPalette::Base);
    view_.style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, option.widget);
  }
}

void ImgListDelegate::PaintReportRow(QPainter& painter, const QStyleOptionViewItem& option,
                                      const QModelIndex& index, bool highlighted) const {
  const QHeaderView* header = view_.Header();
  if (!header) return;
  const QRect r = option.rect;
  const QAbstractItemModel* model = index.model();
  const bool wholeRow = highlighted && view_.RowSelect();
  for (int column = ImgListModel::ColSize; column < ImgListModel::ColumnCount; ++column) {
    const int x = r.left() + header->sectionPosition(column);
    const QRect section(x, r.top(), header->sectionSize(column), r.height());
    if (wholeRow)
      painter.fillRect(section, view_.palette().color(QPalette::Active, QPalette::Highlight));
    const QModelIndex at = model->index(index.row(), column);
    const auto align = Qt::Alignment(model->data(at, Qt::TextAlignmentRole).toInt());
    PaintCaption(painter, option, model->data(at, Qt::DisplayRole).toString(),
                 section.adjusted(4, 0, -4, 0), {wholeRow, false, false},
                 align & Qt::AlignHorizontal_Mask, false);
  }
  if (view_.GridLines()) {
    painter.setPen(view_.palette().color(QPalette::Mid));
    const int right = r.left() + header->length() - 1;
    painter.drawLine(r.left(), r.bottom(), right, r.bottom());
    for (int column = 0; column < ImgListModel::ColumnCount; ++column) {
      const int x = r.left() + header->sectionPosition(column) + header->sectionSize(column) - 1;
      painter.drawLine(x, r.top(), x, r.bottom());
    }
  }
}

void ImgListDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                             const QModelIndex& index) const {
  if (view_.Refilling()) return;
  GridItem* item = view_.Item(index.row());
  if (!item || index.column() != 0) return;
  painter->save();
  const bool highlighted = view_.Highlighted(index.row());
  const bool report = view_.ViewStyle() == vsReport;
  const CaptionLook look{highlighted, view_.currentIndex().row() == index.row(),
                         view_.HotTrack() && view_.HotItem() == index.row()};
  if (report && highlighted && view_.RowSelect()) {
    // The name column is highlighted in full, behind its icon and text.
    const QRect name = TextRect(option.rect);
    painter->fillRect(QRect(QPoint(option.rect.left(), name.top()), name.bottomRight()),
                      view_.palette().color(QPalette::Active, QPalette::Highlight));
  }
  PaintImage(*painter, *item, ImageRect(option.rect), highlighted);
  const QString text = index.data(Qt::DisplayRole).toString();
  const bool iconStyle = view_.ViewStyle() == vsIcon;
  PaintCaption(*painter, option, text, TextRect(option.rect), look,
               iconStyle ? Qt::AlignHCenter : Qt::AlignLeft, iconStyle);
  if (report) PaintReportRow(*painter, option, index, highlighted);
  painter->restore();
}

QWidget* ImgListDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&,
                                        const QModelIndex&) const {
  auto* editor = new QLineEdit(parent);
  editor->setFrame(true);
  return editor;
}

void ImgListDelegate::updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                                            const QModelIndex&) const {
  QRect r = TextRect(option.rect);
  const int height = std::max(editor->sizeHint().height(), view_.fontMetrics().height() + 6);
  r.setHeight(height);
  if (view_.ViewStyle() != vsIcon)
    r.moveTop(option.rect.top() + (option.rect.height() - height) / 2);
  editor->setGeometry(r);
}

}  // namespace quorvane
