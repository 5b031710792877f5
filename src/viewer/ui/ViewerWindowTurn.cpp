// The viewer's in-place turn: the shown file is turned on disk, then read and shown anew.
#include <QLabel>
#include <QScrollArea>
#include <QTimer>

#include "viewer/TurnInPlace.h"
#include "viewer/ui/ViewerWindow.h"

namespace quorvane {

namespace {
constexpr int kTurnStatusMs = 4000;
}  // namespace

void ViewerWindow::TurnShown(bool clockwise) {
  if (!Source || current_ < 0 || current_ >= Source->ItemCount()) return;
  if (Source->ItemIsFolder(current_)) return;
  const std::string path = Source->ItemPath(current_);
  const InPlaceTurn outcome = TurnFileInPlace(path, clockwise);
  if (outcome == InPlaceTurn::Turned) {
    if (TurnStatus) TurnStatus->hide();
    readAhead_.Forget(path);  // the file is read anew
    showimage(current_);
    return;
  }
  ShowStatus(QString::fromUtf8(InPlaceTurnStatus(outcome)));
}

void ViewerWindow::ShowStatus(const QString& text) {
  if (!TurnStatus) {
    TurnStatus = new QLabel(ScrollBox1);
    TurnStatus->setAttribute(Qt::WA_TransparentForMouseEvents);
    TurnStatus->setMargin(8);
    TurnStatus->setStyleSheet(QStringLiteral(
        "QLabel { background: rgba(0, 0, 0, 170); color: white; border-radius: 4px; }"));
    auto* hide = new QTimer(TurnStatus);
    hide->setObjectName(QStringLiteral("turnStatusTimer"));
    hide->setSingleShot(true);
    hide->setInterval(kTurnStatusMs);
    connect(hide, &QTimer::timeout, TurnStatus, &QLabel::hide);
  }
  TurnStatus->setText(text);
  TurnStatus->adjustSize();
  TurnStatus->move(8, ScrollBox1->height() - TurnStatus->height() - 8);
  TurnStatus->show();
  TurnStatus->raise();
  TurnStatus->findChild<QTimer*>(QStringLiteral("turnStatusTimer"))->start();
}

}  // namespace quorvane
