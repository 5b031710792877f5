#include "viewer/ui/ViewerWindow.h"

#include <QBuffer>
#include <QLabel>
#include <QMovie>
#include <QPainter>
#include <QPixmap>
#include <QScrollArea>

#include "platform/FileIO.h"
#include "platform/FileNames.h"
#include "viewer/ui/PictureView.h"

// Animated pictures in the viewer.

namespace quorvane {


void ViewerWindow::StartAnimation() {
  movieEnded_ = false;
  if (!shown_ || !shown_->ok || zoom_ > 0 || Image1->pixmap().isNull()) return;
  if (LowerFileExt(shown_->path) != ".gif") return;
  // The frames are read from the file's bytes: a name that is no UTF-8 cannot go
  // through a QString.
  std::vector<uint8_t> bytes;
  std::string error;
  if (!ReadWholeFile(shown_->path, bytes, error)) return;
  auto* movie = new QMovie(this);
  auto* buffer = new QBuffer(movie);
  buffer->setData(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
  buffer->open(QIODevice::ReadOnly);
  movie->setDevice(buffer);
  if (!movie->isValid() || movie->frameCount() == 1) {
    delete movie;
    return;
  }
  movie_ = movie;
  // Frames at the size the first one is shown, transparent parts white as the reader
  // shows them.
  const QPixmap first = Image1->pixmap();
  connect(movie_, &QMovie::frameChanged, this, [this, size = first.size(),
                                                ratio = first.devicePixelRatio()](int number) {
    QPixmap frame(size);
    frame.fill(Qt::white);
    QPainter painter(&frame);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QRect(QPoint(0, 0), size), movie_->currentImage());
    painter.end();
    frame.setDevicePixelRatio(ratio);
    Image1->setPixmap(frame);
    if (number == movie_->frameCount() - 1) AnimationPlayedThrough();
  });
  movie_->start();
}

void ViewerWindow::StopAnimation() {
  if (!movie_) return;
  movie_->stop();
  movie_->deleteLater();
  movie_ = nullptr;
}

}  // namespace quorvane
