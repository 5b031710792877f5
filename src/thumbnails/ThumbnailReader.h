#pragma once
// The thumbnail loader: classifies a file, runs the matching reader, fits the picture
// into the thumbnail box and falls back to the file's icon when nothing better can be
// had. The result stays in its output bitmap (`Bitmap()`), which the caller copies out
// after a successful call. Not thread-safe: one load at a time per instance.

#include <functional>
#include <string>

#include "imaging/Bitmap.h"
#include "imaging/JpegCodec.h"
#include "imaging/RgbColor.h"
#include "imaging/ImagePlugin.h"
#include "thumbnails/ImgPlatform.h"
#include "imaging/ImgResize.h"
#include "platform/StopSource.h"
#include "thumbnails/FreedesktopThumbnails.h"
#include "thumbnails/SusiePlugins.h"
#include "thumbnails/ThumbnailCacheFile.h"

namespace quorvane {

// The image kind of a file.
enum FileKind {
  iitNone,
  iitSusie,
  iitBmp,
  iitJpeg,
  iitIco,
  iitCur,
  iitAni,
  iitEmf,
  iitWmf,
  iitExe,
  iitDll,
  iitHtml,
  iitTxt,
  iitEml,
  iitDir,
  iitCustom,
  iitAvi,
};

// Kinds drawn as the file's icon, never decoded.
bool IsIconKind(FileKind kind);

class ThumbnailReader {
 public:
  using Picture = ::quorvane::Bitmap;

  ThumbnailReader();
  ThumbnailReader(const ThumbnailReader&) = delete;
  ThumbnailReader& operator=(const ThumbnailReader&) = delete;
  // Takes every property of another loader (not OnChange, not the results): a worker's
  // own loader set up like the view's.
  void CopySettings(const ThumbnailReader& from);

  // Classifies the file and keeps the kind in ImageType(): 0 when a kind was found,
  // 3 when the result is iitNone.
  int CheckImageType(const std::string& FileName);
  // The kind of a file, without touching the loader's state: safe to call on one thread
  // while another runs LoadThumbnail (it only reads the settings and the plug-ins).
  FileKind ClassifyImageType(const std::string& FileName) const;
  // Loads the thumbnail of a file into Bitmap(). 0: done (picture, cache hit or icon);
  // 1: no such file or folder (nothing drawn); -1: a reader failed (the icon has been
  // drawn); another value: a reader's own failure code (icon drawn). Nothing is
  // cached of a file that changed while it was read or of the part of a cut file.
  int LoadThumbnail(const std::string& FileName, int Width, int Height, int IconIndex);
  // Resamples any bitmap in place to exactly Width x Height.
  static void ResizeBitmap(Picture& bitmap, int Width, int Height) {
    ::quorvane::ResizeBitmap(bitmap, Width, Height);
  }

  // ---- properties ----
  int Quality() const { return quality_; }  // 1..100, default 90
  void SetQuality(int value);
  JpegPerformance Performance() const { return performance_; }  // default jpBestSpeed
  void SetPerformance(JpegPerformance value) { performance_ = value; }
  // Extra text extensions as patterns separated by ";" ("*.log;*.ini").
  const std::string& TextExt() const { return textExt_; }
  void SetTextExt(const std::string& value);
  const std::string& TextExtList() const { return textExtList_; }  // ";.log;.ini;"
  bool SusiePriority() const { return susiePriority_; }
  void SetSusiePriority(bool value) { susiePriority_ = value; }
  bool AutoThumb() const { return autoThumb_; }  // read and write the cache
  void SetAutoThumb(bool value) { autoThumb_ = value; }
  const FontSpec& Font() const { return font_; }
  void SetFont(const FontSpec& value) { font_ = value; }
  ThumbnailCacheFile* Thumbnail() const { return thumbnail_; }  // not owned
  void SetThumbnail(ThumbnailCacheFile* value) { thumbnail_ = value; }
  // The cache shared with other programs (not owned; null: not used). Pictures are
  // looked up there before they are decoded and stored there after.
  const FreedesktopThumbnails* SharedCache() const { return sharedCache_; }
  void SetSharedCache(const FreedesktopThumbnails* value) { sharedCache_ = value; }
  // Asked while a load runs (not owned, not copied by CopySettings): a load that was
  // told to stop leaves nothing in the caches.
  void SetStop(const StopSource* value) { stop_ = value; }
  SusiePluginHost* SusiePlugins() const { return susiePlugins_; }  // not owned
  void SetSusiePlugins(SusiePluginHost* value) { susiePlugins_ = value; }
  FitKind GetType() const { return getType_; }  // default igtPreview
  void SetGetType(FitKind value) { getType_ = value; }
  RgbColor BKColor() const { return bkColor_; }  // default white
  void SetBKColor(RgbColor value);
  int AviFramePos() const { return aviFramePos_; }  // 0..100, default 20
  void SetAviFramePos(int value);
  // Fired when BKColor changes.
  std::function<void(ThumbnailReader&)> OnChange;

