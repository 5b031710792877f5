#include "thumbnails/ui/ImgPlatformQt.h"

#include <QApplication>
#include <QFile>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QHash>
#include <QIcon>
#include <QImage>
#include <QMimeDatabase>
#include <QObject>
#include <QPainter>
#include <QPen>
#include <QSet>
#include <QStandardPaths>
#include <QThread>
#include <algorithm>

#include "imaging/ui/QtBitmap.h"
#include "platform/ui/QtText.h"

namespace quorvane {

namespace {

constexpr int kDotsPerMeter96Dpi = 3780;  // 96 dots per inch
const QString kDirectoryKey = QStringLiteral("inode/directory");
const QString kGenericKey = QStringLiteral("application/octet-stream");

// The Bitmap's own rows seen as a QImage: painting writes straight into them.
QImage WrapBitmap(Bitmap& bitmap) {
  QImage image = BitmapImage(bitmap);
  image.setDotsPerMeterX(kDotsPerMeter96Dpi);
  image.setDotsPerMeterY(kDotsPerMeter96Dpi);
  return image;
}

bool OnGuiThread() {
  const QCoreApplication* app = QCoreApplication::instance();
  return app && QThread::currentThread() == app->thread();
}

bool CanRenderIcons() { return qobject_cast<QGuiApplication*>(QCoreApplication::instance()); }

// A QIcon as a square of `side` with a transparent surround (GUI thread only).
QImage IconToImage(const QIcon& icon, int side = QtIconProvider::kLargeIconSize) {
  if (icon.isNull() || side <= 0) return QImage();
  QImage picture = icon.pixmap(QSize(side, side), 1.0).toImage();
  if (picture.isNull()) return QImage();
  if (picture.width() > side || picture.height() > side)
    picture = picture.scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation);
  QImage square(side, side, QImage::Format_ARGB32_Premultiplied);
  square.fill(Qt::transparent);
  QPainter painter(&square);
  painter.drawImage((side - picture.width()) / 2, (side - picture.height()) / 2, picture);
  return square;
}

// The icon of a MIME type from the icon theme, else from the widget style (GUI thread
// only). Null when nothing is to be had.
QImage RenderTypeIcon(const QString& key, int side = QtIconProvider::kLargeIconSize) {
  if (!CanRenderIcons()) return QImage();
  for (const QString& name : QtIconProvider::IconNamesFor(key)) {
    if (!QIcon::hasThemeIcon(name)) continue;
    QImage picture = IconToImage(QIcon::fromTheme(name), side);
    if (!picture.isNull()) return picture;
  }
  if (qobject_cast<QApplication*>(QCoreApplication::instance())) {
    QFileIconProvider provider;
    return IconToImage(
        provider.icon(key == kDirectoryKey ? QFileIconProvider::Folder : QFileIconProvider::File),
        side);
  }
  return QImage();
}

// The link emblem in the bottom-left quarter-and-a-bit of a square icon: the theme's
// emblem when there is one, else a small arrow on a white tile.
void DrawLinkOverlay(QImage& picture) {
  const int side = picture.width();
  const int emblem = std::max(8, side * 7 / 16);
  const QRect box(0, side - emblem, emblem, emblem);
  QPainter painter(&picture);
  const QIcon icon = QIcon::fromTheme(QStringLiteral("emblem-symbolic-link"));
  if (!icon.isNull()) {
    painter.drawPixmap(box, icon.pixmap(QSize(emblem, emblem), 1.0));
    return;
  }
  painter.setRenderHint(QPainter::Antialiasing);
  painter.fillRect(box.adjusted(0, 0, -1, -1), Qt::white);
  painter.setPen(QPen(Qt::black, std::max(1, emblem / 8)));
  painter.drawRect(box.adjusted(0, 0, -1, -1));
  const QPointF a(box.left() + emblem * 0.25, box.bottom() - emblem * 0.25);
  const QPointF b(box.left() + emblem * 0.75, box.top() + emblem * 0.25);
  painter.drawLine(a, b);
  painter.drawLine(b, b + QPointF(-emblem * 0.3, 0));
  painter.drawLine(b, b + QPointF(0, emblem * 0.3));
}

// Without a desktop session (the offscreen and minimal platforms) Qt knows neither
// where icon themes live nor which one to use; the system's icon folders and the
// Adwaita theme, installed with the program, then stand in.
void EnsureIconTheme() {
  const QString probe = QStringLiteral("folder");
  if (QIcon::hasThemeIcon(probe)) return;
  const QStringList previousPaths = QIcon::themeSearchPaths();
  const QString previousName = QIcon::themeName();
  QStringList paths = previousPaths;
  paths << QStandardPaths::locateAll(QStandardPaths::GenericDataLocation, QStringLiteral("icons"),
                                     QStandardPaths::LocateDirectory);
  paths.removeDuplicates();
  QIcon::setThemeSearchPaths(paths);
  if (QIcon::hasThemeIcon(probe)) return;
  QIcon::setThemeName(QStringLiteral("Adwaita"));
  if (QIcon::hasThemeIcon(probe)) return;
  QIcon::setThemeName(previousName);
  QIcon::setThemeSearchPaths(previousPaths);
}

}  // namespace

