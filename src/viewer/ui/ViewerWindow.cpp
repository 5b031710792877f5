#include "viewer/ui/ViewerWindow.h"

#include <QAction>
#include <QBuffer>
#include <QApplication>
#include <QCheckBox>
#include <QCursor>
#include <QFileInfo>
#include <QGuiApplication>
#include <QIcon>
#include <QImage>
#include <QLabel>
#include <QMouseEvent>
#include <QMovie>
#include <QPainter>
#include <QPixmap>
#include <QPolygonF>
#include <QPushButton>
#include <QResizeEvent>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "imaging/OpenIL.h"
#include "imaging/ui/QtBitmap.h"
#include "platform/FileIO.h"
#include "platform/FileNames.h"
#include "platform/ui/GradientCaption.h"
#include "processing/PixelOps.h"
#include "viewer/ZoomSteps.h"
#include "viewer/ui/PictureView.h"

namespace quorvane {

namespace {

constexpr int kInitialClientWidth = 313;
constexpr int kInitialClientHeight = 214;
constexpr int kMinClientWidth = 64;
// Room kept free around a fitted picture, and the room a scroll bar takes.
constexpr int kScreenMarginX = 80;
constexpr int kScreenMarginY = 90;
constexpr int kScrollBarRoom = 25;
// The program's own sizing of the window is settled within this time; a size change
// after it is the user's.
constexpr int kSizingSettleMs = 600;
// How long the window's size must stay before a fitted picture is fitted to it again.
constexpr int kRefitDelayMs = 80;


// A solid arrow in the text colour: the style's own arrows are too faint on a tool bar.
QIcon ArrowIcon(bool left, const QColor& color) {
  QPixmap pixmap(16, 16);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  painter.setBrush(color);
  const QPolygonF arrow = left ? QPolygonF({QPointF(3, 8), QPointF(12, 2), QPointF(12, 14)})
                               : QPolygonF({QPointF(13, 8), QPointF(4, 2), QPointF(4, 14)});
  painter.drawPolygon(arrow);
  return QIcon(pixmap);
}

QToolButton* MakeFlatButton(QWidget* parent, const QIcon& icon, const QString& hint) {
  auto* button = new QToolButton(parent);
  button->setAutoRaise(true);
  button->setFocusPolicy(Qt::NoFocus);
  button->setIcon(icon);
  button->setToolTip(hint);
  button->setAccessibleName(hint);
  button->setFixedSize(23, 23);
  return button;
}

}  // namespace

ViewerWindow::ViewerWindow(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("그림보기"));
  // A window that can be resized and maximised; it opens at the sizes showimage sets.
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);

  // The tool bar doubles as the window's gradient caption: the title is drawn to the
  // right of its controls.
  ToolBar = new GradientCaption(this, this);
  ToolBar->setFixedHeight(kToolBarHeight);
  const QColor arrowColor = palette().color(QPalette::ButtonText);
  SBpre = MakeFlatButton(ToolBar, ArrowIcon(true, arrowColor), QStringLiteral("이전"));
  SBnext = MakeFlatButton(ToolBar, ArrowIcon(false, arrowColor), QStringLiteral("다음"));
  CheckBox1 = new QCheckBox(QStringLiteral("화면에 알맞은 크기로"), ToolBar);
  CheckBox1->setChecked(true);
  CheckBox1->setFocusPolicy(Qt::NoFocus);  // the keys belong to the picture
  SpeedButton1 = MakeFlatButton(ToolBar, style()->standardIcon(QStyle::SP_DialogCloseButton),
                                QStringLiteral("닫기"));
  SBpre->move(2, 1);
  SBnext->move(26, 1);
  CheckBox1->resize(CheckBox1->sizeHint());
  CheckBox1->move(54, (kToolBarHeight - CheckBox1->height()) / 2);
  SpeedButton1->move(CheckBox1->geometry().right() + 6, 1);

  ScrollBox1 = new QScrollArea(this);
  ScrollBox1->setFrameShape(QFrame::NoFrame);
  ScrollBox1->setAccessibleName(QStringLiteral("그림보기"));
  ScrollBox1->setFocusPolicy(Qt::StrongFocus);
  Image1 = new PictureView;
  Image1->setAlignment(Qt::AlignCenter);
  ScrollBox1->setWidget(Image1);
  ScrollBox1->setWidgetResizable(true);
  ScrollBox1->viewport()->installEventFilter(this);
  refitTimer_ = new QTimer(this);
  refitTimer_->setSingleShot(true);
  refitTimer_->setInterval(kRefitDelayMs);
  connect(refitTimer_, &QTimer::timeout, this, [this] {
    if (zoom_ == 0 && CheckBox1->isChecked() && shown_) FitAgain();
  });

  Info = new QLabel(ScrollBox1);
  Info->setAttribute(Qt::WA_TransparentForMouseEvents);
  Info->setTextFormat(Qt::PlainText);
  Info->setMargin(8);
  Info->setStyleSheet(QStringLiteral(
      "QLabel { background: rgba(0, 0, 0, 170); color: white; border-radius: 4px; }"));
  Info->hide();

  OKBtn = new QPushButton(QStringLiteral("OK"), this);
  CancelBtn = new QPushButton(QStringLiteral("Cancel"), this);
  for (QPushButton* button : {OKBtn, CancelBtn}) {
    button->setAutoDefault(false);
    button->setFocusPolicy(Qt::NoFocus);
    button->hide();
  }
  connect(OKBtn, &QPushButton::clicked, this, [this] { done(1); });
  connect(CancelBtn, &QPushButton::clicked, this, [this] { done(2); });

  btnPre = AddKeyAction(Qt::Key_PageUp, &ViewerWindow::btnPreExecute);
  btnNex = AddKeyAction(Qt::Key_PageDown, &ViewerWindow::btnNexExecute);
  CloseView = AddKeyAction(Qt::Key_Escape, &ViewerWindow::CloseViewExecute);
  scrollup = AddKeyAction(Qt::Key_Up, &ViewerWindow::scrollupExecute);
  scrolldn = AddKeyAction(Qt::Key_Down, &ViewerWindow::scrolldnExecute);
  scrolllt = AddKeyAction(Qt::Key_Left, &ViewerWindow::scrollltExecute);
  scrollrt = AddKeyAction(Qt::Key_Right, &ViewerWindow::scrollrtExecute);
  connect(SBpre, &QToolButton::clicked, btnPre, &QAction::trigger);
  connect(SBnext, &QToolButton::clicked, btnNex, &QAction::trigger);
  connect(SpeedButton1, &QToolButton::clicked, CloseView, &QAction::trigger);
  connect(CheckBox1, &QCheckBox::clicked, this, [this] {
    Relocate();
    if (!Source || current_ < 0 || current_ >= Source->ItemCount()) return;
    readAhead_.Forget(Source->ItemPath(current_));  // the file is read anew
    showimage(current_);
  });

  // Keys beyond the buttons' own: stepping, zoom, full screen, information.
  AddKeyAction({Qt::Key_Space}, [this] { SpaceKey(); });
  AddKeyAction({Qt::Key_Backspace}, [this] { Step(-1, nullptr); });
  AddKeyAction({Qt::Key_Home}, [this] { StepToEnd(false); });
  AddKeyAction({Qt::Key_End}, [this] { StepToEnd(true); });
  const auto centre = [this] { return ScrollBox1->viewport()->rect().center(); };
  AddKeyAction({Qt::Key_Plus, Qt::Key_Equal, Qt::KeypadModifier | Qt::Key_Plus},
               [this, centre] { ZoomStepAt(true, centre()); });
  AddKeyAction({Qt::Key_Minus, Qt::KeypadModifier | Qt::Key_Minus},
               [this, centre] { ZoomStepAt(false, centre()); });
  AddKeyAction({Qt::Key_1, Qt::KeypadModifier | Qt::Key_1}, [this, centre] { ZoomTo(1.0, centre()); });
  AddKeyAction({Qt::Key_0, Qt::KeypadModifier | Qt::Key_0}, [this] {
    CheckBox1->setChecked(true);
    FitAgain();
  });
  AddKeyAction({Qt::Key_F11}, [this] { ToggleFullScreen(); });
  AddKeyAction({Qt::Key_I}, [this] { ToggleInfo(); });
  AddKeyAction({QKeySequence(Qt::CTRL | Qt::Key_R)}, [this] { TurnShown(true); });
  AddKeyAction({QKeySequence(Qt::CTRL | Qt::Key_L)}, [this] { TurnShown(false); });
  AddKeyAction({Qt::Key_Delete}, [this] { TrashShown(); });
  BuildSlideshow();

  try {
    CodecInit();
  } catch (...) {
    // An unusable codec shows up as pictures that cannot be read.
  }
  SetClientSize(kInitialClientWidth, kInitialClientHeight);
}

