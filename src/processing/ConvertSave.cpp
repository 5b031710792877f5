// Writing a batch result: through a staged temporary file into its name as the
// existing-name choice says, within the size budget when one is set, by the writer of
// its format; a JPEG that is only turned or flipped, turned without loss.

#include "processing/ConvertEngine.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <optional>
#include <system_error>
#include <vector>

#include "imaging/ExifMeta.h"
#include "platform/CoreCount.h"
#include "platform/FileIO.h"
#include "platform/FileNames.h"
#include "platform/StagedFile.h"
#include "processing/LosslessJpeg.h"

namespace quorvane {

std::string ConvertEngine::MakeResultFolder(const std::string& output) const {
  // Results of a folder tree go to the same place under the output folder.
  const std::string folder = ExtractFileDir(output);
  if (folder == Params.OutputFolder) return {};
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  return ec ? ec.message() : std::string();
}

bool ConvertEngine::FailSave(FailReason reason, const std::string& target, int error) {
  if (reason == FailReason::WriteFailed) {
    if (error == ENOSPC || error == EDQUOT || error == EFBIG) {
      reason = FailReason::DiskFull;
    } else if (error == EACCES || error == EPERM || error == EROFS) {
      reason = FailReason::PermissionDenied;
    } else {
      // Writers that do not leave their error behind: a folder without free room
      // still tells.
      struct statvfs vfs {};
      const std::string folder = ExtractFileDir(target);
      if (statvfs(folder.empty() ? "." : folder.c_str(), &vfs) == 0 && vfs.f_bavail == 0)
        reason = FailReason::DiskFull;
    }
  }
  saveFailure_ = {reason, target,
                  reason == FailReason::WriteFailed && error ? std::strerror(error) : ""};
  return false;
}

std::optional<FileOutcome> ConvertEngine::ConvertLosslessly(const std::string& source,
                                                           const std::string& output,
                                                           ConvertHost& host, FileRecord& record,
                                                           FileFailure& failure) {
  std::vector<int> codes;
  if (Params.Chain.empty()) codes.push_back(Params.OpCode);
  for (const ConvertParams& step : Params.Chain) codes.push_back(step.OpCode);
  if (!Params.LosslessJpegTurns || LowerFileExt(output) != ".jpg" || !BatchTurn(codes, 1))
    return std::nullopt;
  std::vector<uint8_t> bytes;
  std::string error;
  if (!ReadWholeFile(source, bytes, error) || !LooksLikeJpeg(bytes)) return std::nullopt;
  // Without its metadata the result loses the colour profile, so its colours are to be
  // converted: that needs the pixels.
  if (!Params.KeepMetadata && !ReadColourProfile(source).empty()) return std::nullopt;
  const bool upright = Params.AutoOrient;
  const int orientation = upright ? ReadExifOrientation(source) : 1;
  std::vector<uint8_t> turned;
  const LosslessOutcome outcome =
      TransformJpeg(bytes, *BatchTurn(codes, orientation), Params.KeepMetadata, turned);
  if (outcome == LosslessOutcome::NotAligned) host.MemoLine(kMemoNotLossless);
  // Anything but a clean transform goes the usual way, which reports damage as such.
  if (outcome != LosslessOutcome::Done) return std::nullopt;
  bytes.clear();

  auto fail = [&](const FileFailure& why) {
    host.MemoLine(kMemoSaveFailed);
    host.FileFailed(source, why);
    failure = why;
    return FileOutcome::SaveFailed;
  };
  record.Target = output;
  if (Params.Existing != OnExists::Rename && writtenOutputs_.count(output))
    return fail({FailReason::NameTaken, output, {}});
  if (const std::string error = MakeResultFolder(output); !error.empty())
    return fail({FailReason::WriteFailed, output, error});
  const bool saved = SaveWith(output, [&](const std::string& temp, const std::string&) {
    const UniqueFd fd(open(temp.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC));
    return fd.Ok() && WriteFullyAt(fd.Get(), 0, turned.data(), turned.size());
  });
  if (!saved) return fail(saveFailure_);
  // The EXIF is written anew: Orientation 1 when turned upright, no thumbnail.
  const bool metadataKept = Params.KeepMetadata ? CopyMetadata(source, savedPath_, upright)
                                                : CopyFileTime(source, savedPath_);
  if (!metadataKept) host.MemoLine(kMemoMetadataFailed);
  record.Result = savedPath_;
  struct stat st;
  if (stat(savedPath_.c_str(), &st) == 0) record.BytesOut = uint64_t(st.st_size);
  return FileOutcome::Saved;
}

bool ConvertEngine::SaveBitmap(const std::string& outputPath, Bitmap& bitmap) {
  const bool saved = SaveWith(outputPath, [&](const std::string& temp, const std::string& ext) {
    return WriteWithinBudget(temp, ext, bitmap, metadataBytes_);
  });
  bitmap.Release();
  return saved;
}

bool ConvertEngine::SaveWith(
    const std::string& outputPath,
    const std::function<bool(const std::string& temp, const std::string& lowerExt)>& write) {
  saveFailure_ = {};
  savedPath_.clear();
  const OnExists existing = Params.Existing;
  struct stat st;
  if (lstat(outputPath.c_str(), &st) == 0) {
    if (existing == OnExists::Error || existing == OnExists::Skip)
      return FailSave(FailReason::TargetExists, outputPath);
    if (existing == OnExists::Overwrite) {
      // Never replace a file this batch reads, whatever the spelling of its path.
      if (IsBatchSource(outputPath)) return FailSave(FailReason::TargetIsSource, outputPath);
      if (IsFolder(outputPath)) return FailSave(FailReason::TargetIsFolder, outputPath);
    }
  }
  const std::string lowerExt = LowerFileExt(outputPath);
  // The extension last, so that a writer choosing its format by extension still sees it.
  StagedFile temp(outputPath, lowerExt, 0666, Durability::Durable);
  if (!temp.Ok()) return FailSave(FailReason::WriteFailed, outputPath, errno);

  bool written = false;
  errno = 0;
  int error = 0;
  try {
    written = write(temp.Path(), lowerExt);
    error = errno;
  } catch (const std::system_error& e) {
    error = e.code().value();
  } catch (...) {
    error = errno;
  }
  if (written) error = 0;
  FailReason reason = FailReason::WriteFailed;
  if (written && existing == OnExists::Overwrite) {
    if (IsBatchSource(outputPath)) {
      reason = FailReason::TargetIsSource;
    } else if ((error = temp.Replace()) == 0) {
      savedPath_ = outputPath;
    }
  } else if (written) {
    // Never replacing anything: the output name, or under Rename the first free
    // numbered name.
    const int tries = existing == OnExists::Rename ? kMaxNumberedNames : 1;
    for (int n = 0; n < tries && savedPath_.empty(); ++n) {
      const std::string candidate = n == 0 ? outputPath : NumberedName(outputPath, n);
      const int result = temp.PlaceNew(candidate);
      if (result == 0) {
        savedPath_ = candidate;
      } else if (result == EEXIST) {
        reason = FailReason::TargetExists;
      } else {
        error = result;
        break;
      }
    }
  }
  if (savedPath_.empty()) return FailSave(reason, outputPath, error);
  return true;
}

bool ConvertEngine::WriteWithinBudget(const std::string& path, const std::string& lowerExt,
                                      const Bitmap& bitmap, uint64_t overhead) {
  quality_ = 0;
  overBudget_ = false;
  if (Params.MaxBytes == 0 || !LossyResult(lowerExt, Params.Lossless))
    return WriteTo(path, lowerExt, bitmap);
  const uint64_t budget = Params.MaxBytes > overhead ? Params.MaxBytes - overhead : 0;
  const int asked = std::clamp(Params.JpegQuality, 1, 100);
  struct Restore {
    int& quality;
    int value;
    ~Restore() { quality = value; }
  } restore{Params.JpegQuality, Params.JpegQuality};
  // The highest quality in 1..asked whose result fits, by bisection: at most 7 encodes
  // for 100 qualities. The best fitting encode is kept, and the quality 1 encode in case
  // none fits.
  std::string best, lowest;
  int bestQuality = 0;
  auto drop = [](std::string& file) {
    if (!file.empty()) unlink(file.c_str());
    file.clear();
  };
  int low = 1, high = asked;
  while (low <= high) {
    const int mid = (low + high + 1) / 2;
    std::string probe = MakeTemporaryFile(path, lowerExt);
    if (probe.empty()) break;
    Params.JpegQuality = mid;
    bool ok = false;
    try {
      ok = WriteTo(probe, lowerExt, bitmap);
    } catch (...) {
      ok = false;
    }
    struct stat st;
    if (!ok || stat(probe.c_str(), &st) != 0) {
      const int error = errno;
      unlink(probe.c_str());
      drop(best);
      drop(lowest);
      errno = error;
      return false;
    }
    if (uint64_t(st.st_size) <= budget) {
      drop(best);
      best = probe;
      bestQuality = mid;
      low = mid + 1;
    } else {
      if (mid == 1) {
        drop(lowest);
        lowest = probe;
      } else {
        unlink(probe.c_str());
      }
      high = mid - 1;
    }
  }
  if (best.empty() && lowest.empty()) return false;
  overBudget_ = best.empty();
  quality_ = overBudget_ ? 1 : bestQuality;
  std::string& kept = overBudget_ ? lowest : best;
  const bool placed = rename(kept.c_str(), path.c_str()) == 0;
  if (!placed) unlink(kept.c_str());
  drop(overBudget_ ? best : lowest);
  return placed;
}

bool ConvertEngine::WriteTo(const std::string& path, const std::string& lowerExt,
                            const Bitmap& bitmap) {
  if (lowerExt == ".gif") return io_->WriteGif(path, bitmap, GifDitherFor(Params.DitherIndex));
  if (lowerExt == ".bmp") return io_->WriteBmp(path, bitmap);
  const EmbeddedMetadata* metadata =
      embedded_.exif.empty() && embedded_.icc.empty() ? nullptr : &embedded_;
  if (lowerExt == ".webp" || lowerExt == ".avif" || lowerExt == ".jxl")
    return io_->WriteEncoded(path, bitmap,
                             {std::clamp(Params.JpegQuality, 1, 100), Params.Lossless, metadata,
                              Params.EncoderThreads > 0 ? Params.EncoderThreads : CoreCount()});
  io_->SetEmbeddedMetadata(metadata);
  struct Forget {
    ConvertIO* io;
    ~Forget() { io->SetEmbeddedMetadata(nullptr); }
  } forget{io_};
  CodecSaveRequest args;
  if (lowerExt == ".jpg") {
    args.byExtension = true;
    args.jpegQuality = std::clamp(Params.JpegQuality - 1, 0, 99);
  } else if (lowerExt == ".sgi") {
    args.type = kCodecTypeSgi;
    args.sgiRle = 1;
  } else if (lowerExt == ".tif") {
    args.type = kCodecTypeTif;
  } else if (lowerExt == ".png") {
    args.type = kCodecTypePng;
  } else if (lowerExt == ".tga") {
    args.type = kCodecTypeTga;
  } else if (lowerExt == ".pnm") {
    args.type = kCodecTypePnm;
  }
  return io_->CodecSave(path, bitmap, args);
}

}  // namespace quorvane