  ImagePlugin* CustomPlugin() const { return customPlugin_; }  // not owned
  void SetCustomPlugin(ImagePlugin* value) { customPlugin_ = value; }
  FileIconProvider* IconProvider() const { return iconProvider_; }  // not owned
  void SetIconProvider(FileIconProvider* value) { iconProvider_ = value; }
  TextPainter* TextRenderer() const { return textRenderer_; }  // not owned
  void SetTextRenderer(TextPainter* value) { textRenderer_ = value; }

  // ---- results of the last call ----
  Picture& Bitmap() { return bitmap_; }
  const Picture& Bitmap() const { return bitmap_; }
  FileKind ImageType() const { return imageType_; }
  int OrgWidth() const { return orgWidth_; }
  int OrgHeight() const { return orgHeight_; }
  int IconCount() const { return iconCount_; }
  int IconIndex() const { return iconIndex_; }
  // Scale denominator of the last JPEG decode (0 when none was decoded).
  int LastDecodeScale() const { return lastDecodeScale_; }

 private:
  int ReadByKind(FileKind kind, const std::string& FileName, int Width, int Height);
  int DrawIcon(const std::string& FileName, int Index);
  void DecodeJpeg(const JpegReader& reader, int Width, int Height);
  int ReadText(const std::string& FileName, int Width, int Height);
  bool UsesCache() const { return autoThumb_ && getType_ != igtNormal && thumbnail_; }
  // The shared cache's size folder for a load ("" when the shared cache is not used).
  const char* SharedFolder(FileKind kind, int Width, int Height) const;
  int ReadPicture(FileKind kind, const std::string& FileName, int Width, int Height);
  bool ReadFromCache(const std::string& FileName, int Width, int Height);
  void WriteToCache(const std::string& FileName);
  void Record() {
    orgWidth_ = bitmap_.Width();
    orgHeight_ = bitmap_.Height();
  }

  int quality_ = 90;
  JpegPerformance performance_ = JpegPerformance::jpBestSpeed;
  std::string textExt_, textExtList_;
  bool susiePriority_ = false;
  bool autoThumb_ = false;
  FontSpec font_;
  ThumbnailCacheFile* thumbnail_ = nullptr;
  SusiePluginHost* susiePlugins_ = nullptr;
  const FreedesktopThumbnails* sharedCache_ = nullptr;
  const StopSource* stop_ = nullptr;
  FitKind getType_ = igtPreview;
  RgbColor bkColor_ = clWhite;
  int aviFramePos_ = 20;
  ImagePlugin* customPlugin_ = nullptr;
  FileIconProvider* iconProvider_ = nullptr;
  TextPainter* textRenderer_ = nullptr;

  Picture bitmap_;
  FileKind imageType_ = iitNone;
  int orgWidth_ = 0, orgHeight_ = 0;
  int iconCount_ = 0;
  int iconIndex_ = -1;
  int lastDecodeScale_ = 0;
  bool partial_ = false;  // the picture read is the part of a file that ends early
};

}  // namespace quorvane
