#pragma once
// Presets for the window: the same files and the same reading as quorvane-convert
// --preset and --save-preset (ConvertOptions), so a preset runs alike in both.

#include <string>
#include <vector>

#include "processing/ConvertParams.h"

namespace quorvane {

// A saved preset as the window lists it: its name and, when it cannot be run, why
// (the converter's message; empty for a sound preset).
struct PresetEntry {
  std::string Name;
  std::string Problem;
};

// Every saved preset, sorted by name, each checked by reading it as the converter does.
std::vector<PresetEntry> ListPresetEntries();

// The batch preset `name` makes of `files` (full paths): its settings, and its
// operation or its whole chain. Throws UsageError (ConvertOptions.h) with the
// converter's message for an unknown or damaged preset.
ConvertParams PresetBatch(const std::string& name, const std::vector<std::string>& files);

// Saves preset `name` from quorvane-convert options (long names with their values,
// e.g. {"--format", "webp", "--long-side", "2048", "--shrink-only"}), exactly as
// `quorvane-convert OPTIONS --save-preset NAME` would. Throws UsageError for options
// the converter refuses and PresetError (ConvertPreset.h) when the file cannot be
// written; nothing is written then.
void SavePresetFromOptions(const std::string& name, std::vector<std::string> options);

}  // namespace quorvane
