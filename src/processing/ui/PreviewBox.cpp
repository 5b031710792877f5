#include "processing/ui/PreviewBox.h"

#include <QImage>
#include <QPainter>

#include "imaging/ui/QtBitmap.h"
#include "processing/PixelOps.h"
#include "imaging/ReadImage.h"
#include "imaging/ImgResize.h"

namespace quorvane {

PreviewBox::PreviewBox(int areaWidth, int areaHeight, QWidget* parent)
    : QFrame(parent), areaWidth_(areaWidth), areaHeight_(areaHeight) {
  setFrameStyle(QFrame::Panel | QFrame::Sunken);
  setLineWidth(1);
  const int frame = frameWidth();
  setFixedSize(areaWidth + 2 * frame, areaHeight + 2 * frame);
}

void PreviewBox::Show(const Bitmap& picture) {
  picture_ = picture;
  update();
}

void PreviewBox::Show(Bitmap&& picture) {
  picture_ = std::move(picture);
  update();
}

QRect PreviewBox::PictureRect() const {
  const QRect area = contentsRect();
  const qreal ratio = devicePixelRatioF();
  const int w = int(picture_.Width() / ratio + 0.5), h = int(picture_.Height() / ratio + 0.5);
  return QRect(area.x() + (area.width() - w) / 2, area.y() + (area.height() - h) / 2, w, h);
}

void PreviewBox::paintEvent(QPaintEvent* event) {
  QFrame::paintEvent(event);
  if (picture_.Empty()) return;
  // The rows are wrapped as they are, padding included; nothing is copied.
  QImage image = BitmapImage(picture_);
  image.setDevicePixelRatio(devicePixelRatioF());
  QPainter painter(this);
  painter.setClipRect(contentsRect());
  painter.drawImage(PictureRect().topLeft(), image);
}

void FitIntoPreview(Bitmap& picture, int boxWidth, int boxHeight) {
  if (picture.Empty() || (picture.Width() <= boxWidth && picture.Height() <= boxHeight)) return;
  if (FitBitmap(picture, boxWidth, boxHeight, nullptr)) return;
  // FitBitmap refuses a side that comes out 0; such a sliver still gets a preview, one
  // pixel thick.
  const FittedSize size = FitSize(igtPreview, picture.Width(), picture.Height(), boxWidth, boxHeight);
  Bitmap fitted(size.Width, size.Height);
  SmoothResize(picture, fitted, nullptr);
  picture.Swap(fitted);
}

bool LoadPreviewSource(const std::string& fileName, int boxWidth, int boxHeight, Bitmap& source) {
  Bitmap read;
  if (fileName.empty() || !ReadImageForView(fileName, read)) return false;
  FitIntoPreview(read, boxWidth, boxHeight);
  source.Swap(read);
  return true;
}

}  // namespace quorvane