QAction* ViewerWindow::AddKeyAction(int key, void (ViewerWindow::*handler)()) {
  return AddKeyAction({QKeySequence(key)}, [this, handler] { (this->*handler)(); });
}

QAction* ViewerWindow::AddKeyAction(const QList<QKeySequence>& keys,
                                 const std::function<void()>& handler) {
  auto* action = new QAction(this);
  action->setShortcuts(keys);
  action->setShortcutContext(Qt::WindowShortcut);
  addAction(action);
  connect(action, &QAction::triggered, this, [handler] {
    try {
      handler();
    } catch (...) {
      // A key never takes the viewer down; the picture stays as it was.
    }
  });
  return action;
}

void ViewerWindow::reject() { CancelBtn->click(); }

void ViewerWindow::done(int result) {
  refitTimer_->stop();
  StopSlideshow();
  StopAnimation();
  readAhead_.Stop();
  shown_.reset();
  Image1->ClearZoom();
  QDialog::done(result);
}

void ViewerWindow::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (event->spontaneous()) return;  // the window coming back from another desktop
  // Every showing starts fitted to the screen, on the grid's selected picture.
  CheckBox1->setChecked(true);
  ScrollBox1->setFocus();
  current_ = Source ? Source->SelectedIndex() : -1;
  shownPath_.clear();
  showimage(current_);
}

