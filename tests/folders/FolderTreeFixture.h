#pragma once
// A home folder of its own for the folder tree tests ($HOME points into a fresh
// temporary folder), a stand-in volume and network mount beside it, and small helpers.

#include <sys/stat.h>

#include <QStringList>
#include <QtTest>
#include <memory>
#include <string>
#include <vector>

#include "folders/FolderNamespace.h"
#include "folders/ui/FolderTree.h"
#include "support/TestDir.h"

namespace quorvane::test {

class FolderTreeFixture {
 public:
  FolderTreeFixture() {
    home = dir.file("home");
    volume = dir.file("usb stick");
    network = dir.file("nas");
    for (const char* folder :
         {"", "/b", "/A", "/A/inner", "/.hidden", "/사진 폴더", "/leaf", "/Case", "/case",
          "/unexpanded", "/unexpanded/sub", "/unexpanded/sub/gone"})
      Make(home + folder);
    std::string deep = home;
    for (int i = 1; i <= 8; ++i) Make(deep += "/l" + std::to_string(i));
    deepPath = deep;
    Make(volume);
    Make(volume + "/sub");
    Make(volume + "/sub/deeper");
    Make(network);
    Make(network + "/share");
    qputenv("HOME", QByteArray::fromStdString(home));
    volumes = {Volume{"/", "/dev/root", "ext4", "", false},
               Volume{volume, "/dev/sdb1", "vfat", "USB", false},
               Volume{network, "server:/export", "nfs4", "", true}};
  }

  static void Make(const std::string& path) {
    if (mkdir(path.c_str(), 0777) != 0) qFatal("cannot create %s", path.c_str());
  }

  // A tree over this home folder and these volumes, "네트워크" shown, active.
  std::unique_ptr<FolderTree> MakeTree() const {
    auto tree = std::make_unique<FolderTree>();
    const std::vector<Volume> list = volumes;
    tree->SetVolumeSource([list] { return list; });
    tree->SetFolderOptions(foNetworkNeighborhood);
    tree->SetShowHidden(true);  // the fixture's ".hidden" folder shows where it sorts
    tree->resize(300, 400);
    tree->SetActive(true);
    return tree;
  }

  static QStringList Texts(const FolderTree& tree, const FolderNode* node) {
    QStringList texts;
    for (const auto& child : node->children) texts << tree.Model()->TextOf(child.get());
    return texts;
  }

  static const FolderNode* Child(const FolderNode* node, const std::string& name) {
    for (const auto& child : node->children)
      if (child->name == name) return child.get();
    return nullptr;
  }

  static QString Q(const std::string& text) { return QString::fromStdString(text); }

  TestDir dir;
  std::string home, volume, network, deepPath;
  std::vector<Volume> volumes;
};

}  // namespace quorvane::test
