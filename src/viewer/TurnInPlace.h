#pragma once
// Turning the file the viewer shows, in place and without loss: a JPEG whose size is
// whole blocks is turned a quarter turn (see LosslessJpeg.h) and replaced atomically,
// keeping its metadata and file time; the shared thumbnail cache forgets the file, since
// its entries are keyed by that same (kept) time.

#include <string>

namespace quorvane {

enum class InPlaceTurn {
  Turned,
  OtherFormat,  // not a JPEG: left alone
  NotAligned,   // a JPEG whose size is not whole blocks: left alone
  Failed,       // the file could not be read or replaced: left as it was
};

// The viewer's status for an outcome ("" for Turned).
inline constexpr const char* kTurnOtherFormat = "이 형식은 그대로 회전할 수 없습니다.";
inline constexpr const char* kTurnNotAligned =
    "그림 크기가 블록의 배수가 아니어서 그대로 회전할 수 없습니다.";
inline constexpr const char* kTurnFailed = "파일을 회전할 수 없습니다.";
const char* InPlaceTurnStatus(InPlaceTurn outcome);

// Turns `path` a quarter turn clockwise (or counter-clockwise), from how the viewer
// shows it: upright by its EXIF orientation when the program turns pictures upright.
// On Turned the entries of `thumbnailRoot` (the shared cache's "thumbnails" folder;
// empty: its default place) for the file are removed. `why` tells a failure's cause.
InPlaceTurn TurnFileInPlace(const std::string& path, bool clockwise,
                            const std::string& thumbnailRoot = {}, std::string* why = nullptr);

}  // namespace quorvane
