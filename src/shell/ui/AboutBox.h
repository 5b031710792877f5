#pragma once
// The About box: the program's name and version, what it is, and the formats it reads
// and writes.

#include <QDialog>
#include <QString>

class QLabel;
class QPushButton;

namespace quorvane {

class AboutBox : public QDialog {
  Q_OBJECT
 public:
  explicit AboutBox(QWidget* parent = nullptr);

  QLabel* ProgramName;
  QLabel* ReadFormats;
  QLabel* MoreReadFormats;  // under it: the formats read since (NewReadFormatsText)
  QLabel* WriteFormats;
  QLabel* SandboxNote;  // shown when decoding is not sandboxed on this system
  QPushButton* OKBtn;
};

// "PNM, CUT, ..., GIF": the 19 extensions the program has always read as pictures.
QString ReadFormatsText();
// The rest of the picture format table: HEIC, AVIF, WebP, JPEG XL, RAW, PPM/PGM/PBM.
QString NewReadFormatsText();
// The eight output formats, in the order every format list shows them.
QString WriteFormatsText();

}  // namespace quorvane
