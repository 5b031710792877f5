#pragma once
// The viewer: one picture of the grid at a time, fitted to the screen or at full size
// with scrolling, stepping to the previous or next picture without wrapping.

#include <QDialog>
#include <QString>

#include "viewer/ViewerSource.h"

class QAction;
class QCheckBox;
class QLabel;
class QPushButton;
class QScrollArea;
class QToolButton;

namespace quorvane {

class Bitmap;
class TGradientCaption;

class TViewDlg1 : public QDialog {
  Q_OBJECT
 public:
  static constexpr int kToolBarHeight = 25;  // T
  static constexpr int kScrollStep = 5;

  explicit TViewDlg1(QWidget* parent = nullptr);

  // The pictures to step through; set by the caller before showing, must outlive the
  // viewer.
  TViewerSource* Source = nullptr;

  // Index in the source of the picture shown (-1 before the first).
  int CurrentIndex() const { return current_; }

  // Reads item `index` anew and shows it; the caption becomes name(WxH) with the
  // picture's own size, name(0x0) when it cannot be read.
  void showimage(int index);

  TGradientCaption* ToolBar;
  QToolButton* SBpre;
  QToolButton* SBnext;
  QCheckBox* CheckBox1;
  QToolButton* SpeedButton1;
  QScrollArea* ScrollBox1;
  QLabel* Image1;
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

 protected:
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  // Reads the file, fits or sizes the picture and the window; H and W are the picture's
  // own size (0 when unreadable). False when the picture could not be shown.
  bool GetBitmap(const QString& path, int& H, int& W);
  void ShowPicture(const Bitmap& bitmap);
  void SetClientSize(int width, int height);
  void CentreOnScreen();
  void Step(int delta, QToolButton* button);
  void ScrollBy(int dx, int dy);
  QAction* AddKeyAction(int key, void (TViewDlg1::*handler)());

  void btnPreExecute();
  void btnNexExecute();
  void CloseViewExecute();
  void scrollupExecute();
  void scrolldnExecute();
  void scrollltExecute();
  void scrollrtExecute();

  int current_ = -1;
};

}  // namespace quorvane
