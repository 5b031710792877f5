#pragma once
// The viewer's details panel (I): the file, the picture, the camera and the GPS
// position of the shown picture, as selectable and copyable text beside the picture;
// the position is a link that opens the system's map handler (a geo: URI, through
// xdg-open).

#include <QFrame>
#include <QString>

#include "viewer/PictureDetails.h"

class QLabel;

namespace quorvane {

class DetailsPanel : public QFrame {
 public:
  explicit DetailsPanel(QWidget* parent);
  void Show(const PictureDetails& details);
  // The text as it reads, one "label: value" a line (tests, and what a copy gives).
  QString PlainText() const;
  QLabel* Text;  // the selectable rich text

  static constexpr int kWidth = 320;

 private:
  PictureDetails details_;
};

}  // namespace quorvane
