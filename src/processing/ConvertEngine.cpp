#include "processing/ConvertEngine.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <system_error>

#include "processing/ConvertOps.h"
#include "processing/LosslessJpeg.h"
#include "imaging/Orient.h"
#include "imaging/ExifMeta.h"
#include "imaging/PictureDecoders.h"
#include "platform/CoreCount.h"
#include "platform/FileIO.h"
#include "platform/FileNames.h"

namespace quorvane {

namespace {

constexpr int kStepPauseMs = 70;

// The process's file creation mask, read without changing it.
mode_t CurrentUmask() {
  static const mode_t mask = [] {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
      if (line.rfind("Umask:", 0) == 0) return mode_t(std::strtoul(line.c_str() + 6, nullptr, 8));
    const mode_t m = umask(022);
    umask(m);
    return m;
  }();
  return mask;
}

// Cuts a name to at most `limit` bytes without splitting a UTF-8 sequence.
std::string CutName(const std::string& name, size_t limit) {
  if (name.size() <= limit) return name;
  size_t end = limit;
  while (end > 0 && (static_cast<unsigned char>(name[end]) & 0xC0) == 0x80) --end;
  return name.substr(0, end);
}

// A fresh empty file beside `target`, hidden, with the (lower-cased) extension last so
// that a writer choosing its format by extension still sees it. Answers "" on failure.
std::string MakeTemporaryFile(const std::string& target, const std::string& lowerExt) {
  const std::string name = ExtractFileName(target);
  std::string suffix = lowerExt.size() <= 16 ? lowerExt : std::string();
  const std::string base = CutName(name.substr(0, name.size() - ExtractFileExt(name).size()), 120);
  std::string tmpl = JoinPath(ExtractFileDir(target).empty() ? "." : ExtractFileDir(target),
                              "." + base + ".quorvane-" + std::string(6, 'X') + suffix);
  const int fd = mkstemps(tmpl.data(), int(suffix.size()));
  if (fd < 0) return {};
  fchmod(fd, 0666 & ~CurrentUmask());
  close(fd);
  return tmpl;
}

// Numbered names tried under OnExists::Rename before the file fails.
constexpr int kMaxNumberedNames = 10000;

// Gives the written temporary file the name `target` unless an entry of that name
// exists: answers 0 (`tempGone` set when the temporary name is gone), EEXIST, or the
// error that prevented it.
int PlaceWithoutReplacing(const std::string& temp, const std::string& target, bool& tempGone) {
  if (link(temp.c_str(), target.c_str()) == 0) return 0;
  // link() refuses an existing name; file systems without hard links fall back to a
  // check and a rename.
  const int error = errno;
  struct stat st;
  if (error == EEXIST || lstat(target.c_str(), &st) == 0) return EEXIST;
  if (rename(temp.c_str(), target.c_str()) != 0) return errno;
  tempGone = true;
  return 0;
}

// Why a source could not be read: it is missing, not a plain file, cannot be opened, or
// holds nothing the readers know.
FileFailure ReadFailure(const std::string& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) {
    if (errno == ENOENT || errno == ENOTDIR) return {FailReason::Missing, {}, {}};
    return {FailReason::Unreadable, {}, std::strerror(errno)};
  }
  if (!S_ISREG(st.st_mode)) return {FailReason::NotRegular, {}, {}};
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return {FailReason::Unreadable, {}, std::strerror(errno)};
  close(fd);
  return {FailReason::NotAPicture, {}, {}};
}

// The words for a failed folder creation.
std::string FolderError(int error) {
  return error == ENOENT ? "its parent folder does not exist" : std::strerror(error);
}

}  // namespace

