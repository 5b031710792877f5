#include "imaging/TgaReader.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <exception>
#include <vector>

#include "imaging/ByteStream.h"
#include "imaging/PixelSink.h"

namespace quorvane {

namespace {

struct Malformed {};  // thrown on anything that ends the read

uint16_t Le16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }

struct Header {
  uint8_t idLength = 0, mapType = 0, type = 0;
  uint16_t mapFirst = 0, mapLength = 0;
  uint8_t mapBits = 0;
  uint16_t width = 0, height = 0;
  uint8_t depth = 0, descriptor = 0;

  int kind() const { return type & 7; }  // 1 colour-mapped, 2 true colour, 3 grey
  bool rle() const { return type & 8; }
  int attributeBits() const { return descriptor & 0x0F; }
  bool rightToLeft() const { return descriptor & 0x10; }
  bool topDown() const { return descriptor & 0x20; }
  size_t pixelBytes() const { return (size_t(depth) + 7) / 8; }
  size_t mapEntryBytes() const { return (size_t(mapBits) + 7) / 8; }
};

Header ReadHeader(ByteStream& in) {
  uint8_t b[18];
  in.Read(b, sizeof b);
  Header h;
  h.idLength = b[0];
  h.mapType = b[1];
  h.type = b[2];
  h.mapFirst = Le16(b + 3);
  h.mapLength = Le16(b + 5);
  h.mapBits = b[7];
  h.width = Le16(b + 12);
  h.height = Le16(b + 14);
  h.depth = b[16];
  h.descriptor = b[17];
  const bool typeKnown = h.type == 1 || h.type == 2 || h.type == 3 || h.type == 9 ||
                         h.type == 10 || h.type == 11;
  const bool mapBitsKnown = h.mapBits == 15 || h.mapBits == 16 || h.mapBits == 24 ||
                            h.mapBits == 32;
  bool depthKnown = false;
  switch (h.kind()) {
    case 1:
      depthKnown = h.depth == 8 || h.depth == 16;
      break;
    case 2:
      depthKnown = h.depth == 15 || h.depth == 16 || h.depth == 24 || h.depth == 32;
      break;
    case 3:
      depthKnown = h.depth == 8 || h.depth == 16;
      break;
  }
  // Bits 6 and 7 ask for interleaved rows, which no writer of this century makes.
  if (!typeKnown || !depthKnown || h.mapType > 1 || (h.mapType == 1 && !mapBitsKnown) ||
      (h.kind() == 1 && (h.mapType != 1 || h.mapLength == 0)) || (h.descriptor & 0xC0) ||
      h.width == 0 || h.height == 0)
    throw Malformed();
  return h;
}

// 5-bit channel values scaled to 0..255, rounded.
constexpr std::array<uint8_t, 32> kFiveBits = [] {
  std::array<uint8_t, 32> t{};
  for (uint32_t v = 0; v < 32; ++v) t[v] = ScaleSample(v, 31);
  return t;
}();

// One stored pixel or map entry of `bits` bits as B, G, R, A. `alphaBit`: the top bit of
// a 16-bit value is its alpha.
void ToBgra(const uint8_t* p, int bits, bool alphaBit, uint8_t* bgra) {
  switch (bits) {
    case 15:
    case 16: {
      const uint16_t v = Le16(p);
      bgra[0] = kFiveBits[v & 31];
      bgra[1] = kFiveBits[(v >> 5) & 31];
      bgra[2] = kFiveBits[(v >> 10) & 31];
      bgra[3] = alphaBit && !(v & 0x8000) ? 0 : 255;
      break;
    }
    case 24:
      std::memcpy(bgra, p, 3);
      bgra[3] = 255;
      break;
    default:  // 32
      std::memcpy(bgra, p, 4);
  }
}

// The pixels of the file in stored order, raw or run-length encoded; the state of a
// packet carries from one row to the next.
class PixelSource {
 public:
  PixelSource(ByteStream& in, const Header& h) : in_(in), rle_(h.rle()), bytes_(h.pixelBytes()) {}

