#include "cli/ParallelConvert.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <new>
#include <optional>
#include <vector>

namespace quorvane {

namespace {

// What a worker reports for one file.
struct FileReport {
  FileOutcome outcome = FileOutcome::Saved;
  std::vector<std::string> lines;
  FileFailure failure;
  FileRecord record;
};

// Memory shared by the parent and its workers.
struct SharedState {
  std::atomic<uint32_t> next{0};  // the first file no worker has taken yet
  std::atomic<bool> stop{false};  // set by the parent when it was asked to stop
};

// A worker stops when it is asked itself or when its parent was asked.
class WorkerStop : public StopSource {
 public:
  WorkerStop(const StopSource* own, const SharedState& shared) : own_(own), shared_(shared) {}
  bool Terminated() const override {
    return StopRequested(own_) || shared_.stop.load(std::memory_order_relaxed);
  }

 private:
  const StopSource* own_;
  const SharedState& shared_;
};

// Collects a file's lines inside a worker.
class BufferHost : public ConvertHost {
 public:
  std::vector<std::string> lines;
  FileFailure failure;
  FileRecord record;
  void MemoLine(const std::string& line) override { lines.push_back(line); }
  void FileFailed(const std::string&, const FileFailure& f) override { failure = f; }
  void FileDone(const std::string&, FileOutcome, const FileRecord& r,
                const FileFailure& f) override {
    record = r;
    failure = f;
  }
};

// Converts one file into a report.
FileReport ConvertToReport(ConvertEngine& engine, size_t index, const StopSource* stop) {
  BufferHost buffer;
  FileReport report;
  report.outcome = engine.ConvertFile(index, buffer, stop);
  report.lines = std::move(buffer.lines);
  report.failure = std::move(buffer.failure);
  report.record = std::move(buffer.record);
  return report;
}

// Record on the pipe: index, outcome, failure reason, line count, then the lines, the
// failure's target and detail, each text as length + bytes, then the file's record;
// all numbers in the machine's order (both ends are this program).
void PutU32(std::string& out, uint32_t v) { out.append(reinterpret_cast<const char*>(&v), 4); }

// The record's numbers and texts, as they travel.
template <typename Number, typename Text>
void EachRecordField(FileRecord& r, Number&& number, Text&& text) {
  text(r.Target);
  text(r.Result);
  number(&r.BytesIn, sizeof r.BytesIn);
  number(&r.BytesOut, sizeof r.BytesOut);
  number(&r.Width, sizeof r.Width);
  number(&r.Height, sizeof r.Height);
  number(&r.Quality, sizeof r.Quality);
  number(&r.Milliseconds, sizeof r.Milliseconds);
}

std::string EncodeReport(uint32_t index, const FileReport& report) {
  std::string out;
  PutU32(out, index);
  PutU32(out, uint32_t(report.outcome));
  PutU32(out, uint32_t(report.failure.Reason));
  PutU32(out, uint32_t(report.lines.size()));
  auto putText = [&out](const std::string& text) {
    PutU32(out, uint32_t(text.size()));
    out += text;
  };
  for (const std::string& line : report.lines) putText(line);
  putText(report.failure.Target);
  putText(report.failure.Detail);
  FileRecord record = report.record;
  EachRecordField(
      record, [&out](const void* v, size_t n) { out.append(static_cast<const char*>(v), n); },
      putText);
  return out;
}

// Takes one complete record off the front of `buffer`; false when it holds none yet.
bool TakeReport(std::string& buffer, uint32_t& index, FileReport& report) {
  size_t pos = 0;
  auto get = [&](uint32_t& v) {
    if (buffer.size() - pos < 4) return false;
    std::memcpy(&v, buffer.data() + pos, 4);
    pos += 4;
    return true;
  };
  auto getText = [&](std::string& text) {
    uint32_t len = 0;
    if (!get(len) || buffer.size() - pos < len) return false;
    text.assign(buffer, pos, len);
    pos += len;
    return true;
  };
  uint32_t outcome = 0, reason = 0, count = 0;
  if (!get(index) || !get(outcome) || !get(reason) || !get(count)) return false;
  std::vector<std::string> lines(count);
  for (std::string& line : lines)
    if (!getText(line)) return false;
  FileFailure failure;
  failure.Reason = FailReason(reason);
  if (!getText(failure.Target) || !getText(failure.Detail)) return false;
  FileRecord record;
  bool complete = true;
  EachRecordField(
      record,
      [&](void* v, size_t n) {
        if (!complete || buffer.size() - pos < n) {
          complete = false;
          return;
        }
        std::memcpy(v, buffer.data() + pos, n);
        pos += n;
      },
      [&](std::string& text) { complete = complete && getText(text); });
  if (!complete) return false;
  report.record = std::move(record);
  report.outcome = FileOutcome(outcome);
  report.lines = std::move(lines);
  report.failure = std::move(failure);
  buffer.erase(0, pos);
  return true;
}

bool WriteAll(int fd, const std::string& data) {
  size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = write(fd, data.data() + done, data.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += size_t(n);
  }
  return true;
}

// The body of a worker process: takes the next unclaimed file until none is left or
// Stop is set, sending each file's report to the parent. A file that shares its output
// name with an earlier one is left to the parent, which converts it once the earlier
// files' outcomes are known.
[[noreturn]] void WorkerMain(ConvertEngine& engine, const StopSource* ownStop, SharedState& shared,
                             int fd) {
  const WorkerStop stop(ownStop, shared);
  const uint32_t count = uint32_t(engine.Params.FileList.size());
  while (!stop.Terminated()) {
    const uint32_t index = shared.next.fetch_add(1);
    if (index >= count) break;
    if (engine.HasEarlierNamesake(index)) continue;
    if (!WriteAll(fd, EncodeReport(index, ConvertToReport(engine, index, &stop)))) break;
  }
  close(fd);
  _exit(0);
}

struct Worker {
  pid_t pid = -1;
  int fd = -1;
  std::string buffer;
};

// Starts up to `jobs` workers over the shared counter; answers those that started.
std::vector<Worker> StartWorkers(ConvertEngine& engine, const StopSource* stop, SharedState& shared,
                                 int jobs) {
  std::vector<Worker> workers;
  std::fflush(stdout);
  std::fflush(stderr);
  for (int k = 0; k < jobs; ++k) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) break;
    const pid_t pid = fork();
    if (pid == 0) {
      close(fds[0]);
      for (const Worker& w : workers) close(w.fd);
      WorkerMain(engine, stop, shared, fds[1]);
    }
    close(fds[1]);
    if (pid < 0) {
      close(fds[0]);
      break;
    }
    workers.push_back({pid, fds[0], {}});
  }
  return workers;
}

