#pragma once
// The colour dialog: contrast, brightness and saturation, with a preview of the first
// selected file that runs the batch's own chain (contrast, then brightness, then
// saturation).
//
// The caller sets FileName before exec(). After OK it copies ChangeExt, TargetExt,
// Saturation, Brightness and Contrast into the batch's ConvertParams (ApplyTo does
// exactly that).

#include "processing/ConvertParams.h"
#include "processing/ui/OperationDialog.h"

class QSlider;

namespace quorvane {

class NumberField;

class ColourDialog : public PreviewDialog {
  Q_OBJECT
 public:
  explicit ColourDialog(QWidget* parent = nullptr);

  int Contrast = 0;      // -255..1023, the position of TrackBarC
  int Brightness = 0;    // -1023..255, the position of TrackBarL
  int Saturation = 255;  // 0..1279, the position of TrackBarS + 255

  void ApplyTo(ConvertParams& params) const;

  QSlider* TrackBarC;
  QSlider* TrackBarL;
  QSlider* TrackBarS;
  NumberField* Edit1;  // contrast
  NumberField* Edit2;  // brightness
  NumberField* Edit3;  // saturation, as the track bar's position

 protected:
  void FormShow() override;
  void UpdatePreview() override;

 private:
  void TrackBarCChange(int position);
  void TrackBarLChange(int position);
  void TrackBarSChange(int position);
};

}  // namespace quorvane
