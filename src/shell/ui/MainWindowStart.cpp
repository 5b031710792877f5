// The main window's start from the command line: the viewer on the pictures named, shown
// before the window is built and the folder listed; the grid takes over once it has
// listed the folder.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QItemSelectionModel>
#include <QWindow>
#include <algorithm>

#include "shell/Settings.h"
#include "shell/ui/GridStatus.h"
#include "shell/ui/StartSource.h"
#include "shell/ui/MainWindow.h"
#include "thumbnails/ui/ImgListView.h"
#include "viewer/ui/ViewerWindow.h"

namespace quorvane {

namespace {

// How long the start waits for the display to show the viewer before building the window.
constexpr int kExposeWaitMs = 500;
// How long the status line says why a path of the command line did not open.
constexpr int kStartProblemMs = 30000;

int GridIndexOf(ImgListView& grid, const std::string& path) {
  for (int i = 0; i < grid.Count(); ++i)
    if (GridItem* item = grid.Item(i); item && !item->IsFolder() && item->ParsingName() == path)
      return i;
  return -1;
}

}  // namespace

ViewerWindow* MainWindow::StartViewer() const { return startViewer_; }

void MainWindow::OpenStartViewer(const std::vector<std::string>& pictures) {
  startSource_ = std::make_unique<StartSource>(pictures);
  startViewer_ = new ViewerWindow(this);
  startViewer_->Slides = {App().settings.SlideshowSeconds, App().settings.SlideshowLoop};
  startViewer_->setAttribute(Qt::WA_DeleteOnClose);
  // Modal as when opened from the grid, without blocking the window's own start.
  startViewer_->setWindowModality(Qt::ApplicationModal);
  startViewer_->Source = startSource_.get();
  connect(startViewer_, &QDialog::finished, this, &MainWindow::StartViewerClosed);
  startViewer_->show();
  // On screen before the window is built: the display answers the showing first.
  QElapsedTimer waited;
  waited.start();
  while (startViewer_ && startViewer_->windowHandle() &&
         !startViewer_->windowHandle()->isExposed() && waited.elapsed() < kExposeWaitMs)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  QCoreApplication::processEvents();
}

void MainWindow::StartListed() {
  startFolder_.clear();
  // Said once the window stands with its folder (a double click in a file manager has no
  // terminal to read the error lines on).
  if (!startProblems_.isEmpty())
    StatusLine->showMessage(startProblems_.join(QStringLiteral("; ")), kStartProblemMs);
  startProblems_.clear();
  if (!startSource_ || !ImgListView1) return;
  ImgListView& grid = *ImgListView1;
  if (!startViewer_) {
    // Closed before the listing came in: the grid selects the picture last shown.
    SelectShown(GridIndexOf(grid, startSource_->Pictures().front()));
    startSource_.reset();
    return;
  }
  // The grid selects every picture named, the first focused.
  const int shown = GridIndexOf(grid, startSource_->ItemPath(startViewer_->CurrentIndex()));
  bool first = true;
  for (const std::string& path : startSource_->Pictures()) {
    const int index = GridIndexOf(grid, path);
    if (index < 0) continue;
    if (first)
      grid.SetItemIndex(index);
    else
      grid.selectionModel()->select(grid.model()->index(index, 0), QItemSelectionModel::Select);
    first = false;
  }
  // A picture the grid does not list (hidden, or named unlike a picture) keeps the viewer
  // on the pictures named.
  if (shown < 0) return;
  startSource_->UseGrid(&grid);
  if (shown != startViewer_->CurrentIndex()) startViewer_->showimage(shown);
  // From here it is the grid's viewer: merges wait until it closes.
  App().BusyFlag = true;
}

void MainWindow::StartViewerClosed() {
  if (!startSource_ || !startViewer_) return;
  const std::string last = startSource_->ItemPath(startViewer_->CurrentIndex());
  const bool onGrid = startSource_->UsesGrid();
  startViewer_->Source = nullptr;
  startViewer_ = nullptr;
  if (!onGrid) {
    // The listing is still to come (or lists none of them): it selects `last` then.
    startSource_ = std::make_unique<StartSource>(std::vector<std::string>{last});
    return;
  }
  startSource_.reset();
  EndBusy();
  if (ImgListView1) SelectShown(GridIndexOf(*ImgListView1, last));
}

void MainWindow::SelectShown(int index) {
  if (!ImgListView1 || index < 0 || index >= ImgListView1->Count()) return;
  ImgListView1->SetItemIndex(index);
  ImgListView1->scrollTo(ImgListView1->model()->index(index, 0));
  ImgListView1->setFocus();
}

}  // namespace quorvane
