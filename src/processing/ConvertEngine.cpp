#include "processing/ConvertEngine.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <system_error>

#include "processing/LosslessJpeg.h"
#include "imaging/ExifMeta.h"
#include "imaging/Orient.h"
#include "imaging/PictureDecoders.h"
#include "platform/CoreCount.h"
#include "platform/FileIO.h"
#include "platform/FileNames.h"
#include "platform/StagedFile.h"
#include "processing/ConvertOps.h"
#include "processing/NameTemplate.h"

namespace quorvane {

namespace {

constexpr int kStepPauseMs = 70;

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

// True for the results written with a quality: JPEG, and WebP, AVIF and JPEG XL unless
// lossless.
bool LossyResult(const std::string& lowerExt, bool lossless) {
  return lowerExt == ".jpg" ||
         (!lossless && (lowerExt == ".webp" || lowerExt == ".avif" || lowerExt == ".jxl"));
}

std::string FailureReasonText(const FileFailure& failure) {
  if (failure.Reason == FailReason::FolderFailed) return DescribeFailure("", failure);
  return DescribeFailure("", failure).substr(2);
}

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

std::string ConvertEngine::OutputPathFor(size_t index, int width, int height,
                                         const std::tm& date) const {
  const std::string& source = Params.FileList[index];
  const std::string folder = index < Params.SubFolders.size() && !Params.SubFolders[index].empty()
                                 ? JoinPath(Params.OutputFolder, Params.SubFolders[index])
                                 : Params.OutputFolder;
  if (Params.NameTemplate.empty()) return JoinPath(folder, ExtractFileName(OutputPathFor(source)));
  NameFields fields{source, Params.StartNumber + (long long)index, width, height, date};
  const std::string ext = Params.ChangeExt ? Params.TargetExt : ExtractFileExt(source);
  // A name cut to the file system's limit, its extension kept.
  return JoinPath(folder, CutName(ExpandNameTemplate(Params.NameTemplate, fields),
                                  255 - std::min<size_t>(ext.size(), 32)) +
                              ext);
}

std::string ConvertEngine::PlanningName(size_t index) const {
  if (Params.NameTemplate.empty()) return OutputPathFor(index, 0, 0, std::tm{});
  // Sizes and dates are not known yet: names that differ only in them may meet.
  ConvertEngine planner(io_);
  planner.Params.OutputFolder = Params.OutputFolder;
  planner.Params.FileList = {Params.FileList[index]};
  planner.Params.SubFolders = {index < Params.SubFolders.size() ? Params.SubFolders[index] : ""};
  planner.Params.TargetExt = Params.TargetExt;
  planner.Params.ChangeExt = Params.ChangeExt;
  planner.Params.StartNumber = Params.StartNumber + int(index);
  std::string pattern = Params.NameTemplate;
  for (const char* field : {"{w}", "{h}"})
    for (size_t at; (at = pattern.find(field)) != std::string::npos;) pattern.erase(at, 3);
  for (size_t at; (at = pattern.find("{date")) != std::string::npos;)
    pattern.erase(at, pattern.find('}', at) - at + 1);
  planner.Params.NameTemplate = pattern.empty() ? "x" : pattern;
  return planner.OutputPathFor(0, 0, 0, std::tm{});
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
    earlierNamesake_[i] = !names.insert(PlanningName(i)).second;
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
  const auto start = std::chrono::steady_clock::now();
  FileRecord record;
  FileFailure failure;
  const FileOutcome outcome = ConvertOne(index, host, stop, record, failure);
  record.Milliseconds =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  host.FileDone(Params.FileList[index], outcome, record, failure);
  lastRecord_ = std::move(record);
  return outcome;
}

FileOutcome ConvertEngine::ConvertOne(size_t index, ConvertHost& host, const StopSource* stop,
                                      FileRecord& record, FileFailure& failure) {
  const size_t count = Params.FileList.size();
  const std::string& source = Params.FileList[index];
  host.SetProgress(int(std::min(index + 1, count)));
  host.MemoLine(FileLine(source, index + 1, count));

  auto fail = [&](FileOutcome outcome, const char* line, const FileFailure& why) {
    host.MemoLine(line);
    host.FileFailed(source, why);
    failure = why;
    return outcome;
  };
  struct stat st;
  if (stat(source.c_str(), &st) == 0) record.BytesIn = uint64_t(st.st_size);
  // Names of the result's size are known once the pixel step is done; the others now,
  // so that a file whose result exists is skipped without reading it.
  const bool sized =
      TemplateUses(Params.NameTemplate, "w") || TemplateUses(Params.NameTemplate, "h");
  const std::tm date = TemplateUses(Params.NameTemplate, "date") ? PictureDate(source) : std::tm{};
  std::string output = sized ? std::string() : OutputPathFor(index, 0, 0, date);
  auto skipped = [&] {
    record.Target = record.Result = output;
    work_.Release();
    host.MemoLine(kMemoSkipped);
    failure = {FailReason::TargetExists, output, {}};
    return FileOutcome::Skipped;
  };
  if (!sized && Params.Existing == OnExists::Skip && lstat(output.c_str(), &st) == 0)
    return skipped();
  if (!sized && !Params.DryRun && Params.MaxBytes == 0)
    if (const std::optional<FileOutcome> done =
            ConvertLosslessly(source, output, host, record, failure))
      return *done;

  bool read = false;
  try {
    read = io_->ReadImageFor(source, work_, Params.Chain.empty() ? Params : Params.Chain.front());
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
  record.Width = work_.Width();
  record.Height = work_.Height();
  if (sized) {
    output = OutputPathFor(index, record.Width, record.Height, date);
    if (Params.Existing == OnExists::Skip && lstat(output.c_str(), &st) == 0) return skipped();
  }
  record.Target = output;
  // An earlier file of the batch wrote this name: it is not replaced (Rename finds
  // another name).
  if (Params.Existing != OnExists::Rename && writtenOutputs_.count(output)) {
    work_.Release();
    return fail(FileOutcome::SaveFailed, kMemoSaveFailed, {FailReason::NameTaken, output, {}});
  }
  if (Params.DryRun) return DryRunSave(source, output, host, record, failure);
  if (const std::string error = MakeResultFolder(output); !error.empty()) {
    work_.Release();
    return fail(FileOutcome::SaveFailed, kMemoSaveFailed, {FailReason::WriteFailed, output, error});
  }
  // Writers that embed the source's metadata get it before they write; the metadata
  // library copies it into the others afterwards.
  const bool embeds = Params.KeepMetadata && EmbedsMetadata(output);
  bool metadataKept = !embeds || PrepareMetadata(source, work_.Width(), work_.Height(),
                                                 upright, embedded_);
  // A size budget leaves room for the metadata copied in after writing.
  metadataBytes_ = 0;
  EmbeddedMetadata later;
  if (Params.MaxBytes > 0 && Params.KeepMetadata && !embeds && TakesMetadata(output) &&
      PrepareMetadata(source, work_.Width(), work_.Height(), upright, later) &&
      !(later.exif.empty() && later.icc.empty()))
    metadataBytes_ = later.exif.size() + later.icc.size() + 256;
  const bool saved = SaveBitmap(output, work_);
  embedded_ = EmbeddedMetadata();
  if (!saved) return fail(FileOutcome::SaveFailed, kMemoSaveFailed, saveFailure_);
  // Every result keeps the source's file time, with its metadata or without.
  if (Params.KeepMetadata && !embeds)
    metadataKept = CopyMetadata(source, savedPath_, upright);
  else
    metadataKept = CopyFileTime(source, savedPath_) && metadataKept;
  if (!metadataKept) host.MemoLine(kMemoMetadataFailed);
  if (overBudget_) host.MemoLine(kMemoOverBudget);
  record.Result = savedPath_;
  // The quality of a lossy result: the budget's choice, else the one asked for.
  record.Quality = quality_ ? quality_
                   : LossyResult(LowerFileExt(savedPath_), Params.Lossless)
                       ? std::clamp(Params.JpegQuality, 1, 100)
                       : 0;
  if (stat(savedPath_.c_str(), &st) == 0) record.BytesOut = uint64_t(st.st_size);
  return FileOutcome::Saved;
}

FileOutcome ConvertEngine::DryRunSave(const std::string& source, const std::string& output,
                                      ConvertHost& host, FileRecord& record, FileFailure& failure) {
  work_.Release();
  struct stat st;
  std::string line = "would write " + output;
  record.Result = output;
  if (lstat(output.c_str(), &st) == 0) {
    if (Params.Existing == OnExists::Error || IsBatchSource(output) || S_ISDIR(st.st_mode)) {
      failure = {IsBatchSource(output) ? FailReason::TargetIsSource
                 : S_ISDIR(st.st_mode) ? FailReason::TargetIsFolder
                                       : FailReason::TargetExists,
                 output,
                 {}};
      host.MemoLine(kMemoSaveFailed);
      host.FileFailed(source, failure);
      return FileOutcome::SaveFailed;
    }
    if (Params.Existing == OnExists::Rename) {
      for (int n = 1; n < kMaxNumberedNames; ++n)
        if (lstat(NumberedName(output, n).c_str(), &st) != 0) {
          record.Result = NumberedName(output, n);
          break;
        }
      line = "would write " + record.Result;
    } else {
      line = "would replace " + output;
    }
  }
  host.MemoLine(line + " (" + std::to_string(record.Width) + "x" + std::to_string(record.Height) +
                ")");
  return FileOutcome::Saved;
}

void ConvertEngine::RecordOutcome(size_t index, FileOutcome outcome, const FileRecord* record) {
  if (outcome == FileOutcome::Skipped) return;
  if (outcome == FileOutcome::Saved) {
    ++savedCount_;
    if (record && !record->Target.empty())
      writtenOutputs_.insert(record->Target);
    else if (index < Params.FileList.size())
      writtenOutputs_.insert(OutputPathFor(Params.FileList[index]));
    return;
  }
  ++errorCount_;
  allSucceeded_ = false;
}

void ConvertEngine::RunFiles(ConvertHost& host, const StopSource* stop) {
  for (size_t i = 0; i < Params.FileList.size(); ++i) {
    const FileOutcome outcome = ConvertFile(i, host, stop);
    RecordOutcome(i, outcome, &lastRecord_);
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
    if (!Params.DryRun && !EnsureOutputFolder()) {
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

}  // namespace quorvane
