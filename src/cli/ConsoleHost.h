#pragma once
// The command line's view of a batch: memo lines on standard output, the reason for
// each failure on standard error (quiet or not), a progress bar on standard error when
// that is a terminal, no pauses.

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
  // Takes the progress bar off the terminal.
  void Finish();

 private:
  void DrawBar();
  void EraseBar();

  bool quiet_;
  bool progressBar_;
  bool barShown_ = false;
  int maximum_ = 0;
  int position_ = 0;
};

}  // namespace quorvane
