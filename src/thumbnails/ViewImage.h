#pragma once
// TViewImage: what the thumbnail view and its worker threads share. It owns the image
// loader (TImgUtil), the thumbnail cache (TThumb) and the plug-in host (TSPlugin), hands
// the cache and the host to the loader, and holds the thumbnail box size and the kinds
// of file that get generated thumbnails. Every setter fires OnChange when the value
// really changes (the loader's own change event is routed there too); the view answers
// with a rebuild of its cells.
//
// User-interface thread only, except the loader, which the one worker thread uses while
// it runs a job (see TImgThreads).

#include <functional>
#include <memory>

#include "platform/EnumSet.h"
#include "thumbnails/ImgCell.h"
#include "thumbnails/ImgUtil.h"
#include "thumbnails/SPlugin.h"
#include "thumbnails/Thumb.h"

namespace quorvane {

// A set of image kinds (all 17 kinds by default in TViewImage).
using TDispImage = EnumSet<TImageType, int(iitAvi) + 1>;

class TViewImage {
 public:
  TViewImage();
  ~TViewImage();
  TViewImage(const TViewImage&) = delete;
  TViewImage& operator=(const TViewImage&) = delete;

  TImgUtil& ImgUtil() { return *imgUtil_; }
  const TImgUtil& ImgUtil() const { return *imgUtil_; }
  TThumb& Thumbnail() { return *thumb_; }
  TSPlugin& SPlugin() { return *sPlugin_; }

  // The image box in pixels (94 x 94).
  int ImageWidth() const { return imageWidth_; }
  void SetImageWidth(int value);
  int ImageHeight() const { return imageHeight_; }
  void SetImageHeight(int value);
  // Kinds that get generated thumbnails (all kinds).
  const TDispImage& DispImage() const { return dispImage_; }
  void SetDispImage(const TDispImage& value);
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
  bool NeedsThumbnail(TImageType kind) const { return !IsIconKind(kind) && dispImage_.Has(kind); }

  // ---- the look of a cell (defined in ImgCellSettings.cpp) ----
  TBevelCut BevelInner() const { return bevelInner_; }  // bvNone
  void SetBevelInner(TBevelCut value);
  TBevelCut BevelOuter() const { return bevelOuter_; }  // bvNone
  void SetBevelOuter(TBevelCut value);
  int BevelWidth() const { return bevelWidth_; }  // 1
  void SetBevelWidth(int value);
  // Stored only; neither layout nor painting uses it (0).
  int BorderWidth() const { return borderWidth_; }
  void SetBorderWidth(int value);
  // bsSingle adds a 2-pixel sunken border (bsNone).
  TBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TBorderStyle value);
  TFrameStyle& Frame() { return frame_; }  // visible, clInactiveBorder, 1
  const TFrameStyle& Frame() const { return frame_; }
  TFrameStyle& SelectFrame() { return selectFrame_; }  // visible, clHighlight, 3
  const TFrameStyle& SelectFrame() const { return selectFrame_; }
  TSmallIcon& SmallIcon() { return smallIcon_; }
  const TSmallIcon& SmallIcon() const { return smallIcon_; }
  TBlankSpace& BlankSpace() { return blankSpace_; }
  const TBlankSpace& BlankSpace() const { return blankSpace_; }
  // Everything above with the image box, for the cell geometry.
  TCellStyle CellStyle() const;

  // Any change, the loader's included.
  std::function<void(TViewImage&)> OnChange;

 protected:
  // Fires OnChange; for the setters of settings added beside these.
  void Changed();

 private:
  std::unique_ptr<TThumb> thumb_;
  std::unique_ptr<TSPlugin> sPlugin_;
  std::unique_ptr<TImgUtil> imgUtil_;
  int imageWidth_ = 94, imageHeight_ = 94;
  TDispImage dispImage_ = TDispImage::All();
  bool lookAhead_ = false;
  bool bigIcon_ = false;
  int bigIconSize_ = 48;

  void HookCellSettings();
  TBevelCut bevelInner_ = bvNone, bevelOuter_ = bvNone;
  int bevelWidth_ = 1;
  int borderWidth_ = 0;
  TBorderStyle borderStyle_ = bsNone;
  TFrameStyle frame_{true, clInactiveBorder, 1};
  TFrameStyle selectFrame_{true, clHighlight, 3};
  TSmallIcon smallIcon_;
  TBlankSpace blankSpace_;
};

}  // namespace quorvane
