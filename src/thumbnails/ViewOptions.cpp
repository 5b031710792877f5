#include "thumbnails/ViewOptions.h"

#include <string>

#include "platform/FileNames.h"

namespace quorvane {

// ---------------------------------------------------------------- DisplayFilter

void DisplayFilter::SetFolders(bool value) {
  if (value == folders_) return;
  folders_ = value;
  Changed();
}

void DisplayFilter::SetNonFolders(bool value) {
  if (value == nonFolders_) return;
  nonFolders_ = value;
  Changed();
}

void DisplayFilter::SetHidden(bool value) {
  if (value == hidden_) return;
  hidden_ = value;
  Changed();
}

void DisplayFilter::SetExt(const std::string& value) {
  if (value == ext_) return;
  ext_ = value;
  if (value.empty()) {
    matchList_ = ";*.*;";
  } else {
    matchList_ = LowerAscii(value);
    if (matchList_.front() != ';') matchList_.insert(matchList_.begin(), ';');
    if (matchList_.back() != ';') matchList_.push_back(';');
  }
  Changed();
}

bool DisplayFilter::Restrictive() const { return matchList_.find(";*.*;") == std::string::npos; }

bool DisplayFilter::Match(const std::string& path) const {
  if (!Restrictive()) return true;
  const std::string name = LowerAscii(ExtractFileName(path));
  if (matchList_.find(";" + name + ";") != std::string::npos) return true;
  const std::string ext = ExtractFileExt(name);
  return matchList_.find(";*" + ext + ";") != std::string::npos;
}

// ---------------------------------------------------------------- IconSpacingOptions, ViewOptions

void IconSpacingOptions::SetX(int value) {
  if (value == x_) return;
  x_ = value;
  if (OnChange) OnChange(*this);
}

void IconSpacingOptions::SetY(int value) {
  if (value == y_) return;
  y_ = value;
  if (OnChange) OnChange(*this);
}

void IconSpacingOptions::Assign(const IconSpacingOptions& other) {
  const bool changed = other.x_ != x_ || other.y_ != y_;
  x_ = other.x_;
  y_ = other.y_;
  if (changed && OnChange) OnChange(*this);
}

ViewOptions::ViewOptions() {
  dispTypes_.OnChange = [this](DisplayFilter&) {
    if (OnChange1) OnChange1(*this);
  };
  iconSpacing_.OnChange = [this](IconSpacingOptions&) {
    if (OnChange2) OnChange2(*this);
  };
}

void ViewOptions::SetShowCaptions(bool value) {
  if (value == showCaptions_) return;
  showCaptions_ = value;
  if (OnChange2) OnChange2(*this);
}

}  // namespace quorvane
