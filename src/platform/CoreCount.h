#pragma once
// The number of cores the program may run on (at least 1): those of its CPU affinity,
// so that `taskset` or a container's CPU set is respected.

#include <sched.h>

#include <thread>

namespace quorvane {

inline int CoreCount() {
  cpu_set_t set;
  if (sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0) return CPU_COUNT(&set);
  const unsigned n = std::thread::hardware_concurrency();
  return n > 0 ? int(n) : 1;
}

}  // namespace quorvane
