#include "imaging/PnmReader.h"

#include <algorithm>
#include <cstdint>
#include <string_view>
#include <vector>

#include "imaging/ByteStream.h"
#include "imaging/PixelSink.h"
#include "platform/FileIO.h"

namespace quorvane {

namespace {

struct Malformed {};  // thrown on anything that ends the read

using Stream = ByteStream;

bool IsSpace(int c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}
bool IsDigit(int c) { return c >= '0' && c <= '9'; }

// Skips a comment from "#" up to and including the end of its line.
void SkipComment(Stream& in) {
  for (int c = in.Get(); c != '\n' && c != '\r'; c = in.Get())
    if (c < 0) throw Malformed();
}

void SkipSpaceAndComments(Stream& in) {
  for (int c = in.Peek(); IsSpace(c) || c == '#'; c = in.Peek()) {
    in.Get();
    if (c == '#') SkipComment(in);
  }
}

// A decimal number after whitespace and comments, at most `limit`; the character that
// ends it is left in the stream.
uint32_t ReadNumber(Stream& in, uint32_t limit) {
  SkipSpaceAndComments(in);
  if (!IsDigit(in.Peek())) throw Malformed();
  uint64_t value = 0;
  while (IsDigit(in.Peek())) {
    value = value * 10 + uint64_t(in.Get() - '0');
    if (value > limit) throw Malformed();
  }
  return uint32_t(value);
}

// The one whitespace character between the header and a raw raster (a comment there
// ends with its line, which is the separator).
void ReadRasterSeparator(Stream& in) {
  const int c = in.Get();
  if (c == '#')
    SkipComment(in);
  else if (!IsSpace(c))
    throw Malformed();
}

// What the header says about the raster.
struct Layout {
  char kind = 0;  // '1'..'7'
  uint32_t width = 0, height = 0, maxval = 1;
  int colours = 1;  // 1 grey, 3 red, green, blue
  bool alpha = false;
  bool plain() const { return kind >= '1' && kind <= '3'; }
  int samples() const { return colours + (alpha ? 1 : 0); }
  int sampleBytes() const { return maxval > 255 ? 2 : 1; }
  // Bytes of one row in a raw raster.
  uint64_t rawRowBytes() const {
    return kind == '4' ? (uint64_t(width) + 7) / 8
                       : uint64_t(width) * uint64_t(samples()) * uint64_t(sampleBytes());
  }
};

constexpr uint32_t kMaxNumber = 0x7FFFFFFF;

// A PAM header after "P7": WIDTH, HEIGHT, DEPTH, MAXVAL and TUPLTYPE lines up to ENDHDR.
void ReadPamHeader(Stream& in, Layout& layout) {
  uint32_t depth = 0;
  std::string tupleType;
  bool seen[4] = {};
  for (;;) {
    SkipSpaceAndComments(in);
    std::string keyword;
    while (in.Peek() >= 0 && !IsSpace(in.Peek()) && keyword.size() < 16) keyword += char(in.Get());
    if (keyword == "ENDHDR") {
      for (int c = in.Get(); c != '\n'; c = in.Get())
        if (c < 0 || !IsSpace(c)) throw Malformed();
      break;
    }
    static constexpr std::string_view kNumbers[4] = {"WIDTH", "HEIGHT", "DEPTH", "MAXVAL"};
    uint32_t* fields[4] = {&layout.width, &layout.height, &depth, &layout.maxval};
    bool known = false;
    for (int i = 0; i < 4; ++i) {
      if (keyword != kNumbers[i]) continue;
      *fields[i] = ReadNumber(in, kMaxNumber);
      seen[i] = known = true;
    }
    if (keyword == "TUPLTYPE") {
      // The rest of the line; several lines are joined with a space.
      while (in.Peek() == ' ' || in.Peek() == '\t') in.Get();
      if (!tupleType.empty()) tupleType += ' ';
      for (int c = in.Peek(); c >= 0 && c != '\n' && c != '\r' && tupleType.size() < 64;
           c = in.Peek())
        tupleType += char(in.Get());
      known = true;
    }
    if (!known) throw Malformed();
  }
  if (!seen[0] || !seen[1] || !seen[2] || !seen[3]) throw Malformed();
  while (!tupleType.empty() && IsSpace(tupleType.back())) tupleType.pop_back();
  const bool alpha = tupleType.ends_with("_ALPHA");
  const std::string_view base =
      std::string_view(tupleType).substr(0, tupleType.size() - (alpha ? 6 : 0));
  if (base == "RGB" || (base.empty() && depth == 3))
    layout.colours = 3;
  else if (base == "GRAYSCALE" || base == "BLACKANDWHITE" || (base.empty() && depth == 1))
    layout.colours = 1;
  else
    throw Malformed();
  layout.alpha = alpha;
  if (depth != uint32_t(layout.samples())) throw Malformed();
}

Layout ReadHeader(Stream& in) {
  Layout layout;
  if (in.Get() != 'P') throw Malformed();
  layout.kind = char(in.Get());
  if (layout.kind < '1' || layout.kind > '7') throw Malformed();
  if (layout.kind == '7') {
    if (!IsSpace(in.Get())) throw Malformed();
    ReadPamHeader(in, layout);
  } else {
    layout.width = ReadNumber(in, kMaxNumber);
    layout.height = ReadNumber(in, kMaxNumber);
    const bool bitmap = layout.kind == '1' || layout.kind == '4';
    layout.maxval = bitmap ? 1 : ReadNumber(in, kMaxNumber);
    layout.colours = layout.kind == '3' || layout.kind == '6' ? 3 : 1;
    if (!layout.plain()) ReadRasterSeparator(in);
  }
  if (layout.maxval < 1 || layout.maxval > 65535) throw Malformed();
  return layout;
}

// Fills one row of samples (values 0..maxval) from a plain raster.
void ReadPlainRow(Stream& in, const Layout& layout, std::vector<uint32_t>& samples) {
  for (uint32_t& s : samples) {
    if (layout.kind == '1') {  // one digit a pixel, spaces optional
      SkipSpaceAndComments(in);
      const int c = in.Get();
      if (c != '0' && c != '1') throw Malformed();
      s = c == '1' ? 0 : 1;  // PBM's 1 is black
    } else {
      s = ReadNumber(in, layout.maxval);
    }
  }
}

// Fills one row of samples from a raw raster.
void ReadRawRow(Stream& in, const Layout& layout, std::vector<uint8_t>& bytes,
                std::vector<uint32_t>& samples) {
  in.Read(bytes.data(), bytes.size());
  if (layout.kind == '4') {
    for (size_t x = 0; x < samples.size(); ++x)
      samples[x] = (bytes[x / 8] >> (7 - x % 8)) & 1 ? 0 : 1;
    return;
  }
  uint32_t largest = 0;
  if (layout.sampleBytes() == 2)
    for (size_t i = 0; i < samples.size(); ++i)
      largest |= samples[i] = uint32_t(bytes[2 * i]) << 8 | bytes[2 * i + 1];
  else
    for (size_t i = 0; i < samples.size(); ++i) largest |= samples[i] = bytes[i];
  // Every value within maxval (checked on the bits first: most rows pass at once).
  if (largest > layout.maxval)
    for (uint32_t v : samples)
      if (v > layout.maxval) throw Malformed();
}

// True when the rest of the file can hold the raster the header promises, so that a
// tiny file claiming a huge picture is refused before its memory is taken.
bool RasterFits(const Layout& layout, uint64_t left) {
  // A plain raster needs at least one character a sample and one between samples.
  const uint64_t perRow = layout.plain() ? uint64_t(layout.width) * uint64_t(layout.samples()) *
                                               (layout.kind == '1' ? 1 : 2)
                                         : layout.rawRowBytes();
  return perRow * uint64_t(layout.height) <= left + (layout.plain() ? 1 : 0);
}

}  // namespace

bool ReadPnmFile(const std::string& path, const CodecPixelTarget& target) {
  const UniqueFd fd = UniqueFd::OpenRead(path);
  if (!fd.Ok()) return false;
  try {
    Stream in(fd.Get());
    const Layout layout = ReadHeader(in);
    const int64_t size = fd.Size();
    if (!Bitmap::SizeAllowed(layout.width, layout.height) ||
        !RasterFits(layout, uint64_t(size) - std::min(uint64_t(size), in.Consumed())))
      return false;
    PixelSink sink(target);
    if (!sink.Start(int(layout.width), int(layout.height), layout.alpha)) return false;

    std::vector<uint8_t> scale(layout.maxval + 1);
    for (uint32_t v = 0; v <= layout.maxval; ++v) scale[v] = ScaleSample(v, layout.maxval);
    const size_t perPixel = size_t(layout.samples());
    std::vector<uint32_t> samples(size_t(layout.width) * perPixel);
    std::vector<uint8_t> bytes(layout.plain() ? 0 : size_t(layout.rawRowBytes()));
    for (int y = 0; y < int(layout.height); ++y) {
      if (layout.plain())
        ReadPlainRow(in, layout, samples);
      else
        ReadRawRow(in, layout, bytes, samples);
      const uint32_t* s = samples.data();
      uint8_t* row = sink.Row(y);
      if (layout.colours == 3) {
        for (size_t x = 0; x < layout.width; ++x, s += perPixel, row += 3) {
          row[0] = scale[s[2]];
          row[1] = scale[s[1]];
          row[2] = scale[s[0]];
        }
      } else {
        for (size_t x = 0; x < layout.width; ++x, s += perPixel, row += 3)
          row[0] = row[1] = row[2] = scale[s[0]];
      }
      if (layout.alpha)
        for (size_t x = 0; x < layout.width; ++x)
          sink.AlphaRow(y)[x] = scale[samples[x * perPixel + size_t(layout.colours)]];
    }
    sink.Finish();
    return true;
  } catch (const Malformed&) {
    return false;
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace quorvane