void ViewerWindow::LayOut() {
  const int top = ToolBar->isHidden() ? 0 : kToolBarHeight;
  ToolBar->setGeometry(0, 0, width(), kToolBarHeight);
  ScrollBox1->setGeometry(0, top, width(), std::max(0, height() - top));
  Info->adjustSize();
  Info->move(10, 10);
  PlaceDetails();
}

void ViewerWindow::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  LayOut();
  // A size the program did not ask for is the user's: from then on pictures fit into
  // the window instead of sizing it.
  if (isVisible() && !sizing_ && !fullScreen_ && sizedAt_.isValid() &&
      sizedAt_.elapsed() > kSizingSettleMs)
    userSized_ = true;
  // Fitted anew once the size settles (a drag of the border sends many sizes).
  if (WindowChosen() && zoom_ == 0 && CheckBox1->isChecked() && shown_) refitTimer_->start();
}

void ViewerWindow::changeEvent(QEvent* event) {
  QDialog::changeEvent(event);
  if (event->type() != QEvent::WindowStateChange) return;
  ApplyScreenMode();
  LayOut();
  // A fitted picture fits the whole screen, or the screen's box again when back.
  if (zoom_ == 0 && CheckBox1->isChecked() && shown_) FitAgain();
}

bool ViewerWindow::WindowChosen() const { return userSized_ || isMaximized() || fullScreen_; }

QSize ViewerWindow::FitBox() const {
  if (WindowChosen()) return ScrollBox1->size();
  const QScreen* scr = screen();
  const QSize screenSize = scr ? scr->geometry().size() : QSize(1024, 768);
  return QSize(screenSize.width() - kScreenMarginX,
               screenSize.height() - kToolBarHeight - kScreenMarginY);
}

void ViewerWindow::SetClientSize(int width, int height) {
  if (WindowChosen()) return;  // the user's size stays
  sizing_ = true;
  setMinimumSize(std::min(width, kMinClientWidth), std::min(height, kToolBarHeight));
  resize(width, height);
  LayOut();
  sizing_ = false;
  sizedAt_.start();
}

