#include "viewer/ui/viewDlg.h"

#include <QAction>
#include <QCheckBox>
#include <QCursor>
#include <QFileInfo>
#include <QIcon>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPolygonF>
#include <QPushButton>
#include <QResizeEvent>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QToolButton>
#include <algorithm>

#include "imaging/ui/QtBitmap.h"
#include "platform/ui/GradientCaption.h"
#include "processing/bitmapfunc.h"
#include "imaging/OpenIL.h"
#include "imaging/ReadImage.h"

namespace quorvane {

namespace {

constexpr int kInitialClientWidth = 313;
constexpr int kInitialClientHeight = 214;
constexpr int kMinClientWidth = 64;
// Room kept free around a fitted picture, and the room a scroll bar takes.
constexpr int kScreenMarginX = 80;
constexpr int kScreenMarginY = 90;
constexpr int kScrollBarRoom = 25;

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

TViewDlg1::TViewDlg1(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("그림보기"));
  // A fixed border with the system menu only: no resizing, no minimise or maximise.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);

  // The tool bar doubles as the window's gradient caption: the title is drawn to the
  // right of its controls.
  ToolBar = new TGradientCaption(this, this);
  ToolBar->setFixedHeight(kToolBarHeight);
  const QColor arrowColor = palette().color(QPalette::ButtonText);
  SBpre = MakeFlatButton(ToolBar, ArrowIcon(true, arrowColor), QStringLiteral("이전"));
  SBnext = MakeFlatButton(ToolBar, ArrowIcon(false, arrowColor), QStringLiteral("다음"));
  CheckBox1 = new QCheckBox(QStringLiteral("화면에 알맞은 크기로"), ToolBar);
  CheckBox1->setChecked(true);
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
  Image1 = new QLabel;
  Image1->setAlignment(Qt::AlignCenter);
  ScrollBox1->setWidget(Image1);
  ScrollBox1->setWidgetResizable(true);

  OKBtn = new QPushButton(QStringLiteral("OK"), this);
  CancelBtn = new QPushButton(QStringLiteral("Cancel"), this);
  for (QPushButton* button : {OKBtn, CancelBtn}) {
    button->setAutoDefault(false);
    button->hide();
  }
  connect(OKBtn, &QPushButton::clicked, this, [this] { done(1); });
  connect(CancelBtn, &QPushButton::clicked, this, [this] { done(2); });

  btnPre = AddKeyAction(Qt::Key_PageUp, &TViewDlg1::btnPreExecute);
  btnNex = AddKeyAction(Qt::Key_PageDown, &TViewDlg1::btnNexExecute);
  CloseView = AddKeyAction(Qt::Key_Escape, &TViewDlg1::CloseViewExecute);
  scrollup = AddKeyAction(Qt::Key_Up, &TViewDlg1::scrollupExecute);
  scrolldn = AddKeyAction(Qt::Key_Down, &TViewDlg1::scrolldnExecute);
  scrolllt = AddKeyAction(Qt::Key_Left, &TViewDlg1::scrollltExecute);
  scrollrt = AddKeyAction(Qt::Key_Right, &TViewDlg1::scrollrtExecute);
  connect(SBpre, &QToolButton::clicked, btnPre, &QAction::trigger);
  connect(SBnext, &QToolButton::clicked, btnNex, &QAction::trigger);
  connect(SpeedButton1, &QToolButton::clicked, CloseView, &QAction::trigger);
  connect(CheckBox1, &QCheckBox::clicked, this, [this] { showimage(current_); });

  try {
    CodecInit();
  } catch (...) {
    // An unusable codec shows up as pictures that cannot be read.
  }
  SetClientSize(kInitialClientWidth, kInitialClientHeight);
}

QAction* TViewDlg1::AddKeyAction(int key, void (TViewDlg1::*handler)()) {
  auto* action = new QAction(this);
  action->setShortcut(QKeySequence(key));
  action->setShortcutContext(Qt::WindowShortcut);
  addAction(action);
  connect(action, &QAction::triggered, this, handler);
  return action;
}

void TViewDlg1::reject() { CancelBtn->click(); }

void TViewDlg1::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (event->spontaneous()) return;  // the window coming back from another desktop
  // Every showing starts fitted to the screen, on the grid's selected picture.
  CheckBox1->setChecked(true);
  current_ = Source ? Source->SelectedIndex() : -1;
  showimage(current_);
}

void TViewDlg1::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  ToolBar->setGeometry(0, 0, width(), kToolBarHeight);
  ScrollBox1->setGeometry(0, kToolBarHeight, width(), std::max(0, height() - kToolBarHeight));
}

void TViewDlg1::SetClientSize(int width, int height) {
  setFixedSize(width, height);
  ToolBar->setGeometry(0, 0, width, kToolBarHeight);
  ScrollBox1->setGeometry(0, kToolBarHeight, width, std::max(0, height - kToolBarHeight));
}

