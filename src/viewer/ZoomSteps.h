#pragma once
// The viewer's zoom factors: a fixed ladder from 5 % to 1600 %; a step from any factor
// goes to the next rung above or below it.

namespace quorvane {

inline constexpr double kMinZoom = 0.05;
inline constexpr double kMaxZoom = 16.0;

// The next rung above `zoom` (up) or below it; stays at the ends of the ladder.
double ZoomStep(double zoom, bool up);

}  // namespace quorvane