  // The next row of `count` pixels, `bytes_` each.
  void Row(uint8_t* out, size_t count) {
    if (!rle_) {
      in_.Read(out, count * bytes_);
      return;
    }
    while (count) {
      if (!left_) {
        const int packet = in_.Get();
        if (packet < 0) throw Malformed();
        left_ = size_t(packet & 0x7F) + 1;
        run_ = packet & 0x80;
        if (run_) in_.Read(value_, bytes_);
      }
      const size_t take = std::min(left_, count);
      if (run_)
        for (size_t i = 0; i < take; ++i) std::memcpy(out + i * bytes_, value_, bytes_);
      else
        in_.Read(out, take * bytes_);
      out += take * bytes_;
      count -= take;
      left_ -= take;
    }
  }

 private:
  ByteStream& in_;
  bool rle_;
  size_t bytes_;
  size_t left_ = 0;  // pixels left in the current packet
  bool run_ = false;
  uint8_t value_[4] = {};
};

// True when `left` bytes can hold the pixels the header promises: stored raw, or as
// run-length packets of at most 128 pixels each.
bool PixelsFit(const Header& h, uint64_t left) {
  const uint64_t pixels = uint64_t(h.width) * h.height;
  const uint64_t least =
      h.rle() ? (pixels + 127) / 128 * (1 + h.pixelBytes()) : pixels * h.pixelBytes();
  return least <= left;
}

bool Read(int fd, const CodecPixelTarget& target) {
  struct stat st{};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || ::lseek(fd, 0, SEEK_SET) != 0)
    return false;
  ByteStream in(fd);
  const Header h = ReadHeader(in);
  if (!Bitmap::SizeAllowed(h.width, h.height)) return false;
  in.Skip(h.idLength);

  // The colour map as B, G, R, A; a map in a file that does not use it is passed over.
  std::vector<uint8_t> map;
  const bool mapAlpha = h.mapBits == 32 || (h.mapBits == 16 && h.attributeBits() > 0);
  if (h.mapType == 1) {
    std::vector<uint8_t> stored(size_t(h.mapLength) * h.mapEntryBytes());
    in.Read(stored.data(), stored.size());
    if (h.kind() == 1) {
      map.resize(size_t(h.mapLength) * 4);
      for (size_t i = 0; i < h.mapLength; ++i)
        ToBgra(stored.data() + i * h.mapEntryBytes(), h.mapBits, mapAlpha, map.data() + i * 4);
    }
  }
  const uint64_t size = uint64_t(st.st_size);
  if (!PixelsFit(h, size - std::min(size, in.Consumed()))) return false;

  bool alpha = false;
  switch (h.kind()) {
    case 1:
      alpha = mapAlpha;
      break;
    case 2:
      alpha = h.depth == 32 || (h.depth == 16 && h.attributeBits() > 0);
      break;
    case 3:
      alpha = h.depth == 16;
      break;
  }
  PixelSink sink(target);
  if (!sink.Start(h.width, h.height, alpha)) return false;

  PixelSource source(in, h);
  const size_t width = h.width, bytes = h.pixelBytes();
  std::vector<uint8_t> row(width * bytes);
  uint8_t bgra[4] = {0, 0, 0, 255};
  for (int stored = 0; stored < h.height; ++stored) {
    source.Row(row.data(), width);
    const int y = h.topDown() ? stored : h.height - 1 - stored;
    uint8_t* out = sink.Row(y);
    uint8_t* outAlpha = alpha ? sink.AlphaRow(y) : nullptr;
    for (size_t i = 0; i < width; ++i) {
      const uint8_t* p = row.data() + i * bytes;
      switch (h.kind()) {
        case 1: {
          const uint32_t index = h.depth == 8 ? p[0] : Le16(p);
          if (index < h.mapFirst || index - h.mapFirst >= h.mapLength) throw Malformed();
          std::memcpy(bgra, map.data() + size_t(index - h.mapFirst) * 4, 4);
          break;
        }
        case 2:
          ToBgra(p, h.depth, alpha, bgra);
          break;
        default:  // grey, with its alpha byte at 16 bits
          bgra[0] = bgra[1] = bgra[2] = p[0];
          bgra[3] = h.depth == 16 ? p[1] : 255;
      }
      const size_t x = h.rightToLeft() ? width - 1 - i : i;
      std::memcpy(out + 3 * x, bgra, 3);
      if (outAlpha) outAlpha[x] = bgra[3];
    }
  }
  sink.Finish();
  return true;
}

}  // namespace

bool ReadTgaFile(int fd, const CodecPixelTarget& target) {
  try {
    return Read(fd, target);
  } catch (const Malformed&) {
    return false;
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace quorvane
