#include "processing/ConvertOptions.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <optional>
#include <utility>

#include "platform/FileNames.h"
#include "processing/ConvertPreset.h"
#include "processing/NameTemplate.h"

namespace quorvane {

namespace {

[[noreturn]] void Fail(const std::string& message) { throw UsageError(message); }

std::string Quoted(const std::string& text) { return "'" + text + "'"; }

bool AllDigits(std::string_view text) {
  if (text.empty()) return false;
  for (char c : text)
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  return true;
}

// A whole number within [low, high]; anything else is a usage error.
int ParseInt(const std::string& option, const std::string& text, int low, int high) {
  std::string_view digits = text;
  bool negative = false;
  if (!digits.empty() && (digits[0] == '-' || digits[0] == '+')) {
    negative = digits[0] == '-';
    digits.remove_prefix(1);
  }
  if (!AllDigits(digits) || digits.size() > 9)
    Fail("invalid value " + Quoted(text) + " for " + option + " (a whole number is expected)");
  const int value = negative ? -std::stoi(std::string(digits)) : std::stoi(std::string(digits));
  if (value < low || value > high)
    Fail("value " + Quoted(text) + " for " + option + " is out of range (" + std::to_string(low) +
         ".." + std::to_string(high) + ")");
  return value;
}

// A decimal number with at most two fraction digits, as hundredths.
int ParseHundredths(const std::string& option, const std::string& text) {
  std::string_view rest = text;
  bool negative = false;
  if (!rest.empty() && (rest[0] == '-' || rest[0] == '+')) {
    negative = rest[0] == '-';
    rest.remove_prefix(1);
  }
  const size_t dot = rest.find('.');
  std::string_view whole = rest.substr(0, dot);
  std::string_view fraction =
      dot == std::string_view::npos ? std::string_view() : rest.substr(dot + 1);
  const bool wholeOk = whole.empty() ? dot != std::string_view::npos : AllDigits(whole);
  const bool fractionOk =
      dot == std::string_view::npos || (AllDigits(fraction) && fraction.size() <= 2);
  if (!wholeOk || !fractionOk || (whole.empty() && fraction.empty()) || whole.size() > 6)
    Fail("invalid value " + Quoted(text) + " for " + option +
         " (a number with at most two decimals is expected)");
  int value = whole.empty() ? 0 : std::stoi(std::string(whole)) * 100;
  if (!fraction.empty())
    value += std::stoi(std::string(fraction)) * (fraction.size() == 1 ? 10 : 1);
  return negative ? -value : value;
}

RgbColor ParseColor(const std::string& option, const std::string& text) {
  if (text.size() != 7 || text[0] != '#')
    Fail("invalid colour " + Quoted(text) + " for " + option + " (#RRGGBB is expected)");
  for (size_t i = 1; i < 7; ++i)
    if (!std::isxdigit(static_cast<unsigned char>(text[i])))
      Fail("invalid colour " + Quoted(text) + " for " + option + " (#RRGGBB is expected)");
  const unsigned long rgb = std::stoul(text.substr(1), nullptr, 16);
  return RGB(uint8_t(rgb >> 16), uint8_t(rgb >> 8), uint8_t(rgb));
}

void ParseResize(const std::string& option, const std::string& text, ConvertParams& p) {
  if (!text.empty() && text.back() == '%') {
    p.FixedSize = false;
    p.Percent = ParseInt(option, text.substr(0, text.size() - 1), 1, 400);
    return;
  }
  const size_t x = text.find_first_of("xX");
  if (x == std::string::npos || !AllDigits(text.substr(0, x)) || !AllDigits(text.substr(x + 1)))
    Fail("invalid value " + Quoted(text) + " for " + option + " (P% or WxH is expected)");
  p.FixedSize = true;
  p.TargetWidth = ParseInt(option + " width", text.substr(0, x), 1, 4096);
  p.TargetHeight = ParseInt(option + " height", text.substr(x + 1), 1, 4096);
}

void ParseColorAmounts(const std::string& option, const std::string& text, ConvertParams& p) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (true) {
    const size_t comma = text.find(',', start);
    parts.push_back(text.substr(start, comma - start));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  if (parts.size() != 3)
    Fail("invalid value " + Quoted(text) + " for " + option + " (C,L,S is expected)");
  p.Contrast = ParseInt(option + " contrast", parts[0], -255, 1023);
  p.Brightness = ParseInt(option + " brightness", parts[1], -1023, 255);
  p.Saturation = ParseInt(option + " saturation", parts[2], -255, 1024) + 255;
}

// A size in bytes: digits with an optional K (1024) or M (1024 x 1024).
uint64_t ParseBytes(const std::string& option, const std::string& text) {
  std::string digits = text;
  uint64_t unit = 1;
  if (!digits.empty() && (digits.back() == 'K' || digits.back() == 'k')) unit = 1024;
  if (!digits.empty() && (digits.back() == 'M' || digits.back() == 'm')) unit = 1024 * 1024;
  if (unit > 1) digits.pop_back();
  if (!AllDigits(digits) || digits.size() > 9 || std::stoull(digits) == 0)
    Fail("invalid value " + Quoted(text) + " for " + option + " (a size such as 300K or 2M)");
  return std::stoull(digits) * unit;
}

// Options that take no value; the long names of the others. The operations, in the
// order the preset file stores them, are listed apart.
constexpr std::array<std::string_view, 14> kSwitches = {
    "help",  "keep-name",   "lossless",    "no-lossless", "no-overwrite", "no-auto-orient",
    "strip", "keep-aspect", "shrink-only", "recursive",   "hidden",       "quiet",
    "dry-run", "null"};
constexpr std::array<std::string_view, 10> kOperations = {
    "resize", "fit",    "long-side", "turn-left", "turn-right",
    "flip-h", "flip-v", "rotate",    "color",     "gamma"};
// What a preset keeps: the settings of the results, not the files or the output folder.
constexpr std::array<std::string_view, 17> kPresetKeys = {
    "format",         "quality",  "lossless",    "no-lossless",  "dither",      "on-exists",   "keep-name",
    "no-auto-orient", "strip",    "keep-aspect", "border-color", "shrink-only", "name",
    "start",          "max-size", "recursive",   "hidden"};

template <size_t N>
bool Listed(const std::array<std::string_view, N>& list, std::string_view name) {
  return std::find(list.begin(), list.end(), name) != list.end();
}

std::string LongName(const std::string& name) {
  static const std::pair<const char*, const char*> shorts[] = {
      {"-f", "format"},    {"-o", "output"}, {"-q", "quality"}, {"-j", "jobs"},
      {"-r", "recursive"}, {"-0", "null"},   {"-h", "help"}};
  for (const auto& [s, l] : shorts)
    if (name == s) return l;
  return name.rfind("--", 0) == 0 ? name.substr(2) : name;
}

// Walks the arguments, handing out option values.
class ArgReader {
 public:
  explicit ArgReader(const std::vector<std::string>& args) : args_(args) {}
  bool Done() const { return pos_ >= args_.size(); }
  const std::string& Next() { return args_[pos_++]; }
  // The value of an option: "--opt=value", "-ovalue" or the next argument.
  std::string Value(const std::string& option, const std::string& inlineValue, bool hasInline) {
    if (hasInline) return inlineValue;
    if (Done()) Fail("option " + option + " needs a value");
    return Next();
  }

