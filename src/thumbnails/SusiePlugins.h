#pragma once
// The host for image plug-ins that follow the Susie 32-bit plug-in interface. Entries
// carry the plug-in's functions; this program loads no plug-in files itself, so the list
// starts empty and whoever loads plug-ins fills entries with the fields below.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "imaging/Bitmap.h"

namespace quorvane {

// Bytes of the file's beginning handed to IsSupported (zero-filled past the end).
constexpr size_t kSusieHeadSize = 2176;
// LoadPicture's answer when no entry accepts the file.
constexpr int kSusieNoEntry = 200;
// LoadWith's answer when a plug-in reported success but handed over no usable picture
// (missing data, an inconsistent header, or the call threw).
constexpr int kSusieNoPicture = 201;

// IsSupported(file name, first 2176 bytes of the file) -> non-zero when the plug-in
// reads the file.
using SusieIsSupported = std::function<int(const std::string& FileName, const uint8_t* Head)>;
// GetPicture / GetPreview(source, offset, flags, out info, out pixels) -> 0 on success,
// else a Susie error code. Offset 0 and flags 0: the source is a file name, read from
// its start. `Info` receives a BITMAPINFOHEADER with its colour table, `Pixels` the rows
// (see DibReader.h). No progress callback is passed.
using SusieGetPicture =
    std::function<int(const std::string& Source, int64_t Offset, unsigned Flags,
                      std::vector<uint8_t>& Info, std::vector<uint8_t>& Pixels)>;

struct SusiePluginEntry {
  // File patterns the plug-in reads ("*.pic", "*.mag"), as its plug-in information says.
  std::vector<std::string> Extensions;
  bool Preview = false;  // copied from the host before each use
  SusieIsSupported IsSupported;
  SusieGetPicture GetPicture;
  SusieGetPicture GetPreview;

  // The extension occurs in the pattern text and IsSupported answers non-zero.
  bool Accepts(const std::string& FileName) const;
  // Asks for the preview (when Preview) then the picture and converts it into `bitmap`.
  // Answers the last plug-in call's code (kSusieNoPicture when a successful call
  // handed over nothing usable). Never throws.
  int LoadWith(const std::string& FileName, Bitmap& bitmap) const;
};

class SusiePluginHost {
 public:
  // Ask plug-ins for their quick preview picture before the full picture.
  bool Preview() const { return preview_; }
  void SetPreview(bool value) { preview_ = value; }

  // The ordered entry list (a name per entry, the entry owned by the host).
  int Add(const std::string& name, std::unique_ptr<SusiePluginEntry> entry);
  int Count() const { return int(entries_.size()); }
  const std::string& Name(int index) const { return entries_.at(size_t(index)).name; }
  SusiePluginEntry& Entry(int index) { return *entries_.at(size_t(index)).entry; }
  void Clear() { entries_.clear(); }

  // Index of the last entry that accepts the file (every entry is asked), -1 if none.
  int FindPlugin(const std::string& FileName) const;
  // 0 when an entry delivered the picture into `bitmap`; otherwise the last entry's
  // code, or kSusieNoEntry (200) when no entry accepted the file.
  int LoadPicture(const std::string& FileName, Bitmap& bitmap);

 private:
  struct Item {
    std::string name;
    std::unique_ptr<SusiePluginEntry> entry;
  };
  bool preview_ = false;
  std::vector<Item> entries_;
};

}  // namespace quorvane
