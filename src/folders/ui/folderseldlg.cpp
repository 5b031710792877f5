#include "folders/ui/folderseldlg.h"

#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QVBoxLayout>

#include "folders/ui/FolderTree.h"
#include "platform/ui/GradientCaption.h"

namespace quorvane {

namespace {
constexpr int kClientWidth = 313;
constexpr int kClientHeight = 214;
constexpr int kPanelHeight = 169;
constexpr int kTreeIndent = 19;
constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 25;
}  // namespace

Tfoldersel::Tfoldersel(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("폴더 선택"));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint);
  setFixedSize(kClientWidth, kClientHeight);

  Panel1 = new QWidget(this);
  Panel1->setGeometry(0, 0, kClientWidth, kPanelHeight);
  auto* panelLayout = new QVBoxLayout(Panel1);
  panelLayout->setContentsMargins(0, 0, 0, 0);
  panelLayout->setSpacing(0);
  Edit1 = new QLineEdit(Panel1);
  FolderTree1 = new TFolderTree(Panel1);
  FolderTree1->setIndentation(kTreeIndent);
  FolderTree1->SetFolderOptions(foNetworkNeighborhood);
  panelLayout->addWidget(Edit1);
  panelLayout->addWidget(FolderTree1, 1);
  panelLayout->activate();

  const int buttonTop = kPanelHeight + (kClientHeight - kPanelHeight - kButtonHeight) / 2;
  OKBtn = new QPushButton(QStringLiteral("확인"), this);
  OKBtn->setGeometry(kClientWidth - 2 * kButtonWidth - 16, buttonTop, kButtonWidth, kButtonHeight);
  OKBtn->setDefault(true);
  CancelBtn = new QPushButton(QStringLiteral("취소"), this);
  CancelBtn->setGeometry(kClientWidth - kButtonWidth - 8, buttonTop, kButtonWidth, kButtonHeight);

  connect(FolderTree1, &TFolderTree::OnChange, this, &Tfoldersel::FolderTree1Change);
  connect(OKBtn, &QPushButton::clicked, this, &Tfoldersel::OKBtnClick);
  connect(CancelBtn, &QPushButton::clicked, this, [this] { done(2); });
  FolderTree1->SetActive(true);
  AddGradientCaption(this);
}

void Tfoldersel::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (event->spontaneous()) return;
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
  if (!FolderPath.isEmpty())
    FolderTree1->SetPath(FolderPath);
  else
    FolderTree1Change(FolderTree1->Path());
}

void Tfoldersel::FolderTree1Change(const QString& path) {
  FolderPath = path;
  Edit1->setText(path);
}

void Tfoldersel::OKBtnClick() {
  FolderPath = Edit1->text();
  done(1);
}

}  // namespace quorvane