std::string DescribeFailure(const std::string& path, const FileFailure& f) {
  const std::string target = f.Target.empty() ? "the target" : "the target " + f.Target;
  const std::string because = f.Detail.empty() ? std::string() : " (" + f.Detail + ")";
  std::string reason;
  switch (f.Reason) {
    case FailReason::None:
      reason = "failed";
      break;
    case FailReason::Missing:
      reason = "the file does not exist";
      break;
    case FailReason::NotRegular:
      reason = "not a regular file";
      break;
    case FailReason::Unreadable:
      reason = "the file cannot be read" + because;
      break;
    case FailReason::NotAPicture:
      reason = "not a picture the readers know, or a damaged one";
      break;
    case FailReason::OperationFailed:
      reason = "the operation failed on this picture";
      break;
    case FailReason::Interrupted:
      reason = "stopped before the operation finished; nothing written";
      break;
    case FailReason::TargetExists:
      reason = target + " exists and existing files are kept (--no-overwrite)";
      break;
    case FailReason::TargetIsSource:
      reason = target + " is one of this batch's own sources; it is never replaced";
      break;
    case FailReason::TargetIsFolder:
      reason = target + " is a folder";
      break;
    case FailReason::NameTaken:
      reason = "another file of this batch already wrote " +
               (f.Target.empty() ? std::string("the same target") : f.Target);
      break;
    case FailReason::PermissionDenied:
      reason = "cannot write " + target + ": permission denied";
      break;
    case FailReason::DiskFull:
      reason = "cannot write " + target + ": the disk is full";
      break;
    case FailReason::WriteFailed:
      reason = "cannot write " + target + because;
      break;
    case FailReason::WorkerDied:
      reason = "the process converting it ended abnormally";
      break;
    case FailReason::FolderFailed:
      return "cannot create the output folder " + path +
             (f.Detail.empty() ? std::string() : ": " + f.Detail);
  }
  return path + ": " + reason;
}

std::string CaptionText(const std::string& targetExt) { return "Convert to " + targetExt; }
std::string ErrorCountText(int errors) { return "Error(s) : " + std::to_string(errors); }
std::string TotalLine(size_t count) { return "* total " + std::to_string(count) + "File(s)"; }
std::string FileLine(const std::string& path, size_t position, size_t count) {
  return "-" + path + "(" + std::to_string(position) + "/" + std::to_string(count) + ")";
}

std::string NumberedName(const std::string& path, int n) {
  const std::string name = ExtractFileName(path);
  const std::string ext = ExtractFileExt(name);
  const std::string base = name.substr(0, name.size() - ext.size());
  return JoinPath(ExtractFileDir(path), base + " (" + std::to_string(n) + ")" + ext);
}

int GifDitherFor(int ditherIndex) { return ditherIndex >= 0 && ditherIndex <= 4 ? ditherIndex : 1; }

ConvertEngine::ConvertEngine(ConvertIO* io) : io_(io) {
  static ConvertIO programIO;
  if (!io_) io_ = &programIO;
}

std::string ConvertEngine::OutputPathFor(const std::string& source) const {
  const std::string name = ExtractFileName(source);
  if (!Params.ChangeExt) return JoinPath(Params.OutputFolder, name);
  const std::string ext = ExtractFileExt(name);
  std::string base = name;
  if (!ext.empty()) {
    const size_t at = name.find(ext);
    if (at != std::string::npos) base = name.substr(0, at);
  }
  return JoinPath(Params.OutputFolder, base + Params.TargetExt);
}

bool ConvertEngine::EnsureOutputFolder() const {
  struct stat st;
  if (stat(Params.OutputFolder.c_str(), &st) == 0) return true;
  if (Params.OutputFolder.empty()) {
    errno = ENOENT;
    return false;
  }
  return mkdir(Params.OutputFolder.c_str(), 0777) == 0;
}

void ConvertEngine::PlanBatch() {
  sources_.clear();
  for (const std::string& path : Params.FileList) {
    struct stat st;
    if (stat(path.c_str(), &st) == 0) sources_.push_back({st.st_dev, st.st_ino});
  }
  // A later file whose output name an earlier file shares must not replace that file's
  // result; it is written only when no earlier file wrote the name.
  earlierNamesake_.assign(Params.FileList.size(), false);
  writtenOutputs_.clear();
  std::set<std::string> names;
  for (size_t i = 0; i < Params.FileList.size(); ++i)
    earlierNamesake_[i] = !names.insert(OutputPathFor(Params.FileList[i])).second;
}

bool ConvertEngine::HasEarlierNamesake(size_t index) const {
  return index < earlierNamesake_.size() && earlierNamesake_[index];
}

bool ConvertEngine::IsBatchSource(const std::string& path) const {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return false;
  return std::any_of(sources_.begin(), sources_.end(),
                     [&](const FileId& id) { return id.dev == st.st_dev && id.ino == st.st_ino; });
}