 private:
  const std::vector<std::string>& args_;
  size_t pos_ = 0;
};

// One command line (or preset) applied to the options.
class OptionParser {
 public:
  explicit OptionParser(ConvertOptions& o) : o_(o), p_(o.Params) {}

  // Applies one option (its long name) and its value, when it takes one.
  void Apply(const std::string& option, const std::string& key, const std::string& value) {
    if (key == "help") {
      o_.Help = true;
    } else if (key == "format") {
      const std::string ext = "." + LowerAscii(value);
      if (!Listed(TargetFormatExts, ext))
        Fail("unknown format " + Quoted(ext.substr(1)) +
             " (jpg, png, tif, bmp, pnm, gif, tga, sgi, webp, avif, jxl)");
      p_.TargetExt = ext;
    } else if (key == "output") {
      p_.OutputFolder = value;
      if (p_.OutputFolder.empty()) Fail("option " + option + " needs a folder");
    } else if (key == "keep-name") {
      p_.ChangeExt = false;
    } else if (key == "quality") {
      p_.JpegQuality = ParseInt(option, value, 1, 100);
    } else if (key == "dither") {
      const std::string d = LowerAscii(value);
      const auto at = std::find(kDitherNames.begin(), kDitherNames.end(), d);
      if (at == kDitherNames.end())
        Fail("unknown dithering " + Quoted(d) +
             " (nearest, floyd-steinberg, stucki, sierra, burkes)");
      p_.DitherIndex = int(at - kDitherNames.begin());
    } else if (key == "lossless") {
      p_.Lossless = true;
    } else if (key == "no-lossless") {
      p_.LosslessJpegTurns = false;
    } else if (key == "no-overwrite") {
      p_.Existing = OnExists::Error;
    } else if (key == "on-exists") {
      const std::string choice = LowerAscii(value);
      const auto at = std::find(kOnExistsNames.begin(), kOnExistsNames.end(), choice);
      if (at == kOnExistsNames.end())
        Fail("unknown choice " + Quoted(choice) + " for " + option +
             " (overwrite, skip, rename, error)");
      p_.Existing = OnExists(at - kOnExistsNames.begin());
    } else if (key == "no-auto-orient") {
      p_.AutoOrient = false;
    } else if (key == "strip") {
      p_.KeepMetadata = false;
    } else if (key == "keep-aspect") {
      keepAspect_ = true;
    } else if (key == "border-color") {
      borderColor_ = ParseColor(option, value);
    } else if (key == "shrink-only") {
      shrinkOnly_ = true;
    } else if (key == "name") {
      try {
        CheckNameTemplate(value);
      } catch (const NameTemplateError& e) {
        Fail(std::string(e.what()) + " (" + option + " " + Quoted(value) + ")");
      }
      p_.NameTemplate = value;
    } else if (key == "start") {
      p_.StartNumber = ParseInt(option, value, 0, 999999999);
    } else if (key == "max-size") {
      p_.MaxBytes = ParseBytes(option, value);
    } else if (key == "recursive") {
      o_.Recursive = true;
    } else if (key == "hidden") {
      o_.Hidden = true;
    } else if (key == "jobs") {
      o_.Jobs = ParseInt(option, value, 1, kMaxJobs);
    } else if (key == "quiet") {
      o_.Quiet = true;
    } else if (key == "dry-run") {
      p_.DryRun = true;
    } else if (key == "files-from") {
      if (value.empty()) Fail("option " + option + " needs a file");
      o_.FilesFrom = value;
    } else if (key == "null") {
      o_.NullSeparated = true;
    } else if (key == "report") {
      if (value.empty()) Fail("option " + option + " needs a file");
      o_.ReportFile = value;
    } else if (key == "save-preset") {
      PresetPathOf(value);
      o_.SavePreset = value;
    } else if (key == "preset") {
      PresetPathOf(value);  // read before the command line
    } else if (key == "list-presets") {
      o_.ListPresets = true;
    } else if (Listed(kOperations, key)) {
      ApplyOperation(option, key, value);
      return;
    } else {
      Fail("unknown option " + Quoted(option));
    }
    if (Listed(kPresetKeys, key) || key == "no-overwrite") Keep(key, value);
  }

