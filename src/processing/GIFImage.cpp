#include "processing/GIFImage.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>
#include <system_error>

namespace quorvane {

namespace {

constexpr int kMaxGIFSide = 65535;  // sizes and positions are 16-bit fields

void Put16(std::vector<uint8_t>& out, int value) {
  out.push_back(uint8_t(value & 0xFF));
  out.push_back(uint8_t((value >> 8) & 0xFF));
}

void CheckFrame(const GifSubImage& frame) {
  if (frame.Width < 1 || frame.Height < 1 || frame.Left < 0 || frame.Top < 0 ||
      int64_t(frame.Left) + frame.Width > kMaxGIFSide ||
      int64_t(frame.Top) + frame.Height > kMaxGIFSide)
    throw std::invalid_argument("GIF frame position or size out of range");
  if (frame.Pixels.size() != size_t(frame.Width) * size_t(frame.Height))
    throw std::invalid_argument("GIF frame pixel count does not match its size");
  if (frame.ColorMap.Count() < 1 || frame.ColorMap.Count() > 256)
    throw std::invalid_argument("GIF colour table must hold 1 to 256 colours");
}

void WriteFileOrRemove(const std::string& path, const std::vector<uint8_t>& bytes) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) throw std::system_error(errno, std::generic_category(), "cannot create " + path);
  size_t done = 0;
  int error = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      error = errno;
      break;
    }
    done += size_t(n);
  }
  if (::close(fd) != 0 && error == 0) error = errno;
  if (error != 0) {
    ::unlink(path.c_str());
    throw std::system_error(error, std::generic_category(), "cannot write " + path);
  }
}

void CheckCompression(int compression) {
  if (compression != gcRLE)
    throw std::invalid_argument("the GIF writer only has run-length coding (compression 1)");
}

}  // namespace

int GifColorMap::BitsPerPixel() const {
  int bits = 1;
  while (bits < 8 && (1 << bits) < Count()) ++bits;
  return bits;
}

GifSubImage GIFFrameFromBitmap(const Bitmap& bitmap, DitherMode mode) {
  if (bitmap.Empty()) throw GIFError("Cannot write an empty picture as GIF");
  GifSubImage frame;
  frame.Width = bitmap.Width();
  frame.Height = bitmap.Height();
  const auto& palette = WebPalette();
  frame.ColorMap.Colors.assign(palette.begin(), palette.end());
  frame.Pixels = QuantizeToWebPalette(bitmap, mode);
  return frame;
}

GifVersion RequiredGIFVersion(const GifSubImage& frame) {
  return frame.ColorMap.Sorted ? GifVersion::gv89a : GifVersion::gv87a;
}

std::vector<uint8_t> EncodeGIFFrame(const GifSubImage& frame) {
  return EncodeGIFFrame(frame, RequiredGIFVersion(frame));
}

std::vector<uint8_t> EncodeGIFFrame(const GifSubImage& frame, GifVersion version) {
  const char* versionText = nullptr;
  switch (version) {
    case GifVersion::gv87a:
      versionText = "87a";
      break;
    case GifVersion::gv89a:
      versionText = "89a";
      break;
    default:
      throw GIFError("Unsupported GIF version");
  }
  CheckFrame(frame);
  const int bits = frame.ColorMap.BitsPerPixel();
  const int tableEntries = 1 << bits;

  std::vector<uint8_t> out;
  out.reserve(6 + 7 + 10 + size_t(tableEntries) * 3 + frame.Pixels.size() * 9 / 8 + 64);

  // Header.
  out.insert(out.end(), {'G', 'I', 'F'});
  out.insert(out.end(), versionText, versionText + 3);

  // Logical screen descriptor: no global colour table; colour resolution and the size
  // field both carry the largest bits per pixel - 1.
  Put16(out, frame.Left + frame.Width);
  Put16(out, frame.Top + frame.Height);
  out.push_back(uint8_t(((bits - 1) << 4) | (bits - 1)));
  out.push_back(0);  // background colour index
  out.push_back(0);  // pixel aspect ratio

  // Image descriptor with a local colour table, not interlaced.
  out.push_back(0x2C);
  Put16(out, frame.Left);
  Put16(out, frame.Top);
  Put16(out, frame.Width);
  Put16(out, frame.Height);
  out.push_back(uint8_t(0x80 | (frame.ColorMap.Sorted ? 0x20 : 0) | (bits - 1)));

  // Local colour table, padded with black entries to 2^bits.
  for (const RGBTriple& c : frame.ColorMap.Colors) out.insert(out.end(), c.begin(), c.end());
  out.insert(out.end(), size_t(tableEntries - frame.ColorMap.Count()) * 3, 0);

  RleEncoder encoder(bits);
  encoder.Encode(frame.Pixels.data(), frame.Pixels.size(), frame.ColorMap.Count(), out);

  out.push_back(0x3B);  // trailer
  return out;
}

std::vector<uint8_t> EncodeGIF(const Bitmap& bitmap, DitherMode mode, int compression) {
  CheckCompression(compression);
  return EncodeGIFFrame(GIFFrameFromBitmap(bitmap, mode));
}

std::vector<uint8_t> EncodeGIF(const Bitmap& bitmap, int ditherIndex, int compression) {
  return EncodeGIF(bitmap, DitherModeFromIndex(ditherIndex), compression);
}

void SaveGIF(const Bitmap& bitmap, const std::string& path, DitherMode mode, int compression) {
  WriteFileOrRemove(path, EncodeGIF(bitmap, mode, compression));
}

void SaveGIF(const Bitmap& bitmap, const std::string& path, int ditherIndex, int compression) {
  SaveGIF(bitmap, path, DitherModeFromIndex(ditherIndex), compression);
}

}  // namespace quorvane
