#include "shell/ui/BatchResultBar.h"

#include <QDesktopServices>
#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

#include "platform/FileUris.h"
#include "platform/ui/QtText.h"
#include "processing/ui/ConvertDialog.h"

namespace quorvane {

BatchResultBar::BatchResultBar(QWidget* parent) : QFrame(parent) {
  setFrameShape(QFrame::StyledPanel);
  setAutoFillBackground(true);
  QPalette pal = palette();
  pal.setColor(QPalette::Window, QColor(255, 255, 225));
  pal.setColor(QPalette::WindowText, Qt::black);
  setPalette(pal);
  setAccessibleName(QStringLiteral("변환 결과"));

  Message = new QLabel(this);
  Message->setTextInteractionFlags(Qt::NoTextInteraction);
  Message->setMinimumWidth(1);  // a long text is shortened in the middle to fit
  OpenFolderBtn = new QPushButton(QStringLiteral("폴더 열기"), this);
  ErrorsBtn = new QPushButton(this);
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(6, 2, 6, 2);
  layout->addWidget(Message, 1);
  layout->addWidget(ErrorsBtn);
  layout->addWidget(OpenFolderBtn);

  HideTimer = new QTimer(this);
  HideTimer->setSingleShot(true);
  HideTimer->setInterval(kShowMs);
  connect(HideTimer, &QTimer::timeout, this, &QWidget::hide);

  OpenFolder = [](const std::string& folder) { QDesktopServices::openUrl(FolderUrl(folder)); };
  // A click on a button does its work and closes the bar, as a click elsewhere does.
  connect(OpenFolderBtn, &QPushButton::clicked, this, [this] {
    if (OpenFolder) OpenFolder(folder_);
    hide();
  });
  connect(ErrorsBtn, &QPushButton::clicked, this, [this] {
    ShowMemo();
    hide();
  });
  hide();
}

QUrl BatchResultBar::FolderUrl(const std::string& folder) {
  return QUrl::fromEncoded(QByteArray::fromStdString(FileUriFromPath(folder)));
}

void BatchResultBar::ShowResult(int saved, const QString& folder, int errors,
                                 const QString& memo) {
  ShowResult(saved, ToNative(folder), errors, memo);
}

void BatchResultBar::ShowResult(int saved, const std::string& folder, int errors,
                                 const QString& memo) {
  folder_ = folder;
  memo_ = memo;
  text_ = QStringLiteral("%1개 파일을 %2 에 저장했습니다.").arg(saved).arg(FromNative(folder));
  Message->setToolTip(text_);
  Message->setText(text_);
  ErrorsBtn->setText(QStringLiteral("오류 %1개").arg(errors));
  ErrorsBtn->setVisible(errors > 0);
  show();
  FitMessage();
  HideTimer->start();
}

void BatchResultBar::resizeEvent(QResizeEvent* event) {
  QFrame::resizeEvent(event);
  // After the layout has given the label its width.
  QTimer::singleShot(0, this, [this] { FitMessage(); });
}

void BatchResultBar::FitMessage() {
  const QString shown = Message->fontMetrics().elidedText(text_, Qt::ElideMiddle, Message->width());
  if (shown != Message->text()) Message->setText(shown);
}

void BatchResultBar::mousePressEvent(QMouseEvent* event) {
  QFrame::mousePressEvent(event);
  hide();
}

void BatchResultBar::ShowMemo() {
  // One memo window at a time: the latest batch's.
  delete memoWindow_;
  auto* memo = new QDialog(window());
  memo->setAttribute(Qt::WA_DeleteOnClose);
  memo->setWindowTitle(QStringLiteral("변환"));
  QPlainTextEdit* text = NewMemo(memo);
  text->setPlainText(memo_);
  auto* close = new QPushButton(QString::fromUtf8(kButtonClose), memo);
  connect(close, &QPushButton::clicked, memo, &QDialog::close);
  auto* layout = new QVBoxLayout(memo);
  layout->addWidget(text, 1);
  layout->addWidget(close, 0, Qt::AlignRight);
  memo->resize(440, 320);
  memoWindow_ = memo;
  connect(memo, &QObject::destroyed, this, [this, memo] {
    if (memoWindow_ == memo) memoWindow_ = nullptr;
  });
  memo->show();
}

}  // namespace quorvane
