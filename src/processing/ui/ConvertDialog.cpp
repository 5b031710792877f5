#include "processing/ui/ConvertDialog.h"

#include <QGuiApplication>
#include <QMetaObject>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

#include "platform/ui/GradientCaption.h"
#include "imaging/OpenIL.h"
#include "platform/ui/WorkerThread.h"

namespace quorvane {

namespace {

// The engine's host on the worker's thread: every call becomes a queued call on the
// dialog's thread, delivered in order. Nothing here touches a widget directly.
class QueuedHost : public ConvertHost {
 public:
  QueuedHost(ConvertDialog* dialog) : dialog_(dialog) {}

  void MemoLine(const std::string& line) override {
    Post([d = dialog_, text = QString::fromStdString(line)] { d->Memo1->appendPlainText(text); });
  }
  void FileFailed(const std::string& path, const FileFailure& failure) override {
    MemoLine(DescribeFailure(path, failure));
  }
  void SetCaption(const std::string& text) override {
    Post([d = dialog_, t = QString::fromStdString(text)] { d->Label1->setText(t); });
  }
  void SetErrorText(const std::string& text) override {
    Post([d = dialog_, t = QString::fromStdString(text)] { d->Label4->setText(t); });
  }
  void SetProgressRange(int maximum) override {
    Post([d = dialog_, maximum] { d->PrBar1->setRange(0, maximum); });
  }
  void SetProgress(int position) override {
    Post([d = dialog_, position] { d->PrBar1->setValue(position); });
  }

 private:
  template <class F>
  void Post(F&& call) {
    QMetaObject::invokeMethod(dialog_, std::forward<F>(call), Qt::QueuedConnection);
  }
  ConvertDialog* dialog_;
};

}  // namespace

QPlainTextEdit* NewMemo(QWidget* parent) {
  auto* memo = new QPlainTextEdit(parent);
  memo->setReadOnly(true);
  memo->setLineWrapMode(QPlainTextEdit::NoWrap);
  QPalette palette = memo->palette();
  palette.setColor(QPalette::Base, QColor(255, 255, 0));
  palette.setColor(QPalette::Text, Qt::black);
  memo->setPalette(palette);
  return memo;
}

ConvertDialog::ConvertDialog(QWidget* parent, ConvertIO* io) : QDialog(parent), engine_(io) {
  setWindowTitle(QStringLiteral("변환"));
  setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

  Label1 = new QLabel(QStringLiteral("Convert to "), this);
  PrBar1 = new QProgressBar(this);
  PrBar1->setRange(0, 100);
  PrBar1->setValue(0);
  PrBar1->setTextVisible(false);
  Label4 = new QLabel(QStringLiteral("Errors : "), this);
  Memo1 = NewMemo(this);
  Button1 = new QPushButton(QStringLiteral("중지(&S)"), this);
  OKBtn = new QPushButton(QStringLiteral("OK"), this);
  CancelBtn = new QPushButton(QStringLiteral("Cancel"), this);
  OKBtn->hide();
  CancelBtn->hide();

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(Label4, 1);
  buttons->addWidget(Button1);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(Label1);
  layout->addWidget(PrBar1);
  layout->addWidget(Memo1, 1);
  layout->addLayout(buttons);
  setFixedSize(440, 320);
  AddGradientCaption(this);

  Timer1 = new QTimer(this);
  Timer1->setInterval(400);
  TranThread = new WorkerThread(this);

  connect(OKBtn, &QPushButton::clicked, this, [this] { done(1); });
  connect(CancelBtn, &QPushButton::clicked, this, [this] { done(2); });
  connect(Button1, &QPushButton::clicked, this, &ConvertDialog::Button1Click);
  connect(Timer1, &QTimer::timeout, this, &ConvertDialog::Timer1Timer);
  relay_ = std::make_unique<QueuedHost>(this);
  TranThread->OnExecute = [this](WorkerThread*, WorkerExecuteThread* thread, void*&) {
    engine_.TransProc(*relay_, thread);
  };
  TranThread->OnTerminate = [this](WorkerThread*, WorkerExecuteThread* thread, void*&) {
    BatchEnded(thread->Terminated());
  };

  engine_.Params.ChangeExt = true;
  try {
    CodecInit();
  } catch (...) {
    // The batch reports unreadable files itself.
  }
}

ConvertDialog::~ConvertDialog() {
  // The worker goes first: its destruction waits for a running batch to end.
  Timer1->stop();
  TranThread->Stop();
  delete TranThread;
}

void ConvertDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (shown_) return;
  shown_ = true;
  if (const QScreen* screen = this->screen()) {
    const QRect area = screen->availableGeometry();
    move(area.center() - rect().center());
  }
  Timer1->start();
}

void ConvertDialog::Timer1Timer() {
  Timer1->stop();
  started_ = true;
  TranThread->Start();
}

void ConvertDialog::Button1Click() {
  if (TranThread->Running())
    TranThread->Stop();
  else
    done(2);
}

void ConvertDialog::reject() {
  if (TranThread->Running())
    TranThread->Stop();
  else
    done(2);
}

void ConvertDialog::BatchEnded(bool stopped) {
  finished_ = true;
  if (engine_.AllSucceeded()) {
    OKBtn->click();
    return;
  }
  if (stopped) Memo1->appendPlainText(QString::fromUtf8(kMemoStopped));
  Button1->setText(QString::fromUtf8(kButtonClose));
}

}  // namespace quorvane
