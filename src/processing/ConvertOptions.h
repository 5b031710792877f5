#pragma once
// Command-line options of quorvane-convert, turned into the parameters of one batch.

#include <array>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "processing/ConvertParams.h"
#include "processing/ConvertPreset.h"

namespace quorvane {

// The values of --dither, by DitherIndex, and of --on-exists, in the order of OnExists.
inline constexpr std::array<std::string_view, 5> kDitherNames = {
    "nearest", "floyd-steinberg", "stucki", "sierra", "burkes"};
inline constexpr std::array<std::string_view, 4> kOnExistsNames = {"overwrite", "skip", "rename",
                                                                   "error"};

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
  bool Recursive = false;      // -r: folders give the pictures under them
  bool Hidden = false;         // --hidden: with -r, names starting with "." too
  std::string FilesFrom;       // --files-from: more names, from a file ("-": standard input)
  bool NullSeparated = false;  // -0: those names are NUL-separated
  std::string ReportFile;      // --report: JSON Lines, one object per file
  std::string SavePreset;      // --save-preset NAME
  bool ListPresets = false;    // --list-presets
  // The settings and operations given (a preset's and the command line's), as
  // --save-preset stores them.
  PresetData Preset;
};

// Copies the fields of one operation (OpCode and its values) from `from` into `to`.
void CopyOperation(const ConvertParams& from, ConvertParams& to);

inline constexpr int kMaxJobs = 64;

// Parses the arguments after the program name; with --preset NAME, the preset's
// settings come first and the command line's win. Throws UsageError for an unknown
// option, a missing or bad value, an unknown or damaged preset, or no file.
ConvertOptions ParseConvertOptions(const std::vector<std::string>& args);

// Makes every file path absolute against `currentDir` and, when no output folder was
// given, sets it to the first file's folder + "/quorvane-conv". An output folder
// loses its trailing "/".
void ResolvePaths(ConvertOptions& options, const std::string& currentDir);

// The text of --help.
std::string ConvertUsageText();

}  // namespace quorvane
