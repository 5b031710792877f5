#include "folders/ui/FolderIcons.h"

#include <QFileIconProvider>
#include <QHash>
#include <QPainter>
#include <QPixmap>

namespace quorvane {

namespace {

constexpr int kSide = 16;

QIcon ThemeOr(const char* name, QAbstractFileIconProvider::IconType fallback) {
  QIcon icon = QIcon::fromTheme(QString::fromLatin1(name));
  if (!icon.isNull()) return icon;
  return QFileIconProvider().icon(fallback);
}

QIcon BaseIcon(FolderIconKind kind) {
  using P = QAbstractFileIconProvider;
  switch (kind) {
    case FolderIconKind::Home:
      return ThemeOr("user-home", P::Folder);
    case FolderIconKind::Computer:
      return ThemeOr("computer", P::Computer);
    case FolderIconKind::Network:
      return ThemeOr("network-workgroup", P::Network);
    case FolderIconKind::RecycleBin:
      return ThemeOr("user-trash", P::Trashcan);
    case FolderIconKind::Volume:
      return ThemeOr("drive-harddisk", P::Drive);
    case FolderIconKind::NetworkVolume:
      return ThemeOr("folder-remote", P::Network);
    case FolderIconKind::Folder:
      break;
  }
  return ThemeOr("folder", P::Folder);
}

QPixmap WithEmblem(QPixmap pixmap, bool link) {
  if (!link || pixmap.isNull()) return pixmap;
  const QIcon emblem = QIcon::fromTheme(QStringLiteral("emblem-symbolic-link"));
  if (emblem.isNull()) return pixmap;
  QPainter painter(&pixmap);
  painter.drawPixmap(0, kSide / 2, emblem.pixmap(kSide / 2, kSide / 2));
  return pixmap;
}

}  // namespace

QIcon FolderTreeIcon(FolderIconKind kind, bool link) {
  static QHash<int, QIcon> cache;
  const int key = int(kind) * 2 + (link ? 1 : 0);
  if (const auto found = cache.constFind(key); found != cache.constEnd()) return *found;
  const QIcon base = BaseIcon(kind);
  QIcon icon;
  icon.addPixmap(WithEmblem(base.pixmap(kSide, kSide), link), QIcon::Normal);
  QIcon open;
  if (kind == FolderIconKind::Folder) open = QIcon::fromTheme(QStringLiteral("folder-open"));
  icon.addPixmap(WithEmblem((open.isNull() ? base : open).pixmap(kSide, kSide), link),
                 QIcon::Selected);
  cache.insert(key, icon);
  return icon;
}

}  // namespace quorvane
