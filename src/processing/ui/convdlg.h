#pragma once
// The conversion dialog: shows the progress of one batch, lists every file and every
// failure, and closes itself when everything succeeded. The batch loop itself is the
// engine's; this dialog only drives it on the main thread through its worker.

#include <QDialog>

#include "processing/ConvertEngine.h"

class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTimer;

namespace quorvane {

class TWorkerThread;
class TWorkerExecuteThread;

class TConvertDlg : public QDialog, private ConvertHost {
  Q_OBJECT
 public:
  // `io` replaces the program's readers and writers (tests); it must outlive the dialog.
  explicit TConvertDlg(QWidget* parent = nullptr, ConvertIO* io = nullptr);
  ~TConvertDlg() override;

  // The batch's parameters; the caller fills them before showing the dialog.
  ConvertParams& Params() { return engine_.Params; }
  const ConvertEngine& Engine() const { return engine_; }

  QLabel* Label1;
  QProgressBar* PrBar1;
  QLabel* Label4;
  QPlainTextEdit* Memo1;
  QPushButton* Button1;
  QPushButton* OKBtn;
  QPushButton* CancelBtn;
  QTimer* Timer1;
  TWorkerThread* TranThread;

  // Closing through the window frame (or Escape) while the batch runs acts as Stop.
  void reject() override;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void Timer1Timer();
  void Button1Click();
  void TransProc(TWorkerExecuteThread* thread);

  // ConvertHost
  void MemoLine(const std::string& line) override;
  void SetCaption(const std::string& text) override;
  void SetErrorText(const std::string& text) override;
  void SetProgressRange(int maximum) override;
  void SetProgress(int position) override;
  void ProcessMessages() override;
  void Pause(int ms) override;

  ConvertEngine engine_;
  bool shown_ = false;
};

}  // namespace quorvane
