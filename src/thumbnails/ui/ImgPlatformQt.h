#pragma once
// The thumbnail loader's platform services on Qt: file-type icons from the icon theme
// and text drawing with QPainter. Both may be called from the thumbnail worker thread.

#include <QFont>
#include <QString>
#include <QStringList>
#include <memory>
#include <mutex>
#include <optional>

#include "thumbnails/ImgPlatform.h"

class QImage;
class QObject;

namespace quorvane {

// Icons of file types, drawn at the large-icon size over the background colour.
//
// QIcon and QPixmap belong to the GUI thread, while the loader runs on a worker thread
// that the GUI thread may be waiting for (pausing or ending the worker). So a worker
// never waits for the GUI thread: icons are rendered on the GUI thread into QImages kept
// in a cache keyed by MIME type. A worker that finds its type in the cache draws it; on
// a miss it draws the generic file icon rendered at construction and queues the real
// one to be rendered on the GUI thread, so the next file of that type gets it. Calls on
// the GUI thread render straight away.
//
// Files on this platform carry no numbered icons: IconCount is always 0 and an index
// other than 0 has no icon (DrawIcon answers false and the loader shows the background).
//
// TypeIconImage and DrawTypeIcon give the icon of a type at any size (16 x 16 for the
// small type icon and the small-icon style, 32 x 32 or BigIconSize for enlarged icons),
// with the link overlay drawn in on request; they belong to the GUI thread.
class QtIconProvider : public FileIconProvider {
 public:
  static constexpr int kLargeIconSize = 32;
  static constexpr int kSmallIconSize = 16;
  static constexpr int kOverlayLink = 1;  // the overlay number of symbolic links

  // Construct on the GUI thread after the QGuiApplication, so that the generic icon and
  // the common types (folder, text, programs) are ready before any worker asks.
  QtIconProvider();
  ~QtIconProvider() override;
  QtIconProvider(const QtIconProvider&) = delete;
  QtIconProvider& operator=(const QtIconProvider&) = delete;

  int IconCount(const std::string& FileName) override;
  bool DrawIcon(const std::string& FileName, int Index, RgbColor Background, Bitmap& Icon) override;

  // The cache key of a file: its MIME type name ("inode/directory" for folders).
  static QString TypeKey(const std::string& FileName);
  // Icon theme names tried for a MIME type, best first.
  static QStringList IconNamesFor(const QString& mimeName);
  // True when the type's own icon (not the generic stand-in) is ready for workers.
  bool HasRendered(const QString& key) const;

  // The icon of a type (a MIME type name, as TypeKey and the item's icon index give
  // it) as a side x side picture with a transparent surround; overlay kOverlayLink adds
  // the link emblem in the bottom-left corner. An unknown type gets the generic icon.
  // GUI thread; pictures are cached per (type, side, overlay).
  QImage TypeIconImage(const QString& Key, int Side, int Overlay = -1);
  // The same icon drawn over a background into a Bitmap of Side x Side. GUI thread.
  bool DrawTypeIcon(const QString& Key, int Side, int Overlay, RgbColor Background, Bitmap& Icon);

 private:
  struct State;
  std::shared_ptr<State> state_;
  QObject* guiContext_ = nullptr;  // lives on the GUI thread; receives render requests
};

// Text previews: a font from FontSpec, lines split at CR LF, tabs at every 8 columns.
// QPainter on a QImage is safe on any thread; fonts are resolved at 96 dots per inch,
// so that a point size gives the same pixels everywhere.
class QtTextPainter : public TextPainter {
 public:
  static constexpr int kTabColumns = 8;

  int TextHeight(const FontSpec& Font, const std::string& Text) override;
  void DrawText(Bitmap& Canvas, const std::string& Text, const FontSpec& Font,
                RgbColor Background) override;

  // The QFont a FontSpec stands for (empty name: the system's fixed-pitch font).
  static QFont MakeFont(const FontSpec& Font);
  // Splits text at CR LF (and at a lone CR or LF) and expands tabs.
  static QStringList SplitLines(const QString& text);

 private:
  QFont FontFor(const FontSpec& Font);

  std::mutex mutex_;
  std::optional<FontSpec> lastSpec_;
  QFont lastFont_;
};

}  // namespace quorvane
