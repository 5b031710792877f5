#include "viewer/TurnInPlace.h"

#include <unistd.h>

#include "processing/LosslessJpeg.h"
#include "thumbnails/FreedesktopThumbnails.h"
#include "imaging/ExifOptions.h"

namespace quorvane {

const char* InPlaceTurnStatus(InPlaceTurn outcome) {
  switch (outcome) {
    case InPlaceTurn::Turned: return "";
    case InPlaceTurn::OtherFormat: return kTurnOtherFormat;
    case InPlaceTurn::NotAligned: return kTurnNotAligned;
    case InPlaceTurn::Failed: break;
  }
  return kTurnFailed;
}

InPlaceTurn TurnFileInPlace(const std::string& path, bool clockwise,
                            const std::string& thumbnailRoot, std::string* why) {
  const PictureTurn turn{clockwise ? 1 : 3, false};
  switch (TurnJpegFileInPlace(path, turn, CurrentExifOptions().AutoOrient, why)) {
    case LosslessOutcome::Done: break;
    case LosslessOutcome::NotJpeg: return InPlaceTurn::OtherFormat;
    case LosslessOutcome::NotAligned: return InPlaceTurn::NotAligned;
    case LosslessOutcome::Failed: return InPlaceTurn::Failed;
  }
  // The file keeps its time, which the cache's entries are checked against: they are
  // removed, every size of them and a failure entry alike, so none is served stale.
  const FreedesktopThumbnails cache(thumbnailRoot);
  if (!cache.Root().empty()) {
    for (const char* folder : {"normal", "large", "x-large", "xx-large"})
      unlink(cache.EntryPath(path, folder).c_str());
    unlink(cache.FailPath(path).c_str());
  }
  return InPlaceTurn::Turned;
}

}  // namespace quorvane
