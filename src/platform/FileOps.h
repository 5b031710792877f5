#pragma once
// File transfers of the thumbnail grid: copy, move and link files into a folder, with
// progress and Cancel. The tests made before them are in FileChecks.h, the trash in
// Trash.h, safe path access and renames in PathAccess.h.
//
// Rules kept by every operation:
// - nothing is ever replaced: a name that exists in the target folder gets a free name
//   ("photo (2).jpg");
// - a folder is never copied or moved into itself or one of its own sub-folders;
// - a move into the folder that already holds the file does nothing;
// - a move across file systems copies everything first, each copy synced to disk, and
//   then removes only the sources it copied that are unchanged since; what appeared in
//   a source folder meanwhile stays there (FileOpReport::leftFolders). A failed copy
//   removes what it made and keeps the source;
// - trees are walked through directory descriptors, so depth and path length are not
//   limited by the system's path length limit.

#include <sys/types.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace quorvane {

enum class TransferMode { Copy, Move, Link };

struct FileOpFailure {
  std::string path;     // the source that failed
  std::string message;  // why, for the user
};

struct FileOpReport {
  std::vector<std::string> created;  // new paths (copies, moved files, links, trash names)
  std::vector<std::string> skipped;  // sources that needed nothing (a move onto itself)
  std::vector<FileOpFailure> failed;
  // Source folders a move across file systems could not empty: entries that arrived in
  // them (or changed) while the copy ran stay there.
  std::vector<std::string> leftFolders;
  bool cancelled = false;  // stopped by FileOpProgress::stop (not a failure)
  bool Ok() const { return failed.empty(); }
};

// Shared between a transfer running on a worker and whoever shows its progress.
struct FileOpProgress {
  std::atomic<int> files{0};       // sources done
  std::atomic<int> totalFiles{0};  // sources in all
  std::atomic<int64_t> bytes{0};   // bytes copied so far
  std::atomic<int64_t> totalBytes{0};
  std::atomic<bool> stop{false};  // set by the watcher: the transfer ends soon
  std::mutex mutex;               // guards `current`
  std::string current;            // the name of the source being worked on
  std::string Current() {
    const std::lock_guard<std::mutex> lock(mutex);
    return current;
  }
};

// The effect of dropping files: Ctrl copies, Shift moves, Ctrl+Shift links; without a
// modifier files move within one file system and are copied across file systems.
TransferMode DropMode(bool ctrl, bool shift, bool sameFileSystem);

// ---- operations ----

// Copies, moves or links every source into `folder`, each under a free name. Each source
// succeeds or fails on its own; the report lists every one. With `progress` the work is
// counted there, and setting its `stop` ends the transfer soon: the file being copied is
// removed, copies and links already made too (the folder is as it was, but for files
// someone else put into its new folders meanwhile: they stay, and their folders with
// them), files already moved stay moved.
FileOpReport Transfer(const std::vector<std::string>& sources, const std::string& folder,
                      TransferMode mode, FileOpProgress* progress = nullptr);

}  // namespace quorvane
