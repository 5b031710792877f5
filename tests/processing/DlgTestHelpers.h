#pragma once
// Helpers for the dialog tests: typing into a numeric field the way a user does, and
// pictures to preview.

#include <QTest>
#include <QWidget>
#include <cmath>
#include <string>

#include "processing/ui/NumberField.h"
#include "imaging/Bitmap.h"
#include "imaging/BmpFile.h"
#include "support/TestDir.h"

namespace quorvane::test {

// Clicks into the field, selects its text and types over it.
inline void TypeInto(NumberField* field, const QString& text) {
  field->setFocus(Qt::MouseFocusReason);
  field->selectAll();
  QTest::keyClicks(field, text);
}

inline void PressKey(QWidget* widget, Qt::Key key) { QTest::keyClick(widget, key); }

// Moves the focus to another control, as a click or Tab would.
inline void LeaveTo(QWidget* other) { other->setFocus(Qt::TabFocusReason); }

// A colourful picture with smooth gradients and edges, like a landscape photo: sky,
// sun, hills, a red house.
inline Bitmap PhotoLike(int width, int height) {
  Bitmap bmp(width, height);
  for (int y = 0; y < height; ++y) {
    uint8_t* row = bmp.ScanLine(y);
    const double v = double(y) / height;
    for (int x = 0; x < width; ++x) {
      const double u = double(x) / width;
      double r = 90 + 120 * v, g = 150 + 80 * v, b = 245 - 30 * v;  // sky
      const double sun = std::hypot(u - 0.78, (v - 0.22) * height / width);
      if (sun < 0.07) r = 255, g = 225 - 400 * sun, b = 90;
      const double hill = 0.62 + 0.08 * std::sin(u * 9.0) + 0.05 * std::sin(u * 23.0 + 1);
      if (v > hill) {
        const double shade = 0.75 + 0.25 * std::sin(u * 40 + v * 30);
        r = 40 * shade + 60 * (v - hill), g = 150 * shade, b = 50 * shade;
      }
      if (u > 0.2 && u < 0.36 && v > 0.5 && v < 0.78) r = 200, g = 50 + 40 * v, b = 40;
      if (u > 0.25 && u < 0.3 && v > 0.6 && v < 0.78) r = 90, g = 60, b = 30;
      row[x * 3 + 0] = uint8_t(std::clamp(b, 0.0, 255.0));
      row[x * 3 + 1] = uint8_t(std::clamp(g, 0.0, 255.0));
      row[x * 3 + 2] = uint8_t(std::clamp(r, 0.0, 255.0));
    }
  }
  return bmp;
}

// Writes the picture as a BMP file under `dir` and answers its path.
inline std::string WriteBmpPicture(const TestDir& dir, const std::string& name,
                                   const Bitmap& picture) {
  const std::string path = dir.file(name);
  WriteBmpFile(path, picture);
  return path;
}

}  // namespace quorvane::test
