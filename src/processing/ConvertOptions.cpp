#include "processing/ConvertOptions.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <utility>

#include "platform/FileNames.h"

namespace quorvane {

namespace {

constexpr std::array<std::string_view, 5> kDitherNames = {"nearest", "floyd-steinberg", "stucki",
                                                          "sierra", "burkes"};

// In the order of OnExists.
constexpr std::array<std::string_view, 4> kOnExistsNames = {"overwrite", "skip", "rename", "error"};

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

TColor ParseColor(const std::string& option, const std::string& text) {
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

}  // namespace

ConvertOptions ParseConvertOptions(const std::vector<std::string>& args) {
  ConvertOptions o;
  ConvertParams& p = o.Params;
  std::string operation;  // the option that chose the operation
  bool keepAspect = false, borderColor = false;
  auto setOperation = [&](const std::string& option, int code) {
    if (!operation.empty())
      Fail("only one operation at a time (" + operation + " and " + option + ")");
    operation = option;
    p.OpCode = code;
  };

  ArgReader reader(args);
  bool filesOnly = false;
  while (!reader.Done()) {
    const std::string arg = reader.Next();
    if (filesOnly || arg.empty() || arg[0] != '-' || arg == "-") {
      if (arg.empty()) Fail("empty file name");
      if (arg == "-" && !filesOnly) Fail("reading from standard input is not supported");
      p.FileList.push_back(arg);
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
    auto value = [&] { return reader.Value(name, inlineValue, hasInline); };
    auto noValue = [&] {
      if (hasInline) Fail("option " + name + " takes no value");
    };

    if (name == "-h" || name == "--help") {
      noValue();
      o.Help = true;
    } else if (name == "-f" || name == "--format") {
      const std::string ext = "." + LowerAscii(value());
      bool known = false;
      for (std::string_view e : TargetFormatExts) known = known || e == ext;
      if (!known)
        Fail("unknown format " + Quoted(ext.substr(1)) +
             " (jpg, png, tif, bmp, pnm, gif, tga, sgi, webp, avif, jxl)");
      p.TargetExt = ext;
    } else if (name == "-o" || name == "--output") {
      p.OutputFolder = value();
      if (p.OutputFolder.empty()) Fail("option " + name + " needs a folder");
    } else if (name == "--keep-name") {
      noValue();
      p.ChangeExt = false;
    } else if (name == "-q" || name == "--quality") {
      p.JpegQuality = ParseInt(name, value(), 1, 100);
    } else if (name == "--dither") {
      const std::string d = LowerAscii(value());
      int index = -1;
      for (size_t i = 0; i < kDitherNames.size(); ++i)
        if (kDitherNames[i] == d) index = int(i);
      if (index < 0)
        Fail("unknown dithering " + Quoted(d) +
             " (nearest, floyd-steinberg, stucki, sierra, burkes)");
      p.DitherIndex = index;
    } else if (name == "--lossless") {
      noValue();
      p.Lossless = true;
    } else if (name == "--no-lossless") {
      noValue();
      p.LosslessJpegTurns = false;
    } else if (name == "--no-overwrite") {
      noValue();
      p.Existing = OnExists::Error;
    } else if (name == "--on-exists") {
      const std::string choice = LowerAscii(value());
      const auto at = std::find(kOnExistsNames.begin(), kOnExistsNames.end(), choice);
      if (at == kOnExistsNames.end())
        Fail("unknown choice " + Quoted(choice) + " for " + name +
             " (overwrite, skip, rename, error)");
      p.Existing = OnExists(at - kOnExistsNames.begin());
    } else if (name == "--no-auto-orient") {
      noValue();
      p.AutoOrient = false;
    } else if (name == "--strip") {
      noValue();
      p.KeepMetadata = false;
    } else if (name == "--resize") {
      setOperation(name, opResize);
      ParseResize(name, value(), p);
    } else if (name == "--keep-aspect") {
      noValue();
      keepAspect = true;
      p.KeepAspect = true;
    } else if (name == "--border-color") {
      borderColor = true;
      p.BorderColor = ParseColor(name, value());
    } else if (name == "--turn-left") {
      noValue();
      setOperation(name, opTurnLeft);
    } else if (name == "--turn-right") {
      noValue();
      setOperation(name, opTurnRight);
    } else if (name == "--flip-h") {
      noValue();
      setOperation(name, opFlipH);
    } else if (name == "--flip-v") {
      noValue();
      setOperation(name, opFlipV);
    } else if (name == "--rotate") {
      setOperation(name, opRotate);
      const std::string text = value();
      const int hundredths = ParseHundredths(name, text);
      if (hundredths < -18000 || hundredths > 18000)
        Fail("value " + Quoted(text) + " for " + name + " is out of range (-180..180)");
      p.RotateAngle = static_cast<long double>(hundredths) / 100;
    } else if (name == "--color") {
      setOperation(name, opColor);
      ParseColorAmounts(name, value(), p);
    } else if (name == "--gamma") {
      setOperation(name, opGamma);
      const std::string text = value();
      const int hundredths = ParseHundredths(name, text);
      if (hundredths < 1 || hundredths > 199)
        Fail("value " + Quoted(text) + " for " + name + " is out of range (0.01..1.99)");
      p.Gamma = hundredths;
    } else if (name == "-j" || name == "--jobs") {
      o.Jobs = ParseInt(name, value(), 1, kMaxJobs);
    } else if (name == "--quiet") {
      noValue();
      o.Quiet = true;
    } else {
      Fail("unknown option " + Quoted(arg));
    }
  }
  if (o.Help) return o;
  if (keepAspect && !(p.OpCode == opResize && p.FixedSize))
    Fail("--keep-aspect needs --resize WxH");
  if (borderColor && !keepAspect) Fail("--border-color needs --keep-aspect");
  if (p.FileList.empty()) Fail("no file given");
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

std::string ConvertUsageText() {
  return R"(Usage: quorvane-convert [options] FILE...
Converts image files into one format, optionally applying one operation.

  -f, --format FMT        target format: jpg|png|tif|bmp|pnm|gif|tga|sgi|webp|avif|jxl
                          (default jpg)
  -o, --output DIR        output folder (default: the first file's folder + "/quorvane-conv");
                          missing parent folders are created
      --keep-name         keep each file's name and therefore its format (-f is then
                          ignored): a.png is written as a PNG named a.png
  -q, --quality N         quality 1..100 of JPEG, WebP, AVIF and JPEG XL (default 80), on
                          the JPEG scale: the same number looks about as good in each.
                          WebP takes it as libwebp's quality (cwebp -q N); AVIF as the
                          AV1 quantizer (100 - N) * 63 / 70, at most 63 (avifenc --min Q
                          --max Q; -q 80 is quantizer 18); JPEG XL as the distance
                          cjxl -q N gives (0.1 + (100 - N) * 0.09 from 30 up)
      --lossless          WebP and JPEG XL exactly, without loss (-q is then unused);
                          AVIF is always lossy here
                          Encoder effort is fixed at the usual balance of speed and size:
                          WebP method 4 (cwebp -m 4), AVIF speed 6 with the AOM encoder,
                          colour 4:2:0 (avifenc --speed 6), JPEG XL effort 7 (cjxl -e 7)
      --no-lossless       decode and encode JPEG sources that are only turned or flipped
                          into JPEG (default: their blocks are turned without loss, as
                          jpegtran does, when the size is whole blocks; the EXIF keeps
                          Orientation 1 and drops its thumbnail)
      --dither NAME       nearest|floyd-steinberg|stucki|sierra|burkes (default floyd-steinberg)
      --on-exists overwrite|skip|rename|error
                          an existing output file is replaced (default), left alone (the
                          file is skipped, which is no failure), kept while the result
                          takes a free name ("photo (1).png", "photo (2).png", ...), or
                          the file fails; a batch's own sources are never replaced
      --no-overwrite      the same as --on-exists error
      --no-auto-orient    keep pictures as stored (default: upright by their EXIF orientation)
      --strip             write no metadata (default: JPEG, PNG, TIFF, WebP, AVIF and
                          JPEG XL results keep the source's EXIF and colour profile);
                          every result keeps the source's file time
  one operation at most:
      --resize P%         by percentage (1..400)
      --resize WxH        to a pixel size (1..4096 each), stretched
      --keep-aspect       with --resize WxH: keep the proportions on a border
      --border-color #RRGGBB   border colour for --keep-aspect (default white)
      --turn-left | --turn-right | --flip-h | --flip-v
      --rotate DEG        -180..180, in hundredths of a degree at most; positive turns
                          clockwise, negative counter-clockwise
      --color C,L,S       contrast -255..1023, brightness -1023..255,
                          saturation -255..1024 (0 leaves colours unchanged)
      --gamma V           0.01..1.99 (1.00 leaves the picture unchanged)
  -j, --jobs N            convert N files at once in separate processes (default 1);
                          the WebP, AVIF and JPEG XL encoders share the cores among them
      --quiet             no per-file lines; failures are still reported
  -h, --help              this text

Messages: the per-file lines and the memo lines (in Korean, as the conversion dialog
shows them) go to standard output; for each failed file, one line in English with its
path and the reason goes to standard error.
Exit status: 0 when every file was converted, 1 when any failed, 2 for a usage error.
)";
}

}  // namespace quorvane
