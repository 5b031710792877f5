#pragma once
// What the grid shows and how: the display filter (folders, other files, hidden names,
// name patterns), the gap between cells, and the view options that hold them with the
// captions switch. Plain values with change events; no GUI.

#include <functional>
#include <string>

namespace quorvane {

// The display filter. Every setter fires OnChange when the value changes.
class DisplayFilter {
 public:
  bool Folders() const { return folders_; }  // true
  void SetFolders(bool value);
  bool NonFolders() const { return nonFolders_; }  // true
  void SetNonFolders(bool value);
  bool Hidden() const { return hidden_; }  // true: names beginning with "."
  void SetHidden(bool value);
  // Name patterns separated by ";": whole names and "*" + extension; "*.*" anywhere
  // switches filtering off.
  const std::string& Ext() const { return ext_; }  // "*.*"
  void SetExt(const std::string& value);
  // ";" + the lower-cased patterns + ";" (";*.*;" when Ext is empty).
  const std::string& MatchList() const { return matchList_; }
  // True when ";*.*;" does not occur in the match list.
  bool Restrictive() const;
  // The filter test on a path's file-name part.
  bool Match(const std::string& path) const;

  std::function<void(DisplayFilter&)> OnChange;

 private:
  void Changed() {
    if (OnChange) OnChange(*this);
  }
  bool folders_ = true, nonFolders_ = true, hidden_ = true;
  std::string ext_ = "*.*";
  std::string matchList_ = ";*.*;";
};

// The gap between cells.
class IconSpacingOptions {
 public:
  int X() const { return x_; }  // 15
  void SetX(int value);
  int Y() const { return y_; }  // 32
  void SetY(int value);
  void Assign(const IconSpacingOptions& other);
  std::function<void(IconSpacingOptions&)> OnChange;

 private:
  int x_ = 15, y_ = 32;
};

// View options: captions, the display filter and the icon spacing. OnChange1 fires when
// the filter changes, OnChange2 when the captions or the spacing change.
class ViewOptions {
 public:
  ViewOptions();
  ViewOptions(const ViewOptions&) = delete;
  ViewOptions& operator=(const ViewOptions&) = delete;

  bool ShowCaptions() const { return showCaptions_; }  // true
  void SetShowCaptions(bool value);
  DisplayFilter& DispTypes() { return dispTypes_; }
  const DisplayFilter& DispTypes() const { return dispTypes_; }
  IconSpacingOptions& IconSpacing() { return iconSpacing_; }
  const IconSpacingOptions& IconSpacing() const { return iconSpacing_; }

  std::function<void(ViewOptions&)> OnChange1;
  std::function<void(ViewOptions&)> OnChange2;

 private:
  bool showCaptions_ = true;
  DisplayFilter dispTypes_;
  IconSpacingOptions iconSpacing_;
};

}  // namespace quorvane
