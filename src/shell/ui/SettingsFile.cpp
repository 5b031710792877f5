#include "shell/ui/SettingsFile.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <functional>

namespace quorvane {

namespace {

// One setting: its key and how to read and write it. Adding a setting is one line here.
struct IntKey {
  const char* key;
  int Settings::*field;
  int low, high;
};
struct BoolKey {
  const char* key;
  bool Settings::*field;
};

const IntKey kIntKeys[] = {
    {"JpegQuality", &Settings::JpegQuality, 1, 100},
    {"DitherIndex", &Settings::DitherIndex, 0, 4},
    {"ThumbnailThreads", &Settings::ThumbnailThreads, 1, 256},
    {"SlideshowSeconds", &Settings::SlideshowSeconds, 1, 60},
};
const BoolKey kBoolKeys[] = {
    {"OverwriteFiles", &Settings::OverwriteFiles},
    {"RenameExisting", &Settings::RenameExisting},
    {"AutoOrient", &Settings::AutoOrient},
    {"UseEmbeddedThumbnails", &Settings::UseEmbeddedThumbnails},
    {"KeepMetadata", &Settings::KeepMetadata},
    {"Lossless", &Settings::Lossless},
    {"SharedThumbnailCache", &Settings::SharedThumbnailCache},
    {"LookAhead", &Settings::LookAhead},
    {"SlideshowLoop", &Settings::SlideshowLoop},
};

QString DefaultPath() {
  QString base = QString::fromLocal8Bit(qgetenv("XDG_CONFIG_HOME"));
  if (base.isEmpty() || !QDir::isAbsolutePath(base)) base = QDir::homePath() + "/.config";
  return base + "/quorvane/quorvane.conf";
}

bool ReadInt(const QSettings& file, const char* key, int low, int high, int& out) {
  if (!file.contains(key)) return false;
  bool ok = false;
  const int value = file.value(key).toString().trimmed().toInt(&ok);
  if (!ok || value < low || value > high) return false;
  out = value;
  return true;
}

bool ReadBool(const QSettings& file, const char* key, bool& out) {
  if (!file.contains(key)) return false;
  const QString text = file.value(key).toString().trimmed().toLower();
  if (text == "true" || text == "1") {
    out = true;
  } else if (text == "false" || text == "0") {
    out = false;
  } else {
    return false;
  }
  return true;
}

QString StatusText(QSettings::Status status) {
  return status == QSettings::FormatError ? QStringLiteral("the file is damaged")
                                          : QStringLiteral("the file cannot be read");
}

bool Write(const QString& path, const std::function<void(QSettings&)>& fill, QString& warning) {
  const QString folder = QFileInfo(path).absolutePath();
  if (!QDir().mkpath(folder)) {
    warning = QStringLiteral("cannot save the settings: cannot make ") + folder;
    return false;
  }
  QSettings file(path, QSettings::IniFormat);
  fill(file);
  file.sync();
  if (file.status() != QSettings::NoError) {
    warning = QStringLiteral("cannot save the settings to ") + path;
    return false;
  }
  return true;
}

}  // namespace

SettingsFile::SettingsFile() : path_(DefaultPath()) {}

bool SettingsFile::Load(Settings& settings, WindowState& window, QString& warning) const {
  const QFileInfo info(path_);
  if (!info.exists()) return true;  // a first start
  if (!info.isFile() || !info.isReadable()) {
    warning = QStringLiteral("settings ignored, the file cannot be read: ") + path_;
    return false;
  }
  QSettings file(path_, QSettings::IniFormat);
  if (file.status() != QSettings::NoError) {
    warning = QStringLiteral("settings ignored, ") + StatusText(file.status()) + ": " + path_;
    return false;
  }
  file.beginGroup(QStringLiteral("Settings"));
  for (const IntKey& k : kIntKeys) ReadInt(file, k.key, k.low, k.high, settings.*(k.field));
  for (const BoolKey& k : kBoolKeys) ReadBool(file, k.key, settings.*(k.field));
  file.endGroup();
  file.beginGroup(QStringLiteral("Window"));
  window.Geometry = file.value(QStringLiteral("Geometry")).toByteArray();
  window.Splitter = file.value(QStringLiteral("Splitter")).toByteArray();
  window.LastFolder = file.value(QStringLiteral("LastFolder")).toByteArray().toStdString();
  ReadBool(file, "ShowHidden", window.ShowHidden);
  ReadInt(file, "SortType", 0, 5, window.SortType);
  ReadBool(file, "SortDescend", window.SortDescend);
  file.endGroup();
  return true;
}

bool SettingsFile::SaveSettings(const Settings& settings, QString& warning) const {
  return Write(
      path_,
      [&](QSettings& file) {
        file.beginGroup(QStringLiteral("Settings"));
        for (const IntKey& k : kIntKeys) file.setValue(k.key, settings.*(k.field));
        for (const BoolKey& k : kBoolKeys) file.setValue(k.key, settings.*(k.field));
        file.endGroup();
      },
      warning);
}

bool SettingsFile::SaveWindow(const WindowState& window, QString& warning) const {
  return Write(
      path_,
      [&](QSettings& file) {
        file.beginGroup(QStringLiteral("Window"));
        file.setValue(QStringLiteral("Geometry"), window.Geometry);
        file.setValue(QStringLiteral("Splitter"), window.Splitter);
        // The folder's bytes as they are on disk: a name need not be UTF-8.
        file.setValue(QStringLiteral("LastFolder"), QByteArray::fromStdString(window.LastFolder));
        file.setValue(QStringLiteral("ShowHidden"), window.ShowHidden);
        file.setValue(QStringLiteral("SortType"), window.SortType);
        file.setValue(QStringLiteral("SortDescend"), window.SortDescend);
        file.endGroup();
      },
      warning);
}

}  // namespace quorvane
