// The thumbnail cache reader on arbitrary cache files: the in-memory scan, and ThumbnailCacheFile
// looking up, removing and purging entries of a damaged file on disk, then decoding
// the JPEG stream of a hit as the loader would.
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "imaging/JpegCodec.h"
#include "thumbnails/ThumbnailCacheFile.h"
#include "thumbnails/ThumbFormat.h"

namespace {

const std::string& WorkDir() {
  static const std::string dir = [] {
    char name[] = "/tmp/quorvane-thumbfuzz-XXXXXX";
    return std::string(mkdtemp(name) ? name : "/tmp");
  }();
  return dir;
}

void DecodeHit(const std::vector<uint8_t>& jpeg) {
  try {
    quorvane::Bitmap out;
    quorvane::JpegReader(jpeg).Decode(out, 8, quorvane::JpegPerformance::jpBestSpeed);
  } catch (const quorvane::JpegError&) {
  } catch (const quorvane::BitmapError&) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Paths that the seed files use, in varying case.
  static const std::string kPaths[] = {"/pics/a.jpg", "/PICS/B.PNG", "/pics/c.gif", ""};

  quorvane::ThumbEntryHeader header;
  std::vector<uint8_t> jpeg;
  for (const auto& p : kPaths)
    if (quorvane::ThumbScanBuffer(data, size, p, header, jpeg)) DecodeHit(jpeg);

  const std::string file = WorkDir() + "/thumbs.dat";
  {
    std::ofstream f(file, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(data), std::streamsize(size));
  }
  quorvane::ThumbnailCacheFile thumb;
  thumb.SetPathType(quorvane::iptFree);
  thumb.SetPath(WorkDir());
  thumb.SetFileName("thumbs.dat");
  try {
    for (const auto& p : kPaths)
      if (thumb.LookUp(p, jpeg)) DecodeHit(jpeg);
    thumb.SetActive(true);
    if (thumb.LookUp(kPaths[1], jpeg)) DecodeHit(jpeg);
    thumb.Remove(kPaths[0]);
    thumb.Purge({kPaths[1], kPaths[2]});
    thumb.SetActive(false);
  } catch (const quorvane::EThumbError&) {
  }
  return 0;
}
