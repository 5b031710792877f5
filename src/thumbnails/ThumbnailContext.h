#pragma once
// ThumbnailContext: what the thumbnail view and its worker threads share. It owns the image
// loader (ThumbnailReader), the thumbnail cache (ThumbnailCacheFile) and the plug-in host (SusiePluginHost), hands
// the cache and the host to the loader, and holds the thumbnail box size and the kinds
// of file that get generated thumbnails. Every setter fires OnChange when the value
// really changes (the loader's own change event is routed there too); the view answers
// with a rebuild of its cells.
//
// User-interface thread only, except the loader, which the one worker thread uses while
// it runs a job (see ImgThreads).

#include <functional>
#include <memory>

#include "platform/EnumSet.h"
#include "thumbnails/ImgCell.h"
#include "thumbnails/ThumbnailReader.h"
#include "thumbnails/SusiePlugins.h"
#include "thumbnails/ThumbnailCacheFile.h"

namespace quorvane {

// A set of image kinds (all 17 kinds by default in ThumbnailContext).
using ImageKindSet = EnumSet<FileKind, int(iitAvi) + 1>;

class ThumbnailContext {
 public:
  ThumbnailContext();
  ~ThumbnailContext();
  ThumbnailContext(const ThumbnailContext&) = delete;
  ThumbnailContext& operator=(const ThumbnailContext&) = delete;

  ThumbnailReader& ImgUtil() { return *imgUtil_; }
  const ThumbnailReader& ImgUtil() const { return *imgUtil_; }
  ThumbnailCacheFile& Thumbnail() { return *thumb_; }
  SusiePluginHost& SusiePlugins() { return *susiePlugins_; }

  // The image box in pixels (94 x 94).
  int ImageWidth() const { return imageWidth_; }
  void SetImageWidth(int value);
  int ImageHeight() const { return imageHeight_; }
  void SetImageHeight(int value);
  // Kinds that get generated thumbnails (all kinds).
  const ImageKindSet& DispImage() const { return dispImage_; }
  void SetDispImage(const ImageKindSet& value);
  // Queue every file for a thumbnail when the folder is enumerated (false).
  bool LookAhead() const { return lookAhead_; }
  void SetLookAhead(bool value);
  // Enlarge shell icons to BigIconSize (false, 48).
  bool BigIcon() const { return bigIcon_; }
  void SetBigIcon(bool value);
  int BigIconSize() const { return bigIconSize_; }
  void SetBigIconSize(int value);

  // True when a file of this kind gets a generated thumbnail: not an icon kind, and a
  // member of DispImage.
  bool NeedsThumbnail(FileKind kind) const { return !IsIconKind(kind) && dispImage_.Has(kind); }

  // ---- the look of a cell (defined in ImgCellSettings.cpp) ----
  BevelCut BevelInner() const { return bevelInner_; }  // bvNone
  void SetBevelInner(BevelCut value);
  BevelCut BevelOuter() const { return bevelOuter_; }  // bvNone
  void SetBevelOuter(BevelCut value);
  int BevelWidth() const { return bevelWidth_; }  // 1
  void SetBevelWidth(int value);
  // Stored only; neither layout nor painting uses it (0).
  int BorderWidth() const { return borderWidth_; }
  void SetBorderWidth(int value);
  // bsSingle adds a 2-pixel sunken border (bsNone).
  CellBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(CellBorderStyle value);
  FrameStyle& Frame() { return frame_; }  // visible, clInactiveBorder, 1
  const FrameStyle& Frame() const { return frame_; }
  FrameStyle& SelectFrame() { return selectFrame_; }  // visible, clHighlight, 3
  const FrameStyle& SelectFrame() const { return selectFrame_; }
  SmallIconStyle& SmallIcon() { return smallIcon_; }
  const SmallIconStyle& SmallIcon() const { return smallIcon_; }
  BlankSpaceStyle& BlankSpace() { return blankSpace_; }
  const BlankSpaceStyle& BlankSpace() const { return blankSpace_; }
  // Everything above with the image box, for the cell geometry.
  CellStyleOptions CellStyle() const;

  // Any change, the loader's included.
  std::function<void(ThumbnailContext&)> OnChange;

 protected:
  // Fires OnChange; for the setters of settings added beside these.
  void Changed();

 private:
  std::unique_ptr<ThumbnailCacheFile> thumb_;
  std::unique_ptr<SusiePluginHost> susiePlugins_;
  std::unique_ptr<ThumbnailReader> imgUtil_;
  int imageWidth_ = 94, imageHeight_ = 94;
  ImageKindSet dispImage_ = ImageKindSet::All();
  bool lookAhead_ = false;
  bool bigIcon_ = false;
  int bigIconSize_ = 48;

  void HookCellSettings();
  BevelCut bevelInner_ = bvNone, bevelOuter_ = bvNone;
  int bevelWidth_ = 1;
  int borderWidth_ = 0;
  CellBorderStyle borderStyle_ = bsNone;
  FrameStyle frame_{true, clInactiveBorder, 1};
  FrameStyle selectFrame_{true, clHighlight, 3};
  SmallIconStyle smallIcon_;
  BlankSpaceStyle blankSpace_;
};

}  // namespace quorvane