struct QtIconProvider::State {
  std::mutex mutex;
  QHash<QString, QImage> cache;  // MIME type name -> rendered icon (null: none found)
  QSet<QString> pending;         // queued for rendering on the GUI thread
  QImage generic;                // stand-in for worker-thread misses
  QHash<QString, QImage> sized;  // "type/side/overlay" -> picture (GUI thread)

  // Runs on the GUI thread.
  void Render(const QString& key) {
    QImage picture = RenderTypeIcon(key);
    std::lock_guard lock(mutex);
    cache.insert(key, picture);
    pending.remove(key);
    if (key == kGenericKey) generic = picture;
  }
};

QtIconProvider::QtIconProvider() : state_(std::make_shared<State>()) {
  QCoreApplication* app = QCoreApplication::instance();
  if (!app) return;
  guiContext_ = new QObject;
  if (!OnGuiThread()) guiContext_->moveToThread(app->thread());
  if (OnGuiThread() && CanRenderIcons()) EnsureIconTheme();
  const QString common[] = {kGenericKey, kDirectoryKey, QStringLiteral("text/plain"),
                            QStringLiteral("application/x-executable")};
  for (const QString& key : common) {
    if (OnGuiThread()) {
      state_->Render(key);
    } else {
      state_->pending.insert(key);
      QMetaObject::invokeMethod(
          guiContext_, [state = state_, key] { state->Render(key); }, Qt::QueuedConnection);
    }
  }
}

QtIconProvider::~QtIconProvider() {
  if (!guiContext_) return;
  // Requests already queued hold the state themselves and run harmlessly.
  if (guiContext_->thread() == QThread::currentThread())
    delete guiContext_;
  else
    guiContext_->deleteLater();
}

int QtIconProvider::IconCount(const std::string&) { return 0; }

QString QtIconProvider::TypeKey(const std::string& FileName) {
  const QFileInfo info(FromNative(FileName));
  if (info.isDir()) return kDirectoryKey;
  static const QMimeDatabase database;  // QMimeDatabase may be used from any thread
  return database.mimeTypeForFile(info).name();
}

QStringList QtIconProvider::IconNamesFor(const QString& mimeName) {
  QStringList names;
  if (mimeName == kDirectoryKey) names << QStringLiteral("folder");
  const QMimeDatabase database;
  const QMimeType type = database.mimeTypeForName(mimeName);
  if (type.isValid()) {
    names << type.iconName() << type.genericIconName();
    for (const QString& ancestor : type.allAncestors()) {
      const QMimeType parent = database.mimeTypeForName(ancestor);
      if (parent.isValid() && parent.name() != QLatin1String("application/octet-stream"))
        names << parent.iconName() << parent.genericIconName();
    }
    if (type.inherits(QStringLiteral("text/plain"))) names << QStringLiteral("text-x-generic");
    if (type.inherits(QStringLiteral("application/x-executable")) ||
        type.inherits(QStringLiteral("application/x-ms-dos-executable")))
      names << QStringLiteral("application-x-executable");
  }
  names << QStringLiteral("application-x-generic") << QStringLiteral("unknown")
        << QStringLiteral("text-x-generic");
  names.removeAll(QString());
  names.removeDuplicates();
  return names;
}

bool QtIconProvider::HasRendered(const QString& key) const {
  std::lock_guard lock(state_->mutex);
  return state_->cache.contains(key);
}

QImage QtIconProvider::TypeIconImage(const QString& Key, int Side, int Overlay) {
  if (Side <= 0 || Side > 1024) return QImage();
  const bool link = Overlay == kOverlayLink;
  const QString cacheKey = QStringLiteral("%1/%2/%3").arg(Key).arg(Side).arg(link ? 1 : 0);
  {
    std::lock_guard lock(state_->mutex);
    const auto it = state_->sized.constFind(cacheKey);
    if (it != state_->sized.constEnd()) return *it;
  }
  QImage picture = Key.isEmpty() ? QImage() : RenderTypeIcon(Key, Side);
  if (picture.isNull()) picture = RenderTypeIcon(kGenericKey, Side);
  if (picture.isNull()) return picture;
  if (link) DrawLinkOverlay(picture);
  std::lock_guard lock(state_->mutex);
  state_->sized.insert(cacheKey, picture);
  return picture;
}

