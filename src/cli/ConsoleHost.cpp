#include "cli/ConsoleHost.h"

#include <cstdio>

namespace quorvane {

namespace {
constexpr int kBarWidth = 40;
}

void ConsoleHost::MemoLine(const std::string& line) {
  if (quiet_) return;
  EraseBar();
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
  DrawBar();
}

void ConsoleHost::FileFailed(const std::string& path, const FileFailure& failure) {
  EraseBar();
  const std::string line = "quorvane-convert: " + DescribeFailure(path, failure) + "\n";
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
  DrawBar();
}

void ConsoleHost::SetErrorText(const std::string& text) {
  EraseBar();
  std::fprintf(stdout, "%s\n", text.c_str());
  std::fflush(stdout);
  DrawBar();
}

void ConsoleHost::SetProgressRange(int maximum) {
  maximum_ = maximum;
  position_ = 0;
  DrawBar();
}

void ConsoleHost::SetProgress(int position) {
  position_ = position;
  DrawBar();
}

void ConsoleHost::Finish() {
  EraseBar();
  progressBar_ = false;
}

void ConsoleHost::DrawBar() {
  if (!progressBar_ || maximum_ <= 0) return;
  const int filled = int(int64_t(position_) * kBarWidth / maximum_);
  std::string bar(size_t(filled), '#');
  bar.append(size_t(kBarWidth - filled), '.');
  std::fprintf(stderr, "\r[%s] %d/%d", bar.c_str(), position_, maximum_);
  std::fflush(stderr);
  barShown_ = true;
}

void ConsoleHost::EraseBar() {
  if (!barShown_) return;
  std::fputs("\r\033[K", stderr);
  std::fflush(stderr);
  barShown_ = false;
}

}  // namespace quorvane
