#pragma once
// The About box: the program's name and version, what it is, and the formats it reads
// and writes.

#include <QDialog>
#include <QString>

class QLabel;
class QPushButton;

namespace quorvane {

class TAboutBox : public QDialog {
  Q_OBJECT
 public:
  explicit TAboutBox(QWidget* parent = nullptr);

  QLabel* ProgramName;
  QLabel* ReadFormats;
  QLabel* WriteFormats;
  QPushButton* OKBtn;
};

// "PNM, CUT, ..., GIF": the extensions of every file the program reads as a picture.
QString ReadFormatsText();
// The eight output formats, in the order every format list shows them.
QString WriteFormatsText();

}  // namespace quorvane
