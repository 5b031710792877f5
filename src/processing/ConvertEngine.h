#pragma once
// The batch conversion engine: reads each file of a batch, applies one pixel operation
// and writes the result into the output folder, reporting every file and every failure
// as memo lines. The conversion dialog, the command-line converter and the tests all
// drive this same loop through a small host interface.

#include <sys/types.h>

#include <cstdint>
#include <ctime>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "imaging/Bitmap.h"
#include "imaging/OpenIL.h"
#include "platform/StopSource.h"
#include "processing/ConvertParams.h"
#include "processing/EncodedWriters.h"

namespace quorvane {

// The memo texts of a batch.
inline constexpr const char* kMemoReadFailed = "파일을 읽어들일 수 없습니다.";
inline constexpr const char* kMemoConvertFailed = "이미지 변환 실패";
inline constexpr const char* kMemoSaveFailed = "파일을 저장할 수 없습니다.";
inline constexpr const char* kMemoFolderFailed = "폴더를 생성할 수 없습니다.";
// After a saved file's line; the file still counts as converted.
inline constexpr const char* kMemoMetadataFailed = "메타데이터를 복사할 수 없습니다.";
// The conversion dialog's last line when Stop ended the batch.
inline constexpr const char* kMemoStopped = "중지되었습니다.";
// After the file's line when its output name exists and existing files are skipped.
inline constexpr const char* kMemoSkipped = "같은 이름의 파일이 있어 건너뛰었습니다.";
// After the file's line when a JPEG that only turns could not be turned without loss
// (its size is not whole blocks): it is decoded and encoded instead.
inline constexpr const char* kMemoNotLossless =
    "크기가 블록의 배수가 아니어서 무손실 회전 대신 다시 압축했습니다.";

// Why a file of a batch failed. The memo shows one of the four texts above; a host that
// explains failures (the command line) gets the reason as well.
enum class FailReason : uint32_t {
  None,
  Missing,           // the source does not exist
  NotRegular,        // the source is a folder, a pipe, a device...
  Unreadable,        // the source cannot be opened (detail: why)
  NotAPicture,       // no reader knows the file, or it is damaged
  OperationFailed,   // the pixel operation failed
  Interrupted,       // Stop cut the pixel operation short
  TargetExists,      // the target exists and existing files are kept
  TargetIsSource,    // the target is one of the batch's own sources
  TargetIsFolder,    // a folder has the target's name
  NameTaken,         // an earlier file of the batch wrote the target
  PermissionDenied,  // the output folder refuses the write
  DiskFull,          // no room left (or the file size limit reached)
  WriteFailed,       // the writer failed otherwise (detail: why, when known)
  WorkerDied,        // the process converting the file ended abnormally
  FolderFailed,      // the output folder cannot be created (detail: why)
};

struct FileFailure {
  FailReason Reason = FailReason::None;
  std::string Target;  // the output path, for the reasons about the target
  std::string Detail;  // the system's word on it, when there is one
};

// One plain-English sentence for a failure of `path` (the source, or the output folder
// for FolderFailed): "/a/b.png: the file does not exist".
std::string DescribeFailure(const std::string& path, const FileFailure& failure);

// After a saved file's line when not even quality 1 keeps it within --max-size.
inline constexpr const char* kMemoOverBudget = "품질 1로도 크기 제한을 넘습니다.";

// What became of one file of a batch, for a report: the name it was meant to take and
// the one written (or, in a dry run, that would be), the bytes read and written, the
// result's size, the quality the size budget chose (0 without one) and the time taken.
struct FileRecord {
  std::string Target;
  std::string Result;
  uint64_t BytesIn = 0;
  uint64_t BytesOut = 0;
  int Width = 0;
  int Height = 0;
  int Quality = 0;
  double Milliseconds = 0;
};

// The reason of a failure without the path: "the file does not exist".
std::string FailureReasonText(const FileFailure& failure);

// How one file of a batch ended.
enum class FileOutcome { Saved, Skipped, ReadFailed, ConvertFailed, SaveFailed };
inline bool IsFailure(FileOutcome outcome) {
  return outcome != FileOutcome::Saved && outcome != FileOutcome::Skipped;
}

// What the engine reports to, and asks of, whoever runs it.
class ConvertHost {
 public:
  virtual ~ConvertHost() = default;
  // One line of the memo.
  virtual void MemoLine(const std::string& line) = 0;
  // Why a file (or the output folder) failed; called right after the memo's failure line.
  virtual void FileFailed(const std::string& /*path*/, const FileFailure& /*failure*/) {}
  // The caption above the progress bar ("Convert to .jpg").
  virtual void SetCaption(const std::string& /*text*/) {}
  // The error label at the end of a batch that did not fully succeed ("Error(s) : 2").
  virtual void SetErrorText(const std::string& /*text*/) {}
  virtual void SetProgressRange(int /*maximum*/) {}
  virtual void SetProgress(int /*position*/) {}
  // Lets the user interface handle pending events (a Stop click among them).
  virtual void ProcessMessages() {}
  // The engine's step boundaries (after reading, after the pixel step, between files)
  // and the pauses a pixel operation asks for between its passes. No host of the
  // program waits here; it is where a test can act between steps.
  virtual void Pause(int /*ms*/) {}
  // The end of one file, after its lines; `failure` tells why when it failed.
  virtual void FileDone(const std::string& /*source*/, FileOutcome /*outcome*/,
                        const FileRecord& /*record*/, const FileFailure& /*failure*/) {}
};

// Reading, the pixel step and the writers the engine uses. The default answers go to
// the program's readers and writers; tests replace single members to observe them.
class ConvertIO {
 public:
  virtual ~ConvertIO() = default;
  // The picture as stored: the engine turns it upright itself (ConvertParams::AutoOrient).
  virtual bool ReadImage(const std::string& path, Bitmap& bitmap);
  // The picture for a batch whose first operation is `step`: a JPEG file that a fit
  // reduces is decoded at 1/2, 1/4 or 1/8 where it stays at least twice the fitted size
  // (FitDecodeScale); anything else as ReadImage.
  virtual bool ReadImageFor(const std::string& path, Bitmap& bitmap, const ConvertParams& step);
  // The pixel operation of params.OpCode; codes without one answer true untouched.
  // `pause` is called with the pauses an operation asks for between its passes;
  // `interrupted` is set when a stop cut the operation short (see ConvertOps.h).
  virtual bool RunStep(Bitmap& bitmap, const ConvertParams& params, const StopSource* stop,
                       const std::function<void(int)>& pause, bool* interrupted);
  // Each writer writes exactly `path` (a fresh temporary name chosen by the engine).
  virtual bool CodecSave(const std::string& path, const Bitmap& bitmap,
                         const CodecSaveRequest& request);
  virtual bool WriteBmp(const std::string& path, const Bitmap& bitmap);
  // ditherIndex: 0 Nearest, 1 FloydSteinberg, 2 Stucki, 3 Sierra, 4 Burkes.
  virtual bool WriteGif(const std::string& path, const Bitmap& bitmap, int ditherIndex);
  // WebP, AVIF and JPEG XL, by the path's (lower-case) extension.
  virtual bool WriteEncoded(const std::string& path, const Bitmap& bitmap,
                            const EncodeOptions& options);

