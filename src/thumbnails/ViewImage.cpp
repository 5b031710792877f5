#include "thumbnails/ViewImage.h"

namespace quorvane {

TViewImage::TViewImage()
    : thumb_(std::make_unique<TThumb>()),
      sPlugin_(std::make_unique<TSPlugin>()),
      imgUtil_(std::make_unique<TImgUtil>()) {
  imgUtil_->SetThumbnail(thumb_.get());
  imgUtil_->SetSPlugin(sPlugin_.get());
  imgUtil_->OnChange = [this](TImgUtil&) { Changed(); };
  HookCellSettings();
}

TViewImage::~TViewImage() {
  // The loader goes first: it points at the cache and the plug-in host.
  imgUtil_.reset();
}

void TViewImage::Changed() {
  if (OnChange) OnChange(*this);
}

void TViewImage::SetImageWidth(int value) {
  if (value == imageWidth_) return;
  imageWidth_ = value;
  Changed();
}

void TViewImage::SetImageHeight(int value) {
  if (value == imageHeight_) return;
  imageHeight_ = value;
  Changed();
}

void TViewImage::SetDispImage(const TDispImage& value) {
  if (value == dispImage_) return;
  dispImage_ = value;
  Changed();
}

void TViewImage::SetLookAhead(bool value) {
  if (value == lookAhead_) return;
  lookAhead_ = value;
  Changed();
}

void TViewImage::SetBigIcon(bool value) {
  if (value == bigIcon_) return;
  bigIcon_ = value;
  Changed();
}

void TViewImage::SetBigIconSize(int value) {
  if (value == bigIconSize_) return;
  bigIconSize_ = value;
  Changed();
}

}  // namespace quorvane
