#include "support/DamagedFiles.h"

#include <algorithm>
#include <random>

#include "imaging/JpegCodec.h"
#include "imaging/OpenIL.h"

namespace quorvane::test {

namespace {

// A small Dr. Halo CUT file: 16 x 8, each line a count word and run-length records.
std::string MakeCutFile() {
  std::string bytes = {16, 0, 8, 0, 0, 0};
  for (int y = 0; y < 8; ++y) {
    std::string line;
    line += char(0x80 | 8);  // run of 8
    line += char(y);
    line += char(8);  // 8 literal bytes
    for (int x = 0; x < 8; ++x) line += char(x * 3 + y);
    line += char(0);  // end of line
    bytes += char(line.size() & 0xFF);
    bytes += char(line.size() >> 8);
    bytes += line;
  }
  return bytes;
}

}  // namespace

std::map<std::string, std::string> MakeSeedFiles(const TestDir& dir) {
  const std::string png = dir.file("seed-source.png");
  const Bitmap picture = PatternBitmap(48, 32);
  CodecSaveRequest req;
  req.type = kCodecTypePng;
  if (!CodecSave(png, picture, req)) return {};  // callers find every seed missing

  std::map<std::string, std::string> seeds;
  auto convert = [&](const std::string& ext, const std::string& options,
                     const std::string& prefix) {
    const std::string out = dir.file("seed" + ext);
    const std::string cmd = "convert " + ShellQuote(png) + " " + options + " " +
                            ShellQuote(prefix + out) + " 2>/dev/null";
    if (RunCommand(cmd) == 0) seeds[ext] = out;
  };
  convert(".pnm", "", "ppm:");
  convert(".mng", "", "mng:");
  convert(".pcd", "-resize 192x128!", "pcd:");
  convert(".png", "", "png:");
  convert(".tga", "", "tga:");
  convert(".tif", "", "tiff:");
  convert(".tiff", "-compress lzw", "tiff:");
  convert(".sgi", "", "sgi:");
  convert(".bw", "-colorspace gray", "sgi:");
  convert(".rgb", "", "sgi:");
  convert(".rgba", "-alpha set", "sgi:");
  convert(".gif", "", "gif:");
  convert(".bmp", "", "bmp3:");
  for (auto [ext, type] : {std::pair<std::string, int>{".pcx", 0x0428}, {".dds", 0x0437}}) {
    CodecSaveRequest r;
    r.type = type;
    if (CodecSave(dir.file("seed" + ext), picture, r)) seeds[ext] = dir.file("seed" + ext);
  }
  seeds[".cut"] = dir.write("seed.cut", MakeCutFile());
  const auto jpeg = EncodeJpeg(picture, 80);
  for (const char* ext : {".jpe", ".jpeg", ".jpg"})
    seeds[ext] = dir.write(std::string("seed") + ext, std::string(jpeg.begin(), jpeg.end()));
  return seeds;
}

std::vector<std::string> Mutants(const std::string& file, unsigned seed, int count) {
  std::mt19937 rng(seed);
  auto pick = [&](size_t n) { return n ? size_t(rng() % n) : size_t(0); };
  std::vector<std::string> out;
  const size_t n = file.size();
  for (int i = 0; out.size() < size_t(count); ++i) {
    std::string m = file;
    switch (i % 5) {
      case 0: {  // truncated: inside the header or anywhere
        const size_t cuts[] = {0, 1, 4, 12, 18, 40, 100, n / 3, n / 2, n - 1};
        m.resize(std::min(n, i < 50 ? cuts[(i / 5) % 10] : pick(n)));
        break;
      }
      case 1:  // a few bits flipped
        for (int k = 0, flips = 1 + int(pick(16)); k < flips; ++k) m[pick(n)] ^= char(1 << pick(8));
        break;
      case 2: {  // a header word or double word set to an extreme
        const char extremes[] = {'\xFF', '\x00', '\x7F', '\x80'};
        const size_t at = pick(std::min<size_t>(n, 128));
        const size_t len = 1 + pick(4);
        const char v = extremes[pick(4)];
        for (size_t k = at; k < std::min(n, at + len); ++k) m[k] = v;
        break;
      }
      case 3: {  // a stretch of noise
        const size_t at = pick(n);
        for (size_t k = at; k < std::min(n, at + 1 + pick(64)); ++k) m[k] = char(rng());
        break;
      }
      case 4:  // header damage and a cut together
        m[pick(std::min<size_t>(n, 64))] = char(rng());
        m.resize(n / 2 + pick(n / 2));
        break;
    }
    out.push_back(std::move(m));
  }
  return out;
}

}  // namespace quorvane::test
