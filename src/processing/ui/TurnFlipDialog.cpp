#include "processing/ui/TurnFlipDialog.h"

#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "processing/ConvertOps.h"
#include "processing/ui/PreviewBox.h"

namespace quorvane {

TurnFlipDialog::TurnFlipDialog(QWidget* parent)
    : PreviewDialog(QStringLiteral("90도 회전 / 뒤집기"), 467, 233, 500, parent) {
  auto* effectGroup = new QGroupBox(QStringLiteral(" 설정 "), this);
  ComboBox2 = new QComboBox(effectGroup);
  ComboBox2->addItems({QStringLiteral("반시계 90도 회전"), QStringLiteral("시계 90도 회전"),
                       QStringLiteral("좌우 뒤집기"), QStringLiteral("상하 뒤집기")});
  auto* effectLayout = new QVBoxLayout(effectGroup);
  effectLayout->addWidget(new QLabel(QStringLiteral(" 효과 종류 "), effectGroup));
  effectLayout->addWidget(ComboBox2);

  LayOutPreviewDialog(effectGroup, 1,
                      FormatGroup(QStringLiteral(" 파일 형식 "), QStringLiteral(" 파일 형식 "),
                                  QStringLiteral("선택한 형식으로 저장")),
                      1, QStringLiteral("변환"), 467, 353);

  connect(ComboBox2, &QComboBox::currentIndexChanged, this, &TurnFlipDialog::ComboBox2Change);
}

void TurnFlipDialog::FormShow() {
  OperationDialog::FormShow();
  OpCode = std::clamp(OpCode, int(opTurnLeft), int(opFlipV));
  {
    const QSignalBlocker quiet(ComboBox2);  // choosing by code is not the user's change
    ComboBox2->setCurrentIndex(OpCode - opTurnLeft);
  }
  if (!BuildPreviewSource()) return;
  try {
    DoTF(source_, OpCode);
    PreviewDone();
  } catch (...) {
    // The preview stays empty.
  }
}

void TurnFlipDialog::ComboBox2Change(int index) {
  Timer1->stop();
  OpCode = index < 0 ? opTurnLeft : std::min(index + opTurnLeft, int(opFlipV));
  RestartTimer();
}

void TurnFlipDialog::UpdatePreview() { DoTF(source_, OpCode); }

void TurnFlipDialog::DoTF(const Bitmap& source, int code) {
  Bitmap turned = source;
  ConvertParams params;
  params.OpCode = code;
  if (!RunOperation(turned, params, nullptr)) return;
  // A turned landscape picture may now be too high for the area.
  FitIntoPreview(turned, PreviewImage->PixelWidth(), PreviewImage->PixelHeight());
  PreviewImage->Show(std::move(turned));
}

void TurnFlipDialog::ApplyTo(ConvertParams& params) const {
  params.TargetExt = TargetExt;
  params.OpCode = OpCode;
  params.ChangeExt = ChangeExt;
}

}  // namespace quorvane
