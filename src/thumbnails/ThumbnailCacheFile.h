#pragma once
// The thumbnail cache: generated thumbnails kept on disk as JPEG streams, one cache file
// for many source images. Entries are appended, found by the source file's full path,
// checked against the source file's date, and removed by rewriting the file through a
// temporary copy (the cache file name with the extension ".~tmp").
//
// Without `Active` every operation opens and closes the cache file, so several programs
// may share it between operations. Not thread-safe: one thread at a time.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "thumbnails/ThumbFormat.h"

namespace quorvane {

// Raised when a cache file does not start with the cache signature. Its message is the
// cache file name, CR LF, two blanks and "はサムネイルファイルではありません".
class EThumbError : public std::runtime_error {
 public:
  explicit EThumbError(const std::string& cacheFile);
};

// The program's own cache folder: $XDG_CACHE_HOME/quorvane, else ~/.cache/quorvane.
std::string UserCacheFolder();

// Where the cache file lives.
enum ThumbPathKind {
  iptFree,    // the Path property
  iptApp,     // the program file's folder
  iptFolder,  // the source image's folder: one cache file per image folder
  iptWin,     // $XDG_CACHE_HOME/quorvane, else ~/.cache/quorvane
  iptTemp,    // $TMPDIR, else /tmp
};

class ThumbnailCacheFile {
 public:
  ThumbnailCacheFile() = default;
  ~ThumbnailCacheFile();
  ThumbnailCacheFile(const ThumbnailCacheFile&) = delete;
  ThumbnailCacheFile& operator=(const ThumbnailCacheFile&) = delete;

  // Tag written into the file header: at most 10 bytes, cut before a UTF-8 character
  // that would not fit whole.
  const std::string& AppName() const { return appName_; }
  void SetAppName(const std::string& value);
  const std::string& Path() const { return path_; }
  void SetPath(const std::string& value) { path_ = value; }
  // Name of the cache file; empty means the program file's name with ".dat".
  const std::string& FileName() const { return fileName_; }
  void SetFileName(const std::string& value) { fileName_ = value; }
  ThumbPathKind PathType() const { return pathType_; }
  void SetPathType(ThumbPathKind value) { pathType_ = value; }
  // Keep the cache file open between operations; switching it off closes the file.
  bool Active() const { return active_; }
  void SetActive(bool value);

  // The cache file that serves a source path.
  std::string CacheFileName(const std::string& sourcePath) const;

  // On a hit copies the entry's JPEG stream into `jpeg` and sets the last-entry fields.
  // A stale entry (the source's date changed) is removed and reported as a miss. A
  // missing, foreign or damaged cache file is a quiet miss.
  bool LookUp(const std::string& sourcePath, std::vector<uint8_t>& jpeg);
  // Appends an entry with the thumbnail and source sizes of the last-entry fields.
  // Creates the cache file when missing; a foreign cache file is left alone (false).
  bool Store(const std::string& sourcePath, const std::vector<uint8_t>& jpeg);
  // Removes every entry of the path from its cache file; true when one was removed.
  // Throws EThumbError for a foreign cache file.
  bool Remove(const std::string& sourcePath);
  // Removes the entries of all listed paths, one rewrite per folder; the result is
  // that of the last folder. Throws EThumbError for a foreign cache file.
  bool Purge(std::vector<std::string> sourcePaths);

  // Last-entry fields: set by a successful LookUp; the loader sets the thumbnail and
  // source sizes before Store.
  ThumbEntryHeader& LastEntry() { return last_; }
  const ThumbEntryHeader& LastEntry() const { return last_; }

  // Number of entries the in-memory index describes (for tests and diagnostics).
  size_t IndexSize() const { return index_.size(); }

 private:
  struct IndexEntry {
    int64_t offset;
    std::string path;
    double date;
    int64_t next;
  };
  struct FileIdentity {
    uint64_t dev = 0, ino = 0;
    int64_t birth = 0;
    bool operator==(const FileIdentity&) const = default;
  };

  // Closes the cache file for a rewrite; the answer puts Active back as it was when it
  // goes out of scope.
  struct ActiveRestorer {
    ThumbnailCacheFile* thumb;
    bool active;
    ~ActiveRestorer() { thumb->SetActive(active); }
  };
  ActiveRestorer CloseForRewrite();

  bool Open(const std::string& sourcePath, bool write);
  bool OpenFile(const std::string& cacheFile, bool write);
  void Close();
  void CloseHeld();
  void NoteFile(const std::string& cacheFile, int fd);
  void AddToIndex(const ThumbEntryRef& entry, double date);
  static double SourceDate(const std::string& sourcePath);
  // Rewrites a cache file without the entries whose path `drop` selects. Answers the
  // number removed, or -1 when the file was left unchanged after a failure.
  template <class Pred>
  int Rewrite(const std::string& cacheFile, Pred drop);

  std::string appName_, path_, fileName_;
  ThumbPathKind pathType_ = iptFree;
  bool active_ = false;

  int fd_ = -1;
  std::string heldName_;     // file held open while Active
  ThumbFileHeader header_;  // header of the open file
  std::vector<IndexEntry> index_;
  std::string indexFile_;       // the file the index describes
  FileIdentity indexIdentity_;  // and which incarnation of it
  ThumbEntryHeader last_;
};

}  // namespace quorvane
