#pragma once
// Gradient-filled captions: a header strip painted with a horizontal gradient and the
// window's title, kept in step with the title and with the window's activation.

#include <QWidget>

namespace quorvane {

class GradientCaption : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kDefaultHeight = 22;

  // Follows `window`'s title. Child widgets placed on the strip (a tool bar's buttons)
  // keep their places; the title is drawn to the right of the last of them.
  explicit GradientCaption(QWidget* window, QWidget* parent = nullptr);

  // The text drawn: the window's title.
  QString Text() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget* window_;
};

// Gives a window or dialog its gradient caption, across its full width at the top of
// its client area: a QMainWindow gets it as its menu widget; any other window gets it
// above its layout (the layout's top margin grows by the strip's height) or, without a
// layout, above its controls (they move down by that height). A window of fixed height
// grows by the strip. One call per window, at the end of its constructor, after its
// layout and size are set. Answers the strip (owned by the window).
GradientCaption* AddGradientCaption(QWidget* window);

}  // namespace quorvane
