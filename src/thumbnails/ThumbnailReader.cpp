#include "thumbnails/ThumbnailReader.h"

#include <sys/stat.h>

#include <algorithm>
#include <mutex>
#include <utility>
#include <vector>

#include "imaging/BmpFile.h"
#include "imaging/ReadImage.h"
#include "platform/FileIO.h"
#include "platform/FileNames.h"
#include "thumbnails/ImgExif.h"
#include "thumbnails/ImgReaders.h"

namespace quorvane {

namespace {

constexpr std::pair<const char*, FileKind> kKinds[] = {
    {".bmp", iitBmp},   {".jpg", iitJpeg}, {".jpeg", iitJpeg}, {".ico", iitIco}, {".cur", iitCur},
    {".ani", iitAni},   {".emf", iitEmf},  {".wmf", iitWmf},   {".exe", iitExe}, {".dll", iitDll},
    {".html", iitHtml}, {".htm", iitHtml}, {".eml", iitEml},   {".txt", iitTxt}, {".avi", iitAvi},
};

// The cache file is one object with a current entry; the loaders of several thumbnail
// workers take turns with it.
std::mutex& CacheFileMutex() {
  static std::mutex mutex;
  return mutex;
}

bool Exists(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0;
}

// The file is as it was before it was read: its size and modification time (to the
// nanosecond) are the same. A file still being written changes under the reader.
bool Settled(const std::string& path, const struct stat& before) {
  struct stat after {};
  return stat(path.c_str(), &after) == 0 && after.st_size == before.st_size &&
         after.st_mtim.tv_sec == before.st_mtim.tv_sec &&
         after.st_mtim.tv_nsec == before.st_mtim.tv_nsec;
}

}  // namespace

bool IsIconKind(FileKind kind) {
  switch (kind) {
    case iitNone:
    case iitIco:
    case iitCur:
    case iitAni:
    case iitExe:
    case iitDll:
    case iitDir:
      return true;
    default:
      return false;
  }
}

ThumbnailReader::ThumbnailReader() = default;

void ThumbnailReader::CopySettings(const ThumbnailReader& from) {
  quality_ = from.quality_;
  performance_ = from.performance_;
  textExt_ = from.textExt_;
  textExtList_ = from.textExtList_;
  susiePriority_ = from.susiePriority_;
  autoThumb_ = from.autoThumb_;
  font_ = from.font_;
  thumbnail_ = from.thumbnail_;
  susiePlugins_ = from.susiePlugins_;
  sharedCache_ = from.sharedCache_;
  getType_ = from.getType_;
  bkColor_ = from.bkColor_;
  aviFramePos_ = from.aviFramePos_;
  customPlugin_ = from.customPlugin_;
  iconProvider_ = from.iconProvider_;
  textRenderer_ = from.textRenderer_;
}

void ThumbnailReader::SetQuality(int value) { quality_ = std::clamp(value, 1, 100); }

void ThumbnailReader::SetTextExt(const std::string& value) {
  const std::string lower = LowerAscii(value);
  if (lower != textExt_) textExt_ = lower;
  std::string list = textExt_;
  if (!list.empty()) {
    if (list.front() != ';') list.insert(list.begin(), ';');
    if (list.back() != ';') list.push_back(';');
    list.erase(std::remove(list.begin(), list.end(), '*'), list.end());
  }
  textExtList_ = list;
}

void ThumbnailReader::SetBKColor(RgbColor value) {
  if (value == bkColor_) return;
  bkColor_ = value;
  if (OnChange) OnChange(*this);
}

void ThumbnailReader::SetAviFramePos(int value) {
  if (value >= 0 && value <= 100) aviFramePos_ = value;
}

int ThumbnailReader::CheckImageType(const std::string& FileName) {
  imageType_ = ClassifyImageType(FileName);
  return imageType_ == iitNone ? 3 : 0;
}

FileKind ThumbnailReader::ClassifyImageType(const std::string& FileName) const {
  if (customPlugin_ && customPlugin_->CanLoad(FileName)) return iitCustom;
  const std::string ext = LowerFileExt(FileName);
  if (ext.empty()) {
    // The root ("/", the drive of this platform) or an existing folder; a name ending
    // in "/" is a folder only when that folder exists.
    if (FileName == "/" || IsFolder(FileName)) return iitDir;
    return iitNone;
  }
  for (const auto& [literal, kind] : kKinds)
    if (ext == literal) return kind;
  if (!textExtList_.empty() && ext != "." && textExtList_.find(ext) != std::string::npos)
    return iitTxt;
  if (susiePlugins_ && susiePlugins_->FindPlugin(FileName) >= 0) return iitSusie;
  return iitNone;
}

int ThumbnailReader::LoadThumbnail(const std::string& FileName, int Width, int Height, int IconIndex) {
  imageType_ = iitNone;
  iconIndex_ = -1;
  iconCount_ = 0;
  lastDecodeScale_ = 0;
  bitmap_ = Picture();
  struct stat st {};
  if (stat(FileName.c_str(), &st) != 0) return 1;

  const FileKind kind = ClassifyImageType(FileName);
  imageType_ = kind;
  if (IsIconKind(kind)) return DrawIcon(FileName, IconIndex);

  const char* folder = SharedFolder(kind, Width, Height);
  const int side = FreedesktopThumbnails::FolderSide(folder);
  const int64_t mtime = int64_t(st.st_mtime);
  if (side) {
    FreedesktopThumbnails::Entry entry;
    switch (sharedCache_->Read(FileName, mtime, Width, Height, bkColor_, entry)) {
      case FreedesktopThumbnails::Found::kPicture:
        bitmap_.Swap(entry.picture);
        orgWidth_ = entry.sourceWidth;
        orgHeight_ = entry.sourceHeight;
        FitBitmapToBox(bitmap_, getType_, Width, Height);
        return 0;
      case FreedesktopThumbnails::Found::kFailed:
        DrawIcon(FileName, 0);
        return -1;
      case FreedesktopThumbnails::Found::kNone:
        break;
    }
  }
  if (UsesCache() && ReadFromCache(FileName, Width, Height)) return 0;

  // For the shared cache the picture is made for its side first, then for the box.
  partial_ = false;
  const int result = ReadPicture(kind, FileName, std::max(Width, side), std::max(Height, side));
  // Only what a finished file gave is kept: a picture (or a failure) of a file that
  // changed while it was read, or the part of a file that ends early, is shown but not
  // stored; the file is read again once it changes.
  const bool keep = !StopRequested(stop_) && !partial_ && Settled(FileName, st);
  if (result != 0) {
    if (side && keep) sharedCache_->WriteFailure(FileName, mtime);
    DrawIcon(FileName, 0);
    return result;
  }
  if (side) {
    FitBitmapToBox(bitmap_, igtPreview, side, side);
    if (keep) sharedCache_->Write(FileName, mtime, folder, bitmap_, orgWidth_, orgHeight_);
    FitBitmapToBox(bitmap_, getType_, Width, Height);
  }
  if (UsesCache() && keep) WriteToCache(FileName);
  return 0;
}

const char* ThumbnailReader::SharedFolder(FileKind kind, int Width, int Height) const {
  // Pictures only (text pages and video frames are ours alone), fitted as the standard
  // wants them: shrunk, aspect kept.
  const bool picture = kind == iitBmp || kind == iitJpeg || kind == iitCustom || kind == iitSusie;
  if (!sharedCache_ || !picture || getType_ != igtPreview) return "";
  return FreedesktopThumbnails::SizeFolder(Width, Height);
}

int ThumbnailReader::ReadPicture(FileKind kind, const std::string& FileName, int Width, int Height) {
  try {
    const ThumbExif exif(FileName, getType_, CurrentExifOptions());
    if (exif.FromEmbedded(bitmap_, orgWidth_, orgHeight_, Width, Height, performance_)) return 0;
    const int result =
        ReadByKind(kind, FileName, exif.BoxWidth(Width, Height), exif.BoxHeight(Width, Height));
    if (result == 0) exif.Finish(bitmap_, orgWidth_, orgHeight_);
    return result;
  } catch (...) {
    return -1;
  }
}

int ThumbnailReader::DrawIcon(const std::string& FileName, int Index) {
  if ((imageType_ == iitExe || imageType_ == iitDll) && iconCount_ == 0 && iconProvider_)
    iconCount_ = iconProvider_->IconCount(FileName);
  Picture icon;
  if (!iconProvider_ || !iconProvider_->DrawIcon(FileName, Index, bkColor_, icon) || icon.Empty()) {
    // No icon to be had: an empty icon-sized square of the background.
    icon.SetSize(32, 32);
    icon.Fill(bkColor_);
  }
  bitmap_.Swap(icon);
  Record();
  iconIndex_ = Index;
  return 0;
}

void ThumbnailReader::DecodeJpeg(const JpegReader& reader, int Width, int Height) {
  const int w = reader.Width(), h = reader.Height();
  if (getType_ == igtNormal) {
    lastDecodeScale_ = 1;
    reader.Decode(bitmap_, 1, performance_);
    return;
  }
  if (w == Width && h == Height) {
    lastDecodeScale_ = 1;
    reader.Decode(bitmap_, 1, performance_);
    return;
  }
  lastDecodeScale_ = JpegDecodeScale(w, h, Width, Height);
  reader.Decode(bitmap_, lastDecodeScale_, performance_);
  FitBitmapToBox(bitmap_, getType_, Width, Height);
}

int ThumbnailReader::ReadByKind(FileKind kind, const std::string& FileName, int Width, int Height) {
  switch (kind) {
    case iitBmp:
      ReadBmpFile(FileName, bitmap_);  // throws on a damaged file: the guard answers -1
      Record();
      FitBitmapToBox(bitmap_, getType_, Width, Height);
      return 0;
    case iitJpeg: {
      const JpegReader reader = JpegReader::FromFile(FileName);
      orgWidth_ = reader.Width();
      orgHeight_ = reader.Height();
      DecodeJpeg(reader, Width, Height);
      return 0;
    }
    case iitEmf:
    case iitWmf:
    case iitHtml:
    case iitEml:
      // No metafile renderer and no HTML/mail thumbnail extractor on this platform.
      return -1;
    case iitTxt:
      return ReadText(FileName, Width, Height);
    case iitAvi:
      if (!ReadAviFrame(FileName, aviFramePos_, bitmap_)) return -1;
      Record();
      FitBitmapToBox(bitmap_, getType_, Width, Height);
      return 0;
    case iitCustom:
      if (!customPlugin_) return -1;
      if (getType_ == igtNormal) {
        if (!customPlugin_->LoadFile(FileName, bitmap_)) {
          if (!ReadTruncatedPicture(FileName, bitmap_)) return -1;
          partial_ = true;
        }
        Record();
        return 0;
      }
      if (!customPlugin_->LoadThumbnail(FileName, bitmap_, Width, Height, performance_, orgWidth_,
                                        orgHeight_)) {
        // An interrupted copy or download shows the part that arrived.
        if (!ReadTruncatedPicture(FileName, bitmap_)) return -1;
        partial_ = true;
        Record();
      }
      FitBitmapToBox(bitmap_, getType_, Width, Height);
      return 0;
    default:
      if (susiePlugins_ &&
          (kind == iitSusie || (susiePriority_ && susiePlugins_->FindPlugin(FileName) >= 0))) {
        if (susiePlugins_->LoadPicture(FileName, bitmap_) != 0) return -1;
        Record();
        FitBitmapToBox(bitmap_, getType_, Width, Height);
        return 0;
      }
      return -1;
  }
}

int ThumbnailReader::ReadText(const std::string& FileName, int Width, int Height) {
  if (!Exists(FileName)) return 1;
  // Twice the box, so that the text shrinks smoothly into it.
  const int64_t w2 = std::max<int64_t>(2 * int64_t(Width), 0),
                h2 = std::max<int64_t>(2 * int64_t(Height), 0);
  if (!Picture::SizeAllowed(w2, h2)) return -1;
  bitmap_.SetSize(int(w2), int(h2));
  Record();
  if (!bitmap_.Empty()) bitmap_.Fill(bkColor_);
  const int lineHeight = textRenderer_ ? textRenderer_->TextHeight(font_, "H") : 0;
  if (lineHeight < 1) return 1;
  std::string text;
  if (!ReadTextPreview(FileName, bitmap_.Height() / lineHeight + 1, Width, text)) return -1;
  if (!bitmap_.Empty()) textRenderer_->DrawText(bitmap_, text, font_, bkColor_);
  FitBitmapToBox(bitmap_, getType_, Width, Height);
  return 0;
}

bool ThumbnailReader::ReadFromCache(const std::string& FileName, int Width, int Height) {
  std::vector<uint8_t> data;
  ThumbEntryHeader entry;
  {
    std::lock_guard lock(CacheFileMutex());
    if (!thumbnail_->LookUp(FileName, data)) return false;
    entry = thumbnail_->LastEntry();
  }
  try {
    const JpegReader reader(std::move(data));
    DecodeJpeg(reader, Width, Height);
  } catch (const std::exception&) {
    // A stored thumbnail that does not decode is dropped and the file read afresh.
    try {
      std::lock_guard lock(CacheFileMutex());
      thumbnail_->Remove(FileName);
    } catch (const std::exception&) {
    }
    bitmap_ = Picture();
    return false;
  }
  orgWidth_ = entry.SourceWidth;
  orgHeight_ = entry.SourceHeight;
  return true;
}

void ThumbnailReader::WriteToCache(const std::string& FileName) {
  if (bitmap_.Empty()) return;
  std::lock_guard lock(CacheFileMutex());
  ThumbEntryHeader& entry = thumbnail_->LastEntry();
  entry.Reserved = 0;
  entry.Reserved2 = 0;
  entry.Width = bitmap_.Width();
  entry.Height = bitmap_.Height();
  entry.SourceWidth = orgWidth_;
  entry.SourceHeight = orgHeight_;
  try {
    thumbnail_->Store(FileName, EncodeJpeg(bitmap_, quality_, performance_));
  } catch (const std::exception&) {
    // The thumbnail is made; only keeping it for next time failed.
  }
}

}  // namespace quorvane
