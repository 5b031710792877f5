#include "processing/ConvertEngine.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>

#include "processing/ConvertOps.h"
#include "processing/Orient.h"
#include "shell/ExifMeta.h"
#include "shell/FileNames.h"

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

}  // namespace

std::string CaptionText(const std::string& targetExt) { return "Convert to " + targetExt; }
std::string ErrorCountText(int errors) { return "Error(s) : " + std::to_string(errors); }
std::string TotalLine(size_t count) { return "* total " + std::to_string(count) + "File(s)"; }
std::string FileLine(const std::string& path, size_t position, size_t count) {
  return "-" + path + "(" + std::to_string(position) + "/" + std::to_string(count) + ")";
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
  return !Params.OutputFolder.empty() && mkdir(Params.OutputFolder.c_str(), 0777) == 0;
}

void ConvertEngine::PlanBatch() {
  sources_.clear();
  for (const std::string& path : Params.FileList) {
    struct stat st;
    if (stat(path.c_str(), &st) == 0) sources_.push_back({st.st_dev, st.st_ino});
  }
  // A later file whose output name an earlier file already has must not replace that
  // file's result.
  outputTaken_.assign(Params.FileList.size(), false);
  std::set<std::string> names;
  for (size_t i = 0; i < Params.FileList.size(); ++i)
    outputTaken_[i] = !names.insert(OutputPathFor(Params.FileList[i])).second;
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

  auto fail = [&](FileOutcome outcome, const char* line) {
    RecordOutcome(outcome);
    host.MemoLine(line);
    return outcome;
  };

  bool read = false;
  try {
    read = io_->ReadImage(source, work_);
  } catch (...) {
    read = false;
  }
  if (read && Params.AutoOrient) read = OrientAsFile(source, work_);
  if (!read) return fail(FileOutcome::ReadFailed, kMemoReadFailed);
  host.ProcessMessages();
  host.Pause(kStepPauseMs);

  bool converted = false;
  try {
    converted = io_->RunStep(work_, Params, stop, [&host](int ms) { host.Pause(ms); });
  } catch (...) {
    converted = false;
  }
  // A pixel step cut short by Stop leaves a half-processed picture: it is not written.
  if (converted && OperationHasStep(Params.OpCode) && StopRequested(stop)) converted = false;
  host.ProcessMessages();
  host.Pause(kStepPauseMs);

  if (!converted) return fail(FileOutcome::ConvertFailed, kMemoConvertFailed);
  const bool taken = index < outputTaken_.size() && outputTaken_[index];
  if (taken || !SaveBitmap(output, work_)) return fail(FileOutcome::SaveFailed, kMemoSaveFailed);
  if (Params.KeepMetadata && !CopyMetadata(source, output)) host.MemoLine(kMemoMetadataFailed);
  return FileOutcome::Saved;
}

void ConvertEngine::RecordOutcome(FileOutcome outcome) {
  if (outcome == FileOutcome::Saved) return;
  ++errorCount_;
  allSucceeded_ = false;
}

void ConvertEngine::RunFiles(ConvertHost& host, const StopSource* stop) {
  for (size_t i = 0; i < Params.FileList.size(); ++i) {
    ConvertFile(i, host, stop);
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
      ++errorCount_;
      host.MemoLine(kMemoFolderFailed);
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

bool ConvertEngine::SaveBitmap(const std::string& outputPath, Bitmap& bitmap) {
  struct stat st;
  if (lstat(outputPath.c_str(), &st) == 0) {
    if (!Params.Overwrite) return false;
    // Never replace a file this batch reads, whatever the spelling of its path.
    if (IsBatchSource(outputPath)) return false;
    if (stat(outputPath.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return false;
  }
  const std::string lowerExt = LowerFileExt(outputPath);
  const std::string temp = MakeTemporaryFile(outputPath, lowerExt);
  if (temp.empty()) return false;

  bool written = false;
  try {
    written = WriteTo(temp, lowerExt, bitmap);
  } catch (...) {
    written = false;
  }
  bool renamed = false;
  if (written) {
    if (Params.Overwrite) {
      renamed = !IsBatchSource(outputPath) && rename(temp.c_str(), outputPath.c_str()) == 0;
      written = renamed;
    } else if (link(temp.c_str(), outputPath.c_str()) != 0) {
      // link() refuses an existing name; file systems without hard links fall back to
      // a check and a rename.
      renamed = errno != EEXIST && lstat(outputPath.c_str(), &st) != 0 &&
                rename(temp.c_str(), outputPath.c_str()) == 0;
      written = renamed;
    }
  }
  if (!renamed) unlink(temp.c_str());
  bitmap.Release();
  return written;
}

bool ConvertEngine::WriteTo(const std::string& path, const std::string& lowerExt,
                            const Bitmap& bitmap) {
  if (lowerExt == ".gif") return io_->WriteGif(path, bitmap, GifDitherFor(Params.DitherIndex));
  if (lowerExt == ".bmp") return io_->WriteBmp(path, bitmap);
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
