#include "thumbnails/ui/ImgListViewMenu.h"

#include <QAction>
#include <QFile>
#include <QFont>
#include <QMenu>
#include <QMimeData>
#include <QPoint>

#include "platform/FileUris.h"
#include "platform/ui/QtText.h"

namespace quorvane {

namespace {

const QString kUriList = QStringLiteral("text/uri-list");
const QString kGnomeCopied = QStringLiteral("x-special/gnome-copied-files");
const QString kKdeCut = QStringLiteral("application/x-kde-cutselection");
constexpr const char* kVerbProperty = "quorvaneFileVerb";

std::string Bytes(const QByteArray& data) {
  return std::string(data.constData(), size_t(data.size()));
}

}  // namespace

void DefaultExecSettings::SetDropTarget(bool value) {
  if (value == dropTarget_) return;
  dropTarget_ = value;
  if (OnChange) OnChange(*this);
}

// ---- file lists ----

FileDataObject::FileDataObject(const QMimeData* data) : files_(FilesOf(data, &cut_)) {}

std::vector<std::string> FileDataObject::FilesOf(const QMimeData* data, bool* cut) {
  if (cut) *cut = false;
  if (!data) return {};
  if (data->hasFormat(kGnomeCopied)) {
    CopiedFiles copied;
    if (DecodeGnomeCopiedFiles(Bytes(data->data(kGnomeCopied)), copied)) {
      if (cut) *cut = copied.cut;
      return copied.paths;
    }
  }
  if (!data->hasFormat(kUriList)) return {};
  if (cut) *cut = data->data(kKdeCut).startsWith('1');
  return DecodeUriList(Bytes(data->data(kUriList)));
}

std::unique_ptr<QMimeData> FileDataObject::MakeMimeData(const std::vector<std::string>& paths,
                                                         bool cut) {
  auto data = std::make_unique<QMimeData>();
  const std::string list = EncodeUriList(paths);
  data->setData(kUriList, QByteArray(list.data(), qsizetype(list.size())));
  const std::string copied = EncodeGnomeCopiedFiles({cut, paths});
  data->setData(kGnomeCopied, QByteArray(copied.data(), qsizetype(copied.size())));
  if (cut) data->setData(kKdeCut, QByteArrayLiteral("1"));
  QStringList names;
  for (const std::string& path : paths) names << FromNative(path);
  data->setText(names.join(u'\n'));
  return data;
}

// ---- the menu ----

QString ImgListViewPopupMenu::VerbText(FileVerb verb) {
  switch (verb) {
    case FileVerb::Open:
      return QStringLiteral("열기(&O)");
    case FileVerb::Cut:
      return QStringLiteral("잘라내기(&T)\tCtrl+X");
    case FileVerb::Copy:
      return QStringLiteral("복사(&C)\tCtrl+C");
    case FileVerb::Paste:
      return QStringLiteral("붙여넣기(&P)\tCtrl+V");
    case FileVerb::Trash:
      return QStringLiteral("휴지통으로 이동(&D)\tDelete");
    case FileVerb::Rename:
      return QStringLiteral("이름 바꾸기(&M)\tF2");
  }
  return {};
}

bool ImgListViewPopupMenu::VerbOf(const QAction* action, FileVerb& verb) {
  if (!action) return false;
  const QVariant value = action->property(kVerbProperty);
  if (!value.isValid()) return false;
  verb = FileVerb(value.toInt());
  return true;
}

std::unique_ptr<QMenu> ImgListViewPopupMenu::BuildMenu(const std::vector<FileVerbEntry>& verbs,
                                                        QWidget* parent) const {
  auto menu = std::make_unique<QMenu>(parent);
  // The host's visible items, shared with its own menu: their handlers, states,
  // shortcuts and sub-menus come along.
  int hostItems = 0;
  if (PopupMenu) {
    for (QAction* action : PopupMenu->actions()) {
      if (!action->isVisible()) continue;
      menu->addAction(action);
      ++hostItems;
    }
  }
  if (!Enabled) return menu;

  std::vector<FileVerbEntry> shown;
  for (const FileVerbEntry& entry : verbs) {
    if (entry.Verb == FileVerb::Rename && !ContextMenuType.Has(ictCanRename)) continue;
    shown.push_back(entry);
    if (ContextMenuType.Has(ictDefaultOnly)) break;
  }
  if (shown.empty()) return menu;

  const int position = std::max(0, std::min(ShellMenuPos, hostItems));
  const QList<QAction*> existing = menu->actions();
  QAction* before = position < existing.size() ? existing[position] : nullptr;
  std::vector<QAction*> added;
  // A separator keeps the verbs apart from host items on either side.
  if (position > 0 && !existing[position - 1]->isSeparator()) menu->insertSeparator(before);
  for (const FileVerbEntry& entry : shown) {
    auto* action = new QAction(VerbText(entry.Verb), menu.get());
    action->setProperty(kVerbProperty, int(entry.Verb));
    action->setEnabled(entry.Enabled);
    menu->insertAction(before, action);
    added.push_back(action);
  }
  if (before && !before->isSeparator()) menu->insertSeparator(before);
  if (!ContextMenuType.Has(ictNoDefault)) menu->setDefaultAction(added.front());
  return menu;
}

void ImgListViewPopupMenu::Popup(const std::vector<FileVerbEntry>& verbs, const QPoint& globalPos,
                                  QWidget* parent) {
  std::unique_ptr<QMenu> menu = BuildMenu(verbs, parent);
  if (menu->actions().isEmpty()) return;
  QAction* chosen = menu->exec(globalPos);
  FileVerb verb;
  // Host items have already run their own handlers (triggered) by now.
  if (VerbOf(chosen, verb) && OnVerb) OnVerb(verb);
}

}  // namespace quorvane
