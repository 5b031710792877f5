// The viewer's information overlay: the file's name, size in pixels and bytes, and the
// shot's details from its metadata where it has them.
#include <QFileInfo>
#include <QLabel>
#include <QLocale>
#include <QStringList>

#include "imaging/ExifMeta.h"
#include "viewer/ui/viewDlg.h"

namespace quorvane {

void TViewDlg1::ToggleInfo() {
  if (Info->isVisible()) {
    Info->hide();
    return;
  }
  FillInfo();
  Info->show();
  Info->raise();
}

void TViewDlg1::FillInfo() {
  if (!shown_) return;
  const QString path = QString::fromStdString(shown_->path);
  const QFileInfo file(path);
  const QLocale locale;
  QStringList lines{file.fileName(),
                    QStringLiteral("%1 x %2, %3 바이트")
                        .arg(W_)
                        .arg(H_)
                        .arg(locale.toString(qint64(file.size())))};
  ExifInfo exif;
  if (ReadExifInfo(shown_->path, exif)) {
    const std::pair<const char*, const std::string*> details[] = {
        {"촬영", &exif.dateTaken},
        {"카메라", &exif.camera},
        {"노출", &exif.exposure},
        {"렌즈", &exif.lens}};
    for (const auto& [label, value] : details)
      if (!value->empty())
        lines << QString::fromUtf8(label) + QStringLiteral(": ") + QString::fromStdString(*value);
  }
  Info->setText(lines.join(QLatin1Char('\n')));
  Info->adjustSize();
}

}  // namespace quorvane
