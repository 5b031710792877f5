#pragma once
// Shared by the grid's Qt tests: picture files, a shown grid, and reading its pixels.

#include <QHeaderView>
#include <QImage>
#include <QTest>
#include <filesystem>
#include <memory>
#include <string>

#include "imaging/BmpFile.h"
#include "support/TestDir.h"
#include "thumbnails/ui/ImgListView.h"

namespace quorvane::test {

// A BMP file of one colour.
inline std::string WritePicture(const TestDir& dir, const std::string& name, int w, int h,
                                RgbColor color) {
  Bitmap picture(w, h);
  picture.Fill(color);
  const std::string path = dir.file(name);
  WriteBmpFile(path, picture);
  return path;
}

inline void MakeFolder(const TestDir& dir, const std::string& name) {
  std::filesystem::create_directories(dir.file(name));
}

// A grid in thumbnail style, multi-select, shown at a size and opened on a folder.
inline std::unique_ptr<ImgListView> ShowGrid(const std::string& folder, QSize size = {620, 420}) {
  auto view = std::make_unique<ImgListView>();
  view->SetIconStyle(iisImage);
  view->SetMultiSelect(true);
  view->resize(size);
  view->OpenFolder(folder);
  view->show();
  if (!QTest::qWaitForWindowExposed(view.get())) return nullptr;
  return view;
}

inline QColor ColorOf(RgbColor c) { return QColor(GetRValue(c), GetGValue(c), GetBValue(c)); }

// The viewport as painted now.
inline QImage Grab(ImgListView& view) {
  return view.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// Row of an item by its display name, -1 when absent.
inline int RowOf(ImgListView& view, const std::string& name) {
  for (int i = 0; i < view.Count(); ++i)
    if (view.Item(i)->DisplayName() == name) return i;
  return -1;
}

}  // namespace quorvane::test
