#include "thumbnails/ThumbnailContext.h"

namespace quorvane {

ThumbnailContext::ThumbnailContext()
    : thumb_(std::make_unique<ThumbnailCacheFile>()),
      susiePlugins_(std::make_unique<SusiePluginHost>()),
      imgUtil_(std::make_unique<ThumbnailReader>()) {
  imgUtil_->SetThumbnail(thumb_.get());
  imgUtil_->SetSusiePlugins(susiePlugins_.get());
  imgUtil_->OnChange = [this](ThumbnailReader&) { Changed(); };
  HookCellSettings();
}

ThumbnailContext::~ThumbnailContext() {
  // The loader goes first: it points at the cache and the plug-in host.
  imgUtil_.reset();
}

void ThumbnailContext::Changed() {
  if (OnChange) OnChange(*this);
}

void ThumbnailContext::SetImageWidth(int value) {
  if (value == imageWidth_) return;
  imageWidth_ = value;
  Changed();
}

void ThumbnailContext::SetImageHeight(int value) {
  if (value == imageHeight_) return;
  imageHeight_ = value;
  Changed();
}

void ThumbnailContext::SetDispImage(const ImageKindSet& value) {
  if (value == dispImage_) return;
  dispImage_ = value;
  Changed();
}

void ThumbnailContext::SetLookAhead(bool value) {
  if (value == lookAhead_) return;
  lookAhead_ = value;
  Changed();
}

void ThumbnailContext::SetBigIcon(bool value) {
  if (value == bigIcon_) return;
  bigIcon_ = value;
  Changed();
}

void ThumbnailContext::SetBigIconSize(int value) {
  if (value == bigIconSize_) return;
  bigIconSize_ = value;
  Changed();
}

}  // namespace quorvane
