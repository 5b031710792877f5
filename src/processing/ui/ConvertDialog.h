#pragma once
// The conversion dialog: shows the progress of one batch, lists every file and every
// failure (with its reason, as quorvane-convert words it), and closes itself when
// everything succeeded. The batch loop itself is the engine's: it runs on the worker's
// execution thread, which hands every line and every step of the progress bar to this
// dialog as a queued call, so the windows stay responsive and Stop is taken at once.

#include <QDialog>
#include <memory>

#include "processing/ConvertEngine.h"

class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTimer;

namespace quorvane {

// The button's caption once the batch has ended (before: "중지(&S)").
inline constexpr const char* kButtonClose = "닫기";

class WorkerThread;
class WorkerExecuteThread;

// The batch's memo: read only, yellow, lines unwrapped.
QPlainTextEdit* NewMemo(QWidget* parent);

class ConvertDialog : public QDialog {
  Q_OBJECT
 public:
  // `io` replaces the program's readers and writers (tests); it must outlive the dialog.
  explicit ConvertDialog(QWidget* parent = nullptr, ConvertIO* io = nullptr);
  ~ConvertDialog() override;

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
  WorkerThread* TranThread;

  // Closing through the window frame (or Escape) while the batch runs acts as Stop.
  void reject() override;

  // Whether the batch was started, and whether it has ended (the button then reads
  // "닫기").
  bool Started() const { return started_; }
  bool Finished() const { return finished_; }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void Timer1Timer();
  void Button1Click();
  // On the main thread once the worker has ended.
  void BatchEnded(bool stopped);

  ConvertEngine engine_;
  std::unique_ptr<ConvertHost> relay_;  // the engine's host on the worker's thread
  bool shown_ = false;
  bool started_ = false;
  bool finished_ = false;
};

}  // namespace quorvane
