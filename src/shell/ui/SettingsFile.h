#pragma once
// The settings that last between starts: every setting of the settings dialog and of
// the grid's thumbnail workers, caches and look-ahead (ThumbnailThreads,
// SharedThumbnailCache, LookAhead), the window's place and size, the splitter, the
// grid's order and the last folder shown, in
// $XDG_CONFIG_HOME/quorvane/quorvane.conf (else ~/.config/quorvane/quorvane.conf), an
// INI file. Unknown keys are ignored; a missing, damaged or unreadable file, or a value
// out of its range, gives the default for what it cannot supply.

#include <QByteArray>
#include <QString>
#include <string>

#include "processing/ConvertSettings.h"

namespace quorvane {

struct WindowState {
  QByteArray Geometry;       // QWidget::saveGeometry
  QByteArray Splitter;       // QSplitter::saveState
  std::string LastFolder;    // bytes as on disk; "" when none
  bool ShowHidden = false;   // folders and files whose names begin with "."
  int SortType = 0;          // the grid's order: a SortKind
  bool SortDescend = false;
};

class SettingsFile {
 public:
  // The file's path from the environment.
  SettingsFile();
  explicit SettingsFile(QString path) : path_(std::move(path)) {}

  const QString& Path() const { return path_; }

  // Reads the file. Answers false, with a line for the user in `warning`, when the file
  // is there but could not be read or parsed (the defaults then stand).
  bool Load(Settings& settings, WindowState& window, QString& warning) const;
  // Writes the settings only, or the window state only; false with `warning` when the
  // file cannot be written.
  bool SaveSettings(const Settings& settings, QString& warning) const;
  bool SaveWindow(const WindowState& window, QString& warning) const;

 private:
  QString path_;
};

}  // namespace quorvane
