#include "folders/ui/FolderTreeModel.h"

#include <QCursor>
#include <QGuiApplication>
#include <algorithm>
#include <unordered_map>

#include "folders/ui/FolderIcons.h"
#include "platform/ui/QtText.h"

namespace quorvane {

namespace {

// The wait cursor while folders are read.
class WaitCursor {
 public:
  WaitCursor() {
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
      QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
      active_ = true;
    }
  }
  ~WaitCursor() {
    if (active_) QGuiApplication::restoreOverrideCursor();
  }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;

 private:
  bool active_ = false;
};

std::string VolumeText(const Volume& volume) {
  return volume.label.empty() ? volume.mountPoint : volume.label + " (" + volume.mountPoint + ")";
}

int SpecialCount(const FolderNode* parent) {
  int count = 0;
  while (count < int(parent->children.size()) && parent->children[size_t(count)]->IsSpecial())
    ++count;
  return count;
}

bool FolderLess(const std::unique_ptr<FolderNode>& a, const std::unique_ptr<FolderNode>& b) {
  return CompareFolderTexts(a->name, b->name) < 0;
}

// The order of the special nodes under the root.
int SpecialRank(FolderKind kind) { return kind == fkComputer ? 0 : kind == fkNetwork ? 1 : 2; }

}  // namespace

QString FolderKindText(FolderKind kind) {
  switch (kind) {
    case fkComputer:
      return QStringLiteral("컴퓨터");
    case fkNetwork:
      return QStringLiteral("네트워크");
    case fkRecycleBin:
      return QStringLiteral("휴지통");
    default:
      return {};
  }
}

FolderTreeModel::FolderTreeModel(QObject* parent) : QAbstractItemModel(parent) {}
FolderTreeModel::~FolderTreeModel() = default;

QModelIndex FolderTreeModel::index(int row, int column, const QModelIndex& parent) const {
  if (column != 0 || row < 0) return {};
  if (!parent.isValid())
    return (row == 0 && root_) ? createIndex(0, 0, root_.get()) : QModelIndex();
  const FolderNode* node = NodeOf(parent);
  if (!node || row >= int(node->children.size())) return {};
  return createIndex(row, 0, node->children[size_t(row)].get());
}

QModelIndex FolderTreeModel::parent(const QModelIndex& child) const {
  const FolderNode* node = NodeOf(child);
  if (!node || !node->parent) return {};
  return createIndex(node->parent->row, 0, node->parent);
}

int FolderTreeModel::rowCount(const QModelIndex& parent) const {
  if (!parent.isValid()) return root_ ? 1 : 0;
  const FolderNode* node = NodeOf(parent);
  return node ? int(node->children.size()) : 0;
}

int FolderTreeModel::columnCount(const QModelIndex&) const { return 1; }

QVariant FolderTreeModel::data(const QModelIndex& index, int role) const {
  const FolderNode* node = NodeOf(index);
  if (!node) return {};
  switch (role) {
    case Qt::DisplayRole:
      return TextOf(node);
    case Qt::ToolTipRole:
      return FromNative(node->path);
    case Qt::DecorationRole: {
      FolderIconKind kind = FolderIconKind::Folder;
      if (node->kind == fkDesktop)
        kind = FolderIconKind::Home;
      else if (node->kind == fkComputer)
        kind = FolderIconKind::Computer;
      else if (node->kind == fkNetwork)
        kind = FolderIconKind::Network;
      else if (node->kind == fkRecycleBin)
        kind = FolderIconKind::RecycleBin;
      else if (node->kind == fkMachine)
        kind = FolderIconKind::NetworkVolume;
      else if (node->isVolume)
        kind = FolderIconKind::Volume;
      return FolderTreeIcon(kind, node->isLink);
    }
    default:
      return {};
  }
}

