#pragma once
// The dates pictures were taken, for the grid's "찍은 날짜" order: a cache of them kept
// on disk with each file's size and modification time (so a second visit sorts at once
// and a changed file is read again), and the reading of the missing ones through the
// metadata helper.

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace quorvane {

// One file whose date is asked for, as the grid saw it.
struct TakenQuery {
  std::string path;
  int64_t size = 0;
  int64_t mtime = 0;
};

// `has` false: the file has no date taken.
struct TakenAnswer {
  bool has = false;
  int64_t seconds = 0;  // since the epoch
};

class TakenDateCache {
 public:
  // Loads `file` when it is there; a missing or damaged file is an empty cache.
  explicit TakenDateCache(std::string file);
  // $XDG_CACHE_HOME/quorvane/dates-taken, else ~/.cache/quorvane/dates-taken.
  static std::string DefaultFile();

  // The stored answer for the file, when its size and modification time still match.
  bool Find(const TakenQuery& query, TakenAnswer& answer) const;
  void Put(const TakenQuery& query, const TakenAnswer& answer);
  // Writes the cache (temporary file, then rename) when it changed; false when it
  // could not be written. Safe from any thread.
  bool Save();
  size_t Size() const;

  // Entries kept at most; the file stays within a few megabytes.
  static constexpr size_t kMaxEntries = 200000;

 private:
  struct Entry {
    int64_t size, mtime;
    TakenAnswer answer;
  };
  std::string file_;
  mutable std::mutex mutex_;
  std::unordered_map<std::string, Entry> entries_;
  bool dirty_ = false;
};

// Answers each query, from the cache or else through metadata helpers, one a core
// (putting what they read into the cache). Stops early when `stop` becomes true: the answers left are
// then `has` false. The order of the answers is the order of the queries.
std::vector<TakenAnswer> ReadTakenDates(const std::vector<TakenQuery>& queries,
                                        TakenDateCache& cache, const std::atomic<bool>& stop);

}  // namespace quorvane