  // The source's metadata for the writers that embed it (PNG here; the encoded formats
  // get it in their options), set by the engine for each file; null for none.
  void SetEmbeddedMetadata(const EmbeddedMetadata* metadata) { embedded_ = metadata; }

 protected:
  const EmbeddedMetadata* embedded_ = nullptr;
};

// The GIF dithering of a batch from the DitherIndex setting: 0..4 as they are, any
// other value Floyd-Steinberg (1).
int GifDitherFor(int ditherIndex);

class ConvertEngine {
 public:
  // `io` defaults to the program's own readers and writers; it must outlive the engine.
  explicit ConvertEngine(ConvertIO* io = nullptr);

  ConvertParams Params;

  // Runs the files of a planned batch: the engine's own loop converts them one after
  // another; a host may hand them to other processes (see RecordOutcome).
  using FileLoop =
      std::function<void(ConvertEngine& engine, ConvertHost& host, const StopSource* stop)>;

  // The batch loop. Stops between files (and inside the pixel step) when `stop` is set.
  void TransProc(ConvertHost& host, const StopSource* stop, const FileLoop& loop = {});
  // The engine's own file loop: every file in order, pausing between files.
  void RunFiles(ConvertHost& host, const StopSource* stop);
  // Writes one result; false when the file was not written (and nothing was changed),
  // with the reason in LastSaveFailure(). Under OnExists::Rename the result may take
  // a free name instead of `outputPath`: LastSavedPath() tells.
  bool SaveBitmap(const std::string& outputPath, Bitmap& bitmap);
  const FileFailure& LastSaveFailure() const { return saveFailure_; }
  const std::string& LastSavedPath() const { return savedPath_; }

  int ErrorCount() const { return errorCount_; }
  // Files written by the last batch (skipped files are neither written nor failed).
  int SavedCount() const { return savedCount_; }
  bool AllSucceeded() const { return allSucceeded_; }