// Reads reports until every worker has closed its pipe, then reaps the workers. A stop
// of the parent reaches the workers through the shared state.
void CollectReports(std::vector<Worker>& workers, std::vector<std::optional<FileReport>>& reports,
                    const std::function<void()>& flush, const StopSource* stop,
                    SharedState& shared) {
  size_t open = workers.size();
  while (open > 0) {
    if (StopRequested(stop)) shared.stop.store(true);
    std::vector<pollfd> fds;
    std::vector<Worker*> owners;
    for (Worker& w : workers)
      if (w.fd >= 0) {
        fds.push_back({w.fd, POLLIN, 0});
        owners.push_back(&w);
      }
    if (poll(fds.data(), fds.size(), 100) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    for (size_t i = 0; i < fds.size(); ++i) {
      if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      Worker& w = *owners[i];
      char chunk[65536];
      const ssize_t n = read(w.fd, chunk, sizeof chunk);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        close(w.fd);
        w.fd = -1;
        --open;
        continue;
      }
      w.buffer.append(chunk, size_t(n));
      uint32_t index = 0;
      FileReport report;
      while (TakeReport(w.buffer, index, report))
        if (index < reports.size()) reports[index] = std::move(report);
      flush();
    }
  }
  for (Worker& w : workers) {
    if (w.fd >= 0) close(w.fd);
    int status = 0;
    while (waitpid(w.pid, &status, 0) < 0 && errno == EINTR) {
    }
  }
}

}  // namespace

void RunFilesInProcesses(ConvertEngine& engine, ConvertHost& host, const StopSource* stop,
                         int jobs) {
  const uint32_t count = uint32_t(engine.Params.FileList.size());
  // The counter of claimed files lives in memory shared with the workers.
  void* memory =
      mmap(nullptr, sizeof(SharedState), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
  if (memory == MAP_FAILED) {
    engine.RunFiles(host, stop);
    return;
  }
  SharedState& shared = *new (memory) SharedState;
  std::atomic<uint32_t>* next = &shared.next;
  std::vector<std::optional<FileReport>> reports(count);
  uint32_t printed = 0;
  // Hands every report that is next in file order to the host.
  auto flush = [&] {
    while (printed < count && reports[printed]) {
      const FileReport& report = *reports[printed];
      for (const std::string& line : report.lines) host.MemoLine(line);
      if (IsFailure(report.outcome))
        host.FileFailed(engine.Params.FileList[printed], report.failure);
      host.FileDone(engine.Params.FileList[printed], report.outcome, report.record, report.failure);
      host.SetProgress(int(printed + 1));
      engine.RecordOutcome(printed, report.outcome, &report.record);
      reports[printed]->lines.clear();
      ++printed;
    }
  };

  while (next->load() < count && !StopRequested(stop)) {
    const uint32_t left = count - next->load();
    std::vector<Worker> workers =
        StartWorkers(engine, stop, shared, int(std::min<uint32_t>(left, uint32_t(jobs))));
    if (workers.empty()) {
      // No process could be started: convert here.
      while (next->load() < count && !StopRequested(stop)) {
        const uint32_t index = next->fetch_add(1);
        reports[index] = ConvertToReport(engine, index, stop);
        flush();
      }
      break;
    }
    CollectReports(workers, reports, flush, stop, shared);
    // Files whose worker died before reporting them failed; the rest go to a new round.
    const uint32_t claimed = std::min(next->load(), count);
    for (uint32_t i = printed; i < claimed; ++i)
      if (!reports[i] && !engine.HasEarlierNamesake(i)) {
        FileReport lost;
        lost.outcome = FileOutcome::ConvertFailed;
        lost.lines = {FileLine(engine.Params.FileList[i], i + 1, count), kMemoConvertFailed};
        lost.failure.Reason = FailReason::WorkerDied;
        reports[i] = std::move(lost);
      }
    flush();
  }
  // The files left to the parent, in order: every earlier file has been counted by now.
  for (uint32_t i = printed; i < count && !StopRequested(stop); ++i)
    if (!reports[i] && engine.HasEarlierNamesake(i)) {
      reports[i] = ConvertToReport(engine, i, stop);
      flush();
    }
  if (StopRequested(stop)) {
    // Stopped with files left to the parent: those were never started; the files the
    // workers finished after them are still reported.
    while (printed < count) {
      if (reports[printed])
        flush();
      else
        ++printed;
    }
    engine.RecordStop();
  }
  shared.~SharedState();
  munmap(memory, sizeof(SharedState));
}

}  // namespace quorvane
