#include "processing/ui/GammaDialog.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QSlider>
#include <QTimer>
#include <QVBoxLayout>

#include "processing/ConvertOps.h"
#include "processing/ui/NumberField.h"
#include "processing/ui/PreviewBox.h"

namespace quorvane {

GammaDialog::GammaDialog(QWidget* parent)
    : PreviewDialog(QStringLiteral(" Gamma Correction"), 420, 240, 500, parent) {
  auto* gammaGroup = new QGroupBox(QStringLiteral(" Gamma "), this);
  GTrackBar = new QSlider(Qt::Horizontal, gammaGroup);
  GTrackBar->setRange(1, 199);
  GTrackBar->setValue(100);
  GTrackBar->setFocusPolicy(Qt::StrongFocus);
  Edit1 = new NumberField(0.01, 1.99, 0.01, NumberField::Style::Fixed, 2, gammaGroup);
  Edit1->SetValue(1);
  auto* gammaLayout = new QHBoxLayout(gammaGroup);
  gammaLayout->addWidget(GTrackBar, 1);
  gammaLayout->addWidget(Edit1);

  LayOutPreviewDialog(gammaGroup, 1,
                      FormatGroup(QStringLiteral(" 파일 형식 선택 "), QString(),
                                  QStringLiteral("선택한 형식으로 저장")),
                      1, QStringLiteral("변환"), 422, 360);

  connect(GTrackBar, &QSlider::valueChanged, this, &GammaDialog::GTrackBarChange);
  TrackBarRules rules;
  rules.scale = 100;
  rules.low = 0.01;
  rules.high = 1.99;
  rules.stopPreview = [this] { Timer1->stop(); };
  rules.afterCommit = [this] { EnsurePreview(); };
  BindTrackBar(Edit1, GTrackBar, rules);
}

void GammaDialog::FormShow() {
  OperationDialog::FormShow();
  if (BuildPreviewSource()) {
    work_ = source_;
    PreviewImage->Show(source_);
  }
  Edit1->SetText(QStringLiteral("1.00"));
}

void GammaDialog::GTrackBarChange(int position) {
  Timer1->stop();
  Gamma = position;
  Edit1->SetValue(position / 100.0);
  RestartTimer();
}

void GammaDialog::UpdatePreview() {
  ConvertParams params;
  params.Gamma = Gamma;
  work_ = source_;
  if (GammaCorr(work_, params, nullptr)) PreviewImage->Show(work_);
}

void GammaDialog::ApplyTo(ConvertParams& params) const {
  params.TargetExt = TargetExt;
  params.ChangeExt = ChangeExt;
  params.Gamma = Gamma;
}

}  // namespace quorvane
