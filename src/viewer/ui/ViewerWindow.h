#pragma once
// The viewer: one picture of the grid at a time, fitted to the screen or at full size
// with scrolling, stepping to the previous or next picture without wrapping. Beyond
// that: zoom about the pointer or the centre, panning, full screen, the neighbouring
// pictures read ahead in the background, animated GIFs, an information overlay, Delete
// to the trash and a slideshow.

#include <QDialog>
#include <QElapsedTimer>
#include <QRect>
#include <QString>
#include <functional>
#include <memory>

#include "viewer/ReadAhead.h"
#include "viewer/Slideshow.h"
#include "viewer/ViewerSource.h"
#include "viewer/ui/PictureView.h"

class QAction;
class QCheckBox;
class QLabel;
class QMovie;
class QTimer;
class QPushButton;
class QScrollArea;
class QToolButton;

namespace quorvane {

class Bitmap;
class DetailsPanel;
class GradientCaption;

class ViewerWindow : public QDialog {
  Q_OBJECT
 public:
  static constexpr int kToolBarHeight = 25;  // T
  static constexpr int kScrollStep = 5;

  explicit ViewerWindow(QWidget* parent = nullptr);

  // The pictures to step through; set by the caller before showing, must outlive the
  // viewer.
  ViewerSource* Source = nullptr;

  // Index in the source of the picture shown (-1 before the first). Items added to or
  // taken from the source meanwhile do not change which picture that is: it is found
  // again by its path (where it was, when it is gone).
  int CurrentIndex() const;

  // Shows item `index` (read ahead when it was, else read now); the caption becomes
  // name(WxH) with the picture's own size, name(0x0) when it cannot be read. Leaves zoom.
  void showimage(int index);

  // Zoom: 0 while the picture is fitted or at full size as the check box says, else the
  // factor chosen with the wheel or the keys (the caption then shows it in per cent).
  double Zoom() const { return zoom_; }
  // The factor the picture is shown at now, zoomed or not (1 = a picture pixel per
  // screen pixel).
  double ShownFactor() const;
  // Zooms to `factor` (kept within 5 % .. 1600 %) keeping the picture point under
  // `anchor` (a point of the scroll box's viewport) where it is.
  void ZoomTo(double factor, const QPoint& anchor);
  void ToggleFullScreen();
  // The viewer's own full-screen mode (F11, a double click): on whatever the window
  // manager makes of the request, the picture is shown alone on black and Escape leaves
  // it first.
  bool FullScreen() const { return fullScreen_; }
  // Shows or hides the information overlay and the details panel.
  void ToggleInfo();
  // The pictures read ahead (tests look at what was read and when).
  PictureReadAhead& ReadAhead() { return readAhead_; }
  // Ctrl+R, Ctrl+L: turns the shown JPEG file itself a quarter turn without loss
  // (TurnInPlace.h) and shows it again; for anything else TurnStatus says why not.
  void TurnShown(bool clockwise);
  // Delete: moves the shown picture to the freedesktop trash and shows the next one (the
  // previous one at the end; the viewer closes when none is left). A file that cannot go
  // to the trash stays, and the viewer says why.
  void TrashShown();

  // ---- slideshow (S, Ctrl+Space or the tool bar's button) ----
  // Set by the caller before showing: the time per picture and whether it loops.
  SlideshowOptions Slides;
  // Full screen, the next picture every Slides.seconds: Space pauses and resumes, the
  // arrows step, Escape ends it; it ends at the last picture unless it loops. An
  // animated picture plays to its end before the next.
  void StartSlideshow();
  void StopSlideshow();
  void PauseSlideshow(bool paused);
  bool SlideshowRunning() const { return slideshow_; }
  bool SlideshowPaused() const { return slidePaused_; }
  // The slideshow's clock: its timer calls SlideTick when a picture's time is up.
  QTimer* SlideTimer() const { return slideTimer_; }
  void SlideTick();
  // The picture is wholly in view at its fitted or own size (not zoomed): the arrows
  // and the wheel step instead of moving it.
  bool PictureFits() const;

