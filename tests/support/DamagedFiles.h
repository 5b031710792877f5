#pragma once
// Damaged image files for robustness tests: a valid file of each listed extension and
// deterministic mutants of it.

#include <map>
#include <string>
#include <vector>

#include "support/TestDir.h"

namespace quorvane::test {

// A valid 48 x 32 file for each of the 19 image extensions, keyed by extension:
// written by ImageMagick, by the codec library (PCX and DDS, which it cannot read from
// ImageMagick) or by hand (CUT). The codec must be bound and initialised.
std::map<std::string, std::string> MakeSeedFiles(const TestDir& dir);

// `count` damaged copies of a file's bytes: truncated, bit-flipped, header fields set to
// extremes, stretches overwritten with noise. The same seed gives the same copies.
std::vector<std::string> Mutants(const std::string& file, unsigned seed, int count);

}  // namespace quorvane::test
