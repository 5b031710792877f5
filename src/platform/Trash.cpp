#include "platform/Trash.h"

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

#include "platform/FileChecks.h"
#include "platform/FileIO.h"
#include "platform/FileNames.h"
#include "platform/PathAccess.h"

namespace quorvane {

namespace {

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
    if (TrashOne(AbsolutePath(given), trashed, error))
      report.created.push_back(trashed);
    else
      report.failed.push_back({given, error});
  }
  return report;
}

}  // namespace quorvane
