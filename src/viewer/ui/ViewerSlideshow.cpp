// The viewer's slideshow: full screen, the next picture in the list's order when the
// time per picture is up (the pictures ahead are read in the background as for any
// step forward), an animation played to its end first.
#include <QAction>
#include <QCheckBox>
#include <QMovie>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <algorithm>

#include "platform/ui/GradientCaption.h"
#include "viewer/ui/ViewerWindow.h"

namespace quorvane {

void ViewerWindow::BuildSlideshow() {
  slideTimer_ = new QTimer(this);
  slideTimer_->setSingleShot(true);
  connect(slideTimer_, &QTimer::timeout, this, [this] {
    try {
      SlideTick();
    } catch (...) {
      // A picture that fails to show ends nothing: the next tick goes on.
    }
  });
  SlideButton = new QToolButton(ToolBar);
  SlideButton->setAutoRaise(true);
  SlideButton->setFocusPolicy(Qt::NoFocus);
  SlideButton->setIcon(style()->standardIcon(QStyle::SP_MediaPlay));
  SlideButton->setToolTip(QStringLiteral("슬라이드 쇼 (S)"));
  SlideButton->setAccessibleName(QStringLiteral("슬라이드 쇼"));
  SlideButton->setFixedSize(23, 23);
  SlideButton->move(SpeedButton1->geometry().right() + 2, 1);
  connect(SlideButton, &QToolButton::clicked, this, [this] { StartSlideshow(); });
  auto* start = new QAction(this);
  start->setShortcuts({QKeySequence(Qt::Key_S), QKeySequence(Qt::CTRL | Qt::Key_Space)});
  start->setShortcutContext(Qt::WindowShortcut);
  addAction(start);
  connect(start, &QAction::triggered, this, [this] {
    if (slideshow_)
      PauseSlideshow(!slidePaused_);
    else
      StartSlideshow();
  });
}

void ViewerWindow::StartSlideshow() {
  if (slideshow_ || !Source || current_ < 0 || current_ >= Source->ItemCount()) return;
  Slides.seconds = std::clamp(Slides.seconds, SlideshowOptions::kMinSeconds,
                              SlideshowOptions::kMaxSeconds);
  slideshow_ = true;
  slidePaused_ = false;
  slideWaitsMovie_ = false;
  slideMadeFullScreen_ = !fullScreen_;
  if (slideMadeFullScreen_) ToggleFullScreen();
  // The whole picture, fitted to the screen.
  if (zoom_ > 0 || !CheckBox1->isChecked()) {
    CheckBox1->setChecked(true);
    FitAgain();
  }
  RestartSlideTime();
}

void ViewerWindow::StopSlideshow() {
  if (!slideshow_) return;
  slideshow_ = false;
  slidePaused_ = false;
  slideWaitsMovie_ = false;
  if (slideTimer_) slideTimer_->stop();
  if (slideMadeFullScreen_ && fullScreen_) LeaveFullScreen();
  slideMadeFullScreen_ = false;
}

void ViewerWindow::PauseSlideshow(bool paused) {
  if (!slideshow_ || paused == slidePaused_) return;
  slidePaused_ = paused;
  if (paused) {
    slideTimer_->stop();
    slideWaitsMovie_ = false;
  } else {
    RestartSlideTime();
  }
}

void ViewerWindow::RestartSlideTime() {
  if (!slideshow_ || slidePaused_) return;
  slideWaitsMovie_ = false;
  slideTimer_->start(Slides.seconds * 1000);
  // The next slide is read ahead (past folders, the first again when looping), then
  // the picture before for a step back.
  Relocate();
  if (!Source || current_ < 0 || current_ >= Source->ItemCount()) return;
  std::vector<std::string> paths{Source->ItemPath(current_)};
  const int next = NextSlide(*Source, current_, Slides.loop);
  if (next >= 0 && next != current_) paths.push_back(Source->ItemPath(next));
  for (int i = current_ - 1; i >= 0; --i)
    if (!Source->ItemIsFolder(i)) {
      paths.push_back(Source->ItemPath(i));
      break;
    }
  readAhead_.Keep(paths);
}

void ViewerWindow::SlideTick() {
  if (!slideshow_ || slidePaused_) return;
  // An animation plays to its end before the next picture.
  if (movie_ && !movieEnded_ && movie_->frameCount() > 1) {
    slideWaitsMovie_ = true;
    return;
  }
  NextSlideNow();
}

void ViewerWindow::AnimationPlayedThrough() {
  movieEnded_ = true;
  if (!slideWaitsMovie_ || !movie_) return;
  QTimer::singleShot(std::max(0, movie_->nextFrameDelay()), this, [this] {
    if (slideshow_ && !slidePaused_ && slideWaitsMovie_) NextSlideNow();
  });
}

void ViewerWindow::NextSlideNow() {
  slideWaitsMovie_ = false;
  Relocate();
  const int next = Source ? NextSlide(*Source, current_, Slides.loop) : -1;
  if (next < 0) {
    StopSlideshow();  // the last picture stays
    return;
  }
  showimage(next);  // starts the next picture's time
}

void ViewerWindow::SpaceKey() {
  if (slideshow_)
    PauseSlideshow(!slidePaused_);
  else
    Step(+1, nullptr);
}

}  // namespace quorvane
