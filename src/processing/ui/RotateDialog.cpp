#include "processing/ui/RotateDialog.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QSlider>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>
#include <cmath>

#include "processing/ConvertOps.h"
#include "processing/ui/NumberField.h"
#include "processing/ui/PreviewBox.h"
#include "imaging/OpenIL.h"
#include "platform/ui/WorkerThread.h"

namespace quorvane {

namespace {

// The pause after a rotation and after showing it: the user interface waits for it, as
// the rotation itself runs on the main thread.
constexpr int kRotatePauseMs = 100;

}  // namespace

RotateDialog::RotateDialog(QWidget* parent)
    : PreviewDialog(QStringLiteral("부드러운 회전"), 535, 272, 300, parent) {
  TargetExt = ".jpg";
  auto* angleGroup = new QGroupBox(QStringLiteral(" 각도 "), this);
  TrackBarAngle = new QSlider(Qt::Horizontal, angleGroup);
  TrackBarAngle->setRange(-18000, 18000);
  TrackBarAngle->setValue(0);
  TrackBarAngle->setPageStep(100);
  TrackBarAngle->setFocusPolicy(Qt::StrongFocus);
  Edit1 = new NumberField(-180, 180, 0.01, NumberField::Style::Trimmed, 2, angleGroup);
  Edit1->SetValue(0);
  auto* angleLayout = new QHBoxLayout(angleGroup);
  angleLayout->addWidget(TrackBarAngle, 1);
  angleLayout->addWidget(Edit1);

  LayOutPreviewDialog(angleGroup, 3,
                      FormatGroup(QStringLiteral(" 파일 형식 선택 "), QString(),
                                  QStringLiteral("선택한 형식으로 저장")),
                      2, QStringLiteral("변환"), 537, 402);

  connect(TrackBarAngle, &QSlider::valueChanged, this, &RotateDialog::TrackBarAngleChange);
  TrackBarRules rules;
  rules.scale = 100;
  rules.low = -180;
  rules.high = 180;
  rules.clampOnEnter = false;
  rules.exitOnlyWhenChanged = true;
  rules.stopPreview = [this] { Timer1->stop(); };
  rules.afterCommit = [this] { EnsurePreview(); };
  BindTrackBar(Edit1, TrackBarAngle, rules);

  RotateThread = new WorkerThread(this);
  RotateThread->OnExecute = [this](WorkerThread* sender, WorkerExecuteThread* thread, void*&) {
    if (thread->Terminated()) return;
    sender->Synchronize(
        thread, [this](void*, WorkerThread*, WorkerExecuteThread* t) { doRotateThread(t); });
  };
  // A change that arrived while a rotation was running is previewed once it has ended.
  RotateThread->OnTerminate = [this](WorkerThread*, WorkerExecuteThread*, void*&) {
    EnsurePreview();
  };

  try {
    CodecInit();
  } catch (...) {
    // Files the codec cannot read just give no preview.
  }
}

RotateDialog::~RotateDialog() {
  // The worker goes first, while the dialog it works for is still whole.
  Timer1->stop();
  RotateThread->Stop();
  delete RotateThread;
}

void RotateDialog::FormShow() {
  OperationDialog::FormShow();
  TrackBarAngle->setValue(ScaledPosition(double(RotateAngle), 100));
  BuildPreviewSource();
  PreviewImage->Show(source_);
}

void RotateDialog::TrackBarAngleChange(int position) {
  Timer1->stop();
  RotateAngle = static_cast<long double>(position) / 100;
  Edit1->SetValue(position / 100.0);
  RestartTimer();
}

void RotateDialog::Timer1Timer() {
  Timer1->stop();
  RotateThread->Start();  // ignored while the previous preview is still on its way
}

void RotateDialog::UpdatePreview() { DoRotate(nullptr); }

void RotateDialog::doRotateThread(WorkerExecuteThread* thread) {
  if (thread->Terminated()) return;
  DoRotate(thread);
  QThread::msleep(kRotatePauseMs);
}

void RotateDialog::DoRotate(WorkerExecuteThread* thread) {
  if (source_.Empty()) return;
  try {
    Bitmap rotated = source_;
    ConvertParams params;
    params.RotateAngle = RotateAngle;
    if (!RotateBitmap(rotated, params, thread)) return;
    QThread::msleep(kRotatePauseMs);
    PreviewImage->Show(std::move(rotated));
    if (!StopRequested(thread)) PreviewDone();
  } catch (...) {
    // The preview stays as it was.
  }
}

void RotateDialog::StopPreview() {
  PreviewDialog::StopPreview();
  RotateThread->Stop();
}

void RotateDialog::ApplyTo(ConvertParams& params) const {
  params.ChangeExt = ChangeExt;
  params.TargetExt = TargetExt;
  params.RotateAngle = RotateAngle;
}

}  // namespace quorvane
