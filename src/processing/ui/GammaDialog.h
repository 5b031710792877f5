#pragma once
// The gamma correction dialog, with a preview of the first selected file.
//
// The caller sets FileName before exec(). After OK it copies TargetExt, ChangeExt and
// Gamma into the batch's ConvertParams (ApplyTo does exactly that).

#include "processing/ConvertParams.h"
#include "processing/ui/OperationDialog.h"

class QSlider;

namespace quorvane {

class NumberField;

class GammaDialog : public PreviewDialog {
  Q_OBJECT
 public:
  explicit GammaDialog(QWidget* parent = nullptr);

  // Hundredths, 1..199; the exponent applied is 2 - Gamma / 100. The field shows
  // Gamma / 100 ("1.00").
  int Gamma = 100;

  void ApplyTo(ConvertParams& params) const;

  QSlider* GTrackBar;
  NumberField* Edit1;

 protected:
  void FormShow() override;
  void UpdatePreview() override;

 private:
  void GTrackBarChange(int position);

  Bitmap work_;  // the corrected preview, the size of the source
};

}  // namespace quorvane
