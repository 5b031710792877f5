#pragma once
// What a drop of files does, shared by every drop target of the program (the grid and
// the folder tree): the keys choose the mode, limited to what the drag's source allows.

#include <QDropEvent>
#include <string>
#include <vector>

#include "platform/FileOps.h"

namespace quorvane {

// Ctrl copies, Shift moves, Ctrl+Shift links; without keys files move within one file
// system and are copied across. When the source does not allow that and no key was
// held, copy (else move) if allowed; Qt::IgnoreAction when nothing fits.
Qt::DropAction FileDropAction(const QDropEvent& event, const std::string& folder,
                              const std::vector<std::string>& files);
TransferMode TransferModeOf(Qt::DropAction action);

}  // namespace quorvane
