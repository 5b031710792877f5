#pragma once
// The smooth resize dialog: by percentage or to a pixel size, keeping the proportions on
// a background colour, optionally in another format. No preview.
//
// The caller sets nothing before exec(). After OK it copies KeepAspect, FixedSize,
// TargetWidth, TargetHeight, BorderColor, Percent, TargetExt and ChangeExt into the
// batch's ConvertParams (ApplyTo does exactly that).

#include "processing/ConvertParams.h"
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

  // Copies the answers into the batch's parameters.
  void ApplyTo(ConvertParams& params) const;

  QRadioButton* RadioBpct;
  QRadioButton* RadioBpix;
  QSlider* TrackBarPct;
  NumberField* Edit1;
  NumberField* EditDW;
  NumberField* EditDH;
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
  void BindSizeField(NumberField* field, int& target);
};

}  // namespace quorvane
