#include "viewer/ui/ViewerWindow.h"

#include <QCheckBox>
#include <QImage>
#include <QMouseEvent>
#include <QScrollArea>
#include <QScrollBar>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "viewer/ZoomSteps.h"
#include "viewer/ui/PictureView.h"

// The viewer's zoom and panning: the wheel, the zoom steps, dragging and the arrows.

namespace quorvane {

namespace {

// A wheel notch.
constexpr int kWheelNotch = 120;

// The picture as a QImage over the shared pixels (no copy); the pixels live as long as
// the image.
QImage ImageOf(const std::shared_ptr<const Bitmap>& bitmap) {
  if (!bitmap || bitmap->Empty()) return {};
  auto* keep = new std::shared_ptr<const Bitmap>(bitmap);
  return QImage(
      bitmap->Bits(), bitmap->Width(), bitmap->Height(), qsizetype(bitmap->Stride()),
      QImage::Format_BGR888, [](void* info) { delete static_cast<std::shared_ptr<const Bitmap>*>(info); },
      keep);
}

// How far a picture of `size` at `pos` along one axis may move by `delta` in a view of
// `view`: a quarter of it (or of the view, when smaller) always stays in view.
int BoundedMove(int pos, int size, int view, int delta) {
  const int keep = std::max(1, std::min(size, view) / 4);
  const int moved = std::clamp(pos + delta, keep - size, view - keep);
  const int allowed = moved - pos;
  return (allowed > 0) == (delta > 0) ? allowed : 0;
}

}  // namespace

// ---- zoom and panning ----

bool ViewerWindow::PictureFits() const {
  if (zoom_ > 0) return false;
  const QSize view = ScrollBox1->viewport()->size();
  return CheckBox1->isChecked() ||
         (Image1->width() <= view.width() && Image1->height() <= view.height());
}

double ViewerWindow::ShownFactor() const {
  if (zoom_ > 0) return zoom_;
  if (W_ <= 0) return 1.0;
  if (!CheckBox1->isChecked() || Image1->pixmap().isNull()) return 1.0;
  return double(Image1->pixmap().width()) / W_;
}

void ViewerWindow::ZoomTo(double factor, const QPoint& anchor) {
  if (!shown_ || !shown_->ok) return;
  factor = std::clamp(factor, kMinZoom, kMaxZoom);
  // The picture pixel under the anchor, before.
  QPointF pixel;
  if (zoom_ > 0) {
    pixel = Image1->PicturePoint(Image1->mapFrom(ScrollBox1->viewport(), QPointF(anchor)));
  } else {
    const QRect shown = Image1->PictureRect();
    const QPointF inPicture = Image1->mapFrom(ScrollBox1->viewport(), QPointF(anchor)) -
                              QPointF(shown.topLeft());
    pixel = inPicture * devicePixelRatioF() / ShownFactor();
  }
  StopAnimation();
  zoom_ = factor;
  ScrollBox1->setWidgetResizable(false);
  ScrollBox1->setAlignment(Qt::AlignCenter);
  Full();
  Image1->SetZoom(ImageOf(shown_->full), zoom_);
  // The same pixel under the anchor, after, as far as the scroll bars reach.
  const QPointF at = Image1->WidgetPoint(pixel);
  ScrollBox1->horizontalScrollBar()->setValue(int(std::lround(at.x() - anchor.x())));
  ScrollBox1->verticalScrollBar()->setValue(int(std::lround(at.y() - anchor.y())));
  UpdateCaption();
}

void ViewerWindow::ZoomStepAt(bool up, const QPoint& anchor) {
  ZoomTo(ZoomStep(ShownFactor(), up), anchor);
}

void ViewerWindow::Wheel(QWheelEvent* event) {
  wheelRest_ += event->angleDelta().y();
  const int notches = wheelRest_ / kWheelNotch;
  if (notches == 0) return;
  wheelRest_ -= notches * kWheelNotch;
  const bool up = notches > 0;
  // A fitted picture (wholly in view) steps with the plain wheel; otherwise, and always
  // with Ctrl, the wheel zooms about the pointer.
  const bool step = PictureFits() && !(event->modifiers() & Qt::ControlModifier);
  for (int i = 0; i < std::abs(notches); ++i) {
    if (step)
      Step(up ? -1 : +1, nullptr);
    else
      ZoomStepAt(up, event->position().toPoint());
  }
}

bool ViewerWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched != ScrollBox1->viewport()) return QDialog::eventFilter(watched, event);
  try {
    switch (event->type()) {
      case QEvent::Wheel:
        Wheel(static_cast<QWheelEvent*>(event));
        return true;
      case QEvent::MouseButtonDblClick:
        if (static_cast<QMouseEvent*>(event)->button() != Qt::LeftButton) break;
        ToggleFullScreen();
        return true;
      case QEvent::MouseButtonPress: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() != Qt::LeftButton) break;
        dragging_ = true;
        dragFrom_ = mouse->position().toPoint();
        ScrollBox1->viewport()->setCursor(Qt::ClosedHandCursor);
        return true;
      }
      case QEvent::MouseMove: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (!dragging_) break;
        // Dragging pans, as far as the picture reaches.
        const QPoint delta = mouse->position().toPoint() - dragFrom_;
        dragFrom_ = mouse->position().toPoint();
        QScrollBar* bars[] = {ScrollBox1->horizontalScrollBar(), ScrollBox1->verticalScrollBar()};
        bars[0]->setValue(bars[0]->value() - delta.x());
        bars[1]->setValue(bars[1]->value() - delta.y());
        return true;
      }
      case QEvent::MouseButtonRelease:
        if (!dragging_) break;
        dragging_ = false;
        ScrollBox1->viewport()->unsetCursor();
        return true;
      default:
        break;
    }
  } catch (...) {
  }
  return QDialog::eventFilter(watched, event);
}

// The arrows move the picture 5 pixels: Up shows more of the top. A picture larger than
// the view scrolls and stops at its edges; a smaller one moves, but never out of sight.
void ViewerWindow::ScrollBy(int dx, int dy) {
  const QSize view = ScrollBox1->viewport()->size();
  const QRect picture = Image1->PictureRect().translated(Image1->pos());
  QPoint move;
  if (dx != 0) {
    QScrollBar* bar = ScrollBox1->horizontalScrollBar();
    if (bar->maximum() > 0)
      bar->setValue(bar->value() - dx);
    else
      move.setX(BoundedMove(picture.x(), picture.width(), view.width(), dx));
  }
  if (dy != 0) {
    QScrollBar* bar = ScrollBox1->verticalScrollBar();
    if (bar->maximum() > 0)
      bar->setValue(bar->value() - dy);
    else
      move.setY(BoundedMove(picture.y(), picture.height(), view.height(), dy));
  }
  if (!move.isNull()) Image1->move(Image1->pos() + move);
}
void ViewerWindow::scrollupExecute() { ScrollBy(0, kScrollStep); }
void ViewerWindow::scrolldnExecute() { ScrollBy(0, -kScrollStep); }
void ViewerWindow::scrollltExecute() { ArrowKey(-1); }
void ViewerWindow::scrollrtExecute() { ArrowKey(+1); }

void ViewerWindow::ArrowKey(int direction) {
  Relocate();
  const int next = current_ + direction;
  if (PictureFits() && Source && next >= 0 && next < Source->ItemCount() &&
      !Source->ItemIsFolder(next)) {
    Step(direction, nullptr);
    return;
  }
  ScrollBy(-direction * kScrollStep, 0);
}

}  // namespace quorvane
