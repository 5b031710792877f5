#pragma once
// The command line's view of a batch: memo lines on standard output, the reason for
// each failure on standard error (quiet or not), a progress bar on standard error when
// that is a terminal, no pauses.

#include <cstdio>
#include <string>

#include "processing/ConvertEngine.h"

namespace quorvane {

class ConsoleHost : public ConvertHost {
 public:
  ConsoleHost(bool quiet, bool progressBar) : quiet_(quiet), progressBar_(progressBar) {}

  void MemoLine(const std::string& line) override;
  void FileFailed(const std::string& path, const FileFailure& failure) override;
  void SetErrorText(const std::string& text) override;
  void SetProgressRange(int maximum) override;
  void SetProgress(int position) override;
  void FileDone(const std::string& source, FileOutcome outcome, const FileRecord& record,
                const FileFailure& failure) override;
  // Takes the progress bar off the terminal.
  void Finish();

  // Writes one JSON line per file to `report` (null: none), flushed as each file ends;
  // `dryRun` marks the lines of a run that wrote nothing.
  void SetReport(std::FILE* report, bool dryRun) {
    report_ = report;
    dryRun_ = dryRun;
  }

 private:
  void DrawBar();
  void EraseBar();

  bool quiet_;
  bool progressBar_;
  bool barShown_ = false;
  int maximum_ = 0;
  int position_ = 0;
  std::FILE* report_ = nullptr;
  bool dryRun_ = false;
};

// A text as a JSON string: bytes that are no UTF-8 become the escapes \udc80..\udcff
// (as Python's "surrogateescape" reads them back).
std::string JsonString(const std::string& text);
// One report line (without its line end).
std::string ReportLine(const std::string& source, FileOutcome outcome, const FileRecord& record,
                       const FileFailure& failure, bool dryRun);

}  // namespace quorvane
