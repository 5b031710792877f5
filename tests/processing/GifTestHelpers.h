#pragma once
// Helpers of the GIF writer tests: two independent decoders (giflib in process, Pillow
// through python3) and a reader of the raw code sequence of a GIF's image data.

#include <gif_lib.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "support/TestDir.h"

namespace quorvane::test {

struct GiflibPicture {
  int width = 0;
  int height = 0;
  int colorCount = 0;            // entries of the local colour table
  std::vector<uint8_t> colors;   // R, G, B per entry
  std::vector<uint8_t> indices;  // width * height
};

// Decodes the first frame with giflib; nullopt when giflib refuses the file.
inline std::optional<GiflibPicture> DecodeWithGiflib(const std::string& path) {
  int error = 0;
  GifFileType* gif = DGifOpenFileName(path.c_str(), &error);
  if (!gif) return std::nullopt;
  std::optional<GiflibPicture> result;
  if (DGifSlurp(gif) == GIF_OK && gif->ImageCount >= 1) {
    const SavedImage& image = gif->SavedImages[0];
    GiflibPicture pic;
    pic.width = image.ImageDesc.Width;
    pic.height = image.ImageDesc.Height;
    if (const ColorMapObject* map = image.ImageDesc.ColorMap) {
      pic.colorCount = map->ColorCount;
      for (int i = 0; i < map->ColorCount; ++i)
        pic.colors.insert(pic.colors.end(),
                          {map->Colors[i].Red, map->Colors[i].Green, map->Colors[i].Blue});
    }
    pic.indices.assign(image.RasterBits, image.RasterBits + size_t(pic.width) * pic.height);
    result = std::move(pic);
  }
  DGifCloseFile(gif, &error);
  return result;
}

inline std::string PythonWithPillow() {
  // The Debian python3 carries Pillow; a python3 earlier in PATH may not.
  return access("/usr/bin/python3", X_OK) == 0 ? "/usr/bin/python3" : "python3";
}

// Decodes every file with Pillow in one run. Per file: its palette indices (Pillow's
// "P" mode bytes), or nullopt when Pillow failed or gave another mode or size.
inline std::vector<std::optional<std::vector<uint8_t>>> DecodeWithPillow(
    const std::vector<std::string>& paths, const std::vector<std::pair<int, int>>& sizes) {
  static const char* kScript =
      "import sys\n"
      "from PIL import Image\n"
      "for p in sys.argv[1:]:\n"
      "    try:\n"
      "        im = Image.open(p)\n"
      "        im.load()\n"
      "        if im.mode != 'P':\n"
      "            raise ValueError(im.mode)\n"
      "        open(p + '.pil', 'wb').write(b'%d %d\\n' % im.size + im.tobytes())\n"
      "    except Exception as e:\n"
      "        sys.stderr.write('%s: %s\\n' % (p, e))\n";
  std::string command = PythonWithPillow() + " -c " + ShellQuote(kScript);
  for (const auto& p : paths) command += " " + ShellQuote(p);
  RunCommand(command);
  std::vector<std::optional<std::vector<uint8_t>>> result;
  for (size_t i = 0; i < paths.size(); ++i) {
    const std::string bytes = ReadFileBytes(paths[i] + ".pil");
    unlink((paths[i] + ".pil").c_str());
    const std::string head =
        std::to_string(sizes[i].first) + " " + std::to_string(sizes[i].second) + "\n";
    if (bytes.compare(0, head.size(), head) != 0) {
      result.push_back(std::nullopt);
      continue;
    }
    result.emplace_back(
        std::vector<uint8_t>(bytes.begin() + std::ptrdiff_t(head.size()), bytes.end()));
  }
  return result;
}

// The image data of a single-frame GIF without a global colour table, as the decoder
// sees it: the minimum code size, the sub-block lengths and the codes read at the
// widths a decoder uses (width size + 1 after a clear, one bit more once the table
// reaches the next power of two, at most 12).
struct CodeStream {
  int codeSize = 0;
  std::vector<int> blockLengths;
  std::vector<int> codes;
  std::vector<int> widths;  // width each code was read at
  size_t endOffset = 0;     // offset of the byte after the zero-length block
};

inline CodeStream ReadCodeStream(const std::vector<uint8_t>& gif) {
  CodeStream cs;
  size_t at = 13;  // header and logical screen descriptor
  EXPECT_EQ(gif.at(10) & 0x80, 0) << "no global colour table expected";
  EXPECT_EQ(gif.at(at), 0x2C);
  const int packed = gif.at(at + 9);
  at += 10;
  if (packed & 0x80) at += size_t(3) << ((packed & 7) + 1);
  cs.codeSize = gif.at(at++);
  std::vector<uint8_t> data;
  for (;;) {
    const int n = gif.at(at++);
    cs.blockLengths.push_back(n);
    if (n == 0) break;
    data.insert(data.end(), gif.begin() + std::ptrdiff_t(at), gif.begin() + std::ptrdiff_t(at + n));
    at += size_t(n);
  }
  cs.endOffset = at;
  const int clear = 1 << cs.codeSize, end = clear + 1;
  int width = cs.codeSize + 1, nextFree = clear + 2;
  bool first = true;
  size_t bit = 0;
  while (bit + size_t(width) <= data.size() * 8) {
    int code = 0;
    for (int i = 0; i < width; ++i, ++bit) code |= ((data[bit / 8] >> (bit % 8)) & 1) << i;
    cs.codes.push_back(code);
    cs.widths.push_back(width);
    if (code == end) break;
    if (code == clear) {
      width = cs.codeSize + 1;
      nextFree = clear + 2;
      first = true;
      continue;
    }
    if (first) {
      first = false;
      continue;
    }
    if (nextFree < 4096) ++nextFree;
    if (nextFree == (1 << width) && width < 12) ++width;
  }
  return cs;
}

}  // namespace quorvane::test
