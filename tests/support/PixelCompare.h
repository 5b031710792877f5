#pragma once
// Comparing pictures in tests.

#include <gtest/gtest.h>

#include <cstdlib>

#include "imaging/Bitmap.h"

namespace quorvane::test {

// The mean difference of the colour bytes of two pictures of the same size.
inline double MeanDifference(const Bitmap& a, const Bitmap& b) {
  EXPECT_EQ(a.Width(), b.Width());
  EXPECT_EQ(a.Height(), b.Height());
  if (a.Width() != b.Width() || a.Height() != b.Height() || a.Empty()) return 255;
  double sum = 0;
  for (int y = 0; y < a.Height(); ++y)
    for (int x = 0; x < a.Width() * 3; ++x)
      sum += std::abs(int(a.ScanLine(y)[x]) - int(b.ScanLine(y)[x]));
  return sum / (double(a.Width()) * a.Height() * 3);
}

}  // namespace quorvane::test
