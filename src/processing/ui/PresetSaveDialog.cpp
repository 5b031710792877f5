#include "processing/ui/PresetSaveDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <filesystem>

#include "platform/ui/GradientCaption.h"
#include "processing/ConvertOptions.h"
#include "processing/ConvertPreset.h"
#include "processing/PresetBatch.h"

namespace quorvane {

namespace {

// The operations offered: the converter's option, the label, an example value ("" for
// an operation without a value) and whether "확대하지 않음" applies.
struct OperationChoice {
  const char* option;
  const char* label;
  const char* example;
  bool shrinks;
};

constexpr OperationChoice kChoices[] = {
    {"", "변환만", "", false},
    {"resize", "크기 바꾸기 (50% 또는 800x600)", "50%", false},
    {"fit", "맞추기 (상자 WxH)", "1920x1080", true},
    {"long-side", "긴 변 (픽셀)", "2048", true},
    {"turn-left", "반시계 90도 회전", "", false},
    {"turn-right", "시계 90도 회전", "", false},
    {"flip-h", "좌우 뒤집기", "", false},
    {"flip-v", "상하 뒤집기", "", false},
    {"rotate", "부드러운 회전 (각도)", "12.5", false},
    {"color", "색감 조절 (대비,밝기,채도)", "10,0,0", false},
    {"gamma", "Gamma Correction (0.01-1.99)", "1.2", false},
};

}  // namespace

PresetSaveDialog::PresetSaveDialog(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("프리셋으로 저장"));
  setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
  NameEdit = new QLineEdit(this);
  OperationBox = new QComboBox(this);
  for (const OperationChoice& c : kChoices) OperationBox->addItem(QString::fromUtf8(c.label));
  ValueEdit = new QLineEdit(this);
  CheckShrink = new QCheckBox(QStringLiteral("확대하지 않음"), this);
  FormatBox = new QComboBox(this);
  for (std::string_view label : TargetFormatLabels)
    FormatBox->addItem(QString::fromUtf8(label.data(), qsizetype(label.size())));
  PatternEdit = new QLineEdit(this);
  PatternEdit->setPlaceholderText(QStringLiteral("{name}_web (비우면 원래 이름)"));
  ProblemLabel = new QLabel(this);
  ProblemLabel->setWordWrap(true);
  ProblemLabel->setStyleSheet(QStringLiteral("color: #b00000"));
  SaveBtn = new QPushButton(QStringLiteral("저장"), this);
  CancelBtn = new QPushButton(QStringLiteral("취소"), this);
  SaveBtn->setDefault(true);

  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("이름"), NameEdit);
  form->addRow(QStringLiteral("작업"), OperationBox);
  form->addRow(QStringLiteral("값"), ValueEdit);
  form->addRow(QString(), CheckShrink);
  form->addRow(QStringLiteral("형식"), FormatBox);
  form->addRow(QStringLiteral("이름 패턴"), PatternEdit);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(SaveBtn);
  buttons->addWidget(CancelBtn);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(ProblemLabel);
  layout->addLayout(buttons);
  setMinimumWidth(360);
  AddGradientCaption(this);

  connect(OperationBox, &QComboBox::currentIndexChanged, this,
          &PresetSaveDialog::OperationChanged);
  connect(NameEdit, &QLineEdit::textEdited, this, [this] { confirmedName_.clear(); });
  connect(SaveBtn, &QPushButton::clicked, this, &PresetSaveDialog::Save);
  connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
  OperationChanged();
}

void PresetSaveDialog::OperationChanged() {
  const OperationChoice& c = kChoices[std::max(0, OperationBox->currentIndex())];
  const bool hasValue = c.example[0] != '\0';
  ValueEdit->setEnabled(hasValue);
  ValueEdit->setPlaceholderText(hasValue ? QStringLiteral("예: ") + QString::fromUtf8(c.example)
                                         : QString());
  if (!hasValue) ValueEdit->clear();
  CheckShrink->setEnabled(c.shrinks);
  if (!c.shrinks) CheckShrink->setChecked(false);
}

std::vector<std::string> PresetSaveDialog::Options() const {
  std::vector<std::string> o = {
      "--format", std::string(TargetFormatExt(FormatBox->currentIndex()).substr(1)),
      "--quality", std::to_string(JpegQuality),
      "--dither", std::string(kDitherNames[size_t(std::clamp(DitherIndex, 0, 4))]),
      "--on-exists", std::string(kOnExistsNames[size_t(Existing)])};
  if (Lossless) o.push_back("--lossless");
  if (!AutoOrient) o.push_back("--no-auto-orient");
  if (!KeepMetadata) o.push_back("--strip");
  if (!PatternEdit->text().isEmpty()) {
    o.push_back("--name");
    o.push_back(PatternEdit->text().toStdString());
  }
  const OperationChoice& c = kChoices[std::max(0, OperationBox->currentIndex())];
  if (c.option[0] != '\0') {
    o.push_back(std::string("--") + c.option);
    if (c.example[0] != '\0') o.push_back(ValueEdit->text().trimmed().toStdString());
  }
  if (CheckShrink->isChecked()) o.push_back("--shrink-only");
  return o;
}

void PresetSaveDialog::Save() {
  const std::string name = NameEdit->text().trimmed().toStdString();
  try {
    if (name.empty()) throw PresetError("이름을 입력하세요.");
    const std::string path = PresetPath(name);
    std::error_code ec;
    if (std::filesystem::exists(path, ec) && confirmedName_ != name) {
      confirmedName_ = name;
      ProblemLabel->setText(QStringLiteral("같은 이름의 프리셋이 있습니다. 저장을 한 번 더 누르면 바꿉니다."));
      return;
    }
    SavePresetFromOptions(name, Options());
  } catch (const std::exception& e) {
    ProblemLabel->setText(QString::fromUtf8(e.what()));
    return;
  }
  SavedName = name;
  accept();
}

}  // namespace quorvane
