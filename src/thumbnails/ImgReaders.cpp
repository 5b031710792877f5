#include "thumbnails/ImgReaders.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/FileIO.h"
#include "platform/LittleEndian.h"
#include "thumbnails/DibReader.h"

namespace quorvane {

namespace {

// A file opened for reading, read at offsets.
class Fd {
 public:
  explicit Fd(const std::string& path) : fd_(UniqueFd::OpenRead(path)) {}
  bool Ok() const { return fd_.Ok(); }
  int Get() const { return fd_.Get(); }
  int64_t Size() const { return fd_.Size(); }
  bool ReadAt(int64_t offset, void* buffer, size_t n) const {
    return ReadFullyAt(fd_.Get(), offset, buffer, n);
  }

 private:
  UniqueFd fd_;
};

// ---- AVI (RIFF) ----

struct Chunk {
  char id[4];
  uint32_t size;
  int64_t data;  // offset of the chunk's data
  bool Is(const char* fourcc) const { return std::memcmp(id, fourcc, 4) == 0; }
};

// Walks the chunks of [begin, end); every chunk must lie inside the range.
class ChunkWalker {
 public:
  ChunkWalker(const Fd& file, int64_t begin, int64_t end) : file_(file), next_(begin), end_(end) {}
  bool Next(Chunk& c) {
    if (next_ + 8 > end_) return false;
    uint8_t raw[8];
    if (!file_.ReadAt(next_, raw, 8)) return false;
    std::memcpy(c.id, raw, 4);
    c.size = U32(raw + 4);
    c.data = next_ + 8;
    if (int64_t(c.size) > end_ - c.data) return false;
    next_ = c.data + int64_t(c.size) + (c.size & 1);
    return true;
  }

 private:
  const Fd& file_;
  int64_t next_;
  int64_t end_;
};

bool ListType(const Fd& file, const Chunk& c, const char* type) {
  char t[4];
  return c.Is("LIST") && c.size >= 4 && file.ReadAt(c.data, t, 4) && std::memcmp(t, type, 4) == 0;
}

struct VideoStream {
  int number = -1;
  uint32_t length = 0;
  std::vector<uint8_t> format;  // BITMAPINFOHEADER and colour table
};

bool FindVideoStream(const Fd& file, const Chunk& hdrl, VideoStream& video) {
  ChunkWalker inHdrl(file, hdrl.data + 4, hdrl.data + hdrl.size);
  Chunk c;
  int streamNo = 0;
  while (inHdrl.Next(c)) {
    if (!ListType(file, c, "strl")) continue;
    const int number = streamNo++;
    ChunkWalker inStrl(file, c.data + 4, c.data + c.size);
    Chunk s;
    bool isVideo = false;
    uint32_t length = 0;
    std::vector<uint8_t> format;
    while (inStrl.Next(s)) {
      if (s.Is("strh") && s.size >= 36) {
        uint8_t strh[36];
        if (!file.ReadAt(s.data, strh, sizeof strh)) return false;
        isVideo = std::memcmp(strh, "vids", 4) == 0;
        length = U32(strh + 32);
      } else if (s.Is("strf") && s.size >= 40 && s.size <= 65536) {
        format.resize(s.size);
        if (!file.ReadAt(s.data, format.data(), format.size())) return false;
      }
    }
    if (isVideo && !format.empty()) {
      video = {number, length, std::move(format)};
      return true;
    }
  }
  return false;
}

// The chunk of frame `wanted` (or the last stored frame before it when that one was
// dropped) of stream `number` in the movie list; nested "rec " lists are entered.
bool FindFrame(const Fd& file, int64_t begin, int64_t end, int number, uint64_t wanted,
               uint64_t& seen, Chunk& frame, bool& found, int depth) {
  ChunkWalker walker(file, begin, end);
  Chunk c;
  const char tag[2] = {char('0' + number / 10 % 10), char('0' + number % 10)};
  while (seen <= wanted && walker.Next(c)) {
    if (c.Is("LIST")) {
      if (depth < 2 && c.size >= 4 &&
          !FindFrame(file, c.data + 4, c.data + c.size, number, wanted, seen, frame, found,
                     depth + 1))
        return false;
      continue;
    }
    if (c.id[0] != tag[0] || c.id[1] != tag[1] || c.id[2] != 'd' ||
        (c.id[3] != 'b' && c.id[3] != 'c'))
      continue;
    if (c.size > 0) {
      frame = c;
      found = true;
    }
    ++seen;
  }
  return true;
}

}  // namespace

bool ReadTextPreview(const std::string& path, int maxLines, int maxColumn, std::string& text) {
  text.clear();
  Fd file(path);
  if (!file.Ok()) return false;
  int lines = 0, column = 0;
  bool keepTail = false;  // the current character was taken (for its continuation bytes)
  char block[1024];
  while (lines < maxLines) {
    const ssize_t n = ::read(file.Get(), block, sizeof block);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    for (ssize_t i = 0; i < n && lines < maxLines; ++i) {
      const unsigned char c = static_cast<unsigned char>(block[i]);
      if (c == 0) break;
      if (c == '\r') continue;
      if (c == '\n') {
        text += "\r\n";
        ++lines;
        column = 0;
        keepTail = false;
        continue;
      }
      if ((c & 0xC0) == 0x80) {
        if (keepTail) text += char(c);
        continue;
      }
      keepTail = column <= maxColumn;
      if (keepTail) text += char(c);
      ++column;
    }
  }
  return true;
}

bool ReadAviFrame(const std::string& path, int framePos, Bitmap& out) {
  Fd file(path);
  if (!file.Ok()) return false;
  const int64_t fileSize = file.Size();
  uint8_t riff[12];
  if (fileSize < 12 || !file.ReadAt(0, riff, 12)) return false;
  if (std::memcmp(riff, "RIFF", 4) != 0 || std::memcmp(riff + 8, "AVI ", 4) != 0) return false;
  // A RIFF size beyond the file (a file cut short) is read as far as it goes.
  const int64_t end = std::min<int64_t>(fileSize, 8 + int64_t(U32(riff + 4)));

  VideoStream video;
  bool haveVideo = false;
  Chunk movi{};
  bool haveMovi = false;
  ChunkWalker top(file, 12, end);
  Chunk c;
  while (top.Next(c) && !(haveVideo && haveMovi)) {
    if (!haveVideo && ListType(file, c, "hdrl")) haveVideo = FindVideoStream(file, c, video);
    if (!haveMovi && ListType(file, c, "movi")) {
      movi = c;
      haveMovi = true;
    }
  }
  if (!haveVideo || !haveMovi || video.number > 99) return false;

  DibHeader header;
  if (!ReadDibHeader(video.format.data(), video.format.size(), header)) return false;
  const int64_t frameBytes = DibPixelBytes(header);
  if (frameBytes <= 0) return false;

  const uint64_t wanted = uint64_t(framePos < 0 ? 0 : framePos) * video.length / 100;
  uint64_t seen = 0;
  bool found = false;
  Chunk frame{};
  if (!FindFrame(file, movi.data + 4, movi.data + movi.size, video.number, wanted, seen, frame,
                 found, 0) ||
      !found || int64_t(frame.size) < frameBytes)
    return false;
  std::vector<uint8_t> pixels(static_cast<size_t>(frameBytes));
  if (!file.ReadAt(frame.data, pixels.data(), pixels.size())) return false;
  return DibToBitmap(video.format.data(), video.format.size(), pixels.data(), pixels.size(), out);
}

}  // namespace quorvane
