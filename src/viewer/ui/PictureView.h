#pragma once
// The viewer's picture. Fitted or at full size it is a plain label showing a pixmap;
// zoomed it draws the whole picture at the zoom factor itself, only the part in view:
// nearest pixels when enlarged, a smooth area-averaged copy when reduced. Factors are
// in device pixels, so 100 % is one picture pixel per screen pixel on any display.

#include <QImage>
#include <QLabel>

namespace quorvane {

class PictureView : public QLabel {
  Q_OBJECT
 public:
  explicit PictureView(QWidget* parent = nullptr);

  // Shows `picture` at `zoom` (> 0) and takes the size that needs.
  void SetZoom(const QImage& picture, double zoom);
  // Back to the label's own pixmap.
  void ClearZoom();
  bool Zoomed() const { return zoom_ > 0; }
  double Zoom() const { return zoom_; }

  // Where the picture lies in this widget's coordinates.
  QRect PictureRect() const;
  // The picture pixel under a point of this widget (zoomed only).
  QPointF PicturePoint(const QPointF& widgetPoint) const;
  // The widget point that shows a picture pixel (zoomed only).
  QPointF WidgetPoint(const QPointF& picturePoint) const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  qreal Ratio() const;

  QImage picture_;
  QImage reduced_;  // the picture at zoom_ when zoom_ < 1
  double zoom_ = 0;
};

}  // namespace quorvane