  // After the last option: the modifiers reach their operations, and a single
  // operation is the batch's own.
  void Finish() {
    bool fixedResize = false, fit = false;
    for (ConvertParams& step : steps_) {
      if (step.OpCode == opResize && step.FixedSize) {
        fixedResize = true;
        step.KeepAspect = keepAspect_;
        if (borderColor_) step.BorderColor = *borderColor_;
      }
      if (step.OpCode == opFit) {
        fit = true;
        step.ShrinkOnly = shrinkOnly_;
      }
    }
    if (o_.Help || o_.ListPresets) return;
    if (keepAspect_ && !fixedResize) Fail("--keep-aspect needs --resize WxH");
    if (borderColor_ && !keepAspect_) Fail("--border-color needs --keep-aspect");
    if (shrinkOnly_ && !fit) Fail("--shrink-only needs --fit or --long-side");
    const std::string& ext = p_.TargetExt;
    if (p_.MaxBytes > 0 && p_.ChangeExt &&
        !(ext == ".jpg" || ext == ".avif" || (!p_.Lossless && (ext == ".webp" || ext == ".jxl"))))
      Fail("--max-size needs a lossy format: jpg, webp, avif or jxl (without --lossless)");
    if (steps_.size() == 1) CopyOperation(steps_.front(), p_);
    if (steps_.size() > 1) {
      p_.OpCode = steps_.front().OpCode;
      p_.Chain = steps_;
    }
    o_.Preset.operations = operations_;
  }

  bool HasOperations() const { return !steps_.empty(); }

