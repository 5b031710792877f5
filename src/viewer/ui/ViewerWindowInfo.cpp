// The viewer's information overlay (the file's name, size in pixels and bytes, and the
// shot's details from its metadata where it has them) and its details panel.
#include <sys/stat.h>

#include <QLabel>
#include <QScrollArea>
#include <algorithm>
#include <QLocale>
#include <QStringList>

#include "imaging/ExifMeta.h"
#include "platform/FileNames.h"
#include "viewer/ui/DetailsPanel.h"
#include "viewer/ui/ViewerWindow.h"

namespace quorvane {

void ViewerWindow::ToggleInfo() {
  if (Info->isVisible()) {
    Info->hide();
    if (Details) Details->hide();
    return;
  }
  if (!Details) Details = new DetailsPanel(ScrollBox1);
  FillInfo();
  Info->show();
  Info->raise();
  PlaceDetails();
  Details->show();
  Details->raise();
}

void ViewerWindow::PlaceDetails() {
  if (!Details) return;
  const QRect area = ScrollBox1->viewport()->geometry();
  const int w = std::min(DetailsPanel::kWidth, area.width() / 2);
  Details->setGeometry(area.right() + 1 - w, area.top(), w, area.height());
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
  if (Details) Details->Show(ReadPictureDetails(shown_->path, W_, H_));
}

}  // namespace quorvane
