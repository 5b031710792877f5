#include "processing/ui/ColourDialog.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSlider>
#include <QTimer>
#include <QVBoxLayout>

#include "processing/ConvertOps.h"
#include "processing/ui/NumberField.h"
#include "processing/ui/PreviewBox.h"
#include "imaging/OpenIL.h"

namespace quorvane {

ColourDialog::ColourDialog(QWidget* parent)
    : PreviewDialog(QStringLiteral("색감 변경"), 497, 272, 700, parent) {
  TargetExt = ".jpg";
  auto* colourGroup = new QGroupBox(QStringLiteral(" 색감 "), this);
  auto* grid = new QGridLayout(colourGroup);
  const auto addRow = [&](int row, const QString& caption, const QString& name, int low,
                          int high) {
    auto* trackBar = new QSlider(Qt::Horizontal, colourGroup);
    trackBar->setAccessibleName(name);
    trackBar->setRange(low, high);
    trackBar->setValue(0);
    trackBar->setFocusPolicy(Qt::StrongFocus);
    auto* field = new NumberField(low, high, 1, NumberField::Style::Whole, 0, colourGroup);
    field->SetValue(0);
    auto* label = new QLabel(caption, colourGroup);
    label->setBuddy(field);
    grid->addWidget(label, row, 0);
    grid->addWidget(trackBar, row, 1);
    grid->addWidget(field, row, 2);

    TrackBarRules rules;
    rules.low = low;
    rules.high = high;
    rules.exitOnlyWhenChanged = true;
    rules.arrowsOnlyWhenChanged = true;
    rules.stopPreview = [this] { Timer1->stop(); };
    rules.afterCommit = [this] { EnsurePreview(); };
    BindTrackBar(field, trackBar, rules);
    return std::pair{trackBar, field};
  };
  std::tie(TrackBarC, Edit1) = addRow(0, QStringLiteral("명암대비"), QStringLiteral("대비"), -255, 1023);
  std::tie(TrackBarL, Edit2) = addRow(1, QStringLiteral("밝기"), QStringLiteral("밝기"), -1023, 255);
  std::tie(TrackBarS, Edit3) = addRow(2, QStringLiteral("색농도"), QStringLiteral("채도"), -255, 1024);
  grid->setColumnStretch(1, 1);

  LayOutPreviewDialog(
      colourGroup, 3,
      FormatGroup(QStringLiteral(" 파일 형식 "), QString(), QStringLiteral("선택한 형식으로 변환")),
      2, QStringLiteral("변경"), 499, 408);

  connect(TrackBarC, &QSlider::valueChanged, this, &ColourDialog::TrackBarCChange);
  connect(TrackBarL, &QSlider::valueChanged, this, &ColourDialog::TrackBarLChange);
  connect(TrackBarS, &QSlider::valueChanged, this, &ColourDialog::TrackBarSChange);

  try {
    CodecInit();
  } catch (...) {
    // Files the codec cannot read just give no preview.
  }
}

void ColourDialog::FormShow() {
  OperationDialog::FormShow();
  BuildPreviewSource();
  PreviewImage->Show(source_);
}

void ColourDialog::TrackBarCChange(int position) {
  Contrast = position;
  Edit1->SetValue(position);
  RestartTimer();
}

void ColourDialog::TrackBarLChange(int position) {
  Brightness = position;
  Edit2->SetValue(position);
  RestartTimer();
}

void ColourDialog::TrackBarSChange(int position) {
  Saturation = position + 255;
  Edit3->SetValue(position);
  RestartTimer();
}

void ColourDialog::UpdatePreview() {
  ConvertParams params;
  params.Contrast = Contrast;
  params.Brightness = Brightness;
  params.Saturation = Saturation;
  Bitmap adjusted = source_;
  if (clsbitmap(adjusted, params, nullptr)) PreviewImage->Show(std::move(adjusted));
}

void ColourDialog::ApplyTo(ConvertParams& params) const {
  params.ChangeExt = ChangeExt;
  params.TargetExt = TargetExt;
  params.Saturation = Saturation;
  params.Brightness = Brightness;
  params.Contrast = Contrast;
}

}  // namespace quorvane
