#pragma once
// Hosts and readers/writers that let the batch engine's tests watch a batch.

#include <dirent.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "processing/ConvertEngine.h"
#include "imaging/BmpFile.h"
#include "platform/FileNames.h"
#include "imaging/OpenIL.h"
#include "support/TestDir.h"

namespace quorvane::test {

// Binds and initialises the codec library once per test program.
inline bool CodecReady() {
  static const bool ready = BindCodecLibrary() && CodecInit();
  return ready;
}

// Collects what the engine shows.
class RecordingHost : public ConvertHost {
 public:
  std::vector<std::string> lines;
  std::string caption, errorText;
  int progressMax = -1;
  std::vector<int> progress;
  int pauses = 0;
  std::vector<FailReason> reasons;        // one per failure, in order
  std::vector<std::string> explanations;  // the same, as the command line words them
  std::function<void(const std::string&)> onLine;
  std::function<void()> onPause;

  void MemoLine(const std::string& line) override {
    lines.push_back(line);
    if (onLine) onLine(line);
  }
  void FileFailed(const std::string& path, const FileFailure& failure) override {
    reasons.push_back(failure.Reason);
    explanations.push_back(DescribeFailure(path, failure));
  }
  void SetCaption(const std::string& text) override { caption = text; }
  void SetErrorText(const std::string& text) override { errorText = text; }
  void SetProgressRange(int maximum) override { progressMax = maximum; }
  void SetProgress(int position) override { progress.push_back(position); }
  void Pause(int) override {
    ++pauses;
    if (onPause) onPause();
  }
};

// The program's readers and writers, counting reads and recording codec save requests.
class RecordingIO : public ConvertIO {
 public:
  std::vector<std::string> reads;
  std::vector<CodecSaveRequest> codecSaves;
  std::vector<std::string> savedPaths;
  std::vector<int> gifDithers;
  // Runs first in every read, on the batch's thread (a test holds a file up here).
  std::function<void(const std::string&)> beforeRead;

  bool ReadImage(const std::string& path, Bitmap& bitmap) override {
    if (beforeRead) beforeRead(path);
    reads.push_back(path);
    return ConvertIO::ReadImage(path, bitmap);
  }
  bool CodecSave(const std::string& path, const Bitmap& bitmap,
                 const CodecSaveRequest& request) override {
    codecSaves.push_back(request);
    savedPaths.push_back(path);
    return ConvertIO::CodecSave(path, bitmap, request);
  }
  bool WriteGif(const std::string& path, const Bitmap& bitmap, int ditherIndex) override {
    gifDithers.push_back(ditherIndex);
    savedPaths.push_back(path);
    return ConvertIO::WriteGif(path, bitmap, ditherIndex);
  }
};

// Writes a pattern picture of the given size; the format follows the extension
// (".bmp" by the BMP writer, anything else by the codec library).
inline std::string WritePicture(const std::string& path, int width, int height) {
  const Bitmap bmp = PatternBitmap(width, height);
  if (LowerFileExt(path) == ".bmp") {
    WriteBmpFile(path, bmp);
  } else {
    CodecSaveRequest request;
    request.byExtension = true;
    if (!CodecSave(path, bmp, request)) throw std::runtime_error("cannot write " + path);
  }
  return path;
}

// The names in a folder (without "." and "..").
inline std::set<std::string> FolderNames(const std::string& folder) {
  std::set<std::string> names;
  if (DIR* dir = opendir(folder.c_str())) {
    while (dirent* entry = readdir(dir)) {
      const std::string name = entry->d_name;
      if (name != "." && name != "..") names.insert(name);
    }
    closedir(dir);
  }
  return names;
}

}  // namespace quorvane::test
