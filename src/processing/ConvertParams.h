#pragma once
// The parameters of one batch: what the commands, the operation dialogs and the
// command-line converter fill in before the batch engine runs. Plain data.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "imaging/ExifOptions.h"
#include "imaging/RgbColor.h"

namespace quorvane {

// Operation codes (ConvertParams::OpCode).
inline constexpr int opConvertOnly = 0;
inline constexpr int opResize = 1;
inline constexpr int opTurnLeft = 2;    // 90 degrees counter-clockwise
inline constexpr int opTurnRight = 3;   // 90 degrees clockwise
inline constexpr int opFlipH = 4;       // left-right
inline constexpr int opFlipV = 5;       // top-bottom
inline constexpr int opColor = 7;       // contrast, brightness, saturation
inline constexpr int opRotate = 9;      // smooth rotation about the centre
inline constexpr int opWatermark = 11;  // no pixel work
inline constexpr int opGamma = 12;
inline constexpr int opFit = 14;  // fit inside FitWidth x FitHeight, proportions kept

// The largest side --fit and --long-side accept.
inline constexpr int kMaxFitSide = 65535;

// What becomes of an output name that exists already: replaced, left alone (the file is
// skipped, which is no failure), written under a free name ("photo (1).png"), or the
// file fails. A batch's own sources are never replaced, whatever the choice.
enum class OnExists { Overwrite, Skip, Rename, Error };

struct ConvertParams {
  std::string OutputFolder;           // without a trailing "/"
  std::vector<std::string> FileList;  // full paths, in selection order
  std::string TargetExt = ".jpg";     // lower case, with the dot
  int JpegQuality = 80;               // 1..100; WebP, AVIF and JPEG XL on the same scale
  bool Lossless = false;              // WebP and JPEG XL exactly (AVIF stays lossy)
  int EncoderThreads = 0;             // threads of one WebP, AVIF or JPEG XL encoder; 0: one per core
  int DitherIndex = 1;                // 0..4
  OnExists Existing = OnExists::Overwrite;  // from the overwrite settings
  int OpCode = opConvertOnly;

  // Resize (opResize).
  bool KeepAspect = false;  // fixed size keeps the proportions on BorderColor
  bool FixedSize = false;   // TargetWidth x TargetHeight (true) or Percent (false)
  int TargetWidth = 0;
  int TargetHeight = 0;
  RgbColor BorderColor = clWhite;
  int Percent = 100;

  bool ChangeExt = true;  // save as base name + TargetExt; false keeps the source name

  long double RotateAngle = 0;  // degrees, -180..180 (opRotate)

  // Colour adjustment (opColor).
  int Contrast = 0;      // -255..1023
  int Brightness = 0;    // -1023..255
  int Saturation = 255;  // 0..1279; 255 leaves colours alone

  int Gamma = 100;  // 1..199; the exponent applied is 2 - Gamma / 100

  // Fit inside a box (opFit): the largest size of the picture's proportions within
  // FitWidth x FitHeight; with ShrinkOnly a picture that already fits is left alone
  // (ShrinkOnly also keeps a resize, opResize, from enlarging: see ConvertOps.h).
  int FitWidth = 0;
  int FitHeight = 0;
  bool ShrinkOnly = false;

  // Several operations in order: when Chain holds any, each element's OpCode and the
  // fields of its operation run one after another instead of OpCode.
  std::vector<ConvertParams> Chain;

  // Output names: NameTemplate ("" for the source's own name; see NameTemplate.h),
  // its counter's first value, and for each file of FileList the folder under
  // OutputFolder its result goes to (empty: OutputFolder itself).
  std::string NameTemplate;
  int StartNumber = 1;
  std::vector<std::string> SubFolders;

  // A size budget in bytes for JPEG, WebP, AVIF and JPEG XL results (0: none): each
  // file gets the highest quality up to JpegQuality whose result fits.
  uint64_t MaxBytes = 0;
  // Say what would be written, and write nothing.
  bool DryRun = false;

  // Camera metadata: turn sources upright by their EXIF orientation; copy their EXIF,
  // colour profile and modification time into the results. A batch starts from the
  // program's current switches.
  bool AutoOrient = CurrentExifOptions().AutoOrient;
  bool KeepMetadata = CurrentExifOptions().KeepMetadata;

  // A JPEG source whose operations only turn and mirror it (see LosslessJpeg.h) becomes
  // a JPEG result without decoding and encoding; false always re-encodes.
  bool LosslessJpegTurns = true;
};

// Target formats, by index: the order of every format list.
inline constexpr int TargetFormatCount = 11;
inline constexpr std::array<std::string_view, TargetFormatCount> TargetFormatExts = {
    ".jpg", ".png", ".tif", ".bmp", ".pnm", ".gif", ".tga", ".sgi", ".webp", ".avif", ".jxl"};
inline constexpr std::array<std::string_view, TargetFormatCount> TargetFormatLabels = {
    "JPG", "PNG", "TIF", "BMP", "PNM", "GIF", "TGA", "SGI", ".webp", ".avif", ".jxl"};

// Index of a target extension (lower case, with its dot); anything else maps to 0.
constexpr int TargetFormatIndex(std::string_view ext) {
  for (int i = 0; i < TargetFormatCount; ++i)
    if (TargetFormatExts[i] == ext) return i;
  return 0;
}

// Extension for an index; an index outside the list gives ".jpg".
constexpr std::string_view TargetFormatExt(int index) {
  return index >= 0 && index < TargetFormatCount ? TargetFormatExts[index] : TargetFormatExts[0];
}

}  // namespace quorvane
