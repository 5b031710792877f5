#pragma once
// FolderTree: the folder tree control. The home folder at the root; "컴퓨터" with "/"
// and the mounted volumes; "네트워크" with the network mounts; optionally "휴지통"; the
// folders below, read when first expanded. Folders created, deleted or renamed inside
// a read folder show up by themselves; mounting and unmounting update "컴퓨터".
//
// Typical use:
//   tree->SetFolderOptions(foNetworkNeighborhood);
//   tree->setIndentation(19);
//   connect(tree, &FolderTree::OnChange, this, [this](const QString& path) { ... });
//   tree->SetActive(true);          // builds the tree and selects the home folder
//   tree->SetPath("/home/me/사진");  // expands down to it and selects it
//   tree->Reload();                 // reads everything again, keeping the selection

#include <QElapsedTimer>
#include <QTreeView>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "folders/FolderWatch.h"
#include "platform/FileOps.h"
#include "folders/ui/FolderTreeModel.h"

class QSocketNotifier;
class QTimer;

namespace quorvane {

enum FolderOption {
  foNetworkNeighborhood = 0x1,  // show "네트워크"
  foRecycleBin = 0x2,           // show "휴지통"
  // Put the nodes that are no folders first among their siblings. The special nodes
  // are the only such nodes and always come first, so this changes nothing visible.
  foVirtualFirst = 0x4,
};
Q_DECLARE_FLAGS(SFolderOption, FolderOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(SFolderOption)

class FolderTree : public QTreeView {
  Q_OBJECT
 public:
  explicit FolderTree(QWidget* parent = nullptr);
  ~FolderTree() override;

  // Setting builds the tree (root and "컴퓨터" expanded, the root selected) and starts
  // the change notices; clearing empties it and stops them.
  bool Active() const { return active_; }
  void SetActive(bool active);

  SFolderOption FolderOptions() const { return options_; }
  void SetFolderOptions(SFolderOption options);

  TreeDisplayMode DisplayMode() const { return model_->DisplayMode(); }
  void SetDisplayMode(TreeDisplayMode mode) { model_->SetDisplayMode(mode); }

  // The selected folder's path; "" when nothing is selected or the node is "컴퓨터",
  // "네트워크" or "휴지통". Only "/" ends in a separator.
  // Path() is the path as shown (bytes that are no UTF-8 show as U+FFFD); FolderPath()
  // is the same path as its bytes on disk, the one to open, read or write.
  QString Path() const;
  std::string FolderPath() const;
  // Selects the node of a path, expanding down to it; a path that does not exist
  // selects its deepest ancestor in the tree. A node whose folder has vanished gets its
  // volume read again and answers nullptr; so does a path that is no absolute path
  // (the selection is then cleared).
  FolderNode* SetPath(const std::string& path);
  FolderNode* SetPath(const QString& path) { return SetPath(path.toStdString()); }
  FolderNode* SetPath(const char* path) { return SetPath(std::string(path)); }
  // Reads the whole tree again and selects the path selected before.
  void Reload();
  // Whether folders whose names begin with "." are shown (not by default); changing it
  // reads the tree again.
  bool ShowHidden() const { return model_->ShowHidden(); }
  void SetShowHidden(bool show);
  // For the selected node: a volume or a special node that shows no children gets its
  // expander back; a folder that has vanished gets its volume read again.
  void CheckSelection();

  FolderNode* Selected() const;
  FolderTreeModel* Model() const { return model_; }

  // Asked when the session is about to end; leaving CanEndSession true stops the change
  // notices and lets the session end, setting it false asks the session manager to
  // cancel the logout.
  std::function<void(FolderTree& Sender, bool& CanEndSession)> OnEndSessionQuery;

  // Files dropped on a folder of the tree: the keys chose the mode as on the grid (Ctrl
  // copies, Shift moves, Ctrl+Shift links; else move within a file system, copy
  // across). The tree takes drops only while this is set; the owner does the transfer.
  std::function<void(const std::vector<std::string>& Files, const std::string& Folder,
                     TransferMode Mode)>
      OnFileDrop;
  // What the session manager's commit-data request runs; answers CanEndSession.
  bool QueryEndSession();

  // Whether folder change notices arrive (false when inotify could not be had).
  bool LiveUpdates() const;
  // Where the mounted volumes come from (MountedVolumes by default); checked every two
  // seconds while active, or at once with CheckVolumes.
  void SetVolumeSource(std::function<std::vector<Volume>()> source);
  void CheckVolumes();
  // Handles the change notices that are waiting (they are otherwise handled shortly
  // after they arrive).
  void ProcessNotices();

 signals:
  // The selection moved to another path (once per change, after any expanding); the
  // argument is the new Path(), as shown: read FolderPath() for the folder itself.
  void OnChange(const QString& path);

 protected:
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;

 private:
  // Holds OnChange back until the outermost batch ends, then fires it once when the
  // path changed.
  class ChangeBatch;
  friend class ChangeBatch;

  void Select(FolderNode* node);
  void RefreshVolumeOf(const std::string& path);
  void ApplyFolderOptions();
  void StartNotices();
  void StopNotices();
  void WatchFolder(const QByteArray& path);
  void UnwatchFolder(const QByteArray& path);
  void ReadNotices();
  void ReportChange();
  // What a drop there does, with the folder under it and the files it carries;
  // Qt::IgnoreAction when that folder cannot take them.
  Qt::DropAction DropTargetOf(const QDropEvent& event, std::string& folder,
                              std::vector<std::string>& files) const;
  void KeepSelectionOnRemoval(const QModelIndex& parent, int first, int last);
  void CollapseIfEmpty(const QModelIndex& index);

  FolderTreeModel* model_;
  bool active_ = false;
  SFolderOption options_;
  std::function<std::vector<Volume>()> volumeSource_;
  std::unique_ptr<FolderWatch> watch_;
  QSocketNotifier* notifier_ = nullptr;
  std::map<std::string, int> watchCount_;
  std::vector<FolderWatch::Event> pending_;
  QTimer* noticeTimer_;
  QElapsedTimer pendingSince_;  // since the oldest notice waiting
  QTimer* volumeTimer_;
  int batchDepth_ = 0;
  std::string reported_;
};

}  // namespace quorvane
