#include "thumbnails/ImgUtil.h"

#include <sys/stat.h>

#include <algorithm>
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

constexpr std::pair<const char*, TImageType> kKinds[] = {
    {".bmp", iitBmp},   {".jpg", iitJpeg}, {".jpeg", iitJpeg}, {".ico", iitIco}, {".cur", iitCur},
    {".ani", iitAni},   {".emf", iitEmf},  {".wmf", iitWmf},   {".exe", iitExe}, {".dll", iitDll},
    {".html", iitHtml}, {".htm", iitHtml}, {".eml", iitEml},   {".txt", iitTxt}, {".avi", iitAvi},
};

bool Exists(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0;
}

}  // namespace

bool IsIconKind(TImageType kind) {
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

TImgUtil::TImgUtil() = default;

void TImgUtil::SetQuality(int value) { quality_ = std::clamp(value, 1, 100); }

void TImgUtil::SetTextExt(const std::string& value) {
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

void TImgUtil::SetBKColor(TColor value) {
  if (value == bkColor_) return;
  bkColor_ = value;
  if (OnChange) OnChange(*this);
}

void TImgUtil::SetAviFramePos(int value) {
  if (value >= 0 && value <= 100) aviFramePos_ = value;
}

int TImgUtil::CheckImageType(const std::string& FileName) {
  imageType_ = ClassifyImageType(FileName);
  return imageType_ == iitNone ? 3 : 0;
}

TImageType TImgUtil::ClassifyImageType(const std::string& FileName) const {
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
  if (sPlugin_ && sPlugin_->FindPlugin(FileName) >= 0) return iitSusie;
  return iitNone;
}

int TImgUtil::LoadThumbnail(const std::string& FileName, int Width, int Height, int IconIndex) {
  imageType_ = iitNone;
  iconIndex_ = -1;
  iconCount_ = 0;
  lastDecodeScale_ = 0;
  bitmap_ = Picture();
  if (!Exists(FileName)) return 1;

  const TImageType kind = ClassifyImageType(FileName);
  imageType_ = kind;
  if (IsIconKind(kind)) return DrawIcon(FileName, IconIndex);
  if (UsesCache() && ReadFromCache(FileName, Width, Height)) return 0;

  int result;
  try {
    const TThumbExif exif(FileName, getType_, CurrentExifOptions());
    if (exif.FromEmbedded(bitmap_, orgWidth_, orgHeight_, Width, Height, performance_)) {
      result = 0;
    } else {
      result =
          ReadByKind(kind, FileName, exif.BoxWidth(Width, Height), exif.BoxHeight(Width, Height));
      if (result == 0) exif.Finish(bitmap_, orgWidth_, orgHeight_);
    }
  } catch (...) {
    DrawIcon(FileName, 0);
    return -1;
  }
  if (result != 0) {
    DrawIcon(FileName, 0);
    return result;
  }
  if (UsesCache()) WriteToCache(FileName);
  return 0;
}

int TImgUtil::DrawIcon(const std::string& FileName, int Index) {
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

void TImgUtil::DecodeJpeg(const JpegReader& reader, int Width, int Height) {
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

int TImgUtil::ReadByKind(TImageType kind, const std::string& FileName, int Width, int Height) {
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
        if (!customPlugin_->LoadFile(FileName, bitmap_) && !ReadTruncatedPicture(FileName, bitmap_))
          return -1;
        Record();
        return 0;
      }
      if (!customPlugin_->LoadThumbnail(FileName, bitmap_, Width, Height, performance_, orgWidth_,
                                        orgHeight_)) {
        // An interrupted copy or download shows the part that arrived.
        if (!ReadTruncatedPicture(FileName, bitmap_)) return -1;
        Record();
      }
      FitBitmapToBox(bitmap_, getType_, Width, Height);
      return 0;
    default:
      if (sPlugin_ &&
          (kind == iitSusie || (susiePriority_ && sPlugin_->FindPlugin(FileName) >= 0))) {
        if (sPlugin_->LoadPicture(FileName, bitmap_) != 0) return -1;
        Record();
        FitBitmapToBox(bitmap_, getType_, Width, Height);
        return 0;
      }
      return -1;
  }
}

int TImgUtil::ReadText(const std::string& FileName, int Width, int Height) {
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

bool TImgUtil::ReadFromCache(const std::string& FileName, int Width, int Height) {
  std::vector<uint8_t> data;
  if (!thumbnail_->LookUp(FileName, data)) return false;
  const TThumbEntryHeader entry = thumbnail_->LastEntry();
  try {
    const JpegReader reader(std::move(data));
    DecodeJpeg(reader, Width, Height);
  } catch (const std::exception&) {
    // A stored thumbnail that does not decode is dropped and the file read afresh.
    try {
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

void TImgUtil::WriteToCache(const std::string& FileName) {
  if (bitmap_.Empty()) return;
  TThumbEntryHeader& entry = thumbnail_->LastEntry();
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
