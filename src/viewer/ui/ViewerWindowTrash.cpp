// Delete in the viewer: the shown picture goes to the freedesktop trash, as from the
// grid, and the viewer goes on with the next picture.
#include <QPushButton>

#include "platform/Trash.h"
#include "viewer/ui/ViewerWindow.h"

namespace quorvane {

namespace {

// The path of the first picture (not a folder) from `from` on in steps of `direction`.
std::string PictureFrom(const ViewerSource& source, int from, int direction) {
  for (int i = from; i >= 0 && i < source.ItemCount(); i += direction)
    if (!source.ItemIsFolder(i)) return source.ItemPath(i);
  return {};
}

}  // namespace

void ViewerWindow::TrashShown() {
  Relocate();
  if (!Source || current_ < 0 || current_ >= Source->ItemCount()) return;
  if (Source->ItemIsFolder(current_)) return;
  const std::string path = Source->ItemPath(current_);
  // Chosen before the file goes: the list may drop it at any moment after.
  std::string after = PictureFrom(*Source, current_ + 1, +1);
  if (after.empty()) after = PictureFrom(*Source, current_ - 1, -1);
  StopAnimation();  // the animation reads the file no more
  const FileOpReport report = MoveToTrash({path});
  if (!report.Ok()) {
    const std::string why = report.failed.front().message;
    ShowStatus(QStringLiteral("휴지통으로 옮기지 못했습니다. 파일은 그대로 있습니다: %1")
                   .arg(QString::fromStdString(why)));
    StartAnimation();
    return;
  }
  readAhead_.Forget(path);
  if (after.empty()) {
    CancelBtn->click();  // nothing left to show
    return;
  }
  for (int i = 0; i < Source->ItemCount(); ++i)
    if (Source->ItemPath(i) == after) {
      showimage(i);
      return;
    }
}

}  // namespace quorvane
