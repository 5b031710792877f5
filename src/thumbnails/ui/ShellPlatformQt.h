#pragma once
// Item details from the desktop: icon indexes into a table of file-type icons (one
// entry per MIME type, in the order first asked), type names from QMimeDatabase and
// the default action through QDesktopServices (xdg-open).

#include <QIcon>
#include <QString>
#include <QStringList>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "thumbnails/FolderItems.h"

namespace quorvane {

class QtShellPlatform : public ShellPlatform {
 public:
  int IconIndex(const std::string& Path, bool Folder) override;
  std::string TypeName(const std::string& Path, bool Folder) override;
  bool Execute(const std::string& Path) override;

  // The icon of an index that IconIndex gave (null icon for an unknown index). GUI
  // thread only.
  QIcon Icon(int index) const;
  // The MIME type name of an index ("" for an unknown index).
  QString TypeKey(int index) const;

 private:
  mutable std::mutex mutex_;
  std::vector<QString> keys_;
  std::unordered_map<std::string, int> indexOf_;  // MIME name -> index
};

}  // namespace quorvane
