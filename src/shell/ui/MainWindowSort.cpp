// The main window's "정렬" button: the grid's order (name, size, type, modification
// time, date taken) and its direction, kept with the window's state.
#include <QActionGroup>
#include <QMenu>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>

#include "shell/ui/MainWindow.h"
#include "thumbnails/ui/ImgListView.h"

namespace quorvane {

namespace {

struct SortChoice {
  const char* text;
  SortKind kind;
};
constexpr SortChoice kSortChoices[] = {
    {"이름", istName},
    {"크기", istSize},
    {"종류", istType},
    {"수정한 날짜", istDate},
    {"찍은 날짜", istTaken},
};

}  // namespace

void MainWindow::BuildSortMenu() {
  SortMenu = new QMenu(QStringLiteral("정렬"), this);
  auto* group = new QActionGroup(SortMenu);
  for (const SortChoice& choice : kSortChoices) {
    QAction* action = SortMenu->addAction(QString::fromUtf8(choice.text));
    action->setCheckable(true);
    action->setData(int(choice.kind));
    group->addAction(action);
    connect(action, &QAction::triggered, this,
            [this, kind = choice.kind] { SetGridSort(kind, ImgListView1->Descend()); });
  }
  SortMenu->addSeparator();
  QAction* descend = SortMenu->addAction(QStringLiteral("내림차순"));
  descend->setCheckable(true);
  descend->setData(-1);
  connect(descend, &QAction::triggered, this,
          [this](bool on) { SetGridSort(ImgListView1->SortType(), on); });
  QAction* button = SortMenu->menuAction();
  button->setIcon(QIcon::fromTheme(QStringLiteral("view-sort-ascending"), style()->standardIcon(QStyle::SP_ArrowDown)));
  Panel3->insertAction(btncallAction, button);
  button->setToolTip(SortMenu->title());
  // Its icon only, as the reload button: the tool bar keeps room for the others.
  if (auto* tool = qobject_cast<QToolButton*>(Panel3->widgetForAction(button))) {
    tool->setPopupMode(QToolButton::InstantPopup);
    tool->setToolButtonStyle(Qt::ToolButtonIconOnly);
    tool->setAccessibleName(SortMenu->title());
  }
}

void MainWindow::SetGridSort(int kind, bool descend) {
  if (kind < istName || kind > istTaken || kind == istAttr) kind = istName;
  ImgListView1->SetDescend(descend);
  ImgListView1->SetSortType(SortKind(kind));
  for (QAction* action : SortMenu->actions()) {
    const int data = action->data().isValid() ? action->data().toInt() : -2;
    if (data == -1) action->setChecked(descend);
    else if (data >= 0) action->setChecked(data == kind);
  }
}

}  // namespace quorvane
