#pragma once
// Turning and mirroring JPEG files without loss: the picture's DCT blocks are moved
// (libjpeg-turbo's transform), never decoded and encoded again, so the result's pixels
// are exactly those of `jpegtran -rotate 90 -copy all` and its kin.
//
// A transform is perfect only where the picture's size is a whole number of its blocks
// (8 or 16 pixels, by the chroma subsampling) along the edges the turn moves; otherwise
// these functions answer NotAligned and change nothing, and the caller decodes and
// encodes instead: edge pixels are never cut off.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quorvane {

// One of the eight ways to lay a picture down again: mirrored left-right first (when
// `mirrored`), then turned `quarters` quarter turns clockwise.
struct PictureTurn {
  int quarters = 0;  // 0..3
  bool mirrored = false;

  bool IsIdentity() const { return quarters == 0 && !mirrored; }
  bool operator==(const PictureTurn&) const = default;
};

// `first`, then `second`.
PictureTurn ThenTurn(PictureTurn first, PictureTurn second);
// The turn that makes a picture of EXIF orientation 1..8 upright (any other value: none).
PictureTurn UprightTurn(int orientation);
// The turn of a batch operation code: the quarter turns and the flips; none for the rest.
std::optional<PictureTurn> OperationTurn(int opCode);
// The whole turn of a batch that turns the picture upright by `orientation` (1 when it
// does not) and then runs `opCodes` in order. None when no operation is given or one of
// them is not a quarter turn or a flip.
std::optional<PictureTurn> BatchTurn(const std::vector<int>& opCodes, int orientation);

// True when the bytes start like a JPEG file (SOI and a marker).
bool LooksLikeJpeg(const std::vector<uint8_t>& bytes);

enum class LosslessOutcome {
  Done,
  NotJpeg,     // the file is no JPEG
  NotAligned,  // the picture's size is not whole blocks where the turn needs it
  Failed,      // damaged, unreadable or unwritable; nothing was changed
};

// Transforms a JPEG stream. `keepMarkers` copies every extra marker (ICC profile, XMP,
// comments...) as they are, otherwise none is kept; the EXIF is always left out, as its
// Orientation and thumbnail would no longer match: the caller writes it anew
// (CopyMetadata). The stream is refused at the first warning of the decoder, so a
// damaged stream answers Failed.
LosslessOutcome TransformJpeg(const std::vector<uint8_t>& jpeg, PictureTurn turn,
                              bool keepMarkers, std::vector<uint8_t>& out);

// Turns the JPEG file `path` itself: by its EXIF orientation first when `upright`, then
// by `turn`. The file is replaced atomically by a complete file written beside it
// (synced before the rename) that keeps its metadata, with Orientation 1 when `upright`
// and the embedded EXIF thumbnail dropped, its modification time, its permissions and,
// where allowed, its owner. On any other outcome than Done the file is untouched;
// `why` then says what failed, when known.
LosslessOutcome TurnJpegFileInPlace(const std::string& path, PictureTurn turn, bool upright,
                                    std::string* why = nullptr);

}  // namespace quorvane
