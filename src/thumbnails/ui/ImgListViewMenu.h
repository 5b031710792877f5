#pragma once
// The companions of the thumbnail grid: the switches for its default behaviours
// (DefaultExecSettings), the file list carried by a drag or the clipboard (FileDataObject)
// and its context menu (ImgListViewPopupMenu), which merges the host's popup menu
// with the program's file verbs.

#include <QPointer>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/EnumSet.h"

class QAction;
class QMenu;
class QMimeData;
class QPoint;
class QWidget;

namespace quorvane {

enum DragTypeItem { idtCopy, idtMove, idtLink };
using DragKinds = EnumSet<DragTypeItem, int(idtLink) + 1>;

// Switches for the grid's own behaviours. OnChange fires when DropTarget changes (the
// view then accepts drops or stops accepting them).
class DefaultExecSettings {
 public:
  // Enter and double click open the item (a folder opens in the view); off: they only
  // reach the host's OnKeyPress and OnDblClick.
  bool DblClick = true;
  // Clicking a report column header sorts by it.
  bool ColumnSort = true;
  // Selected items can be dragged out.
  bool DropSource = true;
  bool DropTarget() const { return dropTarget_; }
  void SetDropTarget(bool value);
  // Effects a drag out allows.
  DragKinds DragType = DragKinds::All();
  std::function<void(DefaultExecSettings&)> OnChange;

 private:
  bool dropTarget_ = true;
};

// The local files named by a drag or the clipboard ("text/uri-list" or
// "x-special/gnome-copied-files"). Data without such a list has no files.
class FileDataObject {
 public:
  explicit FileDataObject(const QMimeData* data);
  int Count() const { return int(files_.size()); }
  const std::vector<std::string>& FileNames() const { return files_; }
  // True when the list came from a cut (the files are to be moved).
  bool Cut() const { return cut_; }
  // The list of a QMimeData, without keeping it.
  static std::vector<std::string> FilesOf(const QMimeData* data, bool* cut = nullptr);
  // A QMimeData carrying files the way file managers expect them: "text/uri-list",
  // "x-special/gnome-copied-files" (with "cut" for a cut) and plain text.
  static std::unique_ptr<QMimeData> MakeMimeData(const std::vector<std::string>& paths, bool cut);

 private:
  std::vector<std::string> files_;
  bool cut_ = false;
};

enum ContextMenuTypeItem {
  ictNormal,
  ictDefaultOnly,
  ictVerbsOnly,
  ictExplore,
  ictNoverbs,
  ictCanRename,
  ictNoDefault,
  ictIncludeStatic,
  ictReserved,
};
using ContextMenuKinds = EnumSet<ContextMenuTypeItem, int(ictReserved) + 1>;

// The program's verbs on the selected files.
enum class FileVerb { Open, Cut, Copy, Paste, Trash, Rename };

// One verb as the view offers it: enabled when its test passed.
struct FileVerbEntry {
  FileVerb Verb;
  bool Enabled = true;
};

// The grid's context menu: the visible items of the host's PopupMenu, with the file
// verbs inserted at ShellMenuPos (at most after the last host item). The first verb is
// the default item (bold) unless ictNoDefault; ictDefaultOnly keeps only that verb;
// the rename verb shows only with ictCanRename. Without Enabled only the host's items
// show. A host item runs its own handler (an item without one does nothing); a verb is
// handed to OnVerb.
class ImgListViewPopupMenu {
 public:
  ContextMenuKinds ContextMenuType{ictExplore, ictCanRename};
  int ShellMenuPos = 0;
  QPointer<QMenu> PopupMenu;  // the host's items; not owned
  bool Enabled = true;
  std::function<void(FileVerb)> OnVerb;

  // The text of a verb on the menu.
  static QString VerbText(FileVerb verb);
  // Builds the merged menu for the verbs the view offers (in their order). The menu
  // belongs to the caller; verb actions carry the verb as their data.
  std::unique_ptr<QMenu> BuildMenu(const std::vector<FileVerbEntry>& verbs, QWidget* parent) const;
  // Shows the merged menu at a screen point and runs the chosen item. Modal.
  void Popup(const std::vector<FileVerbEntry>& verbs, const QPoint& globalPos, QWidget* parent);
  // The verb an action of a built menu stands for; false for a host item.
  static bool VerbOf(const QAction* action, FileVerb& verb);
};

}  // namespace quorvane
