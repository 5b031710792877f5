// The Netpbm, TIFF and TGA readers of the codec helper on arbitrary bytes (all are tried
// on each input), and the colour check of a file's header that the program makes itself:
// each answers true or false, and a picture a reader gives fits the memory it asked for.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "imaging/Bitmap.h"
#include "imaging/ColourHeader.h"
#include "imaging/PnmReader.h"
#include "imaging/TgaReader.h"
#include "imaging/TiffReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The readers take a file name: the bytes go into an anonymous file.
  const int fd = ::memfd_create("fuzz-input", MFD_CLOEXEC);
  if (fd < 0 || ::write(fd, data, size) != ssize_t(size)) {
    if (fd >= 0) ::close(fd);
    return 0;
  }
  const std::string path = "/proc/self/fd/" + std::to_string(fd);
  std::vector<uint8_t> memory;
  auto target = [&memory](int width, int height) {
    memory.assign(quorvane::Bitmap::StrideFor(width) * size_t(height), 0);
    return memory.data();
  };
  quorvane::ReadPnmFile(path, target);
  int orientation = 0;
  quorvane::ReadTiffFile(path, target, &orientation);
  quorvane::ReadTgaFile(fd, target);
  quorvane::HeaderDeclaresOtherThanSrgb(path);
  ::close(fd);
  return 0;
}
