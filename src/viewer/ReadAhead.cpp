#include "viewer/ReadAhead.h"

#include <sys/stat.h>

#include <algorithm>

#include "imaging/ExifMeta.h"
#include "imaging/ExifOptions.h"
#include "imaging/JpegCodec.h"
#include "imaging/Orient.h"
#include "imaging/PictureDecoders.h"
#include "imaging/ReadImage.h"
#include "processing/PixelOps.h"

namespace quorvane {

namespace {

// Size and modification time (ns) of a file; size -1 when it cannot be looked at.
void FileStamp(const std::string& path, int64_t& size, int64_t& time) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    size = -1;
    time = 0;
    return;
  }
  size = int64_t(st.st_size);
  time = int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
}

bool NeedsFitting(int width, int height, int boxWidth, int boxHeight) {
  return boxWidth > 0 && boxHeight > 0 && (width > boxWidth || height > boxHeight);
}

// Makes `picture` the fitted or the full picture of `into`, as the box calls for. A
// picture that cannot be fitted (no memory) is kept at its own size: it was read for
// this box all the same, and is not read again for it.
void TakePicture(ViewPicture& into, Bitmap&& picture, int boxWidth, int boxHeight) {
  into.fitted = Bitmap();
  into.fitWidth = boxWidth;
  into.fitHeight = boxHeight;
  if (NeedsFitting(into.width, into.height, boxWidth, boxHeight) &&
      FitPictureToBox(picture, boxWidth, boxHeight)) {
    into.fitted.Swap(picture);
    return;
  }
  into.full = std::make_shared<const Bitmap>(std::move(picture));
}

}  // namespace

bool FitPictureToBox(Bitmap& picture, int boxWidth, int boxHeight) {
  const int64_t w = picture.Width(), h = picture.Height();
  if (w <= 0 || h <= 0 || boxWidth <= 0 || boxHeight <= 0) return false;
  // The proportions compared in whole per cent, as FitBitmap does.
  const int64_t ratioImage = h * 100 / w, ratioBox = int64_t(boxHeight) * 100 / boxWidth;
  int64_t fitW = boxWidth, fitH = boxHeight;
  if (ratioImage < ratioBox)
    fitH = std::max<int64_t>(1, h * boxWidth / w);
  else if (ratioImage > ratioBox)
    fitW = std::max<int64_t>(1, w * boxHeight / h);
  try {
    Bitmap fitted(static_cast<int>(fitW), static_cast<int>(fitH));
    SmoothResize(picture, fitted, nullptr);
    picture.Swap(fitted);
    return true;
  } catch (...) {
    return false;
  }
}

bool ViewPicture::FittedFor(int boxWidth, int boxHeight) const {
  if (!ok) return true;
  if (!NeedsFitting(width, height, boxWidth, boxHeight)) return full != nullptr;
  return fitWidth == boxWidth && fitHeight == boxHeight && (!fitted.Empty() || full);
}

PictureReadAhead::PictureReadAhead(Reader reader) : reader_(std::move(reader)) {
  ownReader_ = !reader_;
  if (ownReader_)
    reader_ = [](const std::string& path, Bitmap& out) { return ReadImageForView(path, out); };
  thread_ = std::thread([this] { Run(); });
}

PictureReadAhead::~PictureReadAhead() { Stop(); }

void PictureReadAhead::SetFitBox(int width, int height) {
  std::lock_guard lock(mutex_);
  if (width == boxWidth_ && height == boxHeight_) return;
  boxWidth_ = width;
  boxHeight_ = height;
  changed_.notify_all();
}

void PictureReadAhead::Keep(const std::vector<std::string>& paths) {
  std::lock_guard lock(mutex_);
  wanted_ = paths;
  std::erase_if(held_, [&](const auto& picture) {
    return std::find(paths.begin(), paths.end(), picture->path) == paths.end();
  });
  changed_.notify_all();
}

bool PictureReadAhead::HeldLocked(const std::string& path) const {
  return std::any_of(held_.begin(), held_.end(), [&](const auto& p) { return p->path == path; });
}

std::shared_ptr<const ViewPicture> PictureReadAhead::FreshLocked(const std::string& path) const {
  for (const auto& picture : held_) {
    if (picture->path != path) continue;
    int64_t size = 0, time = 0;
    FileStamp(path, size, time);
    if (size == picture->fileSize && time == picture->fileTime) return picture;
  }
  return nullptr;
}

std::shared_ptr<const ViewPicture> PictureReadAhead::Peek(const std::string& path) const {
  std::lock_guard lock(mutex_);
  return FreshLocked(path);
}

std::shared_ptr<const ViewPicture> PictureReadAhead::Get(const std::string& path) {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [&] { return reading_ != path; });
  if (auto picture = FreshLocked(path)) return picture;
  const int boxWidth = boxWidth_, boxHeight = boxHeight_;
  lock.unlock();
  std::shared_ptr<const ViewPicture> picture = Read(path, boxWidth, boxHeight);
  lock.lock();
  HoldLocked(picture);
  return picture;
}

