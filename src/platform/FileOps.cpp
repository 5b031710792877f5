#include "platform/FileOps.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <vector>

#include "platform/CopiedTree.h"
#include "platform/FileIO.h"
#include "platform/FileNames.h"
#include "platform/PathAccess.h"
#include "platform/FileChecks.h"

namespace quorvane {

namespace {

// ---- tree copy and removal through directory descriptors ----

// True (with the reason in `error`) once the watcher asked to stop.
bool Cancelled(const FileOpProgress* progress, std::string& error) {
  if (!progress || !progress->stop) return false;
  error = "cancelled";
  return true;
}

// Bytes of the regular files at and below a path (links not followed).
int64_t TreeBytes(const std::string& path) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::file_status status = fs::symlink_status(path, ec);
  if (fs::is_regular_file(status)) return int64_t(fs::file_size(path, ec));
  if (!fs::is_directory(status)) return 0;
  int64_t total = 0;
  for (fs::recursive_directory_iterator it(path, fs::directory_options::skip_permission_denied, ec),
       end;
       !ec && it != end; it.increment(ec)) {
    if (!it->is_symlink(ec) && it->is_regular_file(ec)) total += int64_t(it->file_size(ec));
  }
  return total;
}

bool CopyBytes(int in, int out, std::string& error, FileOpProgress* progress) {
  // With someone watching, small steps: the bytes are counted and a cancel is seen soon.
  const size_t step = progress ? size_t(8) << 20 : size_t(1) << 30;
  for (;;) {
    if (Cancelled(progress, error)) return false;
    const ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, step, 0);
    if (n == 0) return true;
    if (n > 0) {
      if (progress) progress->bytes += n;
      continue;
    }
    if (errno == EINTR) continue;
    if (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP) break;
    error = ErrnoText(errno);
    return false;
  }
  std::vector<char> buffer(1 << 16);
  for (;;) {
    if (Cancelled(progress, error)) return false;
    const ssize_t got = ::read(in, buffer.data(), buffer.size());
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      error = ErrnoText(errno);
      return false;
    }
    if (got == 0) return true;
    const off_t at = ::lseek(out, 0, SEEK_CUR);
    if (at < 0 || !WriteFullyAt(out, at, buffer.data(), size_t(got)) ||
        ::lseek(out, got, SEEK_CUR) < 0) {
      error = errno ? ErrnoText(errno) : "write failed";
      return false;
    }
    if (progress) progress->bytes += got;
  }
}

void KeepTimes(int fd, const struct stat& st) {
  const struct timespec times[2] = {st.st_atim, st.st_mtim};
  ::futimens(fd, times);
}

// How a tree is copied: `progress` counts it and may stop it; `durable` syncs each copy
// (a file's bytes, a folder's entries) before the copy counts as made, as a move needs
// before it removes a source.
struct CopyJob {
  FileOpProgress* progress = nullptr;
  bool durable = false;
};

// Makes what a copy wrote survive a crash: a no-op unless the job asks for it.
bool Sync(const CopyJob& job, int fd, const std::string& name, std::string& error) {
  if (!job.durable || ::fsync(fd) == 0) return true;
  error = name + ": " + ErrnoText(errno);
  return false;
}

// `record` notes what was copied; its copyIno is set once the target entry itself has
// been created (so that a failure before that point never removes someone else's file
// of the same name).
bool CopyEntry(int srcDir, int dstDir, CopiedEntry& record, std::string& error, const CopyJob& job);

