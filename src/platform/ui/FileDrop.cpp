#include "platform/FileChecks.h"
#include "platform/ui/FileDrop.h"

namespace quorvane {

namespace {

Qt::DropAction ActionOf(TransferMode mode) {
  switch (mode) {
    case TransferMode::Move:
      return Qt::MoveAction;
    case TransferMode::Link:
      return Qt::LinkAction;
    default:
      return Qt::CopyAction;
  }
}

}  // namespace

TransferMode TransferModeOf(Qt::DropAction action) {
  switch (action) {
    case Qt::MoveAction:
      return TransferMode::Move;
    case Qt::LinkAction:
      return TransferMode::Link;
    default:
      return TransferMode::Copy;
  }
}

Qt::DropAction FileDropAction(const QDropEvent& event, const std::string& folder,
                              const std::vector<std::string>& files) {
  const Qt::KeyboardModifiers mods = event.modifiers();
  const bool sameVolume = !files.empty() && SameFileSystem(files.front(), folder);
  const Qt::DropAction action =
      ActionOf(DropMode(mods & Qt::ControlModifier, mods & Qt::ShiftModifier, sameVolume));
  const Qt::DropActions possible = event.possibleActions();
  if (possible & action) return action;
  // The source does not allow what the keys ask: take what it allows, copy first.
  if (!(mods & (Qt::ControlModifier | Qt::ShiftModifier))) {
    if (possible & Qt::CopyAction) return Qt::CopyAction;
    if (possible & Qt::MoveAction) return Qt::MoveAction;
  }
  return Qt::IgnoreAction;
}

}  // namespace quorvane
