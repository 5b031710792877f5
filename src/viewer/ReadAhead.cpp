#include "viewer/ReadAhead.h"

#include <sys/stat.h>

#include <algorithm>

#include "imaging/ReadImage.h"
#include "processing/bitmapfunc.h"

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

bool NeedsFitting(const Bitmap& picture, int boxWidth, int boxHeight) {
  return boxWidth > 0 && boxHeight > 0 &&
         (picture.Width() > boxWidth || picture.Height() > boxHeight);
}

// A picture that shares `from`'s pixels, fitted into the box.
std::shared_ptr<TViewPicture> Refit(const TViewPicture& from, int boxWidth, int boxHeight) {
  auto picture = std::make_shared<TViewPicture>(from);
  picture->fitted = Bitmap();
  picture->fitWidth = boxWidth;
  picture->fitHeight = boxHeight;
  if (picture->ok && NeedsFitting(*picture->full, boxWidth, boxHeight)) {
    Bitmap fitted(*picture->full);
    if (FitBitmap(fitted, boxWidth, boxHeight, nullptr)) picture->fitted.Swap(fitted);
  }
  return picture;
}

}  // namespace

bool TViewPicture::FittedFor(int boxWidth, int boxHeight) const {
  if (!ok || !NeedsFitting(*full, boxWidth, boxHeight)) return true;
  return !fitted.Empty() && fitWidth == boxWidth && fitHeight == boxHeight;
}

TReadAhead::TReadAhead(Reader reader) : reader_(std::move(reader)) {
  if (!reader_)
    reader_ = [](const std::string& path, Bitmap& out) { return ReadImageFile(path, out); };
  thread_ = std::thread([this] { Run(); });
}

TReadAhead::~TReadAhead() { Stop(); }

void TReadAhead::SetFitBox(int width, int height) {
  std::lock_guard lock(mutex_);
  if (width == boxWidth_ && height == boxHeight_) return;
  boxWidth_ = width;
  boxHeight_ = height;
  changed_.notify_all();
}

void TReadAhead::Keep(const std::vector<std::string>& paths) {
  std::lock_guard lock(mutex_);
  wanted_ = paths;
  std::erase_if(held_, [&](const auto& picture) {
    return std::find(paths.begin(), paths.end(), picture->path) == paths.end();
  });
  changed_.notify_all();
}

bool TReadAhead::HeldLocked(const std::string& path) const {
  return std::any_of(held_.begin(), held_.end(), [&](const auto& p) { return p->path == path; });
}

std::shared_ptr<const TViewPicture> TReadAhead::FreshLocked(const std::string& path) const {
  for (const auto& picture : held_) {
    if (picture->path != path) continue;
    int64_t size = 0, time = 0;
    FileStamp(path, size, time);
    if (size == picture->fileSize && time == picture->fileTime) return picture;
  }
  return nullptr;
}

std::shared_ptr<const TViewPicture> TReadAhead::Peek(const std::string& path) const {
  std::lock_guard lock(mutex_);
  return FreshLocked(path);
}

std::shared_ptr<const TViewPicture> TReadAhead::Get(const std::string& path) {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [&] { return reading_ != path; });
  if (auto picture = FreshLocked(path)) return picture;
  std::erase_if(held_, [&](const auto& p) { return p->path == path; });
  const int boxWidth = boxWidth_, boxHeight = boxHeight_;
  lock.unlock();
  std::shared_ptr<const TViewPicture> picture = Read(path, boxWidth, boxHeight);
  lock.lock();
  // Held until the next Keep() says whether it is still wanted.
  if (!HeldLocked(path)) held_.push_back(picture);
  return picture;
}

void TReadAhead::Forget(const std::string& path) {
  std::lock_guard lock(mutex_);
  std::erase_if(held_, [&](const auto& p) { return p->path == path; });
}

void TReadAhead::Stop() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
    wanted_.clear();
    held_.clear();
    changed_.notify_all();
  }
  if (thread_.joinable()) thread_.join();
  std::lock_guard lock(mutex_);
  held_.clear();  // what the thread finished while stopping
}

std::vector<std::string> TReadAhead::ReadLog() const {
  std::lock_guard lock(mutex_);
  return log_;
}

std::shared_ptr<TViewPicture> TReadAhead::Read(const std::string& path, int boxWidth,
                                               int boxHeight) {
  TViewPicture read;
  read.path = path;
  FileStamp(path, read.fileSize, read.fileTime);
  {
    std::lock_guard lock(mutex_);
    log_.push_back(path);
  }
  auto full = std::make_shared<Bitmap>();
  try {
    read.ok = reader_(path, *full) && !full->Empty();
  } catch (...) {
    read.ok = false;
  }
  if (!read.ok) full = std::make_shared<Bitmap>();
  read.full = std::move(full);
  return Refit(read, boxWidth, boxHeight);
}

void TReadAhead::Run() {
  std::unique_lock lock(mutex_);
  while (!stop_) {
    // The first wanted picture that is not held, or held but fitted for another box.
    std::string path;
    std::shared_ptr<const TViewPicture> refit;
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
    std::shared_ptr<const TViewPicture> picture =
        refit ? Refit(*refit, boxWidth, boxHeight) : Read(path, boxWidth, boxHeight);
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
