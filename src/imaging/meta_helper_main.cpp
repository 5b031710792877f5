// quorvane-meta: the process in which the metadata library parses files. The program
// starts it (MetaClient) and talks to it with the codec helper's protocol: a load
// answers a file's metadata (ExifInfo in its wire form, laid out as rows of bytes in
// the shared memory) and a save copies metadata between two files named in the
// request. A damaged file that crashes the library or makes it loop ends this process,
// not the program.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

#include "imaging/CodecHelper.h"
#include "imaging/ExifLibrary.h"

namespace {

using namespace quorvane;

// Bytes of metadata per row of the reply "picture": 1024 pixels of 3 bytes.
constexpr int kReplyRowPixels = 1024;

class MetadataService : public CodecService {
 public:
  bool Init() override { return true; }

  // A plain path asks for the file's ExifInfo; a source, width, height and "upright" or
  // "as stored", separated by zero bytes, for its EmbeddedMetadata.
  bool Load(const std::string& request, const CodecPixelTarget& target) override {
    std::vector<uint8_t> bytes;
    if (request.find('\0') == std::string::npos) {
      ExifInfo info;
      if (!local::ReadExifInfo(request, info)) return false;
      bytes = PackExifInfo(info);
    } else {
      std::vector<std::string> parts;
      for (size_t at = 0;;) {
        const size_t end = request.find('\0', at);
        parts.push_back(request.substr(at, end - at));
        if (end == std::string::npos) break;
        at = end + 1;
      }
      if (parts.size() != 4) return false;
      EmbeddedMetadata meta;
      if (!local::PrepareMetadata(parts[0], std::atoi(parts[1].c_str()), std::atoi(parts[2].c_str()),
                                  parts[3] == "upright", meta))
        return false;
      bytes = PackMetadata(meta);
    }
    return Reply(bytes, target);
  }

  // Lays `bytes` out as rows of the reply picture.
  static bool Reply(const std::vector<uint8_t>& bytes, const CodecPixelTarget& target) {
    const size_t rowBytes = Bitmap::StrideFor(kReplyRowPixels);
    const int rows = int((bytes.size() + rowBytes - 1) / rowBytes);
    uint8_t* out = target(kReplyRowPixels, std::max(rows, 1));
    if (!out) return false;
    std::memcpy(out, bytes.data(), bytes.size());
    std::memset(out + bytes.size(), 0, size_t(std::max(rows, 1)) * rowBytes - bytes.size());
    return true;
  }

  // `names`: the file to write, the source and "upright" or "as stored", separated by
  // zero bytes.
  bool Save(const std::string& names, const Bitmap&, const CodecSaveRequest&) override {
    const size_t first = names.find('\0');
    const size_t second = first == std::string::npos ? first : names.find('\0', first + 1);
    if (first == 0 || second == std::string::npos || second == first + 1) return false;
    return local::CopyMetadata(names.substr(first + 1, second - first - 1), names.substr(0, first),
                               names.substr(second + 1) == "upright");
  }
};

}  // namespace

int main(int argc, char** argv) {
  MetadataService service;
  auto bind = [](std::string&) {
    local::InitExifLibrary();
    return true;
  };
  return RunCodecHelper(argc, argv, bind, service, true);
}
