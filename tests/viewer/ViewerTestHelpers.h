#pragma once
// What the viewer tests share: a list of items standing in for the grid, and pictures
// written for it.

#include <string>
#include <utility>
#include <vector>

#include "imaging/BmpFile.h"
#include "imaging/JpegCodec.h"
#include "support/TestDir.h"
#include "viewer/ui/ViewerWindow.h"

namespace quorvane::test {

class ListSource : public ViewerSource {
 public:
  std::vector<std::pair<std::string, bool>> items;  // path, folder
  int selected = -1;
  int ItemCount() const override { return int(items.size()); }
  std::string ItemPath(int index) const override { return items.at(size_t(index)).first; }
  bool ItemIsFolder(int index) const override { return items.at(size_t(index)).second; }
  int SelectedIndex() const override { return selected; }
};

inline std::string WriteBmp(const TestDir& dir, const std::string& name, int width, int height) {
  const std::string path = dir.file(name);
  WriteBmpFile(path, PatternBitmap(width, height));
  return path;
}

inline std::string WriteJpeg(const TestDir& dir, const std::string& name, int width, int height) {
  const std::vector<uint8_t> bytes = EncodeJpeg(PatternBitmap(width, height), 90);
  return dir.write(name, std::string(bytes.begin(), bytes.end()));
}

}  // namespace quorvane::test