 private:
  static void PresetPathOf(const std::string& name) {
    try {
      PresetPath(name);
    } catch (const PresetError& e) {
      Fail(e.what());
    }
  }

  void Keep(const std::string& key, const std::string& value) {
    std::string k = key, v = value.empty() ? "true" : value;
    if (k == "no-overwrite") k = "on-exists", v = "error";
    auto& settings = o_.Preset.settings;
    const auto at = std::find_if(settings.begin(), settings.end(),
                                 [&](const auto& kv) { return kv.first == k; });
    if (at != settings.end())
      at->second = v;
    else
      settings.emplace_back(k, v);
  }

  void ApplyOperation(const std::string& option, const std::string& key, const std::string& value) {
    ConvertParams step;
    if (key == "resize") {
      step.OpCode = opResize;
      ParseResize(option, value, step);
    } else if (key == "fit") {
      step.OpCode = opFit;
      const size_t x = value.find_first_of("xX");
      if (x == std::string::npos || !AllDigits(value.substr(0, x)) ||
          !AllDigits(value.substr(x + 1)))
        Fail("invalid value " + Quoted(value) + " for " + option + " (WxH is expected)");
      step.FitWidth = ParseInt(option + " width", value.substr(0, x), 1, kMaxFitSide);
      step.FitHeight = ParseInt(option + " height", value.substr(x + 1), 1, kMaxFitSide);
    } else if (key == "long-side") {
      step.OpCode = opFit;
      step.FitWidth = step.FitHeight = ParseInt(option, value, 1, kMaxFitSide);
    } else if (key == "turn-left") {
      step.OpCode = opTurnLeft;
    } else if (key == "turn-right") {
      step.OpCode = opTurnRight;
    } else if (key == "flip-h") {
      step.OpCode = opFlipH;
    } else if (key == "flip-v") {
      step.OpCode = opFlipV;
    } else if (key == "rotate") {
      step.OpCode = opRotate;
      const int hundredths = ParseHundredths(option, value);
      if (hundredths < -18000 || hundredths > 18000)
        Fail("value " + Quoted(value) + " for " + option + " is out of range (-180..180)");
      step.RotateAngle = static_cast<long double>(hundredths) / 100;
    } else if (key == "color") {
      step.OpCode = opColor;
      ParseColorAmounts(option, value, step);
    } else {
      step.OpCode = opGamma;
      const int hundredths = ParseHundredths(option, value);
      if (hundredths < 1 || hundredths > 199)
        Fail("value " + Quoted(value) + " for " + option + " is out of range (0.01..1.99)");
      step.Gamma = hundredths;
    }
    steps_.push_back(std::move(step));
    operations_.push_back(value.empty() ? key : key + " " + value);
  }