Qt::ItemFlags FolderTreeModel::flags(const QModelIndex& index) const {
  return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

bool FolderTreeModel::hasChildren(const QModelIndex& parent) const {
  if (!parent.isValid()) return root_ != nullptr;
  const FolderNode* node = NodeOf(parent);
  return node && (node->loaded ? !node->children.empty() : node->hasChildren);
}

bool FolderTreeModel::canFetchMore(const QModelIndex& parent) const {
  const FolderNode* node = NodeOf(parent);
  return node && !node->loaded && node->hasChildren;
}

void FolderTreeModel::fetchMore(const QModelIndex& parent) {
  if (FolderNode* node = NodeOf(parent)) Enumerate(node);
}

FolderNode* FolderTreeModel::NodeOf(const QModelIndex& index) const {
  return index.isValid() ? static_cast<FolderNode*>(index.internalPointer()) : nullptr;
}

QModelIndex FolderTreeModel::IndexOf(const FolderNode* node) const {
  if (!node) return {};
  return createIndex(node->row, 0, const_cast<FolderNode*>(node));
}

QString FolderTreeModel::TextOf(const FolderNode* node) const {
  const std::string text = displayMode_ == dmUppercase   ? AsciiUpper(node->name)
                           : displayMode_ == dmLowercase ? AsciiLower(node->name)
                                                         : node->name;
  return FromNative(text);
}

void FolderTreeModel::Build(const std::string& home, std::vector<Volume> volumes) {
  Clear();
  volumes_ = std::move(volumes);
  auto root = std::make_unique<FolderNode>();
  root->path = home;
  root->name = FolderPathName(home);
  root->kind = fkDesktop;
  root->hasChildren = true;
  beginInsertRows({}, 0, 0);
  root_ = std::move(root);
  endInsertRows();
  ShowSpecial(fkComputer, true);
  Enumerate(root_.get());
  root_->hasChildren = true;  // "컴퓨터" is always there
  Enumerate(Special(fkComputer));
}

void FolderTreeModel::Clear() {
  if (!root_) return;
  ReportUnloaded(root_.get());
  beginRemoveRows({}, 0, 0);
  root_.reset();
  endRemoveRows();
}

FolderNode* FolderTreeModel::Special(FolderKind kind) const {
  if (!root_) return nullptr;
  for (const auto& child : root_->children) {
    if (!child->IsSpecial()) break;
    if (child->kind == kind) return child.get();
  }
  return nullptr;
}

void FolderTreeModel::ShowSpecial(FolderKind kind, bool show) {
  if (!root_) return;
  FolderNode* existing = Special(kind);
  if (!show) {
    if (existing) RemoveChildren(root_.get(), existing->row, existing->row);
    return;
  }
  if (existing) return;
  auto node = MakeChild(root_.get(), {}, kind);
  node->name = FolderKindText(kind).toStdString();
  node->hasChildren = kind != fkRecycleBin;
  node->loaded = kind == fkRecycleBin;  // the trash holds no folders of its own to show
  int row = 0;
  while (row < SpecialCount(root_.get()) &&
         SpecialRank(root_->children[size_t(row)]->kind) < SpecialRank(kind))
    ++row;
  std::vector<std::unique_ptr<FolderNode>> nodes;
  nodes.push_back(std::move(node));
  InsertChildren(root_.get(), row, std::move(nodes));
  if (kind == fkNetwork) MarkNetwork();
}

bool FolderTreeModel::HasNetworkVolumes() const {
  for (const Volume& volume : volumes_)
    if (volume.network) return true;
  return false;
}

void FolderTreeModel::MarkNetwork() {
  // Without a network mount "네트워크" has no expander that would lead nowhere.
  FolderNode* network = Special(fkNetwork);
  if (!network || network->loaded) return;
  const bool any = HasNetworkVolumes();
  if (network->hasChildren == any) return;
  network->hasChildren = any;
  EmitChanged(network);
}

std::unique_ptr<FolderNode> FolderTreeModel::MakeChild(FolderNode* parent,
                                                         const std::string& name,
                                                         FolderKind kind) const {
  auto node = std::make_unique<FolderNode>();
  node->parent = parent;
  node->hasParent = true;
  node->kind = kind;
  node->name = name;
  if (kind == fkFolder && !parent->path.empty()) node->path = JoinFolderPath(parent->path, name);
  node->network = parent->network;
  return node;
}

std::unique_ptr<FolderNode> FolderTreeModel::MakeVolumeNode(FolderNode* parent,
                                                              const Volume& volume) const {
  auto node = MakeChild(parent, VolumeText(volume), volume.network ? fkMachine : fkFolder);
  node->path = volume.mountPoint;
  node->isVolume = true;
  node->network = volume.network;
  // A network server may not answer quickly: its expander is shown without asking.
  node->hasChildren = volume.network || HasSubFolders(volume.mountPoint);
  return node;
}

std::vector<std::unique_ptr<FolderNode>> FolderTreeModel::ReadFolders(FolderNode* node,
                                                                        bool& ok) const {
  std::vector<std::unique_ptr<FolderNode>> nodes;
  std::vector<SubFolder> folders;
  std::string error;
  ok = ListSubFolders(node->path, folders, error, !node->network);
  if (!ok) return nodes;
  nodes.reserve(folders.size());
  for (const SubFolder& folder : folders) {
    if (!showHidden_ && folder.name[0] == '.') continue;
    auto child = MakeChild(node, folder.name, fkFolder);
    child->isLink = folder.isLink;
    child->hasChildren = folder.hasSubFolders;
    nodes.push_back(std::move(child));
  }
  std::sort(nodes.begin(), nodes.end(), FolderLess);
  return nodes;
}

bool FolderTreeModel::Enumerate(FolderNode* node) {
  if (!node) return false;
  if (node->loaded) return !node->children.empty();
  WaitCursor wait;
  std::vector<std::unique_ptr<FolderNode>> nodes;
  if (node->kind == fkComputer || node->kind == fkNetwork) {
    // Volumes keep the mount table's order.
    for (const Volume& volume : volumes_)
      if (volume.network == (node->kind == fkNetwork))
        nodes.push_back(MakeVolumeNode(node, volume));
  } else if (node->kind != fkRecycleBin) {
    bool ok = false;
    nodes = ReadFolders(node, ok);
    if (!ok) return false;
  }
  node->loaded = true;
  InsertChildren(node, int(node->children.size()), std::move(nodes));
  node->hasChildren = !node->children.empty();
  if (!node->path.empty()) emit FolderLoaded(QByteArray::fromStdString(node->path));
  EmitChanged(node);
  return !node->children.empty();
}

void FolderTreeModel::InsertChildren(FolderNode* parent, int row,
                                      std::vector<std::unique_ptr<FolderNode>> nodes) {
  if (nodes.empty()) return;
  const int count = int(nodes.size());
  beginInsertRows(IndexOf(parent), row, row + count - 1);
  parent->children.insert(parent->children.begin() + row, std::make_move_iterator(nodes.begin()),
                          std::make_move_iterator(nodes.end()));
  Renumber(parent, row);
  endInsertRows();
}

void FolderTreeModel::RemoveChildren(FolderNode* parent, int first, int last) {
  if (first > last) return;
  for (int row = first; row <= last; ++row) ReportUnloaded(parent->children[size_t(row)].get());
  emit ChildrenAboutToGo(IndexOf(parent), first, last);
  beginRemoveRows(IndexOf(parent), first, last);
  parent->children.erase(parent->children.begin() + first, parent->children.begin() + last + 1);
  Renumber(parent, first);
  endRemoveRows();
}

void FolderTreeModel::ReportUnloaded(const FolderNode* node) {
  if (!node->loaded) return;
  for (const auto& child : node->children) ReportUnloaded(child.get());
  if (!node->path.empty()) emit FolderUnloaded(QByteArray::fromStdString(node->path));
}

void FolderTreeModel::Renumber(FolderNode* parent, int from) {
  for (size_t i = size_t(from); i < parent->children.size(); ++i) parent->children[i]->row = int(i);
}

int FolderTreeModel::SortedRow(const FolderNode* parent, const std::string& name) const {
  const auto begin = parent->children.begin() + SpecialCount(parent);
  const auto at =
      std::lower_bound(begin, parent->children.end(), name,
                       [](const std::unique_ptr<FolderNode>& node, const std::string& n) {
                         return CompareFolderTexts(node->name, n) < 0;
                       });
  return int(at - parent->children.begin());
}

bool FolderTreeModel::Refresh(FolderNode* node) {
  if (!node || !node->loaded) return false;
  if (node->kind == fkComputer || node->kind == fkNetwork) {
    SyncVolumes(node, node->kind == fkNetwork);
    return true;
  }
  if (node->path.empty()) return true;
  WaitCursor wait;
  bool ok = false;
  std::vector<std::unique_ptr<FolderNode>> fresh = ReadFolders(node, ok);
  if (!ok) return false;
  std::unordered_map<std::string, FolderNode*> wanted;
  for (const auto& child : fresh) wanted.emplace(child->name, child.get());
  // Drop the vanished names, in runs from the end so that rows stay valid.
  for (int row = int(node->children.size()) - 1; row >= 0;) {
    const FolderNode* child = node->children[size_t(row)].get();
    if (child->IsSpecial() || wanted.count(child->name)) {
      --row;
      continue;
    }
    int first = row;
    while (first > 0 && !node->children[size_t(first - 1)]->IsSpecial() &&
           !wanted.count(node->children[size_t(first - 1)]->name))
      --first;
    RemoveChildren(node, first, row);
    row = first - 1;
  }
  std::unordered_map<std::string, FolderNode*> kept;
  for (const auto& child : node->children) kept.emplace(child->name, child.get());
  for (auto& child : fresh) {
    const auto old = kept.find(child->name);
    if (old != kept.end()) {
      FolderNode* existing = old->second;
      if (!existing->loaded &&
          (existing->hasChildren != child->hasChildren || existing->isLink != child->isLink)) {
        existing->hasChildren = child->hasChildren;
        existing->isLink = child->isLink;
        EmitChanged(existing);
      }
      continue;
    }
    const int row = SortedRow(node, child->name);
    std::vector<std::unique_ptr<FolderNode>> one;
    one.push_back(std::move(child));
    InsertChildren(node, row, std::move(one));
  }
  node->hasChildren = !node->children.empty();
  EmitChanged(node);
  return true;
}

void FolderTreeModel::Unload(FolderNode* node) {
  if (!node) return;
  const int first = node == root_.get() ? SpecialCount(node) : 0;
  const int last = int(node->children.size()) - 1;
  for (int row = first; row <= last; ++row) ReportUnloaded(node->children[size_t(row)].get());
  if (node->loaded && !node->path.empty())
    emit FolderUnloaded(QByteArray::fromStdString(node->path));
  node->loaded = false;
  if (first <= last) {
    emit ChildrenAboutToGo(IndexOf(node), first, last);
    beginRemoveRows(IndexOf(node), first, last);
    node->children.erase(node->children.begin() + first, node->children.end());
    endRemoveRows();
  }
  node->hasChildren = node->kind != fkNetwork || HasNetworkVolumes();
  EmitChanged(node);
}

void FolderTreeModel::SetVolumes(std::vector<Volume> volumes) {
  volumes_ = std::move(volumes);
  for (FolderKind kind : {fkComputer, fkNetwork}) {
    FolderNode* special = Special(kind);
    if (special && special->loaded) SyncVolumes(special, kind == fkNetwork);
  }
  MarkNetwork();
}

void FolderTreeModel::SyncVolumes(FolderNode* special, bool network) {
  std::vector<const Volume*> wanted;
  for (const Volume& volume : volumes_)
    if (volume.network == network) wanted.push_back(&volume);
  for (int row = int(special->children.size()) - 1; row >= 0; --row) {
    const std::string& path = special->children[size_t(row)]->path;
    if (std::none_of(wanted.begin(), wanted.end(),
                     [&](const Volume* v) { return v->mountPoint == path; }))
      RemoveChildren(special, row, row);
  }
  for (size_t i = 0; i < wanted.size(); ++i) {
    const Volume& volume = *wanted[i];
    if (i < special->children.size() && special->children[i]->path == volume.mountPoint) {
      FolderNode* node = special->children[i].get();
      const std::string text = VolumeText(volume);
      if (node->name != text) {
        // Another medium in the same place: read it afresh.
        Unload(node);
        node->name = text;
        EmitChanged(node);
      }
      continue;
    }
    // New, or out of order: (re)insert it at its place.
    for (size_t j = i + 1; j < special->children.size(); ++j)
      if (special->children[j]->path == volume.mountPoint) {
        RemoveChildren(special, int(j), int(j));
        break;
      }
    std::vector<std::unique_ptr<FolderNode>> one;
    one.push_back(MakeVolumeNode(special, volume));
    InsertChildren(special, int(i), std::move(one));
  }
  special->hasChildren = !special->children.empty();
  EmitChanged(special);
}

FolderNode* FolderTreeModel::FindNode(const std::string& rawPath, bool existingOnly) {
  const std::string path = NormalizeFolderPath(rawPath);
  if (path.empty() || !root_) return nullptr;
  FolderNode* node = nullptr;
  if (IsInsideFolder(path, root_->path)) {
    node = root_.get();
  } else {
    for (FolderKind kind : {fkComputer, fkNetwork}) {
      FolderNode* special = Special(kind);
      if (!special) continue;
      Enumerate(special);
      for (const auto& volume : special->children)
        if (IsInsideFolder(path, volume->path) &&
            (!node || volume->path.size() > node->path.size()))
          node = volume.get();
    }
    if (!node) return nullptr;
  }
  for (const std::string& name : PathNamesBelow(path, node->path)) {
    if (!node->loaded) {
      if (existingOnly) return nullptr;
      Enumerate(node);
    }
    FolderNode* next = nullptr;
    for (const auto& child : node->children)
      if (!child->IsSpecial() && child->name == name) {
        next = child.get();
        break;
      }
    if (!next)
      for (const auto& child : node->children)
        if (!child->IsSpecial() && EqualsIgnoringAsciiCase(child->name, name)) {
          next = child.get();
          break;
        }
    if (!next) return existingOnly ? nullptr : node;
    node = next;
  }
  return node;
}

std::vector<FolderNode*> FolderTreeModel::LoadedNodesOf(const std::string& path) const {
  std::vector<FolderNode*> found;
  std::vector<FolderNode*> pending;
  if (root_) pending.push_back(root_.get());
  while (!pending.empty()) {
    FolderNode* node = pending.back();
    pending.pop_back();
    if (!node->loaded) continue;
    if (node->path == path) found.push_back(node);
    for (const auto& child : node->children)
      if (child->loaded) pending.push_back(child.get());
  }
  return found;
}

void FolderTreeModel::SetDisplayMode(TreeDisplayMode mode) {
  if (mode == displayMode_) return;
  displayMode_ = mode;
  if (root_) {
    EmitChanged(root_.get());
    EmitTextsChanged(root_.get());
  }
}

void FolderTreeModel::EmitChanged(FolderNode* node) {
  const QModelIndex index = IndexOf(node);
  emit dataChanged(index, index);
}

void FolderTreeModel::EmitTextsChanged(FolderNode* node) {
  if (node->children.empty()) return;
  emit dataChanged(IndexOf(node->children.front().get()), IndexOf(node->children.back().get()),
                   {Qt::DisplayRole});
  for (const auto& child : node->children) EmitTextsChanged(child.get());
}

}  // namespace quorvane
