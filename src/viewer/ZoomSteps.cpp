#include "viewer/ZoomSteps.h"

#include <iterator>

namespace quorvane {

namespace {

constexpr double kRungs[] = {0.05, 0.10, 0.15, 0.20, 0.25, 1.0 / 3, 0.50, 2.0 / 3, 1.0,
                             1.50, 2.00, 3.00, 4.00, 6.00, 8.00, 12.0, 16.0};
// Factors this close count as equal (a fitted factor just below a rung steps past it).
constexpr double kSame = 1e-6;

}  // namespace

double ZoomStep(double zoom, bool up) {
  if (up) {
    for (double rung : kRungs)
      if (rung > zoom + kSame) return rung;
    return kMaxZoom;
  }
  for (auto it = std::rbegin(kRungs); it != std::rend(kRungs); ++it)
    if (*it < zoom - kSame) return *it;
  return kMinZoom;
}

}  // namespace quorvane
