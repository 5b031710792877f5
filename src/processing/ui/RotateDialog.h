#pragma once
// The smooth rotation dialog, with a preview of the first selected file computed by the
// dialog's worker (RotateThread) on the main thread.
//
// The caller sets FileName before exec(). After OK it copies ChangeExt, TargetExt and
// RotateAngle into the batch's ConvertParams (ApplyTo does exactly that).

#include "processing/ConvertParams.h"
#include "processing/ui/OperationDialog.h"

class QSlider;

namespace quorvane {

class NumberField;
class WorkerThread;
class WorkerExecuteThread;

class RotateDialog : public PreviewDialog {
  Q_OBJECT
 public:
  explicit RotateDialog(QWidget* parent = nullptr);
  ~RotateDialog() override;

  // Degrees, -180..180, always a whole number of hundredths; positive turns clockwise.
  long double RotateAngle = 0;

  void ApplyTo(ConvertParams& params) const;

  QSlider* TrackBarAngle;  // hundredths of a degree
  NumberField* Edit1;
  WorkerThread* RotateThread;

 protected:
  void FormShow() override;
  void Timer1Timer() override;
  void UpdatePreview() override;
  void StopPreview() override;

 private:
  void TrackBarAngleChange(int position);
  void doRotateThread(WorkerExecuteThread* thread);
  void DoRotate(WorkerExecuteThread* thread);
};

}  // namespace quorvane
