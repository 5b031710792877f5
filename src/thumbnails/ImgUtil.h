#pragma once
// The thumbnail loader: classifies a file, runs the matching reader, fits the picture
// into the thumbnail box and falls back to the file's icon when nothing better can be
// had. The result stays in its output bitmap (`Bitmap()`), which the caller copies out
// after a successful call. Not thread-safe: one load at a time per instance.

#include <functional>
#include <string>

#include "imaging/Bitmap.h"
#include "imaging/JpegCodec.h"
#include "imaging/TColor.h"
#include "imaging/ImgCustom.h"
#include "thumbnails/ImgPlatform.h"
#include "imaging/ImgResize.h"
#include "platform/StopSource.h"
#include "thumbnails/FreedesktopThumbnails.h"
#include "thumbnails/SPlugin.h"
#include "thumbnails/Thumb.h"

namespace quorvane {

// The image kind of a file.
enum TImageType {
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
bool IsIconKind(TImageType kind);

class TImgUtil {
 public:
  using Picture = ::quorvane::Bitmap;

  TImgUtil();
  TImgUtil(const TImgUtil&) = delete;
  TImgUtil& operator=(const TImgUtil&) = delete;
  // Takes every property of another loader (not OnChange, not the results): a worker's
  // own loader set up like the view's.
  void CopySettings(const TImgUtil& from);

  // Classifies the file and keeps the kind in ImageType(): 0 when a kind was found,
  // 3 when the result is iitNone.
  int CheckImageType(const std::string& FileName);
  // The kind of a file, without touching the loader's state: safe to call on one thread
  // while another runs LoadThumbnail (it only reads the settings and the plug-ins).
  TImageType ClassifyImageType(const std::string& FileName) const;
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
  TJPEGPerformance Performance() const { return performance_; }  // default jpBestSpeed
  void SetPerformance(TJPEGPerformance value) { performance_ = value; }
  // Extra text extensions as patterns separated by ";" ("*.log;*.ini").
  const std::string& TextExt() const { return textExt_; }
  void SetTextExt(const std::string& value);
  const std::string& TextExtList() const { return textExtList_; }  // ";.log;.ini;"
  bool SusiePriority() const { return susiePriority_; }
  void SetSusiePriority(bool value) { susiePriority_ = value; }
  bool AutoThumb() const { return autoThumb_; }  // read and write the cache
  void SetAutoThumb(bool value) { autoThumb_ = value; }
  const TFontSpec& Font() const { return font_; }
  void SetFont(const TFontSpec& value) { font_ = value; }
  TThumb* Thumbnail() const { return thumbnail_; }  // not owned
  void SetThumbnail(TThumb* value) { thumbnail_ = value; }
  // The cache shared with other programs (not owned; null: not used). Pictures are
  // looked up there before they are decoded and stored there after.
  const FreedesktopThumbnails* SharedCache() const { return sharedCache_; }
  void SetSharedCache(const FreedesktopThumbnails* value) { sharedCache_ = value; }
  // Asked while a load runs (not owned, not copied by CopySettings): a load that was
  // told to stop leaves nothing in the caches.
  void SetStop(const StopSource* value) { stop_ = value; }
  TSPlugin* SPlugin() const { return sPlugin_; }  // not owned
  void SetSPlugin(TSPlugin* value) { sPlugin_ = value; }
  TGetType GetType() const { return getType_; }  // default igtPreview
  void SetGetType(TGetType value) { getType_ = value; }
  TColor BKColor() const { return bkColor_; }  // default white
  void SetBKColor(TColor value);
  int AviFramePos() const { return aviFramePos_; }  // 0..100, default 20
  void SetAviFramePos(int value);
  // Fired when BKColor changes.
  std::function<void(TImgUtil&)> OnChange;

  TImgCustom* CustomPlugin() const { return customPlugin_; }  // not owned
  void SetCustomPlugin(TImgCustom* value) { customPlugin_ = value; }
  TIconProvider* IconProvider() const { return iconProvider_; }  // not owned
  void SetIconProvider(TIconProvider* value) { iconProvider_ = value; }
  TTextRenderer* TextRenderer() const { return textRenderer_; }  // not owned
  void SetTextRenderer(TTextRenderer* value) { textRenderer_ = value; }

  // ---- results of the last call ----
  Picture& Bitmap() { return bitmap_; }
  const Picture& Bitmap() const { return bitmap_; }
  TImageType ImageType() const { return imageType_; }
  int OrgWidth() const { return orgWidth_; }
  int OrgHeight() const { return orgHeight_; }
  int IconCount() const { return iconCount_; }
  int IconIndex() const { return iconIndex_; }
  // Scale denominator of the last JPEG decode (0 when none was decoded).
  int LastDecodeScale() const { return lastDecodeScale_; }

 private:
  int ReadByKind(TImageType kind, const std::string& FileName, int Width, int Height);
  int DrawIcon(const std::string& FileName, int Index);
  void DecodeJpeg(const JpegReader& reader, int Width, int Height);
  int ReadText(const std::string& FileName, int Width, int Height);
  bool UsesCache() const { return autoThumb_ && getType_ != igtNormal && thumbnail_; }
  // The shared cache's size folder for a load ("" when the shared cache is not used).
  const char* SharedFolder(TImageType kind, int Width, int Height) const;
  int ReadPicture(TImageType kind, const std::string& FileName, int Width, int Height);
  bool ReadFromCache(const std::string& FileName, int Width, int Height);
  void WriteToCache(const std::string& FileName);
  void Record() {
    orgWidth_ = bitmap_.Width();
    orgHeight_ = bitmap_.Height();
  }

  int quality_ = 90;
  TJPEGPerformance performance_ = TJPEGPerformance::jpBestSpeed;
  std::string textExt_, textExtList_;
  bool susiePriority_ = false;
  bool autoThumb_ = false;
  TFontSpec font_;
  TThumb* thumbnail_ = nullptr;
  TSPlugin* sPlugin_ = nullptr;
  const FreedesktopThumbnails* sharedCache_ = nullptr;
  const StopSource* stop_ = nullptr;
  TGetType getType_ = igtPreview;
  TColor bkColor_ = clWhite;
  int aviFramePos_ = 20;
  TImgCustom* customPlugin_ = nullptr;
  TIconProvider* iconProvider_ = nullptr;
  TTextRenderer* textRenderer_ = nullptr;

  Picture bitmap_;
  TImageType imageType_ = iitNone;
  int orgWidth_ = 0, orgHeight_ = 0;
  int iconCount_ = 0;
  int iconIndex_ = -1;
  int lastDecodeScale_ = 0;
  bool partial_ = false;  // the picture read is the part of a file that ends early
};

}  // namespace quorvane
