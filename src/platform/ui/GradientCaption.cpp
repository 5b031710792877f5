#include "platform/ui/GradientCaption.h"

#include <QEvent>
#include <QLayout>
#include <QLinearGradient>
#include <QMainWindow>
#include <QPainter>
#include <algorithm>

namespace quorvane {

namespace {

// Keeps a caption that is a plain child across the full width of its window.
class CaptionPlacer : public QObject {
 public:
  CaptionPlacer(QWidget* window, GradientCaption* caption) : QObject(caption), caption_(caption) {
    window->installEventFilter(this);
    Place(window);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Resize || event->type() == QEvent::Show)
      Place(static_cast<QWidget*>(watched));
    return false;
  }

 private:
  void Place(QWidget* window) {
    caption_->setGeometry(0, 0, window->width(), caption_->height());
    caption_->raise();
  }
  GradientCaption* caption_;
};

}  // namespace

GradientCaption::GradientCaption(QWidget* window, QWidget* parent)
    : QWidget(parent ? parent : window), window_(window) {
  setObjectName(QStringLiteral("GradientCaption"));
  setFixedHeight(kDefaultHeight);
  setAttribute(Qt::WA_OpaquePaintEvent);
  window_->installEventFilter(this);
  setAccessibleName(Text());
}

QString GradientCaption::Text() const { return window_->windowTitle(); }

bool GradientCaption::eventFilter(QObject* watched, QEvent* event) {
  if (watched == window_ &&
      (event->type() == QEvent::WindowTitleChange || event->type() == QEvent::ActivationChange)) {
    setAccessibleName(Text());
    update();
  }
  return false;
}

void GradientCaption::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  // Active windows fade from the highlight colour into the window colour; inactive ones
  // from a mid grey, as title bars do.
  const bool active = window_->isActiveWindow();
  const QPalette& pal = palette();
  const QColor from = active ? pal.color(QPalette::Active, QPalette::Highlight)
                             : pal.color(QPalette::Inactive, QPalette::Mid);
  const QColor to = pal.color(QPalette::Window);
  // Controls on the strip (a tool bar's buttons) stand on the plain window colour; the
  // gradient starts where the title does.
  int left = 6;
  for (const QObject* child : children()) {
    const auto* widget = qobject_cast<const QWidget*>(child);
    if (widget && !widget->isHidden()) left = std::max(left, widget->geometry().right() + 8);
  }
  const int start = left - 6;
  painter.fillRect(QRect(0, 0, start, height()), to);
  QLinearGradient gradient(start, 0, width(), 0);
  gradient.setColorAt(0.0, from);
  gradient.setColorAt(0.55, from.lighter(135));
  gradient.setColorAt(1.0, to);
  painter.fillRect(QRect(start, 0, width() - start, height()), gradient);

  if (left >= width() - 4) return;
  QFont font = painter.font();
  font.setBold(true);
  painter.setFont(font);
  painter.setPen(active ? pal.color(QPalette::Active, QPalette::HighlightedText)
                        : pal.color(QPalette::Inactive, QPalette::WindowText));
  const QRect textRect(left, 0, width() - left - 4, height());
  const QString text = painter.fontMetrics().elidedText(Text(), Qt::ElideRight, textRect.width());
  painter.drawText(textRect, Qt::AlignVCenter | Qt::AlignLeft, text);
}

GradientCaption* AddGradientCaption(QWidget* window) {
  if (auto* main = qobject_cast<QMainWindow*>(window)) {
    auto* caption = new GradientCaption(window, main);
    main->setMenuWidget(caption);
    return caption;
  }
  const int h = GradientCaption::kDefaultHeight;
  const bool fixedHeight = window->minimumHeight() == window->maximumHeight();
  if (QLayout* layout = window->layout()) {
    QMargins margins = layout->contentsMargins();
    margins.setTop(margins.top() + h);
    layout->setContentsMargins(margins);
  } else {
    // Controls placed by hand move down by the strip's height.
    for (QWidget* child : window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
      if (!child->isWindow()) child->move(child->x(), child->y() + h);
  }
  // A fixed-size window grows by the strip, so its contents keep their room.
  if (fixedHeight) window->setFixedHeight(window->height() + h);
  auto* caption = new GradientCaption(window);
  new CaptionPlacer(window, caption);
  return caption;
}

}  // namespace quorvane
