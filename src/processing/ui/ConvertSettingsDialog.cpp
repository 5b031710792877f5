#include "processing/ui/ConvertSettingsDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>

#include "platform/ui/GradientCaption.h"
#include "processing/ui/NumberField.h"
#include "processing/ui/PresetSaveDialog.h"
#include "imaging/ExifOptions.h"

namespace quorvane {

ConvertSettingsDialog::ConvertSettingsDialog(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("설정"));
  setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

  auto* qualityGroup = new QGroupBox(QStringLiteral(" JPG 화질 "), this);
  TrackBar1 = new QSlider(Qt::Horizontal, qualityGroup);
  TrackBar1->setRange(1, 100);
  TrackBar1->setSingleStep(1);
  TrackBar1->setTickPosition(QSlider::NoTicks);
  TrackBar1->setValue(80);
  Edit1 = new NumberField(1, 100, 1, NumberField::Style::Whole, 0, qualityGroup);
  Edit1->SetValue(80);
  CheckBoxLossless = new QCheckBox(QStringLiteral("무손실 저장"), qualityGroup);
  CheckBoxLossless->setToolTip(QStringLiteral("WebP, JPEG XL: without loss (AVIF stays lossy)"));
  // How the one quality drives the other formats, on the quality's own controls.
  const QString note = QStringLiteral(
      "WebP, AVIF, JPEG XL: the same scale, about as good as a JPEG of that quality "
      "(WebP: cwebp -q, AVIF: quantizer (100-q)*63/70, JPEG XL: cjxl -q distance)");
  for (QWidget* w : std::initializer_list<QWidget*>{qualityGroup, TrackBar1, Edit1})
    w->setToolTip(note);
  auto* qualityLayout = new QGridLayout(qualityGroup);
  qualityLayout->addWidget(new QLabel(QStringLiteral(" 저화질 "), qualityGroup), 0, 0);
  qualityLayout->addWidget(TrackBar1, 0, 1);
  qualityLayout->addWidget(new QLabel(QStringLiteral(" 고화질 "), qualityGroup), 0, 2);
  qualityLayout->addWidget(Edit1, 0, 3);
  qualityLayout->setColumnStretch(1, 1);
  qualityLayout->addWidget(CheckBoxLossless, 1, 0, 1, 4, Qt::AlignRight);

  auto* ditherGroup = new QGroupBox(QStringLiteral(" GIF Dithering "), this);
  ComboBox1 = new QComboBox(ditherGroup);
  ComboBox1->addItems({QStringLiteral("Nearest"), QStringLiteral("FloydSteinBerg(기본값)"),
                       QStringLiteral("Stucki"), QStringLiteral("Sierra"),
                       QStringLiteral("Burkes")});
  ComboBox1->setCurrentIndex(1);
  (new QVBoxLayout(ditherGroup))->addWidget(ComboBox1);

  auto* otherGroup = new QGroupBox(QStringLiteral(" 기타 설정 "), this);
  CheckBox1 = new QCheckBox(QStringLiteral(" 파일 덮어쓰기"), otherGroup);
  CheckBox1->setChecked(true);
  CheckBoxRename = new QCheckBox(QStringLiteral("새 이름으로 저장"), otherGroup);
  CheckBoxOrient = new QCheckBox(QStringLiteral("EXIF 방향 자동 적용"), otherGroup);
  CheckBoxOrient->setChecked(true);
  CheckBoxMetadata = new QCheckBox(QStringLiteral("메타데이터 유지"), otherGroup);
  CheckBoxMetadata->setChecked(true);
  auto* otherLayout = new QVBoxLayout(otherGroup);
  otherLayout->addWidget(CheckBox1);
  otherLayout->addWidget(CheckBoxRename);
  otherLayout->addWidget(CheckBoxOrient);
  otherLayout->addWidget(CheckBoxMetadata);
  // The viewer's slideshow, on a line of its own under the groups.
  SlideSeconds = new QSpinBox(this);
  SlideSeconds->setRange(1, 60);
  SlideSeconds->setValue(4);
  SlideSeconds->setPrefix(QStringLiteral("슬라이드 쇼 간격(초) "));
  SlideSeconds->setAccessibleName(QStringLiteral("슬라이드 쇼 간격(초)"));
  CheckBoxLoop = new QCheckBox(QStringLiteral("반복"), this);
  auto* slideLine = new QHBoxLayout;
  slideLine->addWidget(SlideSeconds);
  slideLine->addWidget(CheckBoxLoop);
  slideLine->addStretch(1);

  SavePresetBtn = new QPushButton(QStringLiteral("프리셋으로 저장…"), this);
  OKBtn = new QPushButton(QStringLiteral("설정"), this);
  CancelBtn = new QPushButton(QStringLiteral("취소"), this);
  OKBtn->setDefault(true);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(SavePresetBtn);
  buttons->addStretch(1);
  buttons->addWidget(OKBtn);
  buttons->addWidget(CancelBtn);

  auto* lower = new QHBoxLayout;
  lower->addWidget(ditherGroup, 1);
  lower->addWidget(otherGroup, 1);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(qualityGroup);
  layout->addLayout(lower);
  layout->addLayout(slideLine);
  layout->addLayout(buttons);
  const QSize needed = layout->minimumSize();
  setFixedSize(std::max(313, needed.width()), std::max(206, needed.height()));
  AddGradientCaption(this);

