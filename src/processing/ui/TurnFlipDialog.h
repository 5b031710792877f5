#pragma once
// The quarter turn and flip dialog, with a preview of the first selected file.
//
// The caller sets FileName and OpCode (2 to 5) before exec(). After OK it copies
// TargetExt, OpCode (the effect chosen in the dialog, which replaces the batch's) and
// ChangeExt into the batch's ConvertParams (ApplyTo does exactly that).

#include "processing/ConvertParams.h"
#include "processing/ui/OperationDialog.h"

namespace quorvane {

class TurnFlipDialog : public PreviewDialog {
  Q_OBJECT
 public:
  explicit TurnFlipDialog(QWidget* parent = nullptr);

  // 2 turn counter-clockwise, 3 turn clockwise, 4 mirror left-right, 5 upside down.
  int OpCode = opTurnLeft;

  void ApplyTo(ConvertParams& params) const;

  QComboBox* ComboBox2;  // the effect, in operation-code order from 2

 protected:
  void FormShow() override;
  void UpdatePreview() override;

 private:
  void ComboBox2Change(int index);
  // Shows `source` turned or flipped by `code`, fitted into the preview area.
  void DoTF(const Bitmap& source, int code);
};

}  // namespace quorvane
