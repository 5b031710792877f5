#pragma once
// The icons of the folder tree's nodes, from the icon theme where it has them, else
// from the widget style. A folder's icon shows the open folder while it is selected.

#include <QIcon>

namespace quorvane {

enum class FolderIconKind { Folder, Home, Computer, Network, RecycleBin, Volume, NetworkVolume };

// 16 × 16 icon of a node; `link` adds the link emblem.
QIcon FolderTreeIcon(FolderIconKind kind, bool link);

}  // namespace quorvane
