#pragma once
// What the thumbnail loader needs from the platform layer: file icons and text drawing.
// The Qt layer implements both; the loader does not own them.

#include <string>

#include "imaging/Bitmap.h"
#include "imaging/RgbColor.h"

namespace quorvane {

// The loader's font for text previews.
struct FontSpec {
  std::string Name;  // family; empty: the platform's fixed-pitch default
  int Size = 12;     // points
  RgbColor Color = clBlack;
  bool Bold = false;
  bool Italic = false;
  bool operator==(const FontSpec&) const = default;
};

class FileIconProvider {
 public:
  virtual ~FileIconProvider() = default;
  // Number of icons a program file (".exe", ".dll") carries; 0 when none.
  virtual int IconCount(const std::string& FileName) = 0;
  // Draws an icon of the file over `Background` into `Icon`, which takes the icon's
  // size. Index 0: the file's own first icon or the icon of its type; another index:
  // the icon with that number in the file. False when there is no icon.
  virtual bool DrawIcon(const std::string& FileName, int Index, RgbColor Background,
                        Bitmap& Icon) = 0;
};

class TextPainter {
 public:
  virtual ~TextPainter() = default;
  // Height in pixels of `Text` (one line) in the font.
  virtual int TextHeight(const FontSpec& Font, const std::string& Text) = 0;
  // Draws `Text` (UTF-8, lines separated by CR LF, tabs expanded) into the whole canvas
  // from its top-left corner, over `Background`; text beyond the canvas is clipped.
  virtual void DrawText(Bitmap& Canvas, const std::string& Text, const FontSpec& Font,
                        RgbColor Background) = 0;
};

}  // namespace quorvane
