#pragma once
// Colour profiles made with lcms2 for the tests.

#include <cstdint>
#include <vector>

namespace quorvane::test {

// A Display P3 colour profile (D65, sRGB tone curve), as phones tag their photos.
std::vector<uint8_t> DisplayP3Profile();

}  // namespace quorvane::test
