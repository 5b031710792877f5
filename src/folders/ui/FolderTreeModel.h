#pragma once
// The lazy model behind FolderTree: the home folder at the root, under it "컴퓨터"
// (the root folder and the mounted volumes), "네트워크" (network mounts), "휴지통", then
// the home folder's sub-folders. A node's children are read on its first expansion.

#include <QAbstractItemModel>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "folders/FolderNamespace.h"

namespace quorvane {

enum FolderKind : uint8_t {
  fkFolder = 0,      // a folder, a volume under "컴퓨터" included
  fkNetwork = 1,     // "네트워크"
  fkRecycleBin = 2,  // "휴지통"
  fkComputer = 3,    // "컴퓨터"
  fkDesktop = 4,     // the root: the home folder
  fkMachine = 5,     // a network mount under "네트워크"
};

enum TreeDisplayMode { dmAsis, dmUppercase, dmLowercase };

struct FolderNode {
  std::string path;  // the folder's path; empty for "컴퓨터", "네트워크" and "휴지통"
  std::string name;  // the text before the display mode is applied
  bool hasParent = false;
  FolderKind kind = fkFolder;
  bool isLink = false;
  bool isVolume = false;     // a mount point under "컴퓨터" or "네트워크"
  bool network = false;      // on a network mount: sub-folders are not probed
  bool hasChildren = false;  // the expander mark
  bool loaded = false;       // children read
  FolderNode* parent = nullptr;
  int row = 0;
  std::vector<std::unique_ptr<FolderNode>> children;

  bool IsSpecial() const { return kind == fkNetwork || kind == fkRecycleBin || kind == fkComputer; }
};

class FolderTreeModel : public QAbstractItemModel {
  Q_OBJECT
 public:
  explicit FolderTreeModel(QObject* parent = nullptr);
  ~FolderTreeModel() override;

  QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
  QModelIndex parent(const QModelIndex& child) const override;
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  bool hasChildren(const QModelIndex& parent = {}) const override;
  bool canFetchMore(const QModelIndex& parent) const override;
  void fetchMore(const QModelIndex& parent) override;

  // Builds the root and "컴퓨터" for `home` (empty tree before).
  void Build(const std::string& home, std::vector<Volume> volumes);
  void Clear();
  FolderNode* Root() const { return root_.get(); }
  FolderNode* Special(FolderKind kind) const;
  void ShowSpecial(FolderKind kind, bool show);

  FolderNode* NodeOf(const QModelIndex& index) const;
  QModelIndex IndexOf(const FolderNode* node) const;

  // Reads a node's children once; answers whether it has any. A folder that cannot be
  // read stays unread and keeps its expander.
  bool Enumerate(FolderNode* node);
  // Reads a loaded node's folder again: names that appeared are added in order, names
  // that vanished are removed, the others stay as they are (expanded, with their
  // children). False when the folder cannot be read.
  bool Refresh(FolderNode* node);
  // Makes a node unread again with its expander shown, dropping its children.
  void Unload(FolderNode* node);
  // Brings "컴퓨터" and "네트워크" in line with the mounted volumes.
  void SetVolumes(std::vector<Volume> volumes);
  const std::vector<Volume>& Volumes() const { return volumes_; }

  // The node of a path: from the root for a path inside the home folder, else from the
  // volume whose mount point is its longest prefix. Each name matches exactly first and
  // only then without regard to ASCII case. Unless `existingOnly`, unread nodes on the
  // way are read and a name that is not found answers the deepest node reached.
  FolderNode* FindNode(const std::string& path, bool existingOnly);
  // Every read node whose path is `path`.
  std::vector<FolderNode*> LoadedNodesOf(const std::string& path) const;

  void SetDisplayMode(TreeDisplayMode mode);
  TreeDisplayMode DisplayMode() const { return displayMode_; }
  // Folders whose names begin with "." are left out unless shown; a change applies to
  // folders read from then on.
  bool ShowHidden() const { return showHidden_; }
  void SetShowHidden(bool show) { showHidden_ = show; }
  QString TextOf(const FolderNode* node) const;

 signals:
  // A node's children were read (watch its folder) or are about to be dropped.
  // The folder's path as its bytes on disk.
  void FolderLoaded(const QByteArray& path);
  void FolderUnloaded(const QByteArray& path);
  // Sent before the rows are announced as removed, so that a view can move its
  // selection first.
  void ChildrenAboutToGo(const QModelIndex& parent, int first, int last);

 private:
  std::unique_ptr<FolderNode> MakeChild(FolderNode* parent, const std::string& name,
                                         FolderKind kind) const;
  std::unique_ptr<FolderNode> MakeVolumeNode(FolderNode* parent, const Volume& volume) const;
  void InsertChildren(FolderNode* parent, int row,
                      std::vector<std::unique_ptr<FolderNode>> nodes);
  void RemoveChildren(FolderNode* parent, int first, int last);
  void ReportUnloaded(const FolderNode* node);
  void Renumber(FolderNode* parent, int from);
  int SortedRow(const FolderNode* parent, const std::string& name) const;
  void SyncVolumes(FolderNode* special, bool network);
  std::vector<std::unique_ptr<FolderNode>> ReadFolders(FolderNode* node, bool& ok) const;
  void EmitChanged(FolderNode* node);
  void EmitTextsChanged(FolderNode* node);

  std::unique_ptr<FolderNode> root_;
  bool HasNetworkVolumes() const;
  void MarkNetwork();

  std::vector<Volume> volumes_;
  bool showHidden_ = false;
  TreeDisplayMode displayMode_ = dmAsis;
};

// The texts of the special nodes.
QString FolderKindText(FolderKind kind);

}  // namespace quorvane
