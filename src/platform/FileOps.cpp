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

namespace quorvane {

namespace {

constexpr int kMaxNameTries = 100000;

std::string ErrnoText(int error) { return std::strerror(error); }

std::string Absolute(const std::string& path) {
  if (!path.empty() && path[0] == '/') return WithoutTrailingSlash(path);
  std::vector<char> buffer(4096);
  while (!getcwd(buffer.data(), buffer.size())) {
    if (errno != ERANGE) return WithoutTrailingSlash(path);
    buffer.resize(buffer.size() * 2);
  }
  return WithoutTrailingSlash(JoinPath(buffer.data(), path));
}

// Opens a folder (or, with flags, anything) by path; a path longer than the system's
// limit is opened one component at a time.
UniqueFd OpenPath(const std::string& path, int flags) {
  flags |= O_CLOEXEC;
  UniqueFd fd(::open(path.c_str(), flags));
  if (fd.Ok() || errno != ENAMETOOLONG) return fd;
  UniqueFd dir(::open(path[0] == '/' ? "/" : ".", O_DIRECTORY | O_RDONLY | O_CLOEXEC));
  size_t pos = 0;
  while (dir.Ok()) {
    while (pos < path.size() && path[pos] == '/') ++pos;
    size_t end = path.find('/', pos);
    if (end == std::string::npos) end = path.size();
    const std::string part = path.substr(pos, end - pos);
    size_t next = end;
    while (next < path.size() && path[next] == '/') ++next;
    if (next >= path.size()) {
      return part.empty() ? std::move(dir) : UniqueFd(::openat(dir.Get(), part.c_str(), flags));
    }
    dir = UniqueFd(::openat(dir.Get(), part.c_str(), O_DIRECTORY | O_RDONLY | O_CLOEXEC));
    pos = next;
  }
  return dir;
}

UniqueFd OpenDir(const std::string& path) { return OpenPath(path, O_DIRECTORY | O_RDONLY); }

bool StatPath(const std::string& path, struct stat& st, bool follow) {
  if ((follow ? ::stat(path.c_str(), &st) : ::lstat(path.c_str(), &st)) == 0) return true;
  if (errno != ENAMETOOLONG) return false;
  const UniqueFd parent = OpenDir(ExtractFileDir(path));
  return parent.Ok() && ::fstatat(parent.Get(), ExtractFileName(path).c_str(), &st,
                                  follow ? 0 : AT_SYMLINK_NOFOLLOW) == 0;
}

bool AccessPath(const std::string& path, int mode) {
  if (::access(path.c_str(), mode) == 0) return true;
  if (errno != ENAMETOOLONG) return false;
  const UniqueFd fd = OpenPath(path, O_PATH);
  return fd.Ok() && ::faccessat(fd.Get(), "", mode, AT_EMPTY_PATH) == 0;
}

bool SameIdentity(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool EntryExists(int dir, const std::string& name) {
  struct stat st {};
  return ::fstatat(dir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 || errno != ENOENT;
}

// "photo.jpg" -> {"photo", ".jpg"}; folders and dot-files keep the whole name as stem.
std::pair<std::string, std::string> SplitName(const std::string& name, bool isFolder) {
  const size_t dot = name.rfind('.');
  if (isFolder || dot == std::string::npos || dot == 0) return {name, ""};
  return {name.substr(0, dot), name.substr(dot)};
}

std::string FreeNameAt(int dir, const std::string& name, bool isFolder) {
  if (!EntryExists(dir, name)) return name;
  const auto [stem, ext] = SplitName(name, isFolder);
  for (int n = 2; n < kMaxNameTries; ++n) {
    std::string candidate = stem + " (" + std::to_string(n) + ")" + ext;
    if (!EntryExists(dir, candidate)) return candidate;
  }
  return {};
}

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

// The mount point holding `path` (an absolute, existing path).
std::string MountPointOf(const std::string& path) {
  struct stat st {};
  if (!StatPath(path, st, false)) return {};
  std::string current = path;
  while (current != "/") {
    const std::string parent = ExtractFileDir(current);
    struct stat up {};
    if (!StatPath(parent.empty() ? "/" : parent, up, true) || up.st_dev != st.st_dev) break;
    current = parent.empty() ? "/" : parent;
  }
  return current;
}

}  // namespace

bool MakeFolders(const std::string& path, mode_t mode) {
  struct stat st {};
  if (StatPath(path, st, true)) {
    if (S_ISDIR(st.st_mode)) return true;
    errno = ENOTDIR;
    return false;
  }
  const std::string parent = ExtractFileDir(path);
  if (!parent.empty() && parent != path && !MakeFolders(parent, mode)) return false;
  return ::mkdir(path.c_str(), mode) == 0 || errno == EEXIST;
}

namespace {

// A trash folder we may use: a real folder (not a link) owned by us.
bool UsableOwnFolder(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid() &&
         AccessPath(path, W_OK | X_OK);
}

// A volume's trash folder with its `files` and `info` folders, each made when missing
// (mode 0700) and each a real folder of ours.
bool MakeVolumeTrash(const std::string& folder) {
  for (const std::string& path : {folder, folder + "/files", folder + "/info"}) {
    ::mkdir(path.c_str(), 0700);
    if (!UsableOwnFolder(path)) return false;
  }
  return true;
}

std::string PercentEncode(const std::string& path) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (const unsigned char c : path) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
        std::strchr("-._~/", c)) {
      out += char(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

std::string TrashInfoText(const std::string& shownPath) {
  char date[32] = {};
  const std::time_t now = std::time(nullptr);
  struct tm local {};
  localtime_r(&now, &local);
  std::strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%S", &local);
  return "[Trash Info]\nPath=" + PercentEncode(shownPath) + "\nDeletionDate=" + date + "\n";
}

// The trash folder for a file on device `dev`, and the form its path takes in the info
// file (absolute for the home trash, relative to the volume for a volume trash).
struct TrashPlace {
  std::string folder;
  std::string topdir;  // empty for the home trash
};

bool FindTrash(const std::string& path, const struct stat& st, TrashPlace& place,
               std::string& error) {
  const std::string home = HomeTrashFolder();
  if (!home.empty()) {
    // The home trash serves every file on its own file system, and only those.
    std::string existing = home;
    struct stat hs {};
    while (!StatPath(existing, hs, true) && existing != "/" && !existing.empty())
      existing = ExtractFileDir(existing);
    if (!existing.empty() && hs.st_dev == st.st_dev) {
      if (MakeFolders(home + "/files", 0700) && MakeFolders(home + "/info", 0700)) {
        place = {home, {}};
        return true;
      }
      error = "the trash folder " + home + " cannot be made";
      return false;
    }
  }
  const std::string top = MountPointOf(path);
  if (top.empty()) {
    error = "the volume of the file cannot be told";
    return false;
  }
  const std::string uid = std::to_string(::getuid());
  const std::string base = top == "/" ? "" : top;
  struct stat shared {};
  const std::string sharedTrash = base + "/.Trash";
  if (::lstat(sharedTrash.c_str(), &shared) == 0 && S_ISDIR(shared.st_mode) &&
      (shared.st_mode & S_ISVTX)) {
    const std::string mine = sharedTrash + "/" + uid;
    if (MakeVolumeTrash(mine)) {
      place = {mine, top};
      return true;
    }
  }
  const std::string own = base + "/.Trash-" + uid;
  if (MakeVolumeTrash(own)) {
    place = {own, top};
    return true;
  }
  error = "the volume " + top + " has no usable trash";
  return false;
}

bool TrashOne(const std::string& path, std::string& trashed, std::string& error) {
  struct stat st {};
  if (!StatPath(path, st, false)) {
    error = ErrnoText(errno);
    return false;
  }
  if (!CanRemove(path)) {
    error = "the folder that holds it is not writable";
    return false;
  }
  TrashPlace place;
  if (!FindTrash(path, st, place, error)) return false;
  const UniqueFd files = OpenDir(place.folder + "/files");
  const UniqueFd info = OpenDir(place.folder + "/info");
  const UniqueFd parent = OpenDir(ExtractFileDir(path).empty() ? "/" : ExtractFileDir(path));
  if (!files.Ok() || !info.Ok() || !parent.Ok()) {
    error = ErrnoText(errno);
    return false;
  }
  std::string shown = path;
  if (!place.topdir.empty())
    shown = place.topdir == "/" ? path.substr(1) : path.substr(place.topdir.size() + 1);
  const std::string text = TrashInfoText(shown);
  const std::string name = ExtractFileName(path);
  const auto [stem, ext] = SplitName(name, S_ISDIR(st.st_mode));
  for (int n = 1; n < kMaxNameTries; ++n) {
    const std::string candidate = n == 1 ? name : stem + "." + std::to_string(n) + ext;
    const std::string infoName = candidate + ".trashinfo";
    // The info file reserves the name (created exclusively, as the trash's rules ask).
    UniqueFd infoFd(
        ::openat(info.Get(), infoName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (!infoFd.Ok()) {
      if (errno == EEXIST) continue;
      error = ErrnoText(errno);
      return false;
    }
    if (EntryExists(files.Get(), candidate)) {
      ::unlinkat(info.Get(), infoName.c_str(), 0);
      continue;
    }
    if (!WriteFullyAt(infoFd.Get(), 0, text.data(), text.size()) ||
        ::close(infoFd.Release()) != 0) {
      error = ErrnoText(errno);
      ::unlinkat(info.Get(), infoName.c_str(), 0);
      return false;
    }
    if (const int err = RenameNoReplaceAt(parent.Get(), name, files.Get(), candidate)) {
      error = ErrnoText(err);
      ::unlinkat(info.Get(), infoName.c_str(), 0);
      return false;
    }
    trashed = place.folder + "/files/" + candidate;
    return true;
  }
  error = "no free name in the trash";
  return false;
}

}  // namespace

bool CanCopyFrom(const std::string& path) {
  struct stat st {};
  if (!StatPath(path, st, false)) return false;
  if (S_ISLNK(st.st_mode)) return true;
  return AccessPath(path, S_ISDIR(st.st_mode) ? R_OK | X_OK : R_OK);
}

bool CanRemove(const std::string& path) {
  const std::string full = Absolute(path);
  if (full == "/") return false;
  struct stat st {
  }, parent{};
  const std::string dir = ExtractFileDir(full).empty() ? "/" : ExtractFileDir(full);
  if (!StatPath(full, st, false) || !StatPath(dir, parent, true)) return false;
  if (!AccessPath(dir, W_OK | X_OK)) return false;
  // In a sticky folder (/tmp) only the owner of the file or of the folder may remove it.
  const uid_t me = ::geteuid();
  if ((parent.st_mode & S_ISVTX) && me != 0 && st.st_uid != me && parent.st_uid != me) return false;
  return true;
}

bool CanWriteInto(const std::string& folder) {
  struct stat st {};
  return StatPath(folder, st, true) && S_ISDIR(st.st_mode) && AccessPath(folder, W_OK | X_OK);
}

bool SameFileSystem(const std::string& a, const std::string& b) {
  struct stat sa {
  }, sb{};
  return StatPath(a, sa, false) && StatPath(b, sb, true) && sa.st_dev == sb.st_dev;
}

bool IsSameOrInside(const std::string& folder, const std::string& path) {
  struct stat target {
  }, root{};
  if (!StatPath(folder, target, true) || ::stat("/", &root) != 0) return false;
  UniqueFd fd = OpenPath(path, O_PATH);
  if (!fd.Ok()) return false;
  for (int depth = 0; depth < 1 << 16; ++depth) {
    struct stat here {};
    if (::fstat(fd.Get(), &here) != 0) return false;
    if (SameIdentity(here, target)) return true;
    if (SameIdentity(here, root)) return false;
    fd = UniqueFd(::openat(fd.Get(), "..", O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!fd.Ok()) return false;
  }
  return false;
}

TransferMode DropMode(bool ctrl, bool shift, bool sameFileSystem) {
  if (ctrl && shift) return TransferMode::Link;
  if (ctrl) return TransferMode::Copy;
  if (shift) return TransferMode::Move;
  return sameFileSystem ? TransferMode::Move : TransferMode::Copy;
}

std::string FreeName(const std::string& folder, const std::string& name) {
  const UniqueFd dir = OpenDir(folder);
  if (!dir.Ok()) return name;
  struct stat st {};
  const bool isFolder =
      ::fstatat(dir.Get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode);
  return FreeNameAt(dir.Get(), name, isFolder);
}

FileOpReport Transfer(const std::vector<std::string>& sources, const std::string& folder,
                      TransferMode mode, FileOpProgress* progress) {
  FileOpReport report;
  const std::string target = Absolute(folder);
  const UniqueFd dst = OpenDir(target);
  struct stat targetStat {};
  const bool targetOk = dst.Ok() && ::fstat(dst.Get(), &targetStat) == 0;
  if (progress) {
    progress->totalFiles = int(sources.size());
    int64_t total = 0;
    if (mode != TransferMode::Link)
      for (const std::string& source : sources) total += TreeBytes(Absolute(source));
    progress->totalBytes = total;
  }
  std::string why;
  std::vector<CopiedEntry> made;  // what a copy or link made, to take back on a cancel
  for (const std::string& given : sources) {
    if (Cancelled(progress, why)) break;
    const std::string source = Absolute(given);
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

int RenameNoReplaceAt(int fromDir, const std::string& from, int toDir, const std::string& to) {
  if (::renameat2(fromDir, from.c_str(), toDir, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS) return errno;
  // The file system cannot rename without replacing: test, then rename.
  if (EntryExists(toDir, to)) return EEXIST;
  return ::renameat(fromDir, from.c_str(), toDir, to.c_str()) == 0 ? 0 : errno;
}

int RenameNoReplace(const std::string& from, const std::string& to) {
  return RenameNoReplaceAt(AT_FDCWD, from, AT_FDCWD, to);
}

std::string HomeTrashFolder() {
  const char* data = std::getenv("XDG_DATA_HOME");
  if (data && data[0] == '/') return WithoutTrailingSlash(data) + "/Trash";
  const char* home = std::getenv("HOME");
  if (home && home[0] == '/') return WithoutTrailingSlash(home) + "/.local/share/Trash";
  return {};
}

FileOpReport MoveToTrash(const std::vector<std::string>& paths) {
  FileOpReport report;
  for (const std::string& given : paths) {
    std::string trashed, error;
    if (TrashOne(Absolute(given), trashed, error))
      report.created.push_back(trashed);
    else
      report.failed.push_back({given, error});
  }
  return report;
}

}  // namespace quorvane
