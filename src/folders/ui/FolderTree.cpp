#include "folders/ui/FolderTree.h"

#include <QGuiApplication>
#include <QHeaderView>
#include <QMimeData>
#include <QMouseEvent>
#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>
#include <deque>
#include <set>

#include "platform/FileUris.h"
#include "platform/ui/FileDrop.h"
#ifndef QT_NO_SESSIONMANAGER
#include <QSessionManager>
#endif

#include "platform/ui/QtText.h"
#include "platform/FileChecks.h"

namespace quorvane {

namespace {
constexpr int kNoticeDelayMs = 50;  // gathers a burst of notices into one re-read
// A steady stream of notices (a build, a download) is still applied this often, and a
// list of notices this long is read as an overflow: every watched folder read once.
constexpr qint64 kNoticeMaxWaitMs = 500;
constexpr size_t kMaxPendingNotices = 4096;
constexpr int kVolumePollMs = 2000;
}  // namespace

class FolderTree::ChangeBatch {
 public:
  explicit ChangeBatch(FolderTree* tree) : tree_(tree) { ++tree_->batchDepth_; }
  ~ChangeBatch() {
    if (--tree_->batchDepth_ == 0) tree_->ReportChange();
  }
  ChangeBatch(const ChangeBatch&) = delete;
  ChangeBatch& operator=(const ChangeBatch&) = delete;

