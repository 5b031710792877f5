#pragma once
// The number of cores the program may use (at least 1).

#include <thread>

namespace quorvane {

inline int CoreCount() {
  const unsigned n = std::thread::hardware_concurrency();
  return n > 0 ? int(n) : 1;
}

}  // namespace quorvane