  GradientCaption* ToolBar;
  QToolButton* SBpre;
  QToolButton* SBnext;
  QCheckBox* CheckBox1;
  QToolButton* SpeedButton1;
  QToolButton* SlideButton;  // "슬라이드 쇼"
  QScrollArea* ScrollBox1;
  PictureView* Image1;
  QLabel* Info;  // the information overlay over the picture
  DetailsPanel* Details = nullptr;  // the details panel beside it (made on first I)
  QLabel* TurnStatus = nullptr;  // the last in-place turn's word, while it shows
  QPushButton* OKBtn;
  QPushButton* CancelBtn;
  QAction* btnPre;
  QAction* btnNex;
  QAction* CloseView;
  QAction* scrollup;
  QAction* scrolldn;
  QAction* scrolllt;
  QAction* scrollrt;

  // The window's close box ends the modal loop like the close button: result 2.
  void reject() override;
  // Stops the animation and the reading ahead, frees the pictures, then closes.
  void done(int result) override;

 protected:
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Fits or sizes the picture and the window; H and W are the picture's own size (0
  // when unreadable). False when the picture could not be shown.
  bool GetBitmap(const ViewPicture& picture, int& H, int& W);
  std::shared_ptr<const ViewPicture> ReadPicture(const std::string& path);
  // The shown picture at full size, read now when only the fitted one was read ahead.
  const Bitmap& Full();
  void ReadAround(int index, int direction);
  void ShowPicture(const Bitmap& bitmap);
  void SetClientSize(int width, int height);
  void CentreOnScreen();
  // The window's size is the user's (resized, maximised or full screen): pictures fit
  // into it instead of sizing it.
  bool WindowChosen() const;
  QSize FitBox() const;
  void LayOut();
  void UpdateCaption();
  // Finds the shown picture again in the source (CurrentIndex) before a step from it.
  void Relocate() { current_ = CurrentIndex(); }
  void Step(int delta, QToolButton* button);
  void StepTo(int index);
  void StepToEnd(bool last);
  void ZoomStepAt(bool up, const QPoint& anchor);
  void FitAgain();
  void LeaveFullScreen();
  // The tool bar and the background as the full-screen mode wants them.
  void ApplyScreenMode();
  void Wheel(QWheelEvent* event);
  void ScrollBy(int dx, int dy);
  // Left (-1) or Right (+1): the previous or next picture while the picture fits and
  // there is one that way; else the picture moves as with the other arrows.
  void ArrowKey(int direction);
  // A short word over the bottom of the picture that goes away by itself.
  void ShowStatus(const QString& text);
  void StartAnimation();
  void StopAnimation();
  void BuildSlideshow();
  // The shown picture has its full time again (after a step, or resuming).
  void RestartSlideTime();
  void NextSlideNow();
  // The animation shown reached its last frame: a slideshow waiting on it goes on once
  // that frame has had its time.
  void AnimationPlayedThrough();
  // Space: pauses the slideshow while one runs, else the next picture.
  void SpaceKey();
  void FillInfo();
  void PlaceDetails();
  QAction* AddKeyAction(int key, void (ViewerWindow::*handler)());
  QAction* AddKeyAction(const QList<QKeySequence>& keys, const std::function<void()>& handler);

  void btnPreExecute();
  void btnNexExecute();
  void CloseViewExecute();
  void scrollupExecute();
  void scrolldnExecute();
  void scrollltExecute();
  void scrollrtExecute();

  int current_ = -1;
  std::string shownPath_;  // the path of the picture at current_ when it was shown
  int W_ = 0;
  int H_ = 0;
  double zoom_ = 0;
  PictureReadAhead readAhead_;
  std::shared_ptr<const ViewPicture> shown_;
  QMovie* movie_ = nullptr;
  QTimer* refitTimer_ = nullptr;
  bool userSized_ = false;
  bool sizing_ = false;
  QElapsedTimer sizedAt_;  // when the program last sized the window
  QRect normalGeometry_;   // where the window was before full screen
  bool fullScreen_ = false;
  bool appliedFullScreen_ = false;  // the mode the tool bar and background show
  QPoint dragFrom_;
  bool dragging_ = false;
  int wheelRest_ = 0;  // wheel turn not yet used (less than a notch)
  QTimer* slideTimer_ = nullptr;
  bool slideshow_ = false;
  bool slidePaused_ = false;
  bool slideMadeFullScreen_ = false;  // the slideshow went full screen, and leaves it
  bool slideWaitsMovie_ = false;      // time is up; the animation plays to its end first
  bool movieEnded_ = false;           // the shown animation has played through once
};

}  // namespace quorvane
