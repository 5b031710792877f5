#pragma once
// The freedesktop trash: moving files there, on the home trash's file system or in a
// volume's own trash folder. The trash never turns into a permanent delete: without a
// usable trash the file stays where it is and the failure is reported.

#include <string>
#include <vector>

#include "platform/FileOps.h"

namespace quorvane {

// Moves every path to the freedesktop trash: the home trash
// ($XDG_DATA_HOME/Trash, else ~/.local/share/Trash) for files on the home trash's file
// system, else the volume's own trash ($topdir/.Trash/$uid or $topdir/.Trash-$uid, made
// with its files and info folders when missing).
// A file for which no trash can be used stays where it is and is listed as failed.
FileOpReport MoveToTrash(const std::vector<std::string>& paths);

// The home trash folder ("" when neither XDG_DATA_HOME nor HOME is set).
std::string HomeTrashFolder();

}  // namespace quorvane
