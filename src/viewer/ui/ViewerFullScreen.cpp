#include "viewer/ui/ViewerWindow.h"

#include <QScreen>
#include <QScrollArea>
#include <QToolButton>

#include "platform/ui/GradientCaption.h"

// The viewer's own full-screen mode.

namespace quorvane {


// The viewer's own full-screen mode decides, not the window's state: some window
// managers keep dialog windows out of the full-screen state (the window covers the
// screen by its geometry all the same).
void ViewerWindow::ApplyScreenMode() {
  if (appliedFullScreen_ == fullScreen_) return;
  appliedFullScreen_ = fullScreen_;
  // Full screen shows the picture alone on black.
  const bool full = fullScreen_;
  ToolBar->setVisible(!full);
  for (QWidget* widget : {ScrollBox1->viewport(), static_cast<QWidget*>(Image1)}) {
    QPalette pal = widget->palette();
    pal.setColor(QPalette::Window, full ? Qt::black : palette().color(QPalette::Window));
    widget->setPalette(pal);
    widget->setAutoFillBackground(full);
  }
  LayOut();
}

// ---- full screen ----

void ViewerWindow::ToggleFullScreen() {
  if (fullScreen_) {
    LeaveFullScreen();
    return;
  }
  normalGeometry_ = geometry();
  fullScreen_ = true;
  showFullScreen();
  // Without a window manager, or with one that keeps dialogs out of full screen, nobody
  // else makes the window cover the screen.
  if (const QScreen* scr = screen()) setGeometry(scr->geometry());
  ApplyScreenMode();
}

void ViewerWindow::LeaveFullScreen() {
  // The way back is the program's sizing, not the user's.
  sizing_ = true;
  fullScreen_ = false;
  showNormal();
  if (normalGeometry_.isValid()) setGeometry(normalGeometry_);
  ApplyScreenMode();
  sizing_ = false;
  sizedAt_.start();
}

}  // namespace quorvane
