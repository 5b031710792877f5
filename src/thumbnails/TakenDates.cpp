#include "thumbnails/TakenDates.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <thread>

#include "imaging/CodecClient.h"
#include "imaging/DateTaken.h"
#include "imaging/ExifMeta.h"
#include "platform/CoreCount.h"
#include "platform/FileIO.h"
#include "platform/FileNames.h"
#include "platform/PathAccess.h"
#include "platform/StagedFile.h"
#include "thumbnails/ThumbnailCacheFile.h"

namespace quorvane {

namespace {

// The file: this line, then per file its path, a zero byte, and
// "<size> <mtime> <has> <seconds>\n". A path holds no zero byte.
constexpr char kHeader[] = "quorvane dates taken 1\n";

}  // namespace

TakenDateCache::TakenDateCache(std::string file) : file_(std::move(file)) {
  std::vector<uint8_t> bytes;
  std::string error;
  if (file_.empty() || !ReadWholeFile(file_, bytes, error)) return;
  const size_t header = sizeof kHeader - 1;
  if (bytes.size() < header || std::memcmp(bytes.data(), kHeader, header) != 0) return;
  const char* p = reinterpret_cast<const char*>(bytes.data()) + header;
  const char* end = reinterpret_cast<const char*>(bytes.data()) + bytes.size();
  while (p < end && entries_.size() < kMaxEntries) {
    const char* zero = static_cast<const char*>(std::memchr(p, 0, size_t(end - p)));
    if (!zero) break;
    const char* line = static_cast<const char*>(std::memchr(zero, '\n', size_t(end - zero)));
    if (!line) break;
    const std::string numbers(zero + 1, line);
    Entry e{};
    int has = 0;
    if (zero > p && std::sscanf(numbers.c_str(), "%" SCNd64 " %" SCNd64 " %d %" SCNd64, &e.size,
                                &e.mtime, &has, &e.answer.seconds) == 4) {
      e.answer.has = has != 0;
      entries_[std::string(p, zero)] = e;
    }
    p = line + 1;
  }
}

std::string TakenDateCache::DefaultFile() { return JoinPath(UserCacheFolder(), "dates-taken"); }

bool TakenDateCache::Find(const TakenQuery& query, TakenAnswer& answer) const {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto it = entries_.find(query.path);
  if (it == entries_.end() || it->second.size != query.size || it->second.mtime != query.mtime)
    return false;
  answer = it->second.answer;
  return true;
}

void TakenDateCache::Put(const TakenQuery& query, const TakenAnswer& answer) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (entries_.size() >= kMaxEntries && !entries_.count(query.path))
    entries_.erase(entries_.begin());  // an old entry makes room
  entries_[query.path] = Entry{query.size, query.mtime, answer};
  dirty_ = true;
}

size_t TakenDateCache::Size() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return entries_.size();
}

bool TakenDateCache::Save() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!dirty_ || file_.empty()) return true;
  const std::string folder = ExtractFileDir(file_);
  if (!folder.empty() && !MakeFolders(folder, 0700)) return false;
  std::string text = kHeader;
  char numbers[96];
  for (const auto& [path, e] : entries_) {
    text += path;
    text.push_back('\0');
    const int n = std::snprintf(numbers, sizeof numbers, "%" PRId64 " %" PRId64 " %d %" PRId64 "\n",
                                e.size, e.mtime, e.answer.has ? 1 : 0, e.answer.seconds);
    text.append(numbers, size_t(n));
  }
  StagedFile staged(file_, "", 0600, Durability::Cache);
  if (!staged.Ok() || !WriteFullyAt(staged.Fd(), 0, text.data(), text.size()) ||
      staged.Replace() != 0)
    return false;
  dirty_ = false;
  return true;
}

std::vector<TakenAnswer> ReadTakenDates(const std::vector<TakenQuery>& queries,
                                        TakenDateCache& cache, const std::atomic<bool>& stop) {
  std::vector<TakenAnswer> answers(queries.size());
  std::vector<size_t> missing;
  for (size_t i = 0; i < queries.size(); ++i)
    if (!cache.Find(queries[i], answers[i])) missing.push_back(i);
  // A metadata helper per core: the files are shared out, each thread asks its own.
  const size_t workers = std::min<size_t>(size_t(std::clamp(CoreCount(), 1, 4)),
                                          (missing.size() + 31) / 32);
  std::atomic<size_t> next{0};
  auto work = [&] {
    CodecClient meta(MetaClientOptions());
    const ThreadHelpers before = CurrentThreadHelpers();
    SetThreadHelpers({before.codec, &meta});
    for (size_t k = next++; k < missing.size() && !stop; k = next++) {
      const size_t i = missing[k];
      DateTaken date;
      if (ReadDateTaken(queries[i].path, date)) answers[i] = {true, DateTakenSeconds(date)};
      cache.Put(queries[i], answers[i]);
    }
    SetThreadHelpers(before);
  };
  std::vector<std::thread> threads;
  for (size_t t = 1; t < workers; ++t) threads.emplace_back(work);
  if (!missing.empty()) work();
  for (std::thread& thread : threads) thread.join();
  return answers;
}

}  // namespace quorvane