  ConvertOptions& o_;
  ConvertParams& p_;
  std::vector<ConvertParams> steps_;
  std::vector<std::string> operations_;
  bool keepAspect_ = false;
  bool shrinkOnly_ = false;
  std::optional<RgbColor> borderColor_;
};

// The options of the command line (after the program's name) as (name, key, value,
// takes-a-value) in order, and the files. Stops reading options at "--".
struct Given {
  std::string option, key, value;
};

void SplitArguments(const std::vector<std::string>& args, std::vector<Given>& options,
                    std::vector<std::string>& files) {
  ArgReader reader(args);
  bool filesOnly = false;
  while (!reader.Done()) {
    const std::string arg = reader.Next();
    if (filesOnly || arg.empty() || arg[0] != '-' || arg == "-") {
      if (arg.empty()) Fail("empty file name");
      if (arg == "-" && !filesOnly)
        Fail("reading a picture from standard input is not supported (--files-from - reads names)");
      files.push_back(arg);
      continue;
    }
    if (arg == "--") {
      filesOnly = true;
      continue;
    }
    // Split "--name=value" and "-xVALUE".
    std::string name = arg, inlineValue;
    bool hasInline = false;
    if (arg.rfind("--", 0) == 0) {
      const size_t eq = arg.find('=');
      if (eq != std::string::npos) {
        name = arg.substr(0, eq);
        inlineValue = arg.substr(eq + 1);
        hasInline = true;
      }
    } else if (arg.size() > 2) {
      name = arg.substr(0, 2);
      inlineValue = arg.substr(2);
      hasInline = true;
    }
    const std::string key = LongName(name);
    const bool isSwitch = Listed(kSwitches, key) || key == "list-presets" || key == "turn-left" ||
                          key == "turn-right" || key == "flip-h" || key == "flip-v";
    if (isSwitch) {
      if (hasInline) Fail("option " + name + " takes no value");
      options.push_back({name, key, {}});
    } else {
      options.push_back({name, key, reader.Value(name, inlineValue, hasInline)});
    }
  }
}

}  // namespace

void CopyOperation(const ConvertParams& from, ConvertParams& to) {
  to.OpCode = from.OpCode;
  to.KeepAspect = from.KeepAspect;
  to.FixedSize = from.FixedSize;
  to.TargetWidth = from.TargetWidth;
  to.TargetHeight = from.TargetHeight;
  to.BorderColor = from.BorderColor;
  to.Percent = from.Percent;
  to.RotateAngle = from.RotateAngle;
  to.Contrast = from.Contrast;
  to.Brightness = from.Brightness;
  to.Saturation = from.Saturation;
  to.Gamma = from.Gamma;
  to.FitWidth = from.FitWidth;
  to.FitHeight = from.FitHeight;
  to.ShrinkOnly = from.ShrinkOnly;
}

ConvertOptions ParseConvertOptions(const std::vector<std::string>& args) {
  ConvertOptions o;
  std::vector<Given> given;
  SplitArguments(args, given, o.Params.FileList);
  OptionParser parser(o);
  // A preset comes first: the command line's own options win, and its operations,
  // when it gives any, replace the preset's.
  const auto preset =
      std::find_if(given.rbegin(), given.rend(), [](const Given& g) { return g.key == "preset"; });
  if (preset != given.rend()) {
    const std::string name = preset->value;
    PresetData data;
    try {
      data = ReadPresetFile(PresetPath(name));
    } catch (const PresetError& e) {
      Fail(std::string(e.what()).rfind("no preset file", 0) == 0
               ? "unknown preset " + Quoted(name) + " (see --list-presets)"
               : e.what());
    }
    const bool ownOperations = std::any_of(
        given.begin(), given.end(), [](const Given& g) { return Listed(kOperations, g.key); });
    try {
      for (const auto& [key, value] : data.settings) {
        if (!Listed(kPresetKeys, key)) Fail("unknown setting " + Quoted(key));
        const bool isSwitch = Listed(kSwitches, key);
        if (isSwitch && value != "true") Fail("setting " + Quoted(key) + " takes only true");
        parser.Apply("--" + key, key, isSwitch ? std::string() : value);
      }
      if (!ownOperations)
        for (const std::string& operation : data.operations) {
          const size_t space = operation.find(' ');
          const std::string key = operation.substr(0, space);
          if (!Listed(kOperations, key)) Fail("unknown operation " + Quoted(key));
          const std::string value = space == std::string::npos ? "" : operation.substr(space + 1);
          const bool isSwitch = key.rfind("turn-", 0) == 0 || key.rfind("flip-", 0) == 0;
          if (isSwitch != value.empty()) Fail("bad operation " + Quoted(operation));
          parser.Apply("--" + key, key, value);
        }
    } catch (const UsageError& e) {
      Fail("damaged preset " + Quoted(name) + ": " + e.what());
    }
  }
  for (const Given& g : given) parser.Apply(g.option, g.key, g.value);
  parser.Finish();
  if (o.Help || o.ListPresets) return o;
  if (o.Params.FileList.empty() && o.FilesFrom.empty() && o.SavePreset.empty())
    Fail("no file given");
  if (o.NullSeparated && o.FilesFrom.empty()) Fail("-0 (--null) needs --files-from");
  return o;
}

void ResolvePaths(ConvertOptions& options, const std::string& currentDir) {
  ConvertParams& p = options.Params;
  for (std::string& file : p.FileList) {
    if (!file.empty() && file[0] == '/') continue;
    std::string_view rest = file;
    while (rest.rfind("./", 0) == 0) {
      rest.remove_prefix(2);
      while (!rest.empty() && rest[0] == '/') rest.remove_prefix(1);
    }
    file = JoinPath(currentDir, rest);
  }
  if (p.OutputFolder.empty() && !p.FileList.empty())
    p.OutputFolder = JoinPath(ExtractFileDir(p.FileList.front()), "quorvane-conv");
  p.OutputFolder = WithoutTrailingSlash(p.OutputFolder);
}

}  // namespace quorvane
