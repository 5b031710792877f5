#include "thumbnails/SusiePlugins.h"

#include <unistd.h>

#include <cerrno>

#include "platform/FileIO.h"
#include "platform/FileNames.h"
#include "thumbnails/DibReader.h"

namespace quorvane {

namespace {

// The file's first bytes; read errors leave zeros.
std::vector<uint8_t> ReadHead(const std::string& FileName) {
  std::vector<uint8_t> head(kSusieHeadSize, 0);
  // A pipe or a device named like a picture must not block the thumbnail worker.
  const UniqueFd fd = UniqueFd::OpenRead(FileName);
  if (!fd.Ok()) return head;
  size_t got = 0;
  while (got < head.size()) {
    const ssize_t n = ::read(fd.Get(), head.data() + got, head.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += size_t(n);
  }
  return head;
}

}  // namespace

bool SusiePluginEntry::Accepts(const std::string& FileName) const {
  const std::string ext = LowerFileExt(FileName);
  if (ext.empty() || !IsSupported) return false;
  std::string text;
  for (const std::string& line : Extensions) text += line + "\r\n";
  text += ";";
  if (text.find(ext) == std::string::npos) return false;
  const std::vector<uint8_t> head = ReadHead(FileName);
  try {
    return IsSupported(FileName, head.data()) != 0;
  } catch (...) {
    return false;
  }
}

int SusiePluginEntry::LoadWith(const std::string& FileName, Bitmap& bitmap) const {
  int result = kSusieNoPicture;
  try {
    std::vector<uint8_t> info, pixels;
    auto call = [&](const SusieGetPicture& fn) {
      info.clear();
      pixels.clear();
      return fn ? fn(FileName, 0, 0, info, pixels) : kSusieNoPicture;
    };
    result = Preview ? call(GetPreview) : kSusieNoPicture;
    if (!Preview || result != 0) result = call(GetPicture);
    if (!info.empty() && !pixels.empty()) {
      const bool converted =
          DibToBitmap(info.data(), info.size(), pixels.data(), pixels.size(), bitmap);
      if (result == 0 && !converted) result = kSusieNoPicture;
    } else if (result == 0) {
      result = kSusieNoPicture;
    }
  } catch (...) {
  }
  return result;
}

int SusiePluginHost::Add(const std::string& name, std::unique_ptr<SusiePluginEntry> entry) {
  entries_.push_back({name, std::move(entry)});
  return int(entries_.size()) - 1;
}

int SusiePluginHost::FindPlugin(const std::string& FileName) const {
  int found = -1;
  for (size_t i = 0; i < entries_.size(); ++i)
    if (entries_[i].entry->Accepts(FileName)) found = int(i);
  return found;
}

int SusiePluginHost::LoadPicture(const std::string& FileName, Bitmap& bitmap) {
  int result = kSusieNoEntry;
  for (Item& item : entries_) {
    if (!item.entry->Accepts(FileName)) continue;
    item.entry->Preview = preview_;
    result = item.entry->LoadWith(FileName, bitmap);
    if (result == 0) break;
  }
  return result;
}

}  // namespace quorvane
