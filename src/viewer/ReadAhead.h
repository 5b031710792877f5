#pragma once
// Reading ahead for the viewer: the pictures around the one shown are read (and fitted
// into the viewer's box) on a background thread, so that a step shows a picture that
// is already in memory. Only the pictures named by the last Keep() are held; the others
// are dropped at once, and Stop() ends the thread and frees everything.

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "imaging/Bitmap.h"
#include "imaging/CodecClient.h"
#include "imaging/ExifMeta.h"

namespace quorvane {

// One picture as the viewer shows it.
struct ViewPicture {
  std::string path;
  bool ok = false;  // false: the file could not be read
  int width = 0;    // the picture's own size, upright (0 when unreadable)
  int height = 0;
  // The picture at its own size, 24 bits; null when only the fitted one was read (a
  // JPEG is decoded at the smallest scale that still covers the box).
  std::shared_ptr<const Bitmap> full;
  // The picture fitted into fitWidth x fitHeight when it is larger than that box.
  Bitmap fitted;
  int fitWidth = 0;
  int fitHeight = 0;
  // The file as it was when read: a changed file is read again.
  int64_t fileSize = -1;
  int64_t fileTime = 0;

  // True when this box can be shown from what was read: the fitted picture made for it,
  // or the full picture when it needs no fitting.
  bool FittedFor(int boxWidth, int boxHeight) const;
};

// Shrinks (or enlarges) a picture to fit a box as FitBitmap does, its proportions kept,
// but a side that would come out 0 (a 3000 x 1 picture in a 1800 x 1000 box) is 1 pixel.
// False, the picture unchanged, when the picture or the box is empty or memory runs out.
bool FitPictureToBox(Bitmap& picture, int boxWidth, int boxHeight);

class PictureReadAhead {
 public:
  using Reader = std::function<bool(const std::string& path, Bitmap& out)>;
  // `reader` reads one file (ReadImageFile when empty); it runs on the background
  // thread and on the caller's thread, possibly at the same time. The background thread
  // has codec and metadata helpers of its own, so that the picture the caller asks for
  // (read with the caller's helpers) never waits behind a neighbour's decode.
  explicit PictureReadAhead(Reader reader = {});
  ~PictureReadAhead();
  PictureReadAhead(const PictureReadAhead&) = delete;
  PictureReadAhead& operator=(const PictureReadAhead&) = delete;

  // The box that read pictures larger than it are fitted into (0 x 0: none).
  void SetFitBox(int width, int height);
  // The pictures to hold, the most needed first; those not read yet are read in this
  // order, every other picture held is dropped.
  void Keep(const std::vector<std::string>& paths);
  // The picture of `path`: at once when it has been read (and the file has not changed
  // since), after the background thread finishes it when it is being read, else read on
  // the calling thread. Never null. Held until a Keep() that does not name it.
  std::shared_ptr<const ViewPicture> Get(const std::string& path);
  // The picture with its full-size pixels, read now on the calling thread when Get's
  // picture has none.
  std::shared_ptr<const ViewPicture> GetFull(const std::string& path);
  // Without waiting: null when the picture is not in memory.
  std::shared_ptr<const ViewPicture> Peek(const std::string& path) const;
  // The next Get reads the file again.
  void Forget(const std::string& path);
  // Ends the background thread (a read in a helper is ended at once) and drops every
  // picture.
  void Stop();

  // Every file read so far, in order, on either thread (for tests and measurements).
  std::vector<std::string> ReadLog() const;

 private:
  std::shared_ptr<ViewPicture> Read(const std::string& path, int boxWidth, int boxHeight);
  bool ReadScaled(const std::string& path, int boxWidth, int boxHeight, ViewPicture& read,
                  Bitmap& picture) const;
  void HoldLocked(std::shared_ptr<const ViewPicture> picture);
  void Run();
  bool HeldLocked(const std::string& path) const;
  std::shared_ptr<const ViewPicture> FreshLocked(const std::string& path) const;

  // The background thread's own codec and metadata helpers.
  struct Helpers {
    CodecClient codec{DefaultCodecClient().Options()};
    CodecClient meta{MetaClientOptions()};
  };
  Helpers ahead_;
  Reader reader_;
  bool ownReader_ = false;  // ReadImageFile: JPEG files may be decoded at a smaller scale
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::string> wanted_;
  std::vector<std::shared_ptr<const ViewPicture>> held_;
  std::string reading_;  // the path the background thread reads now
  std::vector<std::string> log_;
  int boxWidth_ = 0;
  int boxHeight_ = 0;
  bool stop_ = false;
  std::thread thread_;
};

}  // namespace quorvane
