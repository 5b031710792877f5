#pragma once
// The preview area of the operation dialogs: shows one 24-bit picture centred in an
// area of fixed size, and the helpers that turn the first selected file into the
// picture a preview starts from.

#include <QFrame>
#include <string>

#include "imaging/Bitmap.h"

namespace quorvane {

class PreviewBox : public QFrame {
  Q_OBJECT
 public:
  // An area of exactly areaWidth x areaHeight pixels inside a thin sunken frame.
  PreviewBox(int areaWidth, int areaHeight, QWidget* parent = nullptr);

  int AreaWidth() const { return areaWidth_; }
  int AreaHeight() const { return areaHeight_; }
  // The area in device pixels: previews are made at this size and drawn one to one,
  // sharp on a screen with a scale above 1.
  int PixelWidth() const { return int(areaWidth_ * devicePixelRatioF() + 0.5); }
  int PixelHeight() const { return int(areaHeight_ * devicePixelRatioF() + 0.5); }

  // Shows a copy of the picture (an empty one shows nothing).
  void Show(const Bitmap& picture);
  void Show(Bitmap&& picture);
  // The picture shown now.
  const Bitmap& Picture() const { return picture_; }
  // Where the picture is drawn, in the widget's coordinates (its pixels are device
  // pixels): centred in the area.
  QRect PictureRect() const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  int areaWidth_, areaHeight_;
  Bitmap picture_;
};

// Shrinks a picture that is wider or higher than the box into it, keeping its
// proportions (FitBitmap); a smaller picture keeps its size. A side that would come out
// 0 (a 1 x 2000 picture) is kept at 1, so every picture gets a preview.
void FitIntoPreview(Bitmap& picture, int boxWidth, int boxHeight);

// Reads `fileName` (ReadImageFile) and fits it into the box as above. False when the
// file cannot be read; `source` is then unchanged.
bool LoadPreviewSource(const std::string& fileName, int boxWidth, int boxHeight, Bitmap& source);

}  // namespace quorvane