bool CopyFolder(int srcDir, int dstDir, CopiedEntry& record, const struct stat& st,
                std::string& error, const CopyJob& job) {
  const std::string& srcName = record.source;
  const std::string& dstName = record.copy;
  UniqueFd in(::openat(srcDir, srcName.c_str(), O_DIRECTORY | O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
  if (!in.Ok()) {
    error = srcName + ": " + ErrnoText(errno);
    return false;
  }
  if (::mkdirat(dstDir, dstName.c_str(), 0700) != 0) {
    error = dstName + ": " + ErrnoText(errno);
    return false;
  }
  UniqueFd out(::openat(dstDir, dstName.c_str(), O_DIRECTORY | O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
  struct stat made {};
  if (!out.Ok() || ::fstat(out.Get(), &made) != 0) {
    error = dstName + ": " + ErrnoText(errno);
    return false;
  }
  record.copyIno = made.st_ino;
  // The folder's entries as they are now: what arrives later is not part of this copy.
  std::vector<std::string> names;
  DIR* listing = ::fdopendir(::dup(in.Get()));
  if (!listing) {
    error = srcName + ": " + ErrnoText(errno);
    return false;
  }
  errno = 0;
  while (const dirent* entry = ::readdir(listing)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
    errno = 0;
  }
  const int listError = errno;
  ::closedir(listing);
  if (listError != 0) {
    error = srcName + ": " + ErrnoText(listError);
    return false;
  }
  for (const std::string& name : names) {
    CopiedEntry& child = record.children.emplace_back();
    child.source = child.copy = name;
    if (CopyEntry(in.Get(), out.Get(), child, error, job)) continue;
    // A file removed since the listing needs no copy.
    if (!child.Made() && errno == ENOENT && !EntryExists(in.Get(), name)) {
      record.children.pop_back();
      error.clear();
      continue;
    }
    return false;
  }
  ::fchmod(out.Get(), st.st_mode & 07777);
  KeepTimes(out.Get(), st);
  return Sync(job, out.Get(), dstName, error);
}

bool CopyEntry(int srcDir, int dstDir, CopiedEntry& record, std::string& error,
               const CopyJob& job) {
  const std::string& srcName = record.source;
  const std::string& dstName = record.copy;
  struct stat st {};
  if (::fstatat(srcDir, srcName.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
    error = srcName + ": " + ErrnoText(errno);
    return false;
  }
  record.NoteSource(st);
  if (S_ISDIR(st.st_mode)) return CopyFolder(srcDir, dstDir, record, st, error, job);
  if (S_ISLNK(st.st_mode)) {
    std::vector<char> target(size_t(st.st_size > 0 ? st.st_size : 255) + 1);
    for (;;) {
      const ssize_t n = ::readlinkat(srcDir, srcName.c_str(), target.data(), target.size());
      if (n < 0) {
        error = srcName + ": " + ErrnoText(errno);
        return false;
      }
      if (size_t(n) < target.size()) {
        target[size_t(n)] = '\0';
        break;
      }
      target.resize(target.size() * 2);
    }
    struct stat made {};
    if (::symlinkat(target.data(), dstDir, dstName.c_str()) != 0 ||
        ::fstatat(dstDir, dstName.c_str(), &made, AT_SYMLINK_NOFOLLOW) != 0) {
      error = dstName + ": " + ErrnoText(errno);
      return false;
    }
    record.copyIno = made.st_ino;
    return true;
  }
  if (!S_ISREG(st.st_mode)) {
    error = srcName + ": a special file (pipe, socket or device) cannot be copied";
    return false;
  }
  UniqueFd in(::openat(srcDir, srcName.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
  // The source as it is read (it may have been replaced since the test above).
  if (!in.Ok() || ::fstat(in.Get(), &st) != 0) {
    error = srcName + ": " + ErrnoText(errno);
    return false;
  }
  record.NoteSource(st);
  UniqueFd out(::openat(dstDir, dstName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
  struct stat made {};
  if (!out.Ok() || ::fstat(out.Get(), &made) != 0) {
    error = dstName + ": " + ErrnoText(errno);
    return false;
  }
  record.copyIno = made.st_ino;
  std::string why;
  if (!CopyBytes(in.Get(), out.Get(), why, job.progress)) {
    error = srcName + ": " + why;
    return false;
  }
  ::fchmod(out.Get(), st.st_mode & 07777);
  KeepTimes(out.Get(), st);
  if (!Sync(job, out.Get(), dstName, error)) return false;
  if (::close(out.Release()) != 0) {
    error = dstName + ": " + ErrnoText(errno);
    return false;
  }
  return true;
}

// Copies under a free name; a failed copy takes back what it made. `record` names what
// was copied.
bool CopyInto(int srcDir, const std::string& srcName, int dstDir, bool isFolder,
              CopiedEntry& record, std::string& error, const CopyJob& job) {
  for (int attempt = 0; attempt < 8; ++attempt) {
    record = CopiedEntry{};
    record.source = srcName;
    record.copy = FreeNameAt(dstDir, srcName, isFolder);
    if (record.copy.empty()) break;
    if (CopyEntry(srcDir, dstDir, record, error, job) && Sync(job, dstDir, ".", error)) return true;
    // Someone else took the name between the test and the creation: try again.
    if (!record.Made() && errno == EEXIST) {
      error.clear();
      continue;
    }
    RemoveCopy(dstDir, record);
    return false;
  }
  if (error.empty()) error = srcName + ": no free name in the target folder";
  return false;
}

// Moves under a free name within one file system. EXDEV comes back in errno.
bool RenameInto(int srcDir, const std::string& srcName, int dstDir, bool isFolder,
                std::string& created, std::string& error) {
  for (int attempt = 0; attempt < 8; ++attempt) {
    const std::string name = FreeNameAt(dstDir, srcName, isFolder);
    if (name.empty()) break;
    const int err = RenameNoReplaceAt(srcDir, srcName, dstDir, name);
    if (err == 0) {
      created = name;
      return true;
    }
    if (err == EEXIST) continue;
    errno = err;
    error = srcName + ": " + ErrnoText(err);
    return false;
  }
  errno = EEXIST;
  error = srcName + ": no free name in the target folder";
  return false;
}


}  // namespace

TransferMode DropMode(bool ctrl, bool shift, bool sameFileSystem) {
  if (ctrl && shift) return TransferMode::Link;
  if (ctrl) return TransferMode::Copy;
  if (shift) return TransferMode::Move;
  return sameFileSystem ? TransferMode::Move : TransferMode::Copy;
}

FileOpReport Transfer(const std::vector<std::string>& sources, const std::string& folder,
                      TransferMode mode, FileOpProgress* progress) {
  FileOpReport report;
  const std::string target = AbsolutePath(folder);
  const UniqueFd dst = OpenDir(target);
  struct stat targetStat {};
  const bool targetOk = dst.Ok() && ::fstat(dst.Get(), &targetStat) == 0;
  if (progress) {
    progress->totalFiles = int(sources.size());
    int64_t total = 0;
    if (mode != TransferMode::Link)
      for (const std::string& source : sources) total += TreeBytes(AbsolutePath(source));
    progress->totalBytes = total;
  }
  std::string why;
  std::vector<CopiedEntry> made;  // what a copy or link made, to take back on a cancel
  for (const std::string& given : sources) {
    if (Cancelled(progress, why)) break;
    const std::string source = AbsolutePath(given);
    if (progress) {
      const std::lock_guard<std::mutex> lock(progress->mutex);
      progress->current = ExtractFileName(source);
    }
    const auto fail = [&](const std::string& message) {
      report.failed.push_back({given, message});
    };
    if (!targetOk) {
      fail("the folder " + target + " cannot be opened");
      continue;
    }
    const std::string name = ExtractFileName(source);
    const std::string parentPath = ExtractFileDir(source).empty() ? "/" : ExtractFileDir(source);
    struct stat st {
    }, parentStat{};
    const UniqueFd parent = OpenDir(parentPath);
    if (source == "/" || name.empty() || !parent.Ok() || ::fstat(parent.Get(), &parentStat) != 0 ||
        ::fstatat(parent.Get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
      fail("the file does not exist");
      continue;
    }
    const bool isFolder = S_ISDIR(st.st_mode);
    if (isFolder && IsSameOrInside(source, target)) {
      fail("a folder cannot be put into itself or into one of its own folders");
      continue;
    }
    std::string created, error;
    CopiedEntry record;
    bool ok = false;
    if (mode == TransferMode::Link) {
      for (int attempt = 0; attempt < 8 && !ok; ++attempt) {
        created = FreeNameAt(dst.Get(), name, isFolder);
        if (created.empty()) break;
        ok = ::symlinkat(source.c_str(), dst.Get(), created.c_str()) == 0;
        if (!ok && errno != EEXIST) break;
      }
      struct stat made {};
      if (ok && ::fstatat(dst.Get(), created.c_str(), &made, AT_SYMLINK_NOFOLLOW) == 0) {
        record.copy = created;
        record.copyIno = made.st_ino;
      }
      if (!ok) error = ErrnoText(errno);
    } else if (mode == TransferMode::Copy) {
      ok = CopyInto(parent.Get(), name, dst.Get(), isFolder, record, error, {progress, false});
      created = record.copy;
    } else {
      if (SameIdentity(parentStat, targetStat)) {
        report.skipped.push_back(given);
        continue;
      }
      if (!CanRemove(source)) {
        fail("the folder that holds it is not writable");
        continue;
      }
      ok = RenameInto(parent.Get(), name, dst.Get(), isFolder, created, error);
      if (!ok && errno == EXDEV) {
        // Across file systems: a complete copy, on disk, first; then the sources it
        // holds go, and only those.
        error.clear();
        ok = CopyInto(parent.Get(), name, dst.Get(), isFolder, record, error, {progress, true});
        created = record.copy;
        if (ok &&
            !RemoveCopiedSources(parent.Get(), parentPath, record, report.leftFolders, error)) {
          report.created.push_back(JoinPath(target, created));
          fail("copied, but the original could not be removed: " + error);
          continue;
        }
      }
    }
    if (progress) ++progress->files;
    if (ok) {
      report.created.push_back(JoinPath(target, created));
      if (mode != TransferMode::Move) made.push_back(std::move(record));
    } else if (!Cancelled(progress, why)) {
      fail(error.empty() ? "failed" : error);
    }
  }
  if (Cancelled(progress, why)) {
    // A cancelled copy or link leaves the folder as it was, but for what others put
    // into its new folders meanwhile; files already moved are whole and stay where
    // they went.
    report.cancelled = true;
    if (mode != TransferMode::Move && dst.Ok()) {
      for (const CopiedEntry& entry : made) RemoveCopy(dst.Get(), entry);
      report.created.clear();
    }
  }
  return report;
}

}  // namespace quorvane
