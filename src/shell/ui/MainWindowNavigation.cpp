// The main window's ways around: the location field above the grid, back and forward
// through the folders visited, the parent keys, and the window's first size.
#include <QAction>
#include <QGuiApplication>
#include <QScreen>
#include <QSplitter>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "folders/FolderNamespace.h"
#include "folders/ui/FolderTree.h"
#include "platform/FileIO.h"
#include "shell/FolderLocation.h"
#include "shell/Settings.h"
#include "shell/ui/GridStatus.h"
#include "shell/ui/LocationField.h"
#include "shell/ui/MainWindow.h"
#include "thumbnails/ui/ImgListView.h"

namespace quorvane {

namespace {

// The share of the screen the window takes on its first start.
constexpr int kFirstShareNum = 2;
constexpr int kFirstShareDen = 3;
// The folder pane's first width: at most this share of the window.
constexpr int kTreeShareDen = 3;
// Room beside a folder's name in the tree: its icon and the margins.
constexpr int kTreeRowExtra = 16 + 16;

}  // namespace

void MainWindow::BuildNavigation() {
  const auto themed = [this](const char* name, QStyle::StandardPixmap fallback) {
    return QIcon::fromTheme(QString::fromLatin1(name), style()->standardIcon(fallback));
  };
  GoBack = NewAction(QStringLiteral("뒤로"), &MainWindow::GoBackExecute);
  GoBack->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Left));
  GoBack->setIcon(themed("go-previous", QStyle::SP_ArrowBack));
  GoForward = NewAction(QStringLiteral("앞으로"), &MainWindow::GoForwardExecute);
  GoForward->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Right));
  GoForward->setIcon(themed("go-next", QStyle::SP_ArrowForward));
  // Above the grid, under the tool bar: back, forward and the location, as in a web
  // browser (the tool bar keeps its room for its own buttons in a narrow window).
  NavigationBar = new QToolBar(Panel2);
  NavigationBar->setMovable(false);
  NavigationBar->setFloatable(false);
  NavigationBar->setIconSize(QSize(16, 16));
  NavigationBar->setAccessibleName(QStringLiteral("위치 막대"));
  for (QAction* action : {GoBack, GoForward}) {
    action->setToolTip(action->text() + QStringLiteral(" (") +
                       action->shortcut().toString(QKeySequence::NativeText) + QStringLiteral(")"));
    action->setEnabled(false);
    NavigationBar->addAction(action);
    if (QWidget* button = NavigationBar->widgetForAction(action))
      button->setAccessibleName(action->text());
  }
  // Alt+Up goes to the parent as Alt+Backspace does; Backspace too, in the grid.
  upfolder->setShortcuts({QKeySequence(Qt::ALT | Qt::Key_Backspace), QKeySequence(Qt::ALT | Qt::Key_Up)});
  auto* gridUp = new QAction(ImgListView1);
  gridUp->setShortcut(QKeySequence(Qt::Key_Backspace));
  gridUp->setShortcutContext(Qt::WidgetShortcut);
  ImgListView1->addAction(gridUp);
  connect(gridUp, &QAction::triggered, this, &MainWindow::upfolderExecute);

  Location = new LocationField(NavigationBar);
  NavigationBar->addWidget(Location);
  if (auto* column = qobject_cast<QVBoxLayout*>(Panel2->layout()))
    column->insertWidget(column->indexOf(Panel3) + 1, NavigationBar);
  Location->Go = [this](const QString& typed) { GoToLocation(typed); };
  Location->Complete = [](const QString& typed) {
    return QString::fromStdString(
        CompleteLocation(typed.toStdString(), App().CurrentFolder, HomeFolder()));
  };
  connect(FolderTree1, &FolderTree::OnChange, this, [this] { FolderShown(); });
  // The first folder may be set before anyone listens.
  QTimer::singleShot(0, this, [this] { FolderShown(); });
}

void MainWindow::FolderShown() {
  const std::string folder = FolderTree1->FolderPath();
  Location->ShowFolder(folder.empty() ? FolderTree1->Path() : QString::fromStdString(folder));
  history_.Visit(folder);
  GoBack->setEnabled(history_.CanGoBack());
  GoForward->setEnabled(history_.CanGoForward());
}

void MainWindow::GoToLocation(const QString& typed) {
  const LocationResult target =
      ResolveLocation(typed.toStdString(), App().CurrentFolder, HomeFolder());
  if (!target.Ok()) {
    StatusLine->showMessage(QString::fromStdString(target.error), kStatusMessageMs);
    return;
  }
  Location->setModified(false);
  try {
    FolderTree1->SetPath(target.folder);
  } catch (...) {
  }
  FolderShown();
  ImgListView1->setFocus();
}

void MainWindow::GoToVisited(const std::string& folder) {
  GoBack->setEnabled(history_.CanGoBack());
  GoForward->setEnabled(history_.CanGoForward());
  if (folder.empty()) return;
  if (!IsFolder(folder)) {
    // A folder gone since: the history moves past it, the grid stays.
    StatusLine->showMessage(QStringLiteral("없는 폴더입니다: ") + QString::fromStdString(folder),
                            kStatusMessageMs);
    return;
  }
  try {
    FolderTree1->SetPath(folder);
  } catch (...) {
  }
}

void MainWindow::GoBackExecute() { GoToVisited(history_.GoBack()); }
void MainWindow::GoForwardExecute() { GoToVisited(history_.GoForward()); }

void MainWindow::FirstStart(bool noGeometry, bool noSplitter) {
  if (noGeometry) {
    const QScreen* scr = screen() ? screen() : QGuiApplication::primaryScreen();
    if (scr) {
      const QRect area = scr->availableGeometry();
      const QSize size(
          std::clamp(area.width() * kFirstShareNum / kFirstShareDen, kInitialWidth, area.width()),
          std::clamp(area.height() * kFirstShareNum / kFirstShareDen, kInitialHeight, area.height()));
      resize(size);
      move(area.center() - QPoint(size.width() / 2, size.height() / 2));
    }
  }
  if (noSplitter) QTimer::singleShot(0, this, [this] { FitTreeWidth(); });
}

void MainWindow::FitTreeWidth() {
  // The widest folder name in the rows open now, with its indentation.
  const QFontMetrics metrics = FolderTree1->fontMetrics();
  int widest = 0;
  QAbstractItemModel* model = FolderTree1->model();
  if (!model) return;
  for (QModelIndex row = model->index(0, 0); row.isValid(); row = FolderTree1->indexBelow(row)) {
    int depth = FolderTree1->rootIsDecorated() ? 1 : 0;
    for (QModelIndex up = row.parent(); up.isValid(); up = up.parent()) ++depth;
    const int width = depth * FolderTree1->indentation() +
                      metrics.horizontalAdvance(row.data(Qt::DisplayRole).toString()) + kTreeRowExtra;
    widest = std::max(widest, width);
  }
  widest += 2 * FolderTree1->frameWidth();
  const QList<int> sizes = Splitter1->sizes();
  if (sizes.size() != 2) return;
  const int total = sizes[0] + sizes[1];
  const int tree = std::clamp(widest, sizes[0], std::max(sizes[0], width() / kTreeShareDen));
  if (tree != sizes[0]) Splitter1->setSizes({tree, total - tree});
}

}  // namespace quorvane