void ViewerWindow::CentreOnScreen() {
  if (WindowChosen()) return;
  const QScreen* scr = screen();
  if (!scr) return;
  const QRect area = scr->geometry();
  const QSize frame = frameGeometry().size();  // the window with its border
  move(area.x() + (area.width() - frame.width()) / 2,
       area.y() + (area.height() - frame.height()) / 2);
}

void ViewerWindow::ShowPicture(const Bitmap& bitmap) {
  if (bitmap.Empty()) {
    Image1->clear();
    return;
  }
  QPixmap pixmap = QPixmap::fromImage(BitmapImage(bitmap));  // converts, so the bitmap may go
  pixmap.setDevicePixelRatio(devicePixelRatioF());
  Image1->setPixmap(pixmap);
}

bool ViewerWindow::GetBitmap(const ViewPicture& picture, int& H, int& W) {
  H = 0;
  W = 0;
  if (!picture.ok) {
    // An unreadable file: an empty picture, the window keeps its size.
    ShowPicture(Bitmap());
    CentreOnScreen();
    return false;
  }
  W = picture.width;
  H = picture.height;
  // Sizes are in screen pixels; the window's own are logical (the same at ratio 1).
  const qreal ratio = devicePixelRatioF();
  const auto logical = [ratio](int pixels) { return int(std::ceil(pixels / ratio)); };
  const QSize box = FitBox();
  const int boxWidth = int(box.width() * ratio);
  const int boxHeight = int(box.height() * ratio);
  const int T = kToolBarHeight;
  bool result = true;
  try {
    if (CheckBox1->isChecked()) {
      const Bitmap* shown = picture.full.get();
      Bitmap fitted;
      if (W > boxWidth || H > boxHeight) {
        if (picture.FittedFor(boxWidth, boxHeight) && !picture.fitted.Empty()) {
          shown = &picture.fitted;
        } else {
          fitted = Full();
          if (!FitPictureToBox(fitted, boxWidth, boxHeight)) {
            // A picture too large to fit is not shown at a size that overflows the screen.
            ShowPicture(Bitmap());
            CentreOnScreen();
            return false;
          }
          shown = &fitted;
        }
      } else if (!shown) {
        shown = &Full();
      }
      ScrollBox1->setWidgetResizable(true);
      Image1->setAlignment(Qt::AlignCenter);
      SetClientSize(std::max(logical(shown->Width()), kMinClientWidth), logical(shown->Height()) + T);
      ShowPicture(*shown);
      // Fills the box now, not at the next layout (a zoomed picture may have been larger).
      Image1->resize(ScrollBox1->viewport()->size());
    } else {
      ScrollBox1->setWidgetResizable(false);
      Image1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
      Image1->resize(logical(W), logical(H));
      int clientWidth = logical(W);
      int clientHeight = logical(H) + T;
      if (logical(W) > box.width()) {
        clientWidth = box.width();
        clientHeight += kScrollBarRoom;
      }
      if (logical(H) > box.height()) {
        clientHeight = box.height();
        clientWidth += kScrollBarRoom;
      }
      SetClientSize(std::max(clientWidth, kMinClientWidth), clientHeight);
      ShowPicture(Full());
    }
    ScrollBox1->horizontalScrollBar()->setValue(0);
    ScrollBox1->verticalScrollBar()->setValue(0);
    Image1->move(0, 0);
  } catch (...) {
    ShowPicture(Bitmap());
    result = false;
  }
  CentreOnScreen();
  return result;
}

const Bitmap& ViewerWindow::Full() {
  static const Bitmap none;
  if (!shown_ || !shown_->ok) return none;
  if (!shown_->full) {
    // Only the fitted picture was read ahead: the full one is read now.
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    shown_ = readAhead_.GetFull(shown_->path);
    QGuiApplication::restoreOverrideCursor();
  }
  return shown_->full ? *shown_->full : none;
}

std::shared_ptr<const ViewPicture> ViewerWindow::ReadPicture(const std::string& path) {
  const qreal ratio = devicePixelRatioF();
  const QSize box = FitBox();
  readAhead_.SetFitBox(CheckBox1->isChecked() ? int(box.width() * ratio) : 0,
                       CheckBox1->isChecked() ? int(box.height() * ratio) : 0);
  if (auto ready = readAhead_.Peek(path)) return ready;
  // Still being read: the pointer says so until it is there (the platform shows the
  // new cursor at once; no events are handled meanwhile).
  QGuiApplication::setOverrideCursor(Qt::WaitCursor);
  std::shared_ptr<const ViewPicture> picture = readAhead_.Get(path);
  QGuiApplication::restoreOverrideCursor();
  return picture;
}