bool QtIconProvider::DrawTypeIcon(const QString& Key, int Side, int Overlay, RgbColor Background,
                                   Bitmap& Icon) {
  const QImage picture = TypeIconImage(Key, Side, Overlay);
  if (picture.isNull()) return false;
  Icon.SetSize(Side, Side);
  Icon.Fill(Background);
  QImage target = WrapBitmap(Icon);
  QPainter painter(&target);
  painter.drawImage(0, 0, picture);
  return true;
}

bool QtIconProvider::DrawIcon(const std::string& FileName, int Index, RgbColor Background,
                               Bitmap& Icon) {
  if (Index != 0) return false;
  const QString key = TypeKey(FileName);
  QImage picture;
  bool found = false;
  {
    std::lock_guard lock(state_->mutex);
    const auto it = state_->cache.constFind(key);
    if (it != state_->cache.constEnd()) {
      picture = *it;
      found = true;
    }
  }
  if (!found && OnGuiThread()) {
    state_->Render(key);
    std::lock_guard lock(state_->mutex);
    picture = state_->cache.value(key);
  } else if (!found && guiContext_) {
    // Never wait for the GUI thread: it may itself be waiting for this worker.
    std::lock_guard lock(state_->mutex);
    if (!state_->pending.contains(key)) {
      state_->pending.insert(key);
      QMetaObject::invokeMethod(
          guiContext_, [state = state_, key] { state->Render(key); }, Qt::QueuedConnection);
    }
  }
  if (picture.isNull()) {
    std::lock_guard lock(state_->mutex);
    picture = state_->generic;
  }
  if (picture.isNull()) return false;

  Icon.SetSize(picture.width(), picture.height());
  Icon.Fill(Background);
  QImage target = WrapBitmap(Icon);
  QPainter painter(&target);
  painter.drawImage(0, 0, picture);
  return true;
}

// ---- text ----

QFont QtTextPainter::MakeFont(const FontSpec& Font) {
  QFont font = Font.Name.empty() ? QFontDatabase::systemFont(QFontDatabase::FixedFont)
                                 : QFont(QString::fromStdString(Font.Name));
  if (Font.Size > 0) font.setPointSize(Font.Size);
  font.setBold(Font.Bold);
  font.setItalic(Font.Italic);
  return font;
}

QFont QtTextPainter::FontFor(const FontSpec& Font) {
  std::lock_guard lock(mutex_);
  if (!lastSpec_ || !(*lastSpec_ == Font)) {
    lastFont_ = MakeFont(Font);
    lastSpec_ = Font;
  }
  return lastFont_;
}

QStringList QtTextPainter::SplitLines(const QString& text) {
  QStringList lines;
  QString line;
  int column = 0;
  for (qsizetype i = 0; i < text.size(); ++i) {
    const QChar c = text[i];
    if (c == u'\r' || c == u'\n') {
      if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
      lines << line;
      line.clear();
      column = 0;
    } else if (c == u'\t') {
      const int spaces = kTabColumns - column % kTabColumns;
      line.append(QString(spaces, u' '));
      column += spaces;
    } else {
      line.append(c);
      if (!c.isLowSurrogate()) ++column;
    }
  }
  if (!line.isEmpty()) lines << line;
  return lines;
}

int QtTextPainter::TextHeight(const FontSpec& Font, const std::string&) {
  QImage device(1, 1, QImage::Format_RGB32);
  device.setDotsPerMeterX(kDotsPerMeter96Dpi);
  device.setDotsPerMeterY(kDotsPerMeter96Dpi);
  return QFontMetrics(FontFor(Font), &device).height();
}

void QtTextPainter::DrawText(Bitmap& Canvas, const std::string& Text, const FontSpec& Font,
                               RgbColor Background) {
  if (Canvas.Empty()) return;
  QImage target = WrapBitmap(Canvas);
  target.fill(ToQColor(Background));
  const QFont font = FontFor(Font);
  QPainter painter(&target);
  painter.setClipRect(target.rect());
  painter.setFont(font);
  painter.setPen(ToQColor(Font.Color));
  const QFontMetrics metrics(font, &target);
  const int lineHeight = std::max(1, metrics.height());
  int top = 0;
  for (const QString& line : SplitLines(FromNative(Text))) {
    if (top >= target.height()) break;
    if (!line.isEmpty()) painter.drawText(QPoint(0, top + metrics.ascent()), line);
    top += lineHeight;
  }
}

}  // namespace quorvane
