// The viewer's information overlay: the file's name, size in pixels and bytes, and the
// shot's details from its metadata where it has them.
#include <sys/stat.h>

#include <QLabel>
#include <QLocale>
#include <QStringList>

#include "imaging/ExifMeta.h"
#include "platform/FileNames.h"
#include "viewer/ui/ViewerWindow.h"

namespace quorvane {

void ViewerWindow::ToggleInfo() {
  if (Info->isVisible()) {
    Info->hide();
    return;
  }
  FillInfo();
  Info->show();
  Info->raise();
}

void ViewerWindow::FillInfo() {
  if (!shown_) return;
  // The file is asked for by its bytes; only its name is turned into text.
  struct stat st {};
  const qint64 bytes = ::stat(shown_->path.c_str(), &st) == 0 ? qint64(st.st_size) : 0;
  const QLocale locale;
  QStringList lines{QString::fromStdString(ExtractFileName(shown_->path)),
                    QStringLiteral("%1 x %2, %3 바이트").arg(W_).arg(H_).arg(locale.toString(bytes))};
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
