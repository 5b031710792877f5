#include "thumbnails/ui/ShellPlatformQt.h"

#include <QDesktopServices>
#include <QFile>
#include <QMimeDatabase>
#include <QUrl>

#include "platform/FileUris.h"
#include "platform/ui/QtText.h"
#include "thumbnails/ui/ImgPlatformQt.h"

namespace quorvane {

namespace {

// The MIME type of an item, by its name only: reading every file's content would make
// listing a large folder slow and could block on special files.
QMimeType MimeTypeOf(const std::string& path, bool folder) {
  static const QMimeDatabase database;  // usable from any thread
  if (folder) return database.mimeTypeForName(QStringLiteral("inode/directory"));
  return database.mimeTypeForFile(FromNative(path),
                                  QMimeDatabase::MatchExtension);
}

}  // namespace

int QtShellPlatform::IconIndex(const std::string& Path, bool Folder) {
  const QMimeType type = MimeTypeOf(Path, Folder);
  if (!type.isValid()) return -1;
  const QString key = type.name();
  const std::string utf8 = key.toStdString();
  std::lock_guard<std::mutex> lock(mutex_);
  const auto found = indexOf_.find(utf8);
  if (found != indexOf_.end()) return found->second;
  const int index = int(keys_.size());
  keys_.push_back(key);
  indexOf_.emplace(utf8, index);
  return index;
}

std::string QtShellPlatform::TypeName(const std::string& Path, bool Folder) {
  const QMimeType type = MimeTypeOf(Path, Folder);
  if (!type.isValid()) return {};
  // At most 80 characters, as the list's type column has always shown.
  return type.comment().left(80).toStdString();
}

bool QtShellPlatform::Execute(const std::string& Path) {
  if (Path.empty()) return false;
  // The URI carries the name's bytes percent-encoded: a name that is no UTF-8 still
  // reaches the program that opens it.
  return QDesktopServices::openUrl(
      QUrl::fromEncoded(QByteArray::fromStdString(FileUriFromPath(Path)), QUrl::StrictMode));
}

QString QtShellPlatform::TypeKey(int index) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return index >= 0 && size_t(index) < keys_.size() ? keys_[size_t(index)] : QString();
}

QIcon QtShellPlatform::Icon(int index) const {
  const QString key = TypeKey(index);
  if (key.isEmpty()) return {};
  for (const QString& name : QtIconProvider::IconNamesFor(key)) {
    const QIcon icon = QIcon::fromTheme(name);
    if (!icon.isNull()) return icon;
  }
  return {};
}

}  // namespace quorvane
