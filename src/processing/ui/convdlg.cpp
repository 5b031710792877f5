#include "processing/ui/convdlg.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>

#include "platform/ui/GradientCaption.h"
#include "imaging/OpenIL.h"
#include "platform/ui/WorkerThread.h"

namespace quorvane {

TConvertDlg::TConvertDlg(QWidget* parent, ConvertIO* io) : QDialog(parent), engine_(io) {
  setWindowTitle(QStringLiteral("변환"));
  setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

  Label1 = new QLabel(QStringLiteral("Convert to "), this);
  PrBar1 = new QProgressBar(this);
  PrBar1->setRange(0, 100);
  PrBar1->setValue(0);
  PrBar1->setTextVisible(false);
  Label4 = new QLabel(QStringLiteral("Errors : "), this);
  Memo1 = new QPlainTextEdit(this);
  Memo1->setReadOnly(true);
  Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
  QPalette memoPalette = Memo1->palette();
  memoPalette.setColor(QPalette::Base, QColor(255, 255, 0));
  memoPalette.setColor(QPalette::Text, Qt::black);
  Memo1->setPalette(memoPalette);
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
  TranThread = new TWorkerThread(this);

  connect(OKBtn, &QPushButton::clicked, this, [this] { done(1); });
  connect(CancelBtn, &QPushButton::clicked, this, [this] { done(2); });
  connect(Button1, &QPushButton::clicked, this, &TConvertDlg::Button1Click);
  connect(Timer1, &QTimer::timeout, this, &TConvertDlg::Timer1Timer);
  TranThread->OnExecute = [this](TWorkerThread* sender, TWorkerExecuteThread* thread, void*&) {
    // Unless asked to stop, the batch runs on the main thread as one synchronised call.
    sender->Synchronize(thread,
                        [this](void*, TWorkerThread*, TWorkerExecuteThread* t) { TransProc(t); });
  };

  engine_.Params.ChangeExt = true;
  try {
    CodecInit();
  } catch (...) {
    // The batch reports unreadable files itself.
  }
}

TConvertDlg::~TConvertDlg() {
  // The worker goes first: its destruction waits for a running batch to end.
  Timer1->stop();
  TranThread->Stop();
  delete TranThread;
}

void TConvertDlg::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (shown_) return;
  shown_ = true;
  if (const QScreen* screen = this->screen()) {
    const QRect area = screen->availableGeometry();
    move(area.center() - rect().center());
  }
  Timer1->start();
}

void TConvertDlg::Timer1Timer() {
  Timer1->stop();
  TranThread->Start();
}

void TConvertDlg::Button1Click() {
  if (TranThread->Running())
    TranThread->Stop();
  else
    done(2);
}

void TConvertDlg::reject() {
  if (TranThread->Running())
    TranThread->Stop();
  else
    done(2);
}

void TConvertDlg::TransProc(TWorkerExecuteThread* thread) {
  engine_.TransProc(*this, thread);
  if (engine_.AllSucceeded()) OKBtn->click();
}

void TConvertDlg::MemoLine(const std::string& line) {
  Memo1->appendPlainText(QString::fromStdString(line));
}

void TConvertDlg::SetCaption(const std::string& text) {
  Label1->setText(QString::fromStdString(text));
}

void TConvertDlg::SetErrorText(const std::string& text) {
  Label4->setText(QString::fromStdString(text));
}

void TConvertDlg::SetProgressRange(int maximum) { PrBar1->setRange(0, maximum); }

void TConvertDlg::SetProgress(int position) { PrBar1->setValue(position); }

void TConvertDlg::ProcessMessages() { QCoreApplication::processEvents(); }

void TConvertDlg::Pause(int ms) { QThread::msleep(ms); }

}  // namespace quorvane