FileOutcome ConvertEngine::ConvertFile(size_t index, ConvertHost& host, const StopSource* stop) {
  const size_t count = Params.FileList.size();
  const std::string& source = Params.FileList[index];
  const std::string output = OutputPathFor(source);
  host.SetProgress(int(std::min(index + 1, count)));
  host.MemoLine(FileLine(source, index + 1, count));

  auto fail = [&](FileOutcome outcome, const char* line, const FileFailure& why) {
    host.MemoLine(line);
    host.FileFailed(source, why);
    return outcome;
  };

  struct stat st;
  if (Params.Existing == OnExists::Skip && lstat(output.c_str(), &st) == 0) {
    host.MemoLine(kMemoSkipped);
    return FileOutcome::Skipped;
  }
  if (const std::optional<FileOutcome> done = ConvertLosslessly(source, output, host)) return *done;

  bool read = false;
  try {
    read = io_->ReadImage(source, work_);
  } catch (...) {
    read = false;
  }
  // Pixels are written upright, or as stored with the source's orientation kept; a
  // source whose stored pixels cannot be had is written upright.
  const bool upright = Params.AutoOrient;
  if (read && upright) read = OrientAsFile(source, work_);
  if (!read) return fail(FileOutcome::ReadFailed, kMemoReadFailed, ReadFailure(source));
  // A result without the source's metadata loses its colour profile too: its colours
  // are converted from the profile to sRGB, which a picture without one is taken for.
  if (!Params.KeepMetadata) ConvertToSrgb(work_, ReadColourProfile(source));
  host.ProcessMessages();
  host.Pause(kStepPauseMs);

  bool converted = false;
  bool interrupted = false;
  try {
    converted = io_->RunStep(
        work_, Params, stop, [&host](int ms) { host.Pause(ms); }, &interrupted);
  } catch (...) {
    converted = false;
  }
  host.ProcessMessages();
  host.Pause(kStepPauseMs);

  if (!converted)
    return fail(FileOutcome::ConvertFailed, kMemoConvertFailed,
                {FailReason::OperationFailed, {}, {}});
  // A pixel step cut short by Stop leaves a half-processed picture: it is not written.
  // A step that ran to its end is saved even when Stop came meanwhile.
  if (interrupted) {
    work_.Release();
    return fail(FileOutcome::ConvertFailed, kMemoConvertFailed, {FailReason::Interrupted, {}, {}});
  }
  // An earlier file of the batch wrote this name: it is not replaced (Rename finds
  // another name).
  if (Params.Existing != OnExists::Rename && writtenOutputs_.count(output)) {
    work_.Release();
    return fail(FileOutcome::SaveFailed, kMemoSaveFailed, {FailReason::NameTaken, output, {}});
  }
  // Writers that embed the source's metadata get it before they write; the metadata
  // library copies it into the others afterwards.
  const bool embeds = Params.KeepMetadata && EmbedsMetadata(output);
  bool metadataKept = !embeds || PrepareMetadata(source, work_.Width(), work_.Height(),
                                                 upright, embedded_);
  const bool saved = SaveBitmap(output, work_);
  embedded_ = EmbeddedMetadata();
  if (!saved) return fail(FileOutcome::SaveFailed, kMemoSaveFailed, saveFailure_);
  // Every result keeps the source's file time, with its metadata or without.
  if (Params.KeepMetadata && !embeds)
    metadataKept = CopyMetadata(source, savedPath_, upright);
  else
    metadataKept = CopyFileTime(source, savedPath_) && metadataKept;
  if (!metadataKept) host.MemoLine(kMemoMetadataFailed);
  return FileOutcome::Saved;
}

void ConvertEngine::RecordOutcome(size_t index, FileOutcome outcome) {
  if (outcome == FileOutcome::Skipped) return;
  if (outcome == FileOutcome::Saved) {
    ++savedCount_;
    if (index < Params.FileList.size())
      writtenOutputs_.insert(OutputPathFor(Params.FileList[index]));
    return;
  }
  ++errorCount_;
  allSucceeded_ = false;
}

void ConvertEngine::RunFiles(ConvertHost& host, const StopSource* stop) {
  for (size_t i = 0; i < Params.FileList.size(); ++i) {
    RecordOutcome(i, ConvertFile(i, host, stop));
    host.ProcessMessages();
    if (StopRequested(stop)) {
      RecordStop();
      break;
    }
    host.Pause(kStepPauseMs);
  }
}

