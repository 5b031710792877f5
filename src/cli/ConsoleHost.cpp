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

namespace {

// The length of the UTF-8 sequence at `at` (1..4), or 0 when it is none.
size_t Utf8Length(const std::string& s, size_t at) {
  const auto c = static_cast<unsigned char>(s[at]);
  size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
  if (n == 0 || at + n > s.size() || (n == 2 && c < 0xC2)) return 0;
  for (size_t k = 1; k < n; ++k)
    if ((static_cast<unsigned char>(s[at + k]) & 0xC0) != 0x80) return 0;
  const auto c1 = static_cast<unsigned char>(s[at + 1 < s.size() ? at + 1 : at]);
  if ((c == 0xE0 && c1 < 0xA0) || (c == 0xED && c1 >= 0xA0) || (c == 0xF0 && c1 < 0x90) ||
      (c == 0xF4 && c1 >= 0x90) || c > 0xF4)
    return 0;
  return n;
}

}  // namespace

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  char buffer[8];
  for (size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    const size_t n = Utf8Length(text, i);
    if (n == 0) {
      std::snprintf(buffer, sizeof buffer, "\\udc%02x", c);
      out += buffer;
      ++i;
    } else if (c == '"' || c == '\\') {
      out += '\\';
      out += char(c);
      ++i;
    } else if (c < 0x20) {
      std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
      out += buffer;
      ++i;
    } else {
      out.append(text, i, n);
      i += n;
    }
  }
  return out + "\"";
}

std::string ReportLine(const std::string& source, FileOutcome outcome, const FileRecord& r,
                       const FileFailure& failure, bool dryRun) {
  const char* status = outcome == FileOutcome::Saved     ? "ok"
                       : outcome == FileOutcome::Skipped ? "skipped"
                                                         : "failed";
  std::string reason;
  if (outcome == FileOutcome::Skipped)
    reason = "the target exists and existing files are skipped";
  else if (IsFailure(outcome))
    reason = FailureReasonText(failure);
  char ms[32];
  std::snprintf(ms, sizeof ms, "%.1f", r.Milliseconds);
  std::string line = "{\"source\":" + JsonString(source) + ",\"result\":" + JsonString(r.Result) +
                     ",\"status\":\"" + status + "\",\"reason\":" + JsonString(reason) +
                     ",\"bytes_in\":" + std::to_string(r.BytesIn) +
                     ",\"bytes_out\":" + std::to_string(r.BytesOut) +
                     ",\"width\":" + std::to_string(r.Width) +
                     ",\"height\":" + std::to_string(r.Height) +
                     ",\"quality\":" + std::to_string(r.Quality) + ",\"ms\":" + ms;
  if (dryRun) line += ",\"dry_run\":true";
  return line + "}";
}

void ConsoleHost::FileDone(const std::string& source, FileOutcome outcome, const FileRecord& record,
                           const FileFailure& failure) {
  if (!report_) return;
  const std::string line = ReportLine(source, outcome, record, failure, dryRun_) + "\n";
  std::fwrite(line.data(), 1, line.size(), report_);
  std::fflush(report_);
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
