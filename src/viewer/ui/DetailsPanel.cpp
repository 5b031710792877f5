#include "viewer/ui/DetailsPanel.h"

#include <QDesktopServices>
#include <QLabel>
#include <QScrollArea>
#include <QStringList>
#include <QUrl>
#include <QVBoxLayout>

namespace quorvane {

namespace {

QString Html(const std::string& text) { return QString::fromStdString(text).toHtmlEscaped(); }

const QString kNoMetadata = QStringLiteral("이 파일에는 메타데이터가 없습니다.");

}  // namespace

DetailsPanel::DetailsPanel(QWidget* parent) : QFrame(parent) {
  setObjectName(QStringLiteral("DetailsPanel"));
  setAccessibleName(QStringLiteral("자세한 정보"));
  setStyleSheet(QStringLiteral(
      "#DetailsPanel { background: rgba(24, 24, 24, 225); }"
      "QLabel { color: #f0f0f0; background: transparent; }"));
  auto* scroll = new QScrollArea(this);
  scroll->setFrameShape(QFrame::NoFrame);
  scroll->setWidgetResizable(true);
  scroll->setStyleSheet(QStringLiteral("QScrollArea, QScrollArea > QWidget > QWidget { background: transparent; }"));
  Text = new QLabel;
  Text->setTextFormat(Qt::RichText);
  Text->setWordWrap(true);
  Text->setAlignment(Qt::AlignTop | Qt::AlignLeft);
  Text->setMargin(10);
  Text->setTextInteractionFlags(Qt::TextBrowserInteraction | Qt::TextSelectableByKeyboard);
  Text->setContextMenuPolicy(Qt::DefaultContextMenu);  // 복사, 모두 선택
  connect(Text, &QLabel::linkActivated, this,
          [](const QString& link) { QDesktopServices::openUrl(QUrl(link)); });
  scroll->setWidget(Text);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(scroll);
}

void DetailsPanel::Show(const PictureDetails& details) {
  QString html;
  for (const DetailSection& section : details.sections) {
    html += QStringLiteral("<p style='margin-top:8px'><b>%1</b></p><table cellspacing='2'>")
                .arg(Html(section.title));
    for (const DetailRow& row : section.rows) {
      QString value = Html(row.value);
      if (section.title == "위치" && details.hasGps)
        value = QStringLiteral("<a href='%1' style='color:#8cc4ff'>%2</a>")
                    .arg(Html(GeoUri(details.latitude, details.longitude)), value);
      html += QStringLiteral("<tr><td style='color:#b0b0b0; padding-right:10px'>%1</td><td>%2</td></tr>")
                  .arg(Html(row.label), value);
    }
    html += QStringLiteral("</table>");
  }
  if (!details.hasMetadata)
    html += QStringLiteral("<p style='margin-top:8px'><i>%1</i></p>").arg(kNoMetadata);
  Text->setText(html);
  details_ = details;
}

QString DetailsPanel::PlainText() const {
  QStringList lines;
  for (const DetailSection& section : details_.sections) {
    lines << QString::fromStdString(section.title);
    for (const DetailRow& row : section.rows)
      lines << QString::fromStdString(row.label + ": " + row.value);
  }
  if (!details_.hasMetadata) lines << kNoMetadata;
  return lines.join(QLatin1Char('\n'));
}

}  // namespace quorvane