 private:
  FolderTree* tree_;
};

FolderTree::FolderTree(QWidget* parent)
    : QTreeView(parent),
      model_(new FolderTreeModel(this)),
      volumeSource_(MountedVolumes),
      noticeTimer_(new QTimer(this)),
      volumeTimer_(new QTimer(this)) {
  setModel(model_);
  setHeaderHidden(true);
  setUniformRowHeights(true);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setIconSize(QSize(16, 16));
  setAnimated(false);
  setAcceptDrops(true);  // files dropped on a folder (OnFileDrop)
  setDropIndicatorShown(false);
  header()->setSectionResizeMode(QHeaderView::ResizeToContents);
  header()->setStretchLastSection(false);

  noticeTimer_->setSingleShot(true);
  noticeTimer_->setInterval(kNoticeDelayMs);
  connect(noticeTimer_, &QTimer::timeout, this, &FolderTree::ProcessNotices);
  volumeTimer_->setInterval(kVolumePollMs);
  connect(volumeTimer_, &QTimer::timeout, this, &FolderTree::CheckVolumes);

  connect(model_, &FolderTreeModel::FolderLoaded, this, &FolderTree::WatchFolder);
  connect(model_, &FolderTreeModel::FolderUnloaded, this, &FolderTree::UnwatchFolder);
  connect(model_, &FolderTreeModel::ChildrenAboutToGo, this, &FolderTree::KeepSelectionOnRemoval);
  // A folder that turned out to hold no folders (or could not be read) does not stay
  // expanded.
  connect(this, &QTreeView::expanded, this, &FolderTree::CollapseIfEmpty);
#ifndef QT_NO_SESSIONMANAGER
  if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
    connect(app, &QGuiApplication::commitDataRequest, this, [this](QSessionManager& manager) {
      if (!QueryEndSession()) manager.cancel();
    });
#endif
}

FolderTree::~FolderTree() {
  // Nothing is reported while the control goes away.
  batchDepth_ = 1;
  SetActive(false);
}

void FolderTree::SetActive(bool active) {
  if (active == active_) return;
  ChangeBatch batch(this);
  if (!active) {
    active_ = false;
    volumeTimer_->stop();
    model_->Clear();
    StopNotices();
    return;
  }
  active_ = true;
  StartNotices();
  model_->Build(HomeFolder(), volumeSource_());
  ApplyFolderOptions();
  volumeTimer_->start();
  FolderNode* root = model_->Root();
  expand(model_->IndexOf(root));
  expand(model_->IndexOf(model_->Special(fkComputer)));
  Select(root);
}

void FolderTree::SetFolderOptions(SFolderOption options) {
  options_ = options;
  if (active_) {
    ChangeBatch batch(this);
    ApplyFolderOptions();
  }
}

void FolderTree::ApplyFolderOptions() {
  model_->ShowSpecial(fkRecycleBin, options_.testFlag(foRecycleBin));
  model_->ShowSpecial(fkNetwork, options_.testFlag(foNetworkNeighborhood));
}

FolderNode* FolderTree::Selected() const {
  return selectionModel() ? model_->NodeOf(selectionModel()->currentIndex()) : nullptr;
}

// ---- files dropped on a folder ----

Qt::DropAction FolderTree::DropTargetOf(const QDropEvent& event, std::string& folder,
                                         std::vector<std::string>& files) const {
  if (!OnFileDrop || !event.mimeData()) return Qt::IgnoreAction;
  const FolderNode* node = model_->NodeOf(indexAt(event.position().toPoint()));
  if (!node || node->IsSpecial() || node->path.empty() || !CanWriteInto(node->path))
    return Qt::IgnoreAction;
  const QByteArray list = event.mimeData()->data(QStringLiteral("text/uri-list"));
  files = DecodeUriList(std::string_view(list.constData(), size_t(list.size())));
  if (files.empty()) return Qt::IgnoreAction;
  folder = node->path;
  return FileDropAction(event, folder, files);
}

void FolderTree::dragEnterEvent(QDragEnterEvent* event) {
  if (!OnFileDrop || !event->mimeData() || !event->mimeData()->hasUrls()) {
    event->ignore();
    return;
  }
  event->accept();
  dragMoveEvent(event);
}

void FolderTree::dragMoveEvent(QDragMoveEvent* event) {
  std::string folder;
  std::vector<std::string> files;
  const Qt::DropAction action = DropTargetOf(*event, folder, files);
  if (action == Qt::IgnoreAction) {
    event->ignore();
    return;
  }
  event->setDropAction(action);
  event->accept();
}

void FolderTree::dropEvent(QDropEvent* event) {
  std::string folder;
  std::vector<std::string> files;
  const Qt::DropAction action = DropTargetOf(*event, folder, files);
  if (action == Qt::IgnoreAction) {
    event->ignore();
    return;
  }
  OnFileDrop(files, folder, TransferModeOf(action));
  // The files are where they belong now: the source has nothing left to do.
  event->setDropAction(action == Qt::MoveAction ? Qt::CopyAction : action);
  event->accept();
}

QString FolderTree::Path() const { return FromNative(FolderPath()); }

std::string FolderTree::FolderPath() const {
  const FolderNode* node = Selected();
  if (!node || node->IsSpecial()) return {};
  return node->path;
}

FolderNode* FolderTree::SetPath(const std::string& wanted) {
  if (!active_) return nullptr;
  ChangeBatch batch(this);
  FolderNode* node = model_->FindNode(wanted, false);
  if (!node) {
    selectionModel()->clear();
    return nullptr;
  }
  if (node->kind == fkFolder && !node->isVolume && !IsFolder(node->path)) {
    // The folder went away without a notice: read its volume again.
    RefreshVolumeOf(node->path);
    Select(model_->FindNode(wanted, false));
    return nullptr;
  }
  Select(node);
  return node;
}

void FolderTree::Select(FolderNode* node) {
  if (!node) {
    selectionModel()->clear();
    return;
  }
  std::vector<FolderNode*> ancestors;
  for (FolderNode* up = node->parent; up; up = up->parent) ancestors.push_back(up);
  for (auto it = ancestors.rbegin(); it != ancestors.rend(); ++it) expand(model_->IndexOf(*it));
  const QModelIndex index = model_->IndexOf(node);
  selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
  scrollTo(index);
}

void FolderTree::Reload() {
  ChangeBatch batch(this);
  const std::string path = FolderPath();
  const bool special = Selected() && Selected()->IsSpecial();
  const FolderKind kind = special ? Selected()->kind : fkFolder;
  SetActive(false);
  SetActive(true);
  if (special)
    Select(model_->Special(kind));
  else
    SetPath(path);  // nothing selected before: nothing selected after
}

void FolderTree::SetShowHidden(bool show) {
  if (show == model_->ShowHidden()) return;
  model_->SetShowHidden(show);
  if (active_) Reload();
}

void FolderTree::RefreshVolumeOf(const std::string& path) {
  FolderNode* start = nullptr;
  FolderNode* root = model_->Root();
  if (!root) return;
  if (IsInsideFolder(path, root->path)) {
    start = root;
  } else {
    for (FolderKind kind : {fkComputer, fkNetwork})
      if (FolderNode* special = model_->Special(kind))
        for (const auto& volume : special->children)
          if (IsInsideFolder(path, volume->path) &&
              (!start || volume->path.size() > start->path.size()))
            start = volume.get();
  }
  if (!start) return;
  // Every read folder of the volume, outermost first: a vanished folder goes with its
  // parent's re-read before its own turn could come.
  std::deque<FolderNode*> queue{start};
  while (!queue.empty()) {
    FolderNode* node = queue.front();
    queue.pop_front();
    model_->Refresh(node);
    for (const auto& child : node->children)
      if (child->loaded && !child->IsSpecial()) queue.push_back(child.get());
  }
}

void FolderTree::CheckSelection() {
  FolderNode* node = Selected();
  if (!node) return;
  ChangeBatch batch(this);
  if (node->IsSpecial() || node->isVolume) {
    if (node->children.empty()) model_->Unload(node);
  } else if (!IsFolder(node->path)) {
    RefreshVolumeOf(node->path);
  }
}

bool FolderTree::QueryEndSession() {
  bool canEnd = true;
  if (OnEndSessionQuery) OnEndSessionQuery(*this, canEnd);
  if (canEnd) StopNotices();
  return canEnd;
}

bool FolderTree::LiveUpdates() const { return watch_ && watch_->Ok(); }

void FolderTree::SetVolumeSource(std::function<std::vector<Volume>()> source) {
  volumeSource_ = source ? std::move(source) : std::function<std::vector<Volume>()>(MountedVolumes);
}

void FolderTree::CheckVolumes() {
  if (!active_) return;
  std::vector<Volume> volumes = volumeSource_();
  if (volumes == model_->Volumes()) return;
  ChangeBatch batch(this);
  model_->SetVolumes(std::move(volumes));
}

void FolderTree::StartNotices() {
  StopNotices();
  watch_ = std::make_unique<FolderWatch>();
  if (!watch_->Ok()) return;  // no live updates, everything else works
  notifier_ = new QSocketNotifier(watch_->Fd(), QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, &FolderTree::ReadNotices);
}

void FolderTree::StopNotices() {
  delete notifier_;
  notifier_ = nullptr;
  watch_.reset();
  watchCount_.clear();
  pending_.clear();
  noticeTimer_->stop();
}

void FolderTree::WatchFolder(const QByteArray& path) {
  const std::string folder = path.toStdString();
  if (watchCount_[folder]++ == 0 && watch_) watch_->Add(folder);
}

void FolderTree::UnwatchFolder(const QByteArray& path) {
  const auto found = watchCount_.find(path.toStdString());
  if (found == watchCount_.end()) return;
  if (--found->second == 0) {
    if (watch_) watch_->Remove(found->first);
    watchCount_.erase(found);
  }
}

void FolderTree::ReadNotices() {
  if (!watch_) return;
  std::vector<FolderWatch::Event> events = watch_->ReadEvents();
  if (events.empty()) return;
  if (pending_.empty()) pendingSince_.start();
  pending_.insert(pending_.end(), events.begin(), events.end());
  if (pending_.size() > kMaxPendingNotices) {
    pending_.clear();
    FolderWatch::Event overflow;
    overflow.kind = FolderWatch::Event::Overflow;
    pending_.push_back(overflow);
  }
  const qint64 left = kNoticeMaxWaitMs - pendingSince_.elapsed();
  noticeTimer_->start(int(std::clamp<qint64>(left, 0, kNoticeDelayMs)));
}

void FolderTree::ProcessNotices() {
  ReadNotices();
  noticeTimer_->stop();
  std::vector<FolderWatch::Event> events;
  events.swap(pending_);
  if (events.empty() || !active_) return;
  // The folders whose listing changed; each is read once however many notices it got.
  std::set<std::string> folders;
  std::map<std::string, std::set<std::string>> removedEntries;  // no folders when removed
  for (const FolderWatch::Event& event : events) {
    if (event.kind == FolderWatch::Event::Overflow) {
      for (const auto& [folder, count] : watchCount_) folders.insert(folder);
    } else if (event.isFolder || (event.kind == FolderWatch::Event::Created &&
                                  IsFolder(JoinFolderPath(event.folder, event.name)))) {
      folders.insert(event.folder);
    } else if (event.kind == FolderWatch::Event::Removed) {
      removedEntries[event.folder].insert(event.name);
    }
  }
  // A link to a folder is removed as a file: it counts when the tree shows it.
  for (const auto& [folder, names] : removedEntries) {
    if (folders.count(folder)) continue;
    for (const FolderNode* node : model_->LoadedNodesOf(folder))
      for (const auto& child : node->children)
        if (names.count(child->name)) folders.insert(folder);
  }
  if (folders.empty()) return;
  ChangeBatch batch(this);
  for (const std::string& folder : folders)
    for (FolderNode* node : model_->LoadedNodesOf(folder)) model_->Refresh(node);
}

void FolderTree::ReportChange() {
  const std::string path = FolderPath();
  if (path == reported_) return;
  reported_ = path;
  emit OnChange(FromNative(path));
}

void FolderTree::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
  QTreeView::currentChanged(current, previous);
  if (batchDepth_ == 0) ReportChange();
}

void FolderTree::KeepSelectionOnRemoval(const QModelIndex& parent, int first, int last) {
  // When the selected node goes, its parent (still there) takes the selection.
  for (QModelIndex index = selectionModel()->currentIndex(); index.isValid();
       index = index.parent()) {
    if (index.parent() == parent && index.row() >= first && index.row() <= last) {
      ChangeBatch batch(this);
      selectionModel()->setCurrentIndex(parent, QItemSelectionModel::ClearAndSelect);
      return;
    }
  }
}

void FolderTree::CollapseIfEmpty(const QModelIndex& index) {
  // The view may report the expansion before its layout read the children.
  if (model_->canFetchMore(index)) model_->fetchMore(index);
  if (model_->rowCount(index) == 0) collapse(index);
}

void FolderTree::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    const QPersistentModelIndex clicked = indexAt(event->position().toPoint());
    CheckSelection();
    // When the check changed the tree under the pointer, the click meant another node.
    if (indexAt(event->position().toPoint()) != QModelIndex(clicked)) {
      event->accept();
      return;
    }
  }
  QTreeView::mouseDoubleClickEvent(event);
}

}  // namespace quorvane
