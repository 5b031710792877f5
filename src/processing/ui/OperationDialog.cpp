#include "processing/ui/OperationDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "platform/ui/GradientCaption.h"
#include "processing/ConvertParams.h"
#include "processing/ui/NumberField.h"
#include "processing/ui/PreviewBox.h"

namespace quorvane {

OperationDialog::OperationDialog(const QString& caption, QWidget* parent) : QDialog(parent) {
  setWindowTitle(caption);
  setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
}

QGroupBox* OperationDialog::FormatGroup(const QString& title, const QString& label,
                                      const QString& checkText) {
  auto* group = new QGroupBox(title, this);
  CheckBox1 = new QCheckBox(checkText, group);
  ComboBox1 = new QComboBox(group);
  for (std::string_view name : TargetFormatLabels)
    ComboBox1->addItem(QString::fromLatin1(name.data(), qsizetype(name.size())));
  ComboBox1->setEnabled(false);
  connect(CheckBox1, &QCheckBox::toggled, this, &OperationDialog::CheckBox1Click);

  auto* layout = new QGridLayout(group);
  int row = 0;
  if (!label.isEmpty()) layout->addWidget(new QLabel(label, group), row++, 0, 1, 2);
  layout->addWidget(CheckBox1, row, 0);
  layout->addWidget(ComboBox1, row, 1);
  layout->setColumnStretch(0, 1);
  return group;
}

QHBoxLayout* OperationDialog::ButtonRow(const QString& okText) {
  OKBtn = new QPushButton(okText, this);
  CancelBtn = new QPushButton(QStringLiteral("취소"), this);
  OKBtn->setDefault(true);
  connect(OKBtn, &QPushButton::clicked, this, &OperationDialog::OKBtnClick);
  connect(CancelBtn, &QPushButton::clicked, this, [this] { done(2); });
  auto* row = new QHBoxLayout;
  row->addStretch(1);
  row->addWidget(OKBtn);
  row->addWidget(CancelBtn);
  return row;
}

void OperationDialog::FinishLayout(QLayout* layout, int width, int height) {
  setLayout(layout);
  const QSize needed = layout->minimumSize();
  setFixedSize(std::max(width, needed.width()), std::max(height, needed.height()));
  AddGradientCaption(this);
}

void PreviewDialog::LayOutPreviewDialog(QWidget* settings, int settingsStretch, QGroupBox* format,
                                      int formatStretch, const QString& okText, int width,
                                      int height) {
  auto* groups = new QHBoxLayout;
  groups->addWidget(settings, settingsStretch);
  groups->addWidget(format, formatStretch);
  auto* layout = new QVBoxLayout;
  layout->addWidget(PreviewImage, 0, Qt::AlignHCenter);
  layout->addLayout(groups);
  layout->addLayout(ButtonRow(okText));
  FinishLayout(layout, width, height);
}

void OperationDialog::FormShow() { ComboBox1->setCurrentIndex(TargetFormatIndex(TargetExt)); }

void OperationDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!event->spontaneous()) FormShow();
}

void OperationDialog::OKBtnClick() {
  CommitTypedValue(this);
  TargetExt = std::string(TargetFormatExt(ComboBox1->currentIndex()));
  done(1);
}

void OperationDialog::CheckBox1Click() {
  ChangeExt = CheckBox1->isChecked();
  ComboBox1->setEnabled(ChangeExt);
}

void OperationDialog::done(int result) {
  StopPreview();
  QDialog::done(result);
}

void OperationDialog::reject() { done(2); }

PreviewDialog::PreviewDialog(const QString& caption, int areaWidth, int areaHeight, int interval,
                         QWidget* parent)
    : OperationDialog(caption, parent) {
  PreviewImage = new PreviewBox(areaWidth, areaHeight, this);
  Timer1 = new QTimer(this);
  Timer1->setSingleShot(true);
  Timer1->setInterval(interval);
  connect(Timer1, &QTimer::timeout, this, &PreviewDialog::Timer1Timer);
}

bool PreviewDialog::BuildPreviewSource() {
  try {
    return LoadPreviewSource(FileName, PreviewImage->PixelWidth(), PreviewImage->PixelHeight(),
                             source_);
  } catch (...) {
    return false;
  }
}

void PreviewDialog::showEvent(QShowEvent* event) {
  live_ = true;
  OperationDialog::showEvent(event);
}

void PreviewDialog::RestartTimer() {
  stale_ = true;
  Timer1->stop();
  // A field that commits while the dialog is ending starts no new preview.
  if (live_) Timer1->start();
}

void PreviewDialog::EnsurePreview() {
  if (live_ && stale_ && !Timer1->isActive()) Timer1->start();
}

void PreviewDialog::Timer1Timer() {
  Timer1->stop();
  if (source_.Empty()) return;
  try {
    UpdatePreview();
    PreviewDone();
  } catch (...) {
    // The preview stays as it was.
  }
}

void PreviewDialog::StopPreview() {
  live_ = false;
  Timer1->stop();
}

}  // namespace quorvane
