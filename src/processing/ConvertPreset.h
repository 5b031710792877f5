#pragma once
// Saved batch settings: presets as INI files under $XDG_CONFIG_HOME/quorvane/presets/
// (~/.config when it is unset), NAME.conf each, shared by the command line and the
// window:
//
//   [convert]
//   format=webp
//   quality=80
//   strip=true
//   [operations]
//   1=long-side 2048
//   2=color 10,0,0
//
// [convert] holds settings by their long option names (a switch as "true"), and
// [operations] the operations in order, each as its option's name and value.

#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace quorvane {

class PresetError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct PresetData {
  std::vector<std::pair<std::string, std::string>> settings;  // in the file's order
  std::vector<std::string> operations;                        // "long-side 2048"
};

// The presets' folder.
std::string PresetFolder();
// The file of preset `name`; throws PresetError for a name that cannot be a file name
// (empty, starting with ".", holding "/" or a control character).
std::string PresetPath(const std::string& name);
// Reads a preset file; throws PresetError naming the file (and line) when it does not
// exist, cannot be read, or does not parse.
PresetData ReadPresetFile(const std::string& path);
// Writes a preset file whole (a temporary file renamed over it), making its folder;
// throws PresetError when it cannot.
void WritePresetFile(const std::string& path, const PresetData& preset);
// The names of the saved presets, sorted.
std::vector<std::string> ListPresets();

}  // namespace quorvane