// Holds the picture shown and its neighbours, the one in the direction of travel first.
void ViewerWindow::ReadAround(int index, int direction) {
  std::vector<std::string> paths{Source->ItemPath(index)};
  for (int neighbour : {index + direction, index - direction})
    if (neighbour >= 0 && neighbour < Source->ItemCount() && !Source->ItemIsFolder(neighbour))
      paths.push_back(Source->ItemPath(neighbour));
  readAhead_.Keep(paths);
}

void ViewerWindow::showimage(int index) {
  if (!Source || index < 0 || index >= Source->ItemCount()) return;
  const int direction = index < current_ ? -1 : +1;
  current_ = index;
  shownPath_ = Source->ItemPath(index);
  StopAnimation();
  zoom_ = 0;
  Image1->ClearZoom();
  ScrollBox1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  const std::string path = Source->ItemPath(index);
  shown_ = ReadPicture(path);
  ReadAround(index, direction);
  const std::shared_ptr<const ViewPicture> picture = shown_;  // Full() may replace shown_
  GetBitmap(*picture, H_, W_);
  UpdateCaption();
  if (Info->isVisible()) FillInfo();
  StartAnimation();
  RestartSlideTime();
}

void ViewerWindow::UpdateCaption() {
  Relocate();
  if (!Source || current_ < 0 || current_ >= Source->ItemCount()) return;
  QString caption = QFileInfo(QString::fromStdString(Source->ItemPath(current_))).fileName() +
                    QStringLiteral("(%1x%2)").arg(W_).arg(H_);
  if (zoom_ > 0) caption += QStringLiteral(" %1%").arg(std::lround(zoom_ * 100));
  setWindowTitle(caption);
  Image1->setToolTip(caption);
  Image1->setAccessibleName(caption);
}

void ViewerWindow::FitAgain() {
  Relocate();
  if (!Source || current_ < 0 || current_ >= Source->ItemCount()) return;
  showimage(current_);
}


// ---- stepping ----

int ViewerWindow::CurrentIndex() const {
  if (!Source || shownPath_.empty()) return current_;
  const int count = Source->ItemCount();
  if (current_ >= 0 && current_ < count && Source->ItemPath(current_) == shownPath_)
    return current_;
  for (int i = 0; i < count; ++i)
    if (Source->ItemPath(i) == shownPath_) return i;
  return current_;
}

void ViewerWindow::Step(int delta, QToolButton* button) {
  if (!Source) return;
  Relocate();
  const int count = Source->ItemCount();
  if (delta < 0 ? current_ <= 0 : current_ >= count - 1) return;
  const int next = current_ + delta;
  // A neighbouring folder keeps the picture; the pointer still goes onto the button.
  if (next >= 0 && next < count && !Source->ItemIsFolder(next)) showimage(next);
  if (button) QCursor::setPos(geometry().topLeft() + button->mapTo(this, QPoint(10, 10)));
}

void ViewerWindow::StepTo(int index) {
  if (index >= 0 && index != current_) showimage(index);
}

void ViewerWindow::StepToEnd(bool last) {
  if (!Source) return;
  const int count = Source->ItemCount();
  for (int i = 0; i < count; ++i) {
    const int index = last ? count - 1 - i : i;
    if (!Source->ItemIsFolder(index)) {
      StepTo(index);
      return;
    }
  }
}

void ViewerWindow::btnPreExecute() { Step(-1, SBpre); }
void ViewerWindow::btnNexExecute() { Step(+1, SBnext); }
void ViewerWindow::CloseViewExecute() {
  if (slideshow_) {
    StopSlideshow();  // Escape ends the slideshow first
    return;
  }
  if (fullScreen_) {
    LeaveFullScreen();  // Escape leaves full screen first
    return;
  }
  CancelBtn->click();
}


}  // namespace quorvane