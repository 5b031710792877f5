#pragma once
// The conversion settings dialog: JPEG quality, GIF dithering and overwriting.
//
// The caller sets JpegQuality, DitherIndex and OverwriteFiles before exec() (LoadFrom
// copies them from Settings); showing brings them into range. After OK it copies the
// three back (ApplyTo); after Cancel nothing.

#include <QDialog>

#include "shell/Settings.h"

class QCheckBox;
class QComboBox;
class QPushButton;
class QSlider;

namespace quorvane {

class NumberField;

class TConvertset : public QDialog {
  Q_OBJECT
 public:
  explicit TConvertset(QWidget* parent = nullptr);

  int JpegQuality = 80;  // 1..100
  int DitherIndex = 1;   // 0 Nearest, 1 FloydSteinberg, 2 Stucki, 3 Sierra, 4 Burkes
  bool OverwriteFiles = true;

  void LoadFrom(const Settings& settings);
  void ApplyTo(Settings& settings) const;

  QSlider* TrackBar1;
  NumberField* Edit1;
  QComboBox* ComboBox1;
  QCheckBox* CheckBox1;
  QPushButton* OKBtn;
  QPushButton* CancelBtn;

  void reject() override;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void FormShow();
  void TrackBar1Change(int position);
};

}  // namespace quorvane