std::shared_ptr<const ViewPicture> PictureReadAhead::GetFull(const std::string& path) {
  std::shared_ptr<const ViewPicture> picture = Get(path);
  if (!picture->ok || picture->full) return picture;
  auto full = std::make_shared<ViewPicture>(*picture);
  Bitmap read;
  {
    std::lock_guard lock(mutex_);
    log_.push_back(path);
  }
  bool ok = false;
  try {
    ok = reader_(path, read) && !read.Empty();
  } catch (...) {
  }
  if (!ok) return picture;  // shown as it was read before
  full->full = std::make_shared<const Bitmap>(std::move(read));
  std::lock_guard lock(mutex_);
  HoldLocked(full);
  return full;
}

// Held until the next Keep() says whether it is still wanted; replaces an older read.
void PictureReadAhead::HoldLocked(std::shared_ptr<const ViewPicture> picture) {
  std::erase_if(held_, [&](const auto& p) { return p->path == picture->path; });
  held_.push_back(std::move(picture));
}

void PictureReadAhead::Forget(const std::string& path) {
  std::lock_guard lock(mutex_);
  std::erase_if(held_, [&](const auto& p) { return p->path == path; });
}

void PictureReadAhead::Stop() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
    wanted_.clear();
    held_.clear();
    changed_.notify_all();
  }
  // A read ahead in progress is not waited for.
  ahead_.codec.Abandon();
  ahead_.meta.Abandon();
  if (thread_.joinable()) thread_.join();
  std::lock_guard lock(mutex_);
  held_.clear();  // what the thread finished while stopping
}

std::vector<std::string> PictureReadAhead::ReadLog() const {
  std::lock_guard lock(mutex_);
  return log_;
}

// A JPEG larger than the box is decoded at the smallest scale that still covers it:
// the same fitted picture for a fraction of the work and memory.
bool PictureReadAhead::ReadScaled(const std::string& path, int boxWidth, int boxHeight,
                            ViewPicture& read, Bitmap& picture) const {
  if (!ownReader_ || boxWidth <= 0 || boxHeight <= 0 ||
      ReaderForContents(path) != ImageReaderKind::Jpeg)
    return false;
  try {
    const JpegReader jpeg = JpegReader::FromFile(path);
    const bool autoOrient = CurrentExifOptions().AutoOrient;
    const int orientation = autoOrient ? ReadExifOrientation(path) : 1;
    const bool turned = OrientationSwapsSides(orientation);
    read.width = turned ? jpeg.Height() : jpeg.Width();
    read.height = turned ? jpeg.Width() : jpeg.Height();
    if (!NeedsFitting(read.width, read.height, boxWidth, boxHeight)) return false;
    const int scale = turned ? JpegDecodeScale(jpeg.Width(), jpeg.Height(), boxHeight, boxWidth)
                             : JpegDecodeScale(jpeg.Width(), jpeg.Height(), boxWidth, boxHeight);
    if (scale <= 1) return false;
    jpeg.Decode(picture, scale);
    ConvertToSrgb(picture, jpeg.IccProfile());
    return !autoOrient || OrientAsFile(path, picture);
  } catch (...) {
    return false;
  }
}

std::shared_ptr<ViewPicture> PictureReadAhead::Read(const std::string& path, int boxWidth,
                                               int boxHeight) {
  auto read = std::make_shared<ViewPicture>();
  read->path = path;
  FileStamp(path, read->fileSize, read->fileTime);
  {
    std::lock_guard lock(mutex_);
    log_.push_back(path);
  }
  Bitmap picture;
  bool scaled = ReadScaled(path, boxWidth, boxHeight, *read, picture);
  if (!scaled) {
    try {
      read->ok = reader_(path, picture) && !picture.Empty();
    } catch (...) {
      read->ok = false;
    }
    if (!read->ok) return read;
    read->width = picture.Width();
    read->height = picture.Height();
  }
  read->ok = true;
  // Full-size pixels are kept only when nothing smaller shows them.
  TakePicture(*read, std::move(picture), boxWidth, boxHeight);
  return read;
}

void PictureReadAhead::Run() {
  SetThreadHelpers({&ahead_.codec, &ahead_.meta});
  std::unique_lock lock(mutex_);
  while (!stop_) {
    // The first wanted picture that is not held, or held but fitted for another box.
    std::string path;
    std::shared_ptr<const ViewPicture> refit;
    for (const std::string& wanted : wanted_) {
      auto it = std::find_if(held_.begin(), held_.end(),
                             [&](const auto& p) { return p->path == wanted; });
      if (it == held_.end()) {
        path = wanted;
        break;
      }
      if (!(*it)->FittedFor(boxWidth_, boxHeight_)) {
        path = wanted;
        refit = *it;
        break;
      }
    }
    if (path.empty()) {
      changed_.wait(lock);
      continue;
    }
    reading_ = path;
    const int boxWidth = boxWidth_, boxHeight = boxHeight_;
    lock.unlock();
    std::shared_ptr<const ViewPicture> picture;
    if (refit && refit->full) {
      auto refitted = std::make_shared<ViewPicture>(*refit);
      TakePicture(*refitted, Bitmap(*refit->full), boxWidth, boxHeight);
      refitted->full = refit->full;  // the same pixels, not a copy
      picture = std::move(refitted);
    } else {
      picture = Read(path, boxWidth, boxHeight);
    }
    refit.reset();
    lock.lock();
    reading_.clear();
    std::erase_if(held_, [&](const auto& p) { return p->path == path; });
    if (!stop_ && std::find(wanted_.begin(), wanted_.end(), path) != wanted_.end())
      held_.push_back(std::move(picture));
    changed_.notify_all();
  }
}

}  // namespace quorvane
