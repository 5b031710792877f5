// Build tool: fills the menu entry and the AppStream metainfo with the MIME types of
// every extension in the picture format table, so they never drift from what the program
// reads. An extension the MIME database does not know fails the build, unless it is one
// of the few listed here with the type in use.
//
// Usage: quorvane-desktop-files DESKTOP_IN DESKTOP_OUT METAINFO_IN METAINFO_OUT VERSION
//        HOMEPAGE SCREENSHOTS_URL
#include <QFile>
#include <QMimeDatabase>
#include <QString>
#include <QStringList>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "imaging/ImageFormats.h"

namespace {

// Extensions the shared MIME database does not map (or, for ".cut", no type exists):
// the type their files have where one is in use.
struct Fallback {
  std::string_view ext;
  const char* type;  // null: none
};
constexpr Fallback kFallbacks[] = {
    {".cut", nullptr}, {".bw", "image/x-sgi"}, {".rgba", "image/x-sgi"},
    {".srw", "image/x-samsung-srw"}};

// Types a file manager may give these files beside the ones their extensions map to: the
// HEIC alias and the camera RAW files' parent type.
constexpr const char* kAlsoTypes[] = {"image/heic", "image/x-dcraw"};

const Fallback* FallbackOf(std::string_view ext) {
  for (const Fallback& fallback : kFallbacks)
    if (fallback.ext == ext) return &fallback;
  return nullptr;
}

QString ReadText(const char* path) {
  QFile file(QString::fromLocal8Bit(path));
  if (!file.open(QIODevice::ReadOnly)) {
    std::fprintf(stderr, "quorvane-desktop-files: cannot read %s\n", path);
    std::exit(1);
  }
  return QString::fromUtf8(file.readAll());
}

void WriteText(const char* path, const QString& text) {
  QFile file(QString::fromLocal8Bit(path));
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
      file.write(text.toUtf8()) < 0) {
    std::fprintf(stderr, "quorvane-desktop-files: cannot write %s\n", path);
    std::exit(1);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 8) {
    std::fputs("usage: quorvane-desktop-files DESKTOP_IN DESKTOP_OUT METAINFO_IN METAINFO_OUT "
               "VERSION HOMEPAGE SCREENSHOTS_URL\n",
               stderr);
    return 2;
  }
  QMimeDatabase mimes;
  QStringList types;
  for (std::string_view ext : quorvane::ImageExtensions) {
    const QString name = QStringLiteral("x") + QString::fromLatin1(ext.data(), int(ext.size()));
    bool found = false;
    for (const QMimeType& type : mimes.mimeTypesForFileName(name)) {
      // Names shared with other kinds of file (".rgb" colour lists) are not ours to claim.
      if (!type.name().startsWith(QLatin1String("image/")) &&
          !type.name().startsWith(QLatin1String("video/x-mng")))
        continue;
      found = true;
      if (!types.contains(type.name())) types << type.name();
    }
    const Fallback* fallback = found ? nullptr : FallbackOf(ext);
    if (fallback && fallback->type && !types.contains(QLatin1String(fallback->type)))
      types << QLatin1String(fallback->type);
    if (!found && !fallback) {
      std::fprintf(stderr, "quorvane-desktop-files: no MIME type for %.*s\n", int(ext.size()),
                   ext.data());
      return 1;
    }
  }
  for (const char* also : kAlsoTypes)
    if (!types.contains(QLatin1String(also))) types << QLatin1String(also);

  // The template's own comment lines (before the group) are not installed.
  QString desktop = ReadText(argv[1]);
  while (desktop.startsWith(QLatin1Char('#'))) desktop.remove(0, desktop.indexOf(QLatin1Char('\n')) + 1);
  desktop.replace(QLatin1String("@MIME_TYPES@"), types.join(QLatin1Char(';')) + QLatin1Char(';'));
  WriteText(argv[2], desktop);

  QStringList media;
  for (const QString& type : types)
    media << QStringLiteral("    <mediatype>%1</mediatype>").arg(type);
  QString metainfo = ReadText(argv[3]);
  metainfo.replace(QLatin1String("@MEDIA_TYPES@"), media.join(QLatin1Char('\n')));
  metainfo.replace(QLatin1String("@VERSION@"), QString::fromUtf8(argv[5]));
  metainfo.replace(QLatin1String("@HOMEPAGE@"), QString::fromUtf8(argv[6]));
  metainfo.replace(QLatin1String("@SCREENSHOTS@"), QString::fromUtf8(argv[7]));
  WriteText(argv[4], metainfo);
  return 0;
}
