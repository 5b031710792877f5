// The grid's file transfers (paste and drop): run on a worker thread, with a progress
// dialog for the long ones.

#include <QFile>
#include <QLocale>
#include <QProgressDialog>
#include <QTimer>
#include <climits>
#include <thread>

#include "thumbnails/ui/ImgListView.h"

namespace quorvane {

namespace {

constexpr int kDialogDelayMs = 500;  // quick transfers show no dialog at all
constexpr int kProgressPollMs = 100;
constexpr int kProgressSteps = 1000;

QString FailureTitle(TransferMode mode) {
  switch (mode) {
    case TransferMode::Move:
      return QStringLiteral("옮기지 못한 파일이 있습니다.");
    case TransferMode::Link:
      return QStringLiteral("바로 가기를 만들지 못한 파일이 있습니다.");
    default:
      return QStringLiteral("복사하지 못한 파일이 있습니다.");
  }
}

}  // namespace

void ImgListView::Transfer::ShowProgress() {
  const QLocale locale;
  const QString name = QFile::decodeName(QByteArray::fromStdString(progress.Current()));
  dialog->setLabelText(QStringLiteral("%1 / %2 파일, %3 / %4\n%5")
                           .arg(progress.files.load())
                           .arg(progress.totalFiles.load())
                           .arg(locale.formattedDataSize(progress.bytes.load()),
                                locale.formattedDataSize(progress.totalBytes.load()), name));
  const int64_t total = progress.totalBytes.load();
  const int files = progress.totalFiles.load();
  const double part = total > 0   ? double(progress.bytes.load()) / double(total)
                      : files > 0 ? double(progress.files.load()) / files
                                  : 0.0;
  dialog->setValue(std::min(kProgressSteps - 1, int(part * kProgressSteps)));
}

void ImgListView::TransferFiles(const std::vector<std::string>& files, const std::string& folder,
                                 TransferMode mode, std::function<void(const FileOpReport&)> done) {
  if (files.empty()) return;
  auto transfer = std::make_unique<Transfer>();
  Transfer* t = transfer.get();
  t->mode = mode;
  t->done = std::move(done);
  t->dialog = new QProgressDialog(this);
  t->dialog->setWindowTitle(QStringLiteral("Quorvane"));
  t->dialog->setCancelButtonText(QStringLiteral("취소"));
  t->dialog->setRange(0, kProgressSteps);
  t->dialog->setAutoClose(false);
  t->dialog->setAutoReset(false);
  t->dialog->setMinimumDuration(INT_MAX);  // shown by the timer below, not by itself
  t->dialog->setWindowModality(Qt::NonModal);
  t->dialog->hide();
  connect(t->dialog, &QProgressDialog::canceled, this, [t] { t->progress.stop = true; });
  t->poll = new QTimer(t->dialog);
  t->poll->setInterval(kProgressPollMs);
  connect(t->poll, &QTimer::timeout, t->dialog, [t] { t->ShowProgress(); });
  QTimer::singleShot(kDialogDelayMs, t->dialog, [t] {
    t->ShowProgress();
    t->dialog->show();
    t->poll->start();
  });
  transfers_.push_back(std::move(transfer));
  t->worker = std::thread([this, t, files, folder, mode] {
    t->report = quorvane::Transfer(files, folder, mode, &t->progress);
    QMetaObject::invokeMethod(
        this, [this, t] { FinishTransfer(t); }, Qt::QueuedConnection);
  });
}

void ImgListView::FinishTransfer(Transfer* transfer) {
  const auto found = std::find_if(transfers_.begin(), transfers_.end(),
                                  [transfer](const auto& t) { return t.get() == transfer; });
  if (found == transfers_.end()) return;
  std::unique_ptr<Transfer> t = std::move(*found);
  transfers_.erase(found);
  t->worker.join();
  delete t->dialog;
  ReportFailures(FailureTitle(t->mode), t->report);
  ReportLeftFiles(t->report);
  FilesChanged(t->report);
  if (t->done) t->done(t->report);
}

void ImgListView::StopTransfers() {
  for (const std::unique_ptr<Transfer>& t : transfers_) {
    t->progress.stop = true;
    if (t->worker.joinable()) t->worker.join();
    delete t->dialog;
  }
  transfers_.clear();
}

QProgressDialog* ImgListView::TransferDialog() const {
  return transfers_.empty() ? nullptr : transfers_.back()->dialog;
}

}  // namespace quorvane