  connect(TrackBar1, &QSlider::valueChanged, this, &ConvertSettingsDialog::TrackBar1Change);
  TrackBarRules rules;
  rules.low = 1;
  rules.high = 100;
  BindTrackBar(Edit1, TrackBar1, rules);
  connect(ComboBox1, &QComboBox::currentIndexChanged, this,
          [this](int index) { DitherIndex = index; });
  connect(CheckBox1, &QCheckBox::toggled, this, [this](bool on) { OverwriteFiles = on; });
  connect(CheckBoxRename, &QCheckBox::toggled, this, [this](bool on) {
    RenameExisting = on;
    CheckBox1->setEnabled(!on);
  });
  connect(CheckBoxOrient, &QCheckBox::toggled, this, [this](bool on) { AutoOrient = on; });
  connect(CheckBoxMetadata, &QCheckBox::toggled, this, [this](bool on) { KeepMetadata = on; });
  connect(CheckBoxLossless, &QCheckBox::toggled, this, [this](bool on) { Lossless = on; });
  connect(SlideSeconds, &QSpinBox::valueChanged, this, [this](int value) { SlideshowSeconds = value; });
  connect(CheckBoxLoop, &QCheckBox::toggled, this, [this](bool on) { SlideshowLoop = on; });
  connect(OKBtn, &QPushButton::clicked, this, [this] {
    CommitTypedValue(this);
    done(1);
  });
  connect(CancelBtn, &QPushButton::clicked, this, [this] { done(2); });
  connect(SavePresetBtn, &QPushButton::clicked, this, &ConvertSettingsDialog::SavePresetClick);
}

void ConvertSettingsDialog::SavePresetClick() {
  CommitTypedValue(this);
  PresetSaveDialog dialog(this);
  dialog.JpegQuality = JpegQuality;
  dialog.Lossless = Lossless;
  dialog.DitherIndex = DitherIndex;
  Settings chosen;
  chosen.OverwriteFiles = OverwriteFiles;
  chosen.RenameExisting = RenameExisting;
  dialog.Existing = ExistingChoice(chosen);
  dialog.AutoOrient = AutoOrient;
  dialog.KeepMetadata = KeepMetadata;
  dialog.exec();
}

void ConvertSettingsDialog::LoadFrom(const Settings& settings) {
  JpegQuality = settings.JpegQuality;
  DitherIndex = settings.DitherIndex;
  OverwriteFiles = settings.OverwriteFiles;
  RenameExisting = settings.RenameExisting;
  AutoOrient = settings.AutoOrient;
  KeepMetadata = settings.KeepMetadata;
  Lossless = settings.Lossless;
  SlideshowSeconds = settings.SlideshowSeconds;
  SlideshowLoop = settings.SlideshowLoop;
}

void ConvertSettingsDialog::ApplyTo(Settings& settings) const {
  settings.JpegQuality = JpegQuality;
  settings.DitherIndex = DitherIndex;
  settings.OverwriteFiles = OverwriteFiles;
  settings.RenameExisting = RenameExisting;
  settings.AutoOrient = AutoOrient;
  settings.KeepMetadata = KeepMetadata;
  settings.Lossless = Lossless;
  settings.SlideshowSeconds = std::clamp(SlideshowSeconds, 1, 60);
  settings.SlideshowLoop = SlideshowLoop;
  SetExifOptions({settings.AutoOrient, settings.UseEmbeddedThumbnails, settings.KeepMetadata});
}

void ConvertSettingsDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!event->spontaneous()) FormShow();
}

void ConvertSettingsDialog::FormShow() {
  if (JpegQuality > 100) JpegQuality = 100;
  if (JpegQuality <= 0) JpegQuality = 1;
  if (DitherIndex < 0 || DitherIndex > 4) DitherIndex = 1;
  const int quality = JpegQuality;  // the handlers below store what they show
  const int dither = DitherIndex;
  const bool overwrite = OverwriteFiles;
  const bool rename = RenameExisting;
  const bool orient = AutoOrient;
  const bool keep = KeepMetadata;
  const bool lossless = Lossless;
  const int seconds = std::clamp(SlideshowSeconds, 1, 60);
  const bool loop = SlideshowLoop;
  TrackBar1->setValue(quality);
  ComboBox1->setCurrentIndex(dither);
  CheckBox1->setChecked(overwrite);
  CheckBoxRename->setChecked(rename);
  CheckBox1->setEnabled(!rename);
  CheckBoxOrient->setChecked(orient);
  CheckBoxMetadata->setChecked(keep);
  CheckBoxLossless->setChecked(lossless);
  SlideSeconds->setValue(seconds);
  SlideshowSeconds = seconds;
  CheckBoxLoop->setChecked(loop);
  Edit1->SetValue(quality);
}

void ConvertSettingsDialog::TrackBar1Change(int position) {
  JpegQuality = position;
  Edit1->SetValue(position);
}

void ConvertSettingsDialog::reject() { done(2); }

}  // namespace quorvane
