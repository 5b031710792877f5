#include "processing/LosslessJpeg.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <turbojpeg.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "processing/ConvertParams.h"
#include "imaging/ExifMeta.h"
#include "platform/FileIO.h"
#include "platform/FileNames.h"
#include "platform/StagedFile.h"

namespace quorvane {

PictureTurn ThenTurn(PictureTurn first, PictureTurn second) {
  // A quarter turn after a mirror is the mirror after the opposite turn.
  const int carried = second.mirrored ? 4 - first.quarters : first.quarters;
  return {(second.quarters + carried) % 4, first.mirrored != second.mirrored};
}

PictureTurn UprightTurn(int orientation) {
  switch (orientation) {
    case 2: return {0, true};
    case 3: return {2, false};
    case 4: return {2, true};
    case 5: return {3, true};  // across the main diagonal
    case 6: return {1, false};
    case 7: return {1, true};  // across the other diagonal
    case 8: return {3, false};
    default: return {};
  }
}

std::optional<PictureTurn> OperationTurn(int opCode) {
  switch (opCode) {
    case opTurnLeft: return PictureTurn{3, false};
    case opTurnRight: return PictureTurn{1, false};
    case opFlipH: return PictureTurn{0, true};
    case opFlipV: return PictureTurn{2, true};
    default: return std::nullopt;
  }
}

std::optional<PictureTurn> BatchTurn(const std::vector<int>& opCodes, int orientation) {
  if (opCodes.empty()) return std::nullopt;
  PictureTurn turn = UprightTurn(orientation);
  for (const int code : opCodes) {
    const std::optional<PictureTurn> step = OperationTurn(code);
    if (!step) return std::nullopt;
    turn = ThenTurn(turn, *step);
  }
  return turn;
}

bool LooksLikeJpeg(const std::vector<uint8_t>& bytes) {
  return bytes.size() >= 4 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF;
}

namespace {

int TransformOperation(PictureTurn turn) {
  static constexpr int kPlain[4] = {TJXOP_NONE, TJXOP_ROT90, TJXOP_ROT180, TJXOP_ROT270};
  static constexpr int kMirrored[4] = {TJXOP_HFLIP, TJXOP_TRANSVERSE, TJXOP_VFLIP,
                                       TJXOP_TRANSPOSE};
  return (turn.mirrored ? kMirrored : kPlain)[turn.quarters & 3];
}

// Whether the picture's size is whole blocks along the edges `op` moves (as libjpeg's
// transform judges a transform perfect); false when the header cannot be read.
bool WholeBlocks(tjhandle handle, const std::vector<uint8_t>& jpeg, int op, bool& readable) {
  int width = 0, height = 0, subsampling = -1, colourspace = 0;
  readable = tjDecompressHeader3(handle, jpeg.data(), jpeg.size(), &width, &height,
                                 &subsampling, &colourspace) == 0 &&
             subsampling >= 0 && subsampling < TJ_NUMSAMP;
  if (!readable) return false;
  const bool wholeWidth = width % tjMCUWidth[subsampling] == 0;
  const bool wholeHeight = height % tjMCUHeight[subsampling] == 0;
  switch (op) {
    case TJXOP_HFLIP: case TJXOP_ROT270: return wholeWidth;
    case TJXOP_VFLIP: case TJXOP_ROT90: return wholeHeight;
    case TJXOP_ROT180: case TJXOP_TRANSVERSE: return wholeWidth && wholeHeight;
    default: return true;  // none, transpose
  }
}

// Leaves out the EXIF segments (APP1 "Exif\0\0") before the scan: their Orientation and
// thumbnail no longer match the turned picture.
void DropExif(std::vector<uint8_t>& jpeg) {
  static constexpr uint8_t kExif[] = {'E', 'x', 'i', 'f', 0, 0};
  size_t at = 2;
  while (at + 4 <= jpeg.size() && jpeg[at] == 0xFF) {
    const uint8_t marker = jpeg[at + 1];
    if (marker == 0xDA || marker == 0xD9) return;  // the scan (or the end) begins
    const size_t length = size_t(jpeg[at + 2]) << 8 | jpeg[at + 3];
    if (length < 2 || at + 2 + length > jpeg.size()) return;
    if (marker == 0xE1 && length >= 2 + sizeof kExif &&
        std::equal(kExif, kExif + sizeof kExif, jpeg.begin() + long(at + 4))) {
      jpeg.erase(jpeg.begin() + long(at), jpeg.begin() + long(at + 2 + length));
      continue;
    }
    at += 2 + length;
  }
}

}  // namespace

LosslessOutcome TransformJpeg(const std::vector<uint8_t>& jpeg, PictureTurn turn,
                              bool keepMarkers, std::vector<uint8_t>& out) {
  out.clear();
  if (!LooksLikeJpeg(jpeg)) return LosslessOutcome::NotJpeg;
  tjhandle handle = tjInitTransform();
  if (!handle) return LosslessOutcome::Failed;
  tjtransform transform {};
  transform.op = TransformOperation(turn);
  transform.options = TJXOPT_PERFECT | (keepMarkers ? 0 : TJXOPT_COPYNONE);
  unsigned char* result = nullptr;
  unsigned long resultSize = 0;
  LosslessOutcome outcome = LosslessOutcome::Done;
  bool readable = false;
  if (!WholeBlocks(handle, jpeg, transform.op, readable)) {
    outcome = readable ? LosslessOutcome::NotAligned : LosslessOutcome::Failed;
  } else if (tjTransform(handle, jpeg.data(), jpeg.size(), 1, &result, &resultSize, &transform,
                         TJFLAG_STOPONWARNING) != 0 ||
             !result || resultSize == 0) {
    outcome = LosslessOutcome::Failed;
  } else {
    out.assign(result, result + resultSize);
    DropExif(out);
  }
  if (result) tjFree(result);
  tjDestroy(handle);
  return outcome;
}

namespace {

bool Fail(std::string* why, const std::string& text) {
  if (why) *why = text;
  return false;
}

}  // namespace

LosslessOutcome TurnJpegFileInPlace(const std::string& named, PictureTurn turn, bool upright,
                                    std::string* why) {
  // A symbolic link stays one: the file it names is replaced.
  char* resolved = realpath(named.c_str(), nullptr);
  const std::string path = resolved ? resolved : named;
  std::free(resolved);
  // A file its owner made read-only is not replaced behind their back.
  if (access(path.c_str(), W_OK) != 0) {
    Fail(why, std::strerror(errno));
    return LosslessOutcome::Failed;
  }
  struct stat st {};
  if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
    Fail(why, "not a regular file");
    return LosslessOutcome::Failed;
  }
  std::vector<uint8_t> bytes;
  std::string error;
  if (!ReadWholeFile(path, bytes, error)) {
    Fail(why, error);
    return LosslessOutcome::Failed;
  }
  if (!LooksLikeJpeg(bytes)) return LosslessOutcome::NotJpeg;
  if (upright) turn = ThenTurn(UprightTurn(ReadExifOrientation(path)), turn);
  std::vector<uint8_t> turned;
  const LosslessOutcome outcome = TransformJpeg(bytes, turn, true, turned);
  if (outcome != LosslessOutcome::Done) {
    if (outcome == LosslessOutcome::Failed) Fail(why, "damaged JPEG data");
    return outcome;
  }
  StagedFile temp(path, ".jpg", st.st_mode & 07777, Durability::Durable);
  if (!temp.Ok() || !WriteFullyAt(temp.Fd(), 0, turned.data(), turned.size())) {
    Fail(why, std::strerror(errno));
    return LosslessOutcome::Failed;
  }
  // The EXIF is written anew (Orientation, no thumbnail), and the file time copied,
  // before the file takes its place.
  if (!CopyMetadata(path, temp.Path(), upright)) {
    Fail(why, "the metadata could not be written");
    return LosslessOutcome::Failed;
  }
  // The rewrite may have made a new file: mode and owner are given to the one by the name.
  if (const UniqueFd fd(open(temp.Path().c_str(), O_RDONLY | O_CLOEXEC)); fd.Ok()) {
    fchmod(fd.Get(), st.st_mode & 07777);
    if (fchown(fd.Get(), st.st_uid, st.st_gid) != 0) {
      // Only the owner's group may be beyond us; the file is ours either way.
    }
  }
  if (const int error = temp.Replace()) {
    Fail(why, std::strerror(error));
    return LosslessOutcome::Failed;
  }
  return LosslessOutcome::Done;
}

}  // namespace quorvane
