#include "processing/ConvertPreset.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace quorvane {

namespace {

constexpr const char* kSuffix = ".conf";

std::string Trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

}  // namespace

std::string PresetFolder() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  std::string base;
  if (config && config[0] == '/') {
    base = config;
  } else {
    const char* home = std::getenv("HOME");
    base = std::string(home && home[0] ? home : "/") + "/.config";
  }
  return base + "/quorvane/presets";
}

std::string PresetPath(const std::string& name) {
  const bool control = std::any_of(name.begin(), name.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x20; });
  if (name.empty() || name[0] == '.' || name.find('/') != std::string::npos || control ||
      name.size() > 200)
    throw PresetError("invalid preset name '" + name +
                      "' (a file name without '/', not starting with '.')");
  return PresetFolder() + "/" + name + kSuffix;
}

PresetData ReadPresetFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    if (access(path.c_str(), F_OK) != 0)
      throw PresetError("no preset file " + path + " (see --list-presets)");
    throw PresetError("cannot read the preset file " + path);
  }
  PresetData preset;
  std::string section;
  std::string line;
  int number = 0;
  auto damaged = [&](const std::string& why) {
    throw PresetError("damaged preset file " + path + ", line " + std::to_string(number) + ": " +
                      why);
  };
  while (std::getline(in, line)) {
    ++number;
    line = Trimmed(line);
    if (line.empty() || line[0] == '#' || line[0] == ';') continue;
    if (line.find('\0') != std::string::npos) damaged("a NUL byte");
    if (line.front() == '[') {
      if (line.back() != ']') damaged("a section header without ']'");
      section = Trimmed(line.substr(1, line.size() - 2));
      if (section != "convert" && section != "operations")
        damaged("unknown section [" + section + "]");
      continue;
    }
    const size_t eq = line.find('=');
    if (eq == std::string::npos) damaged("'key=value' expected");
    const std::string key = Trimmed(line.substr(0, eq));
    const std::string value = Trimmed(line.substr(eq + 1));
    if (key.empty()) damaged("a value without a key");
    if (section == "convert") {
      preset.settings.emplace_back(key, value);
    } else if (section == "operations") {
      if (key != std::to_string(preset.operations.size() + 1))
        damaged("operation " + std::to_string(preset.operations.size() + 1) + " expected, not '" +
                key + "'");
      if (value.empty()) damaged("an empty operation");
      preset.operations.push_back(value);
    } else {
      damaged("a setting before any section");
    }
  }
  if (in.bad()) throw PresetError("cannot read the preset file " + path);
  if (number == 0) throw PresetError("damaged preset file " + path + ": it is empty");
  return preset;
}

void WritePresetFile(const std::string& path, const PresetData& preset) {
  std::ostringstream out;
  out << "# quorvane-convert preset\n[convert]\n";
  for (const auto& [key, value] : preset.settings) out << key << '=' << value << '\n';
  out << "[operations]\n";
  for (size_t i = 0; i < preset.operations.size(); ++i)
    out << i + 1 << '=' << preset.operations[i] << '\n';
  const std::filesystem::path file(path);
  std::error_code ec;
  std::filesystem::create_directories(file.parent_path(), ec);
  const std::string temp = path + ".tmp" + std::to_string(getpid());
  {
    std::ofstream o(temp, std::ios::binary | std::ios::trunc);
    o << out.str();
    o.close();
    if (!o) {
      std::filesystem::remove(temp, ec);
      throw PresetError("cannot write the preset file " + path);
    }
  }
  std::filesystem::rename(temp, file, ec);
  if (ec) {
    std::filesystem::remove(temp, ec);
    throw PresetError("cannot write the preset file " + path + ": " + ec.message());
  }
}

std::vector<std::string> ListPresets() {
  std::vector<std::string> names;
  std::error_code ec;
  const std::string suffix = kSuffix;
  for (const auto& entry : std::filesystem::directory_iterator(PresetFolder(), ec)) {
    const std::string name = entry.path().filename().string();
    if (name.size() > suffix.size() && name[0] != '.' &&
        name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
      names.push_back(name.substr(0, name.size() - suffix.size()));
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace quorvane
