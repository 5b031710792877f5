#include "viewer/ui/PictureView.h"

#include <QPaintEvent>
#include <QPainter>
#include <QStyle>
#include <cmath>

namespace quorvane {

PictureView::PictureView(QWidget* parent) : QLabel(parent) {
  // The viewer handles the mouse on the scroll box's viewport.
  setAttribute(Qt::WA_TransparentForMouseEvents);
}

qreal PictureView::Ratio() const { return devicePixelRatioF(); }

void PictureView::SetZoom(const QImage& picture, double zoom) {
  if (zoom_ != zoom || picture_.cacheKey() != picture.cacheKey()) reduced_ = QImage();
  picture_ = picture;
  zoom_ = zoom;
  if (zoom_ < 1 && reduced_.isNull() && !picture_.isNull()) {
    const QSize size(std::max(1, int(std::lround(picture_.width() * zoom_))),
                     std::max(1, int(std::lround(picture_.height() * zoom_))));
    reduced_ = picture_.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    reduced_.setDevicePixelRatio(Ratio());
  }
  const qreal ratio = Ratio();
  resize(int(std::ceil(picture_.width() * zoom_ / ratio)),
         int(std::ceil(picture_.height() * zoom_ / ratio)));
  update();
}

void PictureView::ClearZoom() {
  picture_ = QImage();
  reduced_ = QImage();
  zoom_ = 0;
  update();
}

QRect PictureView::PictureRect() const {
  if (Zoomed() || pixmap().isNull()) return rect();
  const QSize shown = (pixmap().deviceIndependentSize()).toSize();
  return QStyle::alignedRect(layoutDirection(), alignment(), shown, rect());
}

QPointF PictureView::PicturePoint(const QPointF& widgetPoint) const {
  return zoom_ > 0 ? widgetPoint * Ratio() / zoom_ : widgetPoint;
}

QPointF PictureView::WidgetPoint(const QPointF& picturePoint) const {
  return zoom_ > 0 ? picturePoint * zoom_ / Ratio() : picturePoint;
}

void PictureView::paintEvent(QPaintEvent* event) {
  if (!Zoomed()) {
    QLabel::paintEvent(event);
    return;
  }
  QPainter painter(this);
  if (!reduced_.isNull()) {
    painter.drawImage(QPointF(0, 0), reduced_);
    return;
  }
  // Enlarged: only the picture pixels behind the exposed area, as plain squares.
  const QRectF target = QRectF(event->rect()).intersected(QRectF(rect()));
  const QRectF source(PicturePoint(target.topLeft()), PicturePoint(target.bottomRight()));
  painter.drawImage(target, picture_, source);
}

}  // namespace quorvane
