#include "thumbnails/ThumbnailCacheFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <set>

#include "platform/FileIO.h"
#include "platform/FileNames.h"

namespace quorvane {

namespace {

std::string WithSlash(std::string dir) {
  if (dir.empty() || dir.back() != '/') dir += '/';
  return dir;
}

std::string ProgramFile() {
  std::error_code ec;
  const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string("quorvane") : exe.string();
}

// The path with the extension of its last component replaced (or added).
std::string ChangeFileExt(const std::string& path, const std::string& ext) {
  return path.substr(0, path.size() - ExtractFileExt(path).size()) + ext;
}

std::string TempFolder() {
  const char* tmp = std::getenv("TMPDIR");
  return WithoutTrailingSlash(tmp && *tmp ? tmp : "/tmp");
}

bool WriteAll(int fd, const void* data, size_t n, int64_t offset) {
  return WriteFullyAt(fd, offset, data, n);
}

struct FdGuard {
  int fd = -1;
  ~FdGuard() {
    if (fd >= 0) ::close(fd);
  }
  bool CloseNow() {
    const int f = fd;
    fd = -1;
    return f < 0 || ::close(f) == 0;
  }
};

}  // namespace

std::string UserCacheFolder() {
  const char* xdg = std::getenv("XDG_CACHE_HOME");
  if (xdg && *xdg) return JoinPath(WithoutTrailingSlash(xdg), "quorvane");
  const char* home = std::getenv("HOME");
  return JoinPath(WithoutTrailingSlash(home && *home ? home : "/"), ".cache/quorvane");
}

EThumbError::EThumbError(const std::string& cacheFile)
    : std::runtime_error(cacheFile + "\r\n  はサムネイルファイルではありません") {}

ThumbnailCacheFile::~ThumbnailCacheFile() { CloseHeld(); }

void ThumbnailCacheFile::SetAppName(const std::string& value) {
  if (value.size() <= kThumbAppNameSize) {
    appName_ = value;
    return;
  }
  size_t n = kThumbAppNameSize;
  // Step back over UTF-8 continuation bytes so that no character is cut in two.
  while (n > 0 && (static_cast<unsigned char>(value[n]) & 0xC0) == 0x80) --n;
  appName_ = value.substr(0, n);
}

void ThumbnailCacheFile::SetActive(bool value) {
  if (value == active_) return;
  active_ = value;
  if (!value) CloseHeld();
}

std::string ThumbnailCacheFile::CacheFileName(const std::string& sourcePath) const {
  std::string dir;
  switch (pathType_) {
    case iptFree:
      dir = WithSlash(path_);
      break;
    case iptApp:
      dir = WithSlash(ExtractFileDir(ProgramFile()));
      break;
    case iptFolder:
      dir = WithSlash(ExtractFileDir(sourcePath));
      break;
    case iptWin:
      dir = WithSlash(UserCacheFolder());
      break;
    case iptTemp:
      dir = WithSlash(TempFolder());
      break;
  }
  if (!fileName_.empty()) {
    std::string full = dir + fileName_;
    if (ExtractFileExt(fileName_).empty()) full += ".dat";
    return full;
  }
  return dir + ChangeFileExt(ExtractFileName(ProgramFile()), ".dat");
}

double ThumbnailCacheFile::SourceDate(const std::string& sourcePath) {
  double date = 0;
  return FileDateTime(sourcePath, date) ? date : DateTimeNow();
}

void ThumbnailCacheFile::NoteFile(const std::string& cacheFile, int fd) {
  FileIdentity id;
  struct statx sx {};
  if (statx(fd, "", AT_EMPTY_PATH, STATX_INO | STATX_BTIME, &sx) == 0) {
    id.dev = (uint64_t(sx.stx_dev_major) << 32) | sx.stx_dev_minor;
    id.ino = sx.stx_ino;
    if (sx.stx_mask & STATX_BTIME)
      id.birth = int64_t(sx.stx_btime.tv_sec) * 1000000000 + sx.stx_btime.tv_nsec;
  }
  if (cacheFile != indexFile_ || !(id == indexIdentity_)) {
    index_.clear();
    indexFile_ = cacheFile;
    indexIdentity_ = id;
  }
}

bool ThumbnailCacheFile::OpenFile(const std::string& cacheFile, bool write) {
  int fd = ::open(cacheFile.c_str(), (write ? O_RDWR : O_RDONLY) | O_CLOEXEC);
  if (fd < 0 && errno == ENOENT) {
    if (!write) return false;
    if (pathType_ == iptWin) {
      std::error_code ec;
      std::filesystem::create_directories(ExtractFileDir(cacheFile), ec);
    }
    fd = ::open(cacheFile.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    header_ = ThumbFileHeader{};
    header_.AppName = appName_;
    uint8_t raw[kThumbFileHeaderSize];
    EncodeFileHeader(header_, raw);
    if (!WriteAll(fd, raw, sizeof raw, 0)) {
      ::close(fd);
      ::unlink(cacheFile.c_str());
      return false;
    }
    indexFile_.clear();
    NoteFile(cacheFile, fd);
    fd_ = fd;
    return true;
  }
  if (fd < 0) return false;
  // A foreign file (EThumbError) or a truncated header makes the open fail quietly.
  if (ReadFileHeader(ThumbFdSource(fd), header_) != ThumbHeaderStatus::Ok) {
    ::close(fd);
    return false;
  }
  NoteFile(cacheFile, fd);
  fd_ = fd;
  return true;
}

bool ThumbnailCacheFile::Open(const std::string& sourcePath, bool write) {
  const std::string cacheFile = CacheFileName(sourcePath);
  if (active_) {
    if (fd_ >= 0 && heldName_ == cacheFile) {
      // Another program may have appended since: take the entry count afresh.
      return ReadFileHeader(ThumbFdSource(fd_), header_) == ThumbHeaderStatus::Ok;
    }
    CloseHeld();
    // A held file is opened for reading and writing; a read-only one still serves lookups.
    if (!OpenFile(cacheFile, true) && (write || !OpenFile(cacheFile, false))) return false;
    heldName_ = cacheFile;
    return true;
  }
  return OpenFile(cacheFile, write);
}

void ThumbnailCacheFile::Close() {
  if (!active_) CloseHeld();
}

void ThumbnailCacheFile::CloseHeld() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  heldName_.clear();
}

void ThumbnailCacheFile::AddToIndex(const ThumbEntryRef& entry, double date) {
  for (const IndexEntry& e : index_)
    if (e.offset == entry.Offset) return;
  index_.push_back({entry.Offset, entry.Name, date, entry.Next()});
}

bool ThumbnailCacheFile::LookUp(const std::string& sourcePath, std::vector<uint8_t>& jpeg) {
  try {
    if (!Open(sourcePath, false)) return false;
    struct Closer {
      ThumbnailCacheFile* t;
      ~Closer() { t->Close(); }
    } closer{this};

    const double date = SourceDate(sourcePath);
    const ThumbFdSource source(fd_);
    const int64_t size = source.Size();
    int64_t offset = kThumbFileHeaderSize;
    bool viaIndex = false;
    auto known = std::find_if(index_.begin(), index_.end(), [&](const IndexEntry& e) {
      return SamePathIgnoringCase(e.path, sourcePath);
    });
    if (known != index_.end()) {
      if (known->date != date) {
        Close();
        Remove(sourcePath);
        return false;
      }
      offset = known->offset;
      viaIndex = true;
    } else {
      if (int64_t(index_.size()) == header_.Count) return false;
      if (!index_.empty()) offset = index_.back().next;
    }

    ThumbEntryRef entry;
    for (;;) {
      if (offset >= size) return false;
      // A damaged or truncated entry ends the search: a quiet miss.
      if (!ReadEntryAt(source, offset, entry)) return false;
      if (SamePathIgnoringCase(entry.Name, sourcePath)) break;
      if (viaIndex) {
        // The index no longer matches the file: start over from the first entry.
        index_.clear();
        offset = kThumbFileHeaderSize;
        viaIndex = false;
        continue;
      }
      AddToIndex(entry, entry.Header.SourceDate);
      offset = entry.Next();
    }

    if (entry.Header.SourceDate != date) {
      Close();
      Remove(sourcePath);
      return false;
    }
    std::vector<uint8_t> data(size_t(entry.Header.DataSize));
    if (!source.ReadAt(entry.DataOffset(), data.data(), data.size())) return false;
    jpeg.swap(data);
    last_ = entry.Header;
    if (!viaIndex) AddToIndex(entry, entry.Header.SourceDate);
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

bool ThumbnailCacheFile::Store(const std::string& sourcePath, const std::vector<uint8_t>& jpeg) {
  if (sourcePath.size() > size_t(kThumbMaxNameLength) || jpeg.size() > size_t(INT32_MAX) - 1024)
    return false;
  if (!Open(sourcePath, true)) return false;
  struct Closer {
    ThumbnailCacheFile* t;
    ~Closer() { t->Close(); }
  } closer{this};

  const ThumbFdSource source(fd_);
  const int64_t end = source.Size();
  const bool indexComplete = int64_t(index_.size()) == header_.Count;

  ThumbEntryHeader h = last_;
  h.NameLength = int32_t(sourcePath.size());
  h.DataSize = int32_t(jpeg.size());
  h.WriteTime = DateTimeNow();
  h.SourceDate = SourceDate(sourcePath);
  struct stat st {};
  h.SourceSize =
      stat(sourcePath.c_str(), &st) == 0 ? int32_t(std::min<int64_t>(st.st_size, INT32_MAX)) : 0;

  std::vector<uint8_t> bytes(kThumbEntryHeaderSize);
  EncodeEntryHeader(h, bytes.data());
  bytes.insert(bytes.end(), sourcePath.begin(), sourcePath.end());
  bytes.insert(bytes.end(), jpeg.begin(), jpeg.end());

  ThumbFileHeader fileHeader = header_;
  fileHeader.Version = kThumbVersion;
  fileHeader.AppName = appName_;
  fileHeader.Count = header_.Count + 1;
  uint8_t raw[kThumbFileHeaderSize];
  EncodeFileHeader(fileHeader, raw);
  // The entry goes first and the count after it, so that a failed write (disk full)
  // can be undone by cutting the file back to its old length.
  if (!WriteAll(fd_, bytes.data(), bytes.size(), end) || !WriteAll(fd_, raw, sizeof raw, 0)) {
    if (ftruncate(fd_, off_t(end)) == 0) {
      uint8_t old[kThumbFileHeaderSize];
      EncodeFileHeader(header_, old);
      WriteAll(fd_, old, sizeof old, 0);
    }
    return false;
  }
  header_ = fileHeader;
  if (indexComplete) index_.push_back({end, sourcePath, h.SourceDate, end + int64_t(bytes.size())});
  return true;
}

template <class Pred>
int ThumbnailCacheFile::Rewrite(const std::string& cacheFile, Pred drop) {
  struct stat st {};
  if (stat(cacheFile.c_str(), &st) != 0) return 0;
  FdGuard in{::open(cacheFile.c_str(), O_RDONLY | O_CLOEXEC)};
  if (in.fd < 0) return -1;
  const ThumbFdSource source(in.fd);
  ThumbFileHeader header;
  switch (ReadFileHeader(source, header)) {
    case ThumbHeaderStatus::BadSignature:
      throw EThumbError(cacheFile);
    case ThumbHeaderStatus::Truncated:
      return -1;
    case ThumbHeaderStatus::Ok:
      break;
  }

  const std::string tmp = ChangeFileExt(cacheFile, ".~tmp");
  FdGuard out{::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644)};
  if (out.fd < 0) return -1;
  auto fail = [&] {
    out.CloseNow();
    ::unlink(tmp.c_str());
    return -1;
  };

  ThumbFileHeader outHeader;
  outHeader.AppName = appName_;
  outHeader.Count = header.Count;
  uint8_t raw[kThumbFileHeaderSize];
  EncodeFileHeader(outHeader, raw);
  if (!WriteAll(out.fd, raw, sizeof raw, 0)) return fail();

  struct Removed {
    int64_t offset, length;
  };
  std::vector<Removed> removed;
  int64_t written = kThumbFileHeaderSize;
  std::vector<uint8_t> buffer(1 << 16);
  const int64_t size = source.Size();
  ThumbEntryRef entry;
  for (int64_t offset = kThumbFileHeaderSize; offset < size; offset = entry.Next()) {
    // A damaged entry stops the rewrite: the cache file stays as it was.
    if (!ReadEntryAt(source, offset, entry)) return fail();
    if (drop(entry.Name)) {
      removed.push_back({offset, entry.Length()});
      continue;
    }
    for (int64_t done = 0; done < entry.Length();) {
      const size_t n = size_t(std::min<int64_t>(entry.Length() - done, int64_t(buffer.size())));
      if (!source.ReadAt(offset + done, buffer.data(), n) ||
          !WriteAll(out.fd, buffer.data(), n, written))
        return fail();
      done += int64_t(n);
      written += int64_t(n);
    }
  }
  if (removed.empty() && written > int64_t(kThumbFileHeaderSize)) {
    fail();  // nothing to take out: the cache file stays untouched
    return 0;
  }

  const bool sameIncarnation = [&] {
    const FileIdentity before = indexIdentity_;
    const std::string beforeFile = indexFile_;
    NoteFile(cacheFile, in.fd);  // clears the index when it describes another file
    return beforeFile == cacheFile && before == indexIdentity_;
  }();
  in.CloseNow();

  if (written == int64_t(kThumbFileHeaderSize)) {
    // Every entry went: the cache file disappears.
    out.CloseNow();
    ::unlink(tmp.c_str());
    ::unlink(cacheFile.c_str());
    index_.clear();
    indexFile_.clear();
    return int(removed.size());
  }
  outHeader.Count = header.Count - int32_t(removed.size());
  EncodeFileHeader(outHeader, raw);
  if (!WriteAll(out.fd, raw, sizeof raw, 0) || !out.CloseNow()) return fail();
  if (::rename(tmp.c_str(), cacheFile.c_str()) != 0) return fail();

  // Keep the index: drop the removed entries and move the later ones back.
  if (sameIncarnation) {
    std::vector<IndexEntry> kept;
    for (IndexEntry e : index_) {
      int64_t shift = 0;
      bool gone = false;
      for (const Removed& r : removed) {
        if (r.offset == e.offset) gone = true;
        if (r.offset < e.offset) shift += r.length;
      }
      if (gone) continue;
      e.offset -= shift;
      e.next -= shift;
      kept.push_back(std::move(e));
    }
    index_ = std::move(kept);
  }
  FdGuard renamed{::open(cacheFile.c_str(), O_RDONLY | O_CLOEXEC)};
  if (renamed.fd >= 0 && sameIncarnation) {
    // The rewritten file is a new incarnation; the adjusted index describes it.
    auto kept = std::move(index_);
    NoteFile(cacheFile, renamed.fd);
    index_ = std::move(kept);
  } else {
    index_.clear();
  }
  return int(removed.size());
}

ThumbnailCacheFile::ActiveRestorer ThumbnailCacheFile::CloseForRewrite() {
  const bool wasActive = active_;
  if (wasActive)
    SetActive(false);
  else
    Close();
  return ActiveRestorer{this, wasActive};
}

bool ThumbnailCacheFile::Remove(const std::string& sourcePath) {
  const ActiveRestorer restore = CloseForRewrite();
  const int n = Rewrite(CacheFileName(sourcePath), [&](const std::string& name) {
    return SamePathIgnoringCase(name, sourcePath);
  });
  return n > 0;
}

bool ThumbnailCacheFile::Purge(std::vector<std::string> sourcePaths) {
  const ActiveRestorer restore = CloseForRewrite();

  // Ordered without regard to case, as the cache compares paths (ties in byte order).
  std::sort(sourcePaths.begin(), sourcePaths.end(), [](const std::string& a, const std::string& b) {
    const std::string la = LowerAscii(a), lb = LowerAscii(b);
    return la != lb ? la < lb : a < b;
  });
  bool result = false;
  for (size_t first = 0; first < sourcePaths.size();) {
    const std::string folder = ExtractFileDir(sourcePaths[first]);
    std::set<std::string> run;
    size_t last = first;
    while (last < sourcePaths.size() && ExtractFileDir(sourcePaths[last]) == folder)
      run.insert(LowerAscii(sourcePaths[last++]));
    const int n = Rewrite(CacheFileName(sourcePaths[first]),
                          [&](const std::string& name) { return run.count(LowerAscii(name)) > 0; });
    result = n > 0;
    first = last;
  }
  return result;
}

}  // namespace quorvane
