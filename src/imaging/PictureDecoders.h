#pragma once
// The decoders of HEIF/AVIF (libheif), WebP (libwebp), JPEG XL (libjxl) and camera RAW
// (LibRaw). They read untrusted files, so only the codec helper runs them (see
// CodecClient.h). Each applies its format's own orientation (HEIF's irot and imir, JPEG
// XL's header, the camera's flip): it is part of how those formats define the picture,
// and an EXIF Orientation inside them is never applied on top of it.
//
// Each answers true with the picture delivered into `target` as B, G, R rows, top row
// first (transparent pixels over white), or false when the file cannot be decoded.

#include <cstdint>
#include <string>
#include <vector>

#include "imaging/OpenIL.h"

namespace quorvane {

bool DecodeHeif(const std::string& path, const CodecLoadRequest& request,
                const CodecPixelTarget& target, CodecLoadResult& result);
bool DecodeWebp(const std::string& path, const CodecLoadRequest& request,
                const CodecPixelTarget& target, CodecLoadResult& result);
bool DecodeJxl(const std::string& path, const CodecLoadRequest& request,
               const CodecPixelTarget& target, CodecLoadResult& result);
bool DecodeRaw(const std::string& path, const CodecLoadRequest& request,
               const CodecPixelTarget& target, CodecLoadResult& result);

// The EXIF block (a TIFF structure, from "II" or "MM" on) and the ICC colour profile
// stored in a HEIF/AVIF, WebP or JPEG XL file, for the batch to keep; each empty when
// absent (a JPEG XL file that says plain sRGB has no profile to keep; a HEIF/AVIF file
// whose colours are given by primaries other than sRGB's gets a profile made for them). False when the file
// cannot be parsed as that format.
bool ReadHeifMetadata(const std::string& path, std::vector<uint8_t>& exif,
                      std::vector<uint8_t>& icc);
bool ReadWebpMetadata(const std::string& path, std::vector<uint8_t>& exif,
                      std::vector<uint8_t>& icc);
bool ReadJxlMetadata(const std::string& path, std::vector<uint8_t>& exif,
                     std::vector<uint8_t>& icc);

// The TIFF structure in the payload of an EXIF box or item (HEIF, JPEG XL), which starts
// with the offset of the TIFF header after its first four bytes; empty when it is none.
std::vector<uint8_t> TiffOfExifBox(const std::vector<uint8_t>& box);

// The readable part of a PNG file that ends early, the rest grey (kCodecLoadPartial): the
// rows read, or of an interlaced file the passes read, each pixel standing for its block.
// False when not even the header and one row can be read.
bool DecodePartialPng(const std::string& path, const CodecPixelTarget& target);

// Decoded 8-bit R, G, B (channels 3) or R, G, B, A (channels 4) rows, `stride` bytes
// apart, handed to `target` as B, G, R over white. With `toSrgb` and an RGB colour
// profile, the colours are converted from the profile to sRGB (lcms2, perceptual).
// False when the target refuses the size.
// With `shrink` above 1, each block of shrink x shrink pixels becomes one, their average
// (a partial block at the right or bottom edge is left out).
bool DeliverRgb(const uint8_t* pixels, int width, int height, size_t stride, int channels,
                const std::vector<uint8_t>& icc, bool toSrgb, const CodecPixelTarget& target,
                int shrink = 1);

// The whole-number factor a thumbnail request's picture of width x height may be shrunk by
// before it leaves the helper: its shorter side stays at least twice the box's longer one,
// whichever way it is turned afterwards. 1 for other requests.
int ThumbnailShrink(const CodecLoadRequest& request, int width, int height);

// A picture decoded whole (B, G, R rows, as a codec target takes them) handed on to
// `target` shrunk by `shrink` as DeliverRgb does.
bool DeliverShrunk(const Bitmap& picture, int shrink, const CodecPixelTarget& target);

// A colour space given by its primaries rather than a profile (the nclx colour of HEIF
// and AVIF files): the ITU-T H.273 code point and the chromaticities it stands for, x
// and y of red, green, blue and the white point.
struct ColourPrimaries {
  int code = 2;
  double xy[8] = {0.64, 0.33, 0.30, 0.60, 0.15, 0.06, 0.3127, 0.3290};
};

// An RGB colour profile (ICC, made with lcms2) for those primaries and an H.273 transfer
// code point, for showing the picture as sRGB; empty when there is nothing to convert
// (sRGB's primaries and curve, BT.709's shown as sRGB's) or the transfer is one this
// program does not convert (HDR, logarithmic).
std::vector<uint8_t> ProfileForPrimaries(const ColourPrimaries& primaries, int transfer);

// A picture converted in place from the colour profile to sRGB. Does nothing when the
// profile is empty, damaged or not an RGB profile. Outside the helpers the profile is
// parsed, and the colours converted, in the codec helper; when it cannot be reached the
// picture is left as it is.
void ConvertToSrgb(Bitmap& picture, const std::vector<uint8_t>& icc);
// The same on B, G, R rows in place, in this process; false when nothing was converted.
bool ConvertRowsToSrgb(uint8_t* rows, int width, int height, size_t stride,
                       const std::vector<uint8_t>& icc);
// Makes ConvertToSrgb parse profiles in this process (the helpers).
void ParseColourProfilesHere();

}  // namespace quorvane
