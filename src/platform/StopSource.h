#pragma once
// Something long-running work can ask whether it should stop: the worker's execution
// thread in the program, a flag in tests and in the command-line converter.

#include <atomic>

namespace quorvane {

class StopSource {
 public:
  virtual ~StopSource() = default;
  virtual bool Terminated() const = 0;
};

// A stop source that is a plain atomic flag.
class StopFlag : public StopSource {
 public:
  bool Terminated() const override { return flag_.load(std::memory_order_relaxed); }
  void Terminate() { flag_.store(true, std::memory_order_relaxed); }
  void Reset() { flag_.store(false, std::memory_order_relaxed); }

 private:
  std::atomic<bool> flag_{false};
};

inline bool StopRequested(const StopSource* stop) { return stop && stop->Terminated(); }

}  // namespace quorvane
