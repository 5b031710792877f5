#pragma once
// Command-line options of quorvane-convert, turned into the parameters of one batch.

#include <stdexcept>
#include <string>
#include <vector>

#include "processing/ConvertParams.h"

namespace quorvane {

// A command line that cannot be used; the message says why.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct ConvertOptions {
  ConvertParams Params;  // FileList as given; OutputFolder "" until ResolvePaths
  int Jobs = 1;          // worker processes
  bool Quiet = false;    // no memo lines
  bool Help = false;     // --help: print the usage and do nothing else
};

inline constexpr int kMaxJobs = 64;

// Parses the arguments after the program name. Throws UsageError for an unknown
// option, a missing or bad value, two operations, or no file.
ConvertOptions ParseConvertOptions(const std::vector<std::string>& args);

// Makes every file path absolute against `currentDir` and, when no output folder was
// given, sets it to the first file's folder + "/quorvane-conv". An output folder
// loses its trailing "/".
void ResolvePaths(ConvertOptions& options, const std::string& currentDir);

// The text of --help.
std::string ConvertUsageText();

}  // namespace quorvane
