#pragma once
// Helpers for the window tests: answering the modal dialogs a command opens, and
// reading a written picture's format and size with ImageMagick (not with this program).

#include <QApplication>
#include <QDialog>
#include <QProcess>
#include <QString>
#include <QTimer>
#include <functional>

namespace quorvane::test {

// Runs `act` on the first modal dialog of type D that shows up (polling the event loop
// from a timer owned by `owner`), once. `seen` tells whether it came.
template <class D>
void WhenModal(QObject* owner, std::function<void(D&)> act, bool* seen = nullptr) {
  auto* timer = new QTimer(owner);
  QObject::connect(timer, &QTimer::timeout, [timer, act, seen] {
    if (auto* dialog = qobject_cast<D*>(QApplication::activeModalWidget())) {
      timer->stop();
      timer->deleteLater();
      if (seen) *seen = true;
      act(*dialog);
    }
  });
  timer->start(20);
}

// "FORMAT WIDTH HEIGHT" of a picture file, read by ImageMagick's identify.
inline QString Identify(const QString& path) {
  QProcess identify;
  identify.start(QStringLiteral("identify"),
                 {QStringLiteral("-format"), QStringLiteral("%m %w %h"), path});
  if (!identify.waitForFinished(20000) || identify.exitCode() != 0) return QString();
  return QString::fromUtf8(identify.readAllStandardOutput()).trimmed();
}

}  // namespace quorvane::test
