#include "shell/ui/AboutBox.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "platform/ui/GradientCaption.h"
#include "imaging/Sandbox.h"
#include "shell/Settings.h"

#ifndef QUORVANE_VERSION
#define QUORVANE_VERSION ""
#endif

namespace quorvane {

namespace {

QString ExtensionList(size_t first, size_t end) {
  QStringList names;
  for (size_t i = first; i < end; ++i) {
    const std::string_view ext = ImageExtensions[i];
    names << QString::fromLatin1(ext.substr(1).data(), qsizetype(ext.size() - 1)).toUpper();
  }
  return names.join(QStringLiteral(", "));
}

}  // namespace

QString ReadFormatsText() { return ExtensionList(0, CodecExtensionCount); }

QString NewReadFormatsText() { return ExtensionList(CodecExtensionCount, ImageExtensionCount); }

QString WriteFormatsText() {
  return QStringLiteral("JPG, PNG, TIF, BMP, PNM, GIF(RLE), TGA, SGI, WebP, AVIF, JPEG XL");
}

AboutBox::AboutBox(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("이 프로그램은"));
  setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

  auto* icon = new QLabel(this);
  icon->setPixmap(QIcon(QStringLiteral(":/quorvane/quorvane-128.png")).pixmap(64, 64));
  icon->setAlignment(Qt::AlignTop);
  ProgramName =
      new QLabel(QStringLiteral("Quorvane %1").arg(QStringLiteral(QUORVANE_VERSION)), this);
  QFont big = ProgramName->font();
  big.setPointSizeF(big.pointSizeF() * 1.6);
  big.setBold(true);
  ProgramName->setFont(big);
  auto* what = new QLabel(QStringLiteral("이미지 브라우저 및 일괄 변환기\n"
                                         "Image browser and batch image converter"),
                          this);

  ReadFormats = new QLabel(ReadFormatsText(), this);
  ReadFormats->setWordWrap(true);
  MoreReadFormats = new QLabel(NewReadFormatsText(), this);
  MoreReadFormats->setWordWrap(true);
  WriteFormats = new QLabel(WriteFormatsText(), this);
  WriteFormats->setWordWrap(true);
  auto* credits = new QLabel(
      QStringLiteral("DevIL, libjpeg, giflib, libheif, libwebp, libjxl, LibRaw, lcms2, Qt %1").arg(QString::fromLatin1(qVersion())), this);
  credits->setEnabled(false);
  credits->setWordWrap(true);
  // Said only when the decoders run without their sandbox on this system.
  const std::string sandboxNote = DecodingSandboxNote();
  SandboxNote = new QLabel(QString::fromStdString(sandboxNote), this);
  SandboxNote->setWordWrap(true);
  SandboxNote->setVisible(!sandboxNote.empty());

  auto* formats = new QFormLayout;
  auto* readLabel = new QLabel(QStringLiteral("읽는 형식:"), this);
  auto* writeLabel = new QLabel(QStringLiteral("쓰는 형식:"), this);
  readLabel->setBuddy(ReadFormats);
  writeLabel->setBuddy(WriteFormats);
  ReadFormats->setAccessibleName(readLabel->text());
  WriteFormats->setAccessibleName(writeLabel->text());
  formats->addRow(readLabel, ReadFormats);
  formats->addRow(QString(), MoreReadFormats);
  formats->addRow(writeLabel, WriteFormats);

  auto* text = new QVBoxLayout;
  text->addWidget(ProgramName);
  text->addWidget(what);
  text->addSpacing(8);
  text->addLayout(formats);
  text->addSpacing(8);
  text->addWidget(credits);
  text->addWidget(SandboxNote);
  auto* top = new QHBoxLayout;
  top->addWidget(icon);
  top->addSpacing(12);
  top->addLayout(text, 1);

  auto* buttons = new QDialogButtonBox(this);
  OKBtn = buttons->addButton(QStringLiteral("확인"), QDialogButtonBox::AcceptRole);
  OKBtn->setDefault(true);
  connect(OKBtn, &QPushButton::clicked, this, [this] { done(1); });

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(buttons);
  AddGradientCaption(this);
  // The width is fixed; the height is what the wrapped lines need at that width, so
  // that no text is cut off at the edge whatever the font.
  setFixedWidth(420);
  setFixedHeight(layout->totalHeightForWidth(420));
}

}  // namespace quorvane
