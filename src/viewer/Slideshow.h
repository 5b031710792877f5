#pragma once
// The slideshow's order: the pictures of the list in its order, folders passed over;
// after the last picture the first again when it loops, else the end.

#include "viewer/ViewerSource.h"

namespace quorvane {

struct SlideshowOptions {
  static constexpr int kMinSeconds = 1;
  static constexpr int kMaxSeconds = 60;
  int seconds = 4;    // how long each picture shows, kMinSeconds..kMaxSeconds
  bool loop = false;  // "반복": the first picture again after the last
};

// The picture shown after item `current` (-1 at the end, or when the list holds no
// picture).
int NextSlide(const ViewerSource& source, int current, bool loop);

}  // namespace quorvane
