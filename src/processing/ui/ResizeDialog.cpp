#include "processing/ui/ResizeDialog.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QVBoxLayout>

#include "imaging/ReadImage.h"
#include "imaging/ui/QtBitmap.h"
#include "processing/ConvertOps.h"
#include "processing/ui/NumberField.h"

namespace quorvane {

ResizeDialog::ResizeDialog(QWidget* parent)
    : OperationDialog(QStringLiteral("크기 바꾸기 설정"), parent) {
  auto* sizeGroup = new QGroupBox(QStringLiteral(" 대상 크기 "), this);
  RadioBpct = new QRadioButton(QStringLiteral("퍼센트(1%-400%)"), sizeGroup);
  RadioBpix = new QRadioButton(QStringLiteral("픽셀"), sizeGroup);
  RadioBpct->setChecked(true);
  TrackBarPct = new QSlider(Qt::Horizontal, sizeGroup);
  TrackBarPct->setRange(1, 400);
  TrackBarPct->setValue(100);
  TrackBarPct->setFocusPolicy(Qt::StrongFocus);
  Edit1 = new NumberField(1, 400, 1, NumberField::Style::Whole, 0, sizeGroup);
  Edit1->SetValue(100);
  EditDW = new NumberField(1, 4096, 1, NumberField::Style::Whole, 0, sizeGroup);
  EditDH = new NumberField(1, 4096, 1, NumberField::Style::Whole, 0, sizeGroup);
  RadioLong = new QRadioButton(QStringLiteral("긴 변"), sizeGroup);
  EditLong = new NumberField(1, kMaxFitSide, 1, NumberField::Style::Whole, 0, sizeGroup);
  EditLong->SetValue(LongSideLength);
  CheckboxShrink = new QCheckBox(QStringLiteral("확대하지 않음"), sizeGroup);
  SizeLabel = new QLabel(sizeGroup);
  CheckboxRatio = new QCheckBox(QStringLiteral(" 원본 이미지 비율 유지"), sizeGroup);
  CheckboxRatio->setChecked(true);
  Panel3 = new QLabel(QStringLiteral("빈 공간 색깔"), sizeGroup);
  Panel3->setAlignment(Qt::AlignCenter);
  Panel3->setAutoFillBackground(true);
  Panel3->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  Panel3->setMinimumHeight(24);
  Button1 = new QPushButton(QStringLiteral("..."), sizeGroup);
  Button1->setFocusPolicy(Qt::StrongFocus);
  Button1->setFixedWidth(32);
  PaintPanel3();

  auto* grid = new QGridLayout(sizeGroup);
  grid->addWidget(RadioBpct, 0, 0, 1, 4);
  grid->addWidget(TrackBarPct, 1, 0, 1, 3);
  grid->addWidget(Edit1, 1, 3);
  grid->addWidget(RadioBpix, 2, 0, 1, 4);
  grid->addWidget(EditDW, 3, 0);
  grid->addWidget(new QLabel(QStringLiteral("X"), sizeGroup), 3, 1, Qt::AlignCenter);
  grid->addWidget(EditDH, 3, 2);
  grid->addWidget(CheckboxRatio, 4, 0, 1, 4);
  auto* colourRow = new QHBoxLayout;
  colourRow->addWidget(Panel3, 1);
  colourRow->addWidget(Button1);
  grid->addLayout(colourRow, 5, 0, 1, 4);
  grid->addWidget(RadioLong, 6, 0, 1, 2);
  grid->addWidget(EditLong, 6, 2, 1, 2);
  grid->addWidget(CheckboxShrink, 7, 0, 1, 4);
  grid->addWidget(SizeLabel, 8, 0, 1, 4);
  grid->setColumnStretch(0, 1);
  grid->setColumnStretch(2, 1);

  auto* layout = new QVBoxLayout;
  layout->addWidget(sizeGroup);
  layout->addWidget(FormatGroup(QStringLiteral(" 파일 형식 "), QStringLiteral(" 변환 파일 형식 "),
                                QStringLiteral("선택한 형식으로 변환")));
  layout->addLayout(ButtonRow(QStringLiteral("변환")));
  FinishLayout(layout, 313, 282);

  // Checking a radio button, by a click or by code, runs its handler.
  connect(RadioBpct, &QRadioButton::toggled, this, [this](bool on) {
    if (on) FixedSize = false, LongSide = false;
    ShowResultSize();
  });
  connect(RadioBpix, &QRadioButton::toggled, this, [this](bool on) {
    if (on) FixedSize = true, LongSide = false;
    ShowResultSize();
  });
  connect(RadioLong, &QRadioButton::toggled, this, [this](bool on) {
    if (on) LongSide = true;
    ShowResultSize();
  });
  connect(CheckboxShrink, &QCheckBox::toggled, this, [this](bool on) {
    ShrinkOnly = on;
    ShowResultSize();
  });
  connect(TrackBarPct, &QSlider::valueChanged, this, &ResizeDialog::TrackBarPctChange);
  TrackBarRules pct;
  pct.low = 1;
  pct.high = 400;
  BindTrackBar(Edit1, TrackBarPct, pct);
  BindSizeField(EditDW, TargetWidth);
  BindSizeField(EditDH, TargetHeight);
  BindSizeField(EditLong, LongSideLength, kMaxFitSide);
  connect(CheckboxRatio, &QCheckBox::toggled, this, [this](bool on) {
    KeepAspect = on;
    ShowResultSize();
  });
  connect(Button1, &QPushButton::clicked, this, &ResizeDialog::Button1Click);

  // Focus decides the mode.
  for (QWidget* w : {static_cast<QWidget*>(TrackBarPct), static_cast<QWidget*>(Edit1),
                     static_cast<QWidget*>(EditDW), static_cast<QWidget*>(EditDH),
                     static_cast<QWidget*>(CheckboxRatio), static_cast<QWidget*>(Button1),
                     static_cast<QWidget*>(EditLong)})
    w->installEventFilter(this);
  Panel3->installEventFilter(this);
}

void ResizeDialog::BindSizeField(NumberField* field, int& target, int cap) {
  // The pixel sizes have no track bar: Enter takes any size of 1 or more (the long side
  // at most its cap), leaving the field also stops at the cap (4096 for the pixel
  // size), and text that is no number counts as 1 on Enter and as 120 on leaving.
  const bool alwaysCapped = cap > 4096;
  const auto take = [this, field, &target, cap, alwaysCapped](double fallback, bool capped) {
    double value = field->Value().value_or(fallback);
    if ((capped || alwaysCapped) && value > cap) value = cap;
    int v = int(value);
    if (v <= 0) v = 1;
    target = v;
    field->SetValue(v);
    ShowResultSize();
  };
  connect(field, &NumberField::EnterPressed, this, [field, take] {
    take(1, false);
    field->selectAll();
  });
  connect(field, &NumberField::EscapePressed, this, [field, &target] {
    field->SetValue(target);
    field->selectAll();
  });
  connect(field, &NumberField::Exited, this, [take] { take(120, true); });
  connect(field, &NumberField::Stepped, this, [take] { take(120, true); });
}

void ResizeDialog::FormShow() {
  OperationDialog::FormShow();
  Edit1->SetText(QStringLiteral("100"));
  EditDW->SetValue(TargetWidth);
  EditDH->SetValue(TargetHeight);
  CheckboxRatio->setChecked(KeepAspect);
  TrackBarPct->setValue(Percent);
  EditLong->SetValue(LongSideLength);
  CheckboxShrink->setChecked(ShrinkOnly);
  if (FixedSize) RadioBpix->setChecked(true);
  if (LongSide) RadioLong->setChecked(true);
  if (!FileName.empty()) {
    Bitmap first;
    SourceSize = ReadImageFile(FileName, first) ? PictureSize{first.Width(), first.Height()}
                                                : PictureSize{};
  }
  PaintPanel3();
  ShowResultSize();
}

void ResizeDialog::ShowResultSize() {
  if (SourceSize.Width <= 0 || SourceSize.Height <= 0) {
    SizeLabel->clear();
    return;
  }
  ConvertParams step;
  step.OpCode = opResize;
  ApplyTo(step);
  const PictureSize result = ResultSize(SourceSize.Width, SourceSize.Height, step);
  const QString from = QStringLiteral("%1 x %2").arg(SourceSize.Width).arg(SourceSize.Height);
  SizeLabel->setText(result.Width > 0 ? QStringLiteral("결과 크기: %1 x %2 (원본 %3)")
                                            .arg(result.Width)
                                            .arg(result.Height)
                                            .arg(from)
                                      : QStringLiteral("결과 크기: 만들 수 없음 (원본 %1)").arg(from));
}

void ResizeDialog::TrackBarPctChange(int position) {
  Percent = position;
  Edit1->SetValue(position);
  ShowResultSize();
}

bool ResizeDialog::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::FocusIn) {
    if (watched == TrackBarPct || watched == Edit1)
      RadioBpct->setChecked(true);
    else if (watched == EditDW || watched == EditDH || watched == CheckboxRatio ||
             watched == Button1)
      RadioBpix->setChecked(true);
    else if (watched == EditLong)
      RadioLong->setChecked(true);
  } else if (watched == Panel3 && event->type() == QEvent::MouseButtonRelease) {
    Button1->click();
    return true;
  }
  return OperationDialog::eventFilter(watched, event);
}

void ResizeDialog::Button1Click() {
  QColorDialog chooser(ToQColor(BorderColor), this);
  chooser.setOption(QColorDialog::DontUseNativeDialog);
  if (chooser.exec() != QDialog::Accepted) return;
  BorderColor = FromQColor(chooser.selectedColor());
  PaintPanel3();
}

void ResizeDialog::PaintPanel3() {
  QPalette palette = Panel3->palette();
  palette.setColor(QPalette::Window, ToQColor(BorderColor));
  palette.setColor(QPalette::WindowText, ToQColor(BorderColor ^ 0xFFFFFF));
  Panel3->setPalette(palette);
}

void ResizeDialog::ApplyTo(ConvertParams& params) const {
  params.KeepAspect = KeepAspect;
  params.FixedSize = FixedSize;
  params.TargetWidth = TargetWidth;
  params.TargetHeight = TargetHeight;
  params.BorderColor = BorderColor;
  params.Percent = Percent;
  params.ShrinkOnly = ShrinkOnly;
  if (LongSide) {
    params.OpCode = opFit;
    params.FitWidth = params.FitHeight = LongSideLength;
  }
  params.TargetExt = TargetExt;
  params.ChangeExt = ChangeExt;
}

}  // namespace quorvane