  // Pieces of TransProc, for hosts that split a batch over several processes.
  // Output path of one source as the batch names it.
  std::string OutputPathFor(const std::string& source) const;
  // Output path of file `index` (0-based) with a result of width x height taken on
  // `date` (the fields a name pattern may use).
  std::string OutputPathFor(size_t index, int width, int height, const std::tm& date) const;
  // Makes the output folder (one level) when no entry of that name exists.
  bool EnsureOutputFolder() const;
  // Notes which files the batch reads and which output names they share, so that no
  // save replaces a source and no file replaces an earlier file's result.
  void PlanBatch();
  // True when an earlier file of the batch has the same output name as file `index`:
  // that file may be written only once the earlier ones are known to have failed.
  bool HasEarlierNamesake(size_t index) const;
  // Converts file `index` (0-based) of FileList: the numbered memo line, then at most
  // one failure line (and the host's FileFailed). Call PlanBatch first, and
  // RecordOutcome for every earlier file whose output name this one shares.
  FileOutcome ConvertFile(size_t index, ConvertHost& host, const StopSource* stop);
  // Counts the outcome of file `index`; a saved file takes its output name
  // (record->Target when given, else the name OutputPathFor gives).
  void RecordOutcome(size_t index, FileOutcome outcome, const FileRecord* record = nullptr);
  // Notes that the batch was stopped before its end.
  void RecordStop() { allSucceeded_ = false; }

 private:
  struct FileId {
    dev_t dev;
    ino_t ino;
  };
  bool IsBatchSource(const std::string& path) const;
  bool WriteTo(const std::string& path, const std::string& lowerExt, const Bitmap& bitmap);
  // WriteTo within Params.MaxBytes (less `overhead` bytes of metadata added later), the
  // quality found by bisection; sets quality_ and overBudget_.
  bool WriteWithinBudget(const std::string& path, const std::string& lowerExt, const Bitmap& bitmap,
                         uint64_t overhead);
  FileOutcome DryRunSave(const std::string& source, const std::string& output, ConvertHost& host,
                         FileRecord& record, FileFailure& failure);
  FileOutcome ConvertOne(size_t index, ConvertHost& host, const StopSource* stop,
                         FileRecord& record, FileFailure& failure);
  // The planning name of file `index`: fields only known later left empty.
  std::string PlanningName(size_t index) const;
  // Places a result that `write` writes into a temporary name (see SaveBitmap).
  bool SaveWith(const std::string& outputPath,
                const std::function<bool(const std::string& temp, const std::string& lowerExt)>& write);
  // The JPEG that only turns, turned without loss; nothing when it is to be decoded.
  std::optional<FileOutcome> ConvertLosslessly(const std::string& source,
                                               const std::string& output, ConvertHost& host,
                                               FileRecord& record, FileFailure& failure);
  // Makes the folder of a result below the output folder (a folder tree's mirror): "" or
  // why it could not.
  std::string MakeResultFolder(const std::string& output) const;
  bool FailSave(FailReason reason, const std::string& target, int error = 0);

  ConvertIO* io_;
  Bitmap work_;
  EmbeddedMetadata embedded_;  // the metadata of the file being written
  int errorCount_ = 0;
  int savedCount_ = 0;
  bool allSucceeded_ = false;
  FileFailure saveFailure_;
  std::string savedPath_;
  FileRecord lastRecord_;                 // of the last ConvertFile
  int quality_ = 0;                       // the quality the size budget chose for the last save
  bool overBudget_ = false;               // the last save did not fit the budget even at quality 1
  uint64_t metadataBytes_ = 0;            // metadata the last file's result gets after writing
  std::vector<FileId> sources_;           // every source that exists, by identity
  std::vector<bool> earlierNamesake_;     // per file: an earlier file has its output name
  std::set<std::string> writtenOutputs_;  // output names a file of this batch wrote
};

// The free name for the n-th try of `path` under OnExists::Rename: "photo (n).png".
std::string NumberedName(const std::string& path, int n);
// Numbered names tried under OnExists::Rename before the file fails.
constexpr int kMaxNumberedNames = 10000;
// True for the results written with a quality: JPEG, and WebP, AVIF and JPEG XL unless
// lossless.
bool LossyResult(const std::string& lowerExt, bool lossless);

// "Convert to " + ext, "Error(s) : " + count, "* total N File(s)", "-path(i/N)".
std::string CaptionText(const std::string& targetExt);
std::string ErrorCountText(int errors);
std::string TotalLine(size_t count);
std::string FileLine(const std::string& path, size_t position, size_t count);

}  // namespace quorvane
