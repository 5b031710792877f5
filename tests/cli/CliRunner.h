#pragma once
// Runs the built quorvane-convert through the shell and collects what it printed.

#include <sys/wait.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "support/TestDir.h"

namespace quorvane::test {

struct CliResult {
  int exitCode = -1;
  std::string out;
  std::string err;
  std::vector<std::string> lines;  // stdout split into lines
};

inline const std::string& ConverterBinary() {
  static const std::string path = std::string(QUORVANE_BINARY_DIR) + "/quorvane-convert";
  return path;
}

// The shell command that runs `binary` with `args` in `cwd`, `env` prefixed.
inline std::string ConverterCommand(const std::string& binary, const std::vector<std::string>& args,
                                    const std::string& env, const std::string& cwd) {
  std::string command = "cd " + ShellQuote(cwd) + " && " + env + " " + ShellQuote(binary);
  for (const std::string& a : args) command += " " + ShellQuote(a);
  return command;
}

// Splits the output into lines and fills the result.
inline CliResult CollectResult(int exitCode, std::string out, std::string err) {
  CliResult r;
  r.exitCode = exitCode;
  r.out = std::move(out);
  r.err = std::move(err);
  std::istringstream lines(r.out);
  for (std::string line; std::getline(lines, line);) r.lines.push_back(line);
  return r;
}

// Runs `command` (a shell command), standard error into `errFile`.
inline CliResult RunShell(const std::string& command, const std::string& errFile) {
  FILE* pipe = popen((command + " 2>" + ShellQuote(errFile)).c_str(), "r");
  if (!pipe) return {};
  std::string out;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  const int status = pclose(pipe);
  return CollectResult(WIFEXITED(status) ? WEXITSTATUS(status) : -1, out, ReadFileBytes(errFile));
}

}  // namespace quorvane::test