void TViewDlg1::CentreOnScreen() {
  const QScreen* scr = screen();
  if (!scr) return;
  const QRect area = scr->geometry();
  const QSize frame = frameGeometry().size();  // the window with its border
  move(area.x() + (area.width() - frame.width()) / 2,
       area.y() + (area.height() - frame.height()) / 2);
}

void TViewDlg1::ShowPicture(const Bitmap& bitmap) {
  if (bitmap.Empty()) {
    Image1->clear();
    return;
  }
  Image1->setPixmap(QPixmap::fromImage(BitmapImage(bitmap)));  // converts, so the bitmap may go
}

bool TViewDlg1::GetBitmap(const QString& path, int& H, int& W) {
  H = 0;
  W = 0;
  Bitmap B;
  bool result = false;
  try {
    result = ReadImageFile(path.toStdString(), B);
  } catch (...) {
    result = false;
  }
  if (!result || B.Empty()) {
    // An unreadable file: an empty picture, the window keeps its size.
    ShowPicture(Bitmap());
    CentreOnScreen();
    return false;
  }
  W = B.Width();
  H = B.Height();
  const QScreen* scr = screen();
  const QSize screenSize = scr ? scr->geometry().size() : QSize(1024, 768);
  const int SW = screenSize.width();
  const int SH = screenSize.height();
  const int T = kToolBarHeight;
  const int boxWidth = SW - kScreenMarginX;
  const int boxHeight = SH - T - kScreenMarginY;
  try {
    if (CheckBox1->isChecked()) {
      if ((W > boxWidth || H > boxHeight) && !FitBitmap(B, boxWidth, boxHeight, nullptr)) {
        // A picture too large to fit is not shown at a size that overflows the screen.
        ShowPicture(Bitmap());
        CentreOnScreen();
        return false;
      }
      ScrollBox1->setWidgetResizable(true);
      Image1->setAlignment(Qt::AlignCenter);
      SetClientSize(std::max(B.Width(), kMinClientWidth), B.Height() + T);
    } else {
      ScrollBox1->setWidgetResizable(false);
      Image1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
      Image1->resize(W, H);
      int clientWidth = W;
      int clientHeight = H + T;
      if (W > boxWidth) {
        clientWidth = boxWidth;
        clientHeight += kScrollBarRoom;
      }
      if (H > boxHeight) {
        clientHeight = boxHeight;
        clientWidth += kScrollBarRoom;
      }
      SetClientSize(std::max(clientWidth, kMinClientWidth), clientHeight);
    }
    ScrollBox1->horizontalScrollBar()->setValue(0);
    ScrollBox1->verticalScrollBar()->setValue(0);
    Image1->move(0, 0);
    ShowPicture(B);
  } catch (...) {
    ShowPicture(Bitmap());
    result = false;
  }
  CentreOnScreen();
  return result;
}

void TViewDlg1::showimage(int index) {
  if (!Source || index < 0 || index >= Source->ItemCount()) return;
  current_ = index;
  const QString path = QString::fromStdString(Source->ItemPath(index));
  int H = 0;
  int W = 0;
  GetBitmap(path, H, W);
  const QString caption = QFileInfo(path).fileName() + QStringLiteral("(%1x%2)").arg(W).arg(H);
  setWindowTitle(caption);
  Image1->setToolTip(caption);
  Image1->setAccessibleName(caption);
}

void TViewDlg1::Step(int delta, QToolButton* button) {
  if (!Source) return;
  const int count = Source->ItemCount();
  if (delta < 0 ? current_ <= 0 : current_ >= count - 1) return;
  const int next = current_ + delta;
  // A neighbouring folder keeps the picture; the pointer still goes onto the button.
  if (next >= 0 && next < count && !Source->ItemIsFolder(next)) showimage(next);
  QCursor::setPos(geometry().topLeft() + button->mapTo(this, QPoint(10, 10)));
}

void TViewDlg1::btnPreExecute() { Step(-1, SBpre); }
void TViewDlg1::btnNexExecute() { Step(+1, SBnext); }
void TViewDlg1::CloseViewExecute() { CancelBtn->click(); }

// The arrows move the picture itself, with no bound: Up shows more of the top.
void TViewDlg1::ScrollBy(int dx, int dy) { Image1->move(Image1->pos() + QPoint(dx, dy)); }
void TViewDlg1::scrollupExecute() { ScrollBy(0, kScrollStep); }
void TViewDlg1::scrolldnExecute() { ScrollBy(0, -kScrollStep); }
void TViewDlg1::scrollltExecute() { ScrollBy(kScrollStep, 0); }
void TViewDlg1::scrollrtExecute() { ScrollBy(-kScrollStep, 0); }

}  // namespace quorvane
