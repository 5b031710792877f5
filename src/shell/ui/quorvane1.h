#pragma once
// The main window. For now it carries the caption and the codec start-up; the folder
// tree and the thumbnail grid arrive with the main-window work.

#include <QMainWindow>
#include <QString>

namespace quorvane {

class TForm1 : public QMainWindow {
  Q_OBJECT
 public:
  // Binds the codec library first: when it is missing the program shows a message
  // and ends with exit code 1. When its initialisation fails the window closes itself
  // as soon as the event loop runs.
  explicit TForm1(QWidget* parent = nullptr);
  ~TForm1() override;
};

// Shows a start-up failure to the user: a message box, or, when no one can answer a
// box (QUORVANE_NO_MODAL set, or the offscreen platform), a line on standard error.
void ShowStartupMessage(const QString& text);

}  // namespace quorvane