void ConvertEngine::TransProc(ConvertHost& host, const StopSource* stop, const FileLoop& loop) {
  if (StopRequested(stop)) return;
  errorCount_ = 0;
  savedCount_ = 0;
  allSucceeded_ = false;
  const size_t count = Params.FileList.size();
  if (count == 0) {
    allSucceeded_ = true;
  } else {
    host.SetCaption(CaptionText(Params.TargetExt));
    host.MemoLine(TotalLine(count));
    host.SetProgressRange(int(count));
    host.SetProgress(0);
    if (!EnsureOutputFolder()) {
      const int error = errno;
      ++errorCount_;
      host.MemoLine(kMemoFolderFailed);
      host.FileFailed(Params.OutputFolder, {FailReason::FolderFailed, {}, FolderError(error)});
    } else {
      allSucceeded_ = true;
      PlanBatch();
      if (loop)
        loop(*this, host, stop);
      else
        RunFiles(host, stop);
    }
  }
  if (!allSucceeded_) host.SetErrorText(ErrorCountText(errorCount_));
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
                                                           ConvertHost& host) {
  if (!Params.LosslessJpegTurns || LowerFileExt(output) != ".jpg" ||
      !BatchTurn({Params.OpCode}, 1))
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
      TransformJpeg(bytes, *BatchTurn({Params.OpCode}, orientation), Params.KeepMetadata, turned);
  if (outcome == LosslessOutcome::NotAligned) host.MemoLine(kMemoNotLossless);
  // Anything but a clean transform goes the usual way, which reports damage as such.
  if (outcome != LosslessOutcome::Done) return std::nullopt;
  bytes.clear();

  auto fail = [&](const FileFailure& why) {
    host.MemoLine(kMemoSaveFailed);
    host.FileFailed(source, why);
    return FileOutcome::SaveFailed;
  };
  if (Params.Existing != OnExists::Rename && writtenOutputs_.count(output))
    return fail({FailReason::NameTaken, output, {}});
  const bool saved = SaveWith(output, [&](const std::string& temp, const std::string&) {
    const UniqueFd fd(open(temp.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC));
    return fd.Ok() && WriteFullyAt(fd.Get(), 0, turned.data(), turned.size());
  });
  if (!saved) return fail(saveFailure_);
  // The EXIF is written anew: Orientation 1 when turned upright, no thumbnail.
  const bool metadataKept = Params.KeepMetadata ? CopyMetadata(source, savedPath_, upright)
                                                : CopyFileTime(source, savedPath_);
  if (!metadataKept) host.MemoLine(kMemoMetadataFailed);
  return FileOutcome::Saved;
}

bool ConvertEngine::SaveBitmap(const std::string& outputPath, Bitmap& bitmap) {
  const bool saved = SaveWith(outputPath, [&](const std::string& temp, const std::string& ext) {
    return WriteTo(temp, ext, bitmap);
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
  const std::string temp = MakeTemporaryFile(outputPath, lowerExt);
  if (temp.empty()) return FailSave(FailReason::WriteFailed, outputPath, errno);

  bool written = false;
  errno = 0;
  int error = 0;
  try {
    written = write(temp, lowerExt);
    error = errno;
  } catch (const std::system_error& e) {
    error = e.code().value();
  } catch (...) {
    error = errno;
  }
  if (written) error = 0;
  FailReason reason = FailReason::WriteFailed;
  bool tempGone = false;
  if (written && existing == OnExists::Overwrite) {
    if (IsBatchSource(outputPath)) {
      reason = FailReason::TargetIsSource;
    } else if (rename(temp.c_str(), outputPath.c_str()) == 0) {
      savedPath_ = outputPath;
      tempGone = true;
    } else {
      error = errno;
    }
  } else if (written) {
    // Never replacing anything: the output name, or under Rename the first free
    // numbered name.
    const int tries = existing == OnExists::Rename ? kMaxNumberedNames : 1;
    for (int n = 0; n < tries && savedPath_.empty(); ++n) {
      const std::string candidate = n == 0 ? outputPath : NumberedName(outputPath, n);
      const int result = PlaceWithoutReplacing(temp, candidate, tempGone);
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
  if (!tempGone) unlink(temp.c_str());
  if (savedPath_.empty()) return FailSave(reason, outputPath, error);
  return true;
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
