#include "processing/PresetBatch.h"

#include "processing/ConvertOptions.h"
#include "processing/ConvertPreset.h"

namespace quorvane {

std::vector<PresetEntry> ListPresetEntries() {
  std::vector<PresetEntry> entries;
  for (const std::string& name : ListPresets()) {
    PresetEntry entry{name, {}};
    try {
      PresetBatch(name, {"/"});
    } catch (const std::exception& e) {
      entry.Problem = e.what();
    }
    entries.push_back(std::move(entry));
  }
  return entries;
}

ConvertParams PresetBatch(const std::string& name, const std::vector<std::string>& files) {
  std::vector<std::string> args = {"--preset", name, "--"};
  args.insert(args.end(), files.begin(), files.end());
  return ParseConvertOptions(args).Params;
}

void SavePresetFromOptions(const std::string& name, std::vector<std::string> options) {
  options.push_back("--save-preset");
  options.push_back(name);
  const ConvertOptions parsed = ParseConvertOptions(options);
  WritePresetFile(PresetPath(name), parsed.Preset);
}

}  // namespace quorvane
