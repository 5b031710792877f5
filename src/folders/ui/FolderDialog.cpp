#include "folders/ui/FolderDialog.h"

#include <QGuiApplication>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QVBoxLayout>
#include <cerrno>
#include <cstring>

#include "folders/FolderNamespace.h"
#include "folders/ui/FolderTree.h"
#include "platform/FileNames.h"
#include "platform/PathAccess.h"
#include "platform/ui/GradientCaption.h"
#include "platform/ui/QtText.h"

namespace quorvane {

namespace {
constexpr int kClientWidth = 313;
constexpr int kClientHeight = 214;
constexpr int kButtonRowHeight = 45;  // below the panel, which keeps the rest
constexpr int kTreeIndent = 19;
constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 25;

// Makes `path` and its missing parents. False with the reason when it cannot.
bool MakeFolderPath(const std::string& path, QString& reason) {
  if (MakeFolders(path, 0777)) return true;
  reason = QString::fromLocal8Bit(std::strerror(errno));
  return false;
}

}  // namespace

FolderDialog::FolderDialog(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("폴더 선택"));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint | Qt::WindowMaximizeButtonHint);

  Panel1 = new QWidget(this);
  auto* panelLayout = new QVBoxLayout(Panel1);
  panelLayout->setContentsMargins(0, 0, 0, 0);
  panelLayout->setSpacing(0);
  Edit1 = new QLineEdit(Panel1);
  Edit1->setAccessibleName(QStringLiteral("폴더 경로"));
  Hint = new QLabel(
      QStringLiteral("~ 는 홈 폴더, 상대 경로는 아래에서 고른 폴더 기준입니다. 원본 폴더를 "
                     "그대로 고르면 그 안의 quorvane-conv 폴더에 저장합니다."),
      Panel1);
  Hint->setWordWrap(true);
  QFont small = Hint->font();
  small.setPointSizeF(small.pointSizeF() * 0.85);
  Hint->setFont(small);
  Hint->setContentsMargins(2, 1, 2, 2);
  FolderTree1 = new FolderTree(Panel1);
  FolderTree1->setIndentation(kTreeIndent);
  FolderTree1->SetFolderOptions(foNetworkNeighborhood);
  panelLayout->addWidget(Edit1);
  panelLayout->addWidget(Hint);
  panelLayout->addWidget(FolderTree1, 1);

  NewFolderBtn = new QPushButton(QStringLiteral("새 폴더"), this);
  OKBtn = new QPushButton(QStringLiteral("확인"), this);
  OKBtn->setDefault(true);
  CancelBtn = new QPushButton(QStringLiteral("취소"), this);

  connect(FolderTree1, &FolderTree::OnChange, this, &FolderDialog::FolderTree1Change);
  connect(NewFolderBtn, &QPushButton::clicked, this, &FolderDialog::NewFolderBtnClick);
  connect(OKBtn, &QPushButton::clicked, this, &FolderDialog::OKBtnClick);
  connect(CancelBtn, &QPushButton::clicked, this, [this] { done(2); });
  FolderTree1->SetActive(true);
  AddGradientCaption(this);
  setMinimumSize(kClientWidth * 3 / 4, kClientHeight * 3 / 4 + GradientCaption::kDefaultHeight);
  resize(kClientWidth, kClientHeight + GradientCaption::kDefaultHeight);
  PlaceControls();
}

void FolderDialog::SetFolder(const std::string& path) {
  start_ = path;
  FolderPath = FromNative(path);
}

void FolderDialog::PlaceControls() {
  const int top = GradientCaption::kDefaultHeight;
  const int panelHeight = std::max(0, height() - top - kButtonRowHeight);
  Panel1->setGeometry(0, top, width(), panelHeight);
  if (Panel1->layout()) Panel1->layout()->activate();
  const int buttonTop = top + panelHeight + (kButtonRowHeight - kButtonHeight) / 2;
  OKBtn->setGeometry(width() - 2 * kButtonWidth - 16, buttonTop, kButtonWidth, kButtonHeight);
  CancelBtn->setGeometry(width() - kButtonWidth - 8, buttonTop, kButtonWidth, kButtonHeight);
  NewFolderBtn->setGeometry(8, buttonTop, kButtonWidth, kButtonHeight);
}

void FolderDialog::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  PlaceControls();
}

void FolderDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (event->spontaneous()) return;
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
  if (start_.empty() && !FolderPath.isEmpty()) start_ = FolderPath.toStdString();
  if (!start_.empty())
    FolderTree1->SetPath(start_);
  else
    FolderTree1Change(FolderTree1->Path());
}

void FolderDialog::FolderTree1Change(const QString& path) {
  FolderPath = path;
  Edit1->setText(path);
}

std::string FolderDialog::ResolveTyped(const QString& text, const std::string& base,
                                     const QString& shown, const std::string& shownBytes) {
  QString typed = text;
  while (!typed.isEmpty() && typed.back().isSpace()) typed.chop(1);
  if (typed.isEmpty()) return {};
  // The tree's own folder keeps its bytes, also where they are no UTF-8.
  if (!shownBytes.empty() && typed == shown) return shownBytes;
  std::string path = typed.toStdString();
  if (path == "~") return HomeFolder();
  if (path.rfind("~/", 0) == 0) return JoinPath(HomeFolder(), path.substr(2));
  if (path[0] != '/') return JoinPath(base.empty() ? HomeFolder() : base, path);
  return path;
}

void FolderDialog::NewFolderBtnClick() {
  const std::string parent = FolderTree1->FolderPath();
  if (parent.empty()) return;  // "컴퓨터" or "네트워크": no folder to make it in
  bool ok = false;
  const QString name =
      QInputDialog::getText(this, QStringLiteral("새 폴더"), QStringLiteral("폴더 이름:"),
                            QLineEdit::Normal, QStringLiteral("새 폴더"), &ok)
          .trimmed();
  if (!ok || name.isEmpty()) return;
  const std::string path = JoinPath(parent, name.toStdString());
  QString reason;
  if (name.contains('/') || !MakeFolderPath(path, reason)) {
    if (reason.isEmpty()) reason = QStringLiteral("a name cannot hold \"/\"");
    QMessageBox::warning(
        this, windowTitle(),
        QStringLiteral("폴더를 생성할 수 없습니다.\n%1\n%2").arg(FromNative(path), reason));
    return;
  }
  FolderTree1->ProcessNotices();
  FolderTree1->Model()->Refresh(FolderTree1->Selected());
  FolderTree1->SetPath(path);
}

void FolderDialog::OKBtnClick() {
  FolderPath = Edit1->text();
  ChosenPath =
      ResolveTyped(FolderPath, FolderTree1->FolderPath(), FolderTree1->Path(), FolderTree1->FolderPath());
  // The starting folder itself means its quorvane-conv folder, which the batch makes;
  // any other folder is made here with its missing parents.
  if (!ChosenPath.empty() && WithoutTrailingSlash(ChosenPath) != WithoutTrailingSlash(start_)) {
    QString reason;
    if (!MakeFolderPath(ChosenPath, reason)) {
      QMessageBox::warning(
          this, windowTitle(),
          QStringLiteral("폴더를 생성할 수 없습니다.\n%1\n%2").arg(FromNative(ChosenPath), reason));
      return;
    }
  }
  done(1);
}

}  // namespace quorvane
