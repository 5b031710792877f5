#pragma once
// The smooth resize dialog: by percentage, to a pixel size (keeping the proportions on a
// background colour), or to a length of the long side, each optionally never enlarging,
// optionally in another format. Instead of a picture it previews the size the first
// selected file comes out at.
//
// The caller may set FileName (the first selected file) before exec(). After OK it
// copies KeepAspect, FixedSize, TargetWidth, TargetHeight, BorderColor, Percent,
// ShrinkOnly, TargetExt and ChangeExt into the batch's ConvertParams; the long side
// becomes the fit operation (opFit, a square box) that quorvane-convert --long-side runs
// (ApplyTo does exactly that).

#include "processing/ConvertParams.h"
#include "processing/FitResize.h"
#include "processing/ui/OperationDialog.h"
#include "imaging/RgbColor.h"

class QLabel;
class QRadioButton;
class QSlider;

namespace quorvane {

class NumberField;

class ResizeDialog : public OperationDialog {
  Q_OBJECT
 public:
  explicit ResizeDialog(QWidget* parent = nullptr);

  bool KeepAspect = true;  // keep the proportions on BorderColor (pixel size only)
  bool FixedSize = false;  // to TargetWidth x TargetHeight (true) or by Percent (false)
  int TargetWidth = 120;   // 1..4096
  int TargetHeight = 120;  // 1..4096
  RgbColor BorderColor = clWhite;
  int Percent = 100;  // 1..400
  bool LongSide = false;      // to LongSideLength on the long side (wins over FixedSize)
  int LongSideLength = 2048;  // 1..65535
  bool ShrinkOnly = false;    // "확대하지 않음": never enlarge, for all three choices
  // The first selected file, read when the dialog shows; SourceSize is its size
  // ({0, 0}: unknown, and the result size is not shown).
  std::string FileName;
  PictureSize SourceSize;

  // Copies the answers into the batch's parameters.
  void ApplyTo(ConvertParams& params) const;

  QRadioButton* RadioBpct;
  QRadioButton* RadioBpix;
  QRadioButton* RadioLong;  // "긴 변"
  QSlider* TrackBarPct;
  NumberField* Edit1;
  NumberField* EditDW;
  NumberField* EditDH;
  NumberField* EditLong;       // the long side, 1..65535
  QCheckBox* CheckboxShrink;   // "확대하지 않음"
  QLabel* SizeLabel;           // the result size of the first file
  QCheckBox* CheckboxRatio;
  QLabel* Panel3;  // the background colour swatch
  QPushButton* Button1;

 protected:
  void FormShow() override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void TrackBarPctChange(int position);
  void Button1Click();
  void PaintPanel3();
  void BindSizeField(NumberField* field, int& target, int cap = 4096);
  // Shows the size the first file comes out at under the current choices.
  void ShowResultSize();
};

}  // namespace quorvane
