#include "folders/FolderNamespace.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <pwd.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>

#include "platform/FileNames.h"

namespace quorvane {

namespace {

char LowerChar(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }
char UpperChar(char c) { return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c; }

struct DirCloser {
  void operator()(DIR* dir) const { closedir(dir); }
};
using DirHandle = std::unique_ptr<DIR, DirCloser>;

bool IsDotOrDotDot(const char* name) {
  return name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0));
}

// Whether the entry `name` of the open folder `dirFd` is a folder (links followed);
// `isLink` tells whether it is a symbolic link.
bool EntryIsFolder(int dirFd, const dirent* entry, bool& isLink) {
  isLink = entry->d_type == DT_LNK;
  if (entry->d_type == DT_DIR) return true;
  if (entry->d_type != DT_LNK && entry->d_type != DT_UNKNOWN) return false;
  struct stat st;
  if (entry->d_type == DT_UNKNOWN) {
    if (fstatat(dirFd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) return false;
    isLink = S_ISLNK(st.st_mode);
    if (!isLink) return S_ISDIR(st.st_mode);
  }
  return fstatat(dirFd, entry->d_name, &st, 0) == 0 && S_ISDIR(st.st_mode);
}

// Whether the folder `name` inside `parentFd` holds a folder. A folder that cannot be
// read answers true: its expander stays, and expanding it tells the truth.
bool ProbeSubFolders(int parentFd, const char* name) {
  struct stat st;
  if (fstatat(parentFd, name, &st, 0) != 0) return true;
  // Most local file systems count each sub-folder's ".." as a link of its parent.
  if (st.st_nlink > 2) return true;
  const int fd = openat(parentFd, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return true;
  DirHandle dir(fdopendir(fd));
  if (!dir) {
    close(fd);
    return true;
  }
  while (const dirent* entry = readdir(dir.get())) {
    if (IsDotOrDotDot(entry->d_name)) continue;
    bool isLink = false;
    if (EntryIsFolder(dirfd(dir.get()), entry, isLink)) return true;
  }
  return false;
}

// Undoes the octal escapes (\040 for a space) of /proc/self/mountinfo fields.
std::string UnescapeOctal(std::string_view field) {
  std::string out;
  out.reserve(field.size());
  for (size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size()) {
      const char a = field[i + 1], b = field[i + 2], c = field[i + 3];
      if (a >= '0' && a <= '3' && b >= '0' && b <= '7' && c >= '0' && c <= '7') {
        out += char((a - '0') * 64 + (b - '0') * 8 + (c - '0'));
        i += 3;
        continue;
      }
    }
    out += field[i];
  }
  return out;
}

// Undoes udev's \xNN escapes of /dev/disk/by-label names.
std::string UnescapeHex(std::string_view name) {
  std::string out;
  for (size_t i = 0; i < name.size(); ++i) {
    if (name[i] == '\\' && i + 3 < name.size() && name[i + 1] == 'x' &&
        std::isxdigit(static_cast<unsigned char>(name[i + 2])) &&
        std::isxdigit(static_cast<unsigned char>(name[i + 3]))) {
      out += char(std::stoi(std::string(name.substr(i + 2, 2)), nullptr, 16));
      i += 3;
      continue;
    }
    out += name[i];
  }
  return out;
}

bool IsPseudoFileSystem(std::string_view type) {
  static const char* const kPseudo[] = {
      "proc",     "sysfs",    "devtmpfs",   "devpts",      "tmpfs",        "ramfs",
      "cgroup",   "cgroup2",  "securityfs", "pstore",      "debugfs",      "tracefs",
      "configfs", "fusectl",  "mqueue",     "hugetlbfs",   "autofs",       "binfmt_misc",
      "bpf",      "efivarfs", "nsfs",       "rpc_pipefs",  "nfsd",         "selinuxfs",
      "squashfs", "overlay",  "fuse.lxcfs", "fuse.portal", "fuse.snapfuse"};
  return std::find(std::begin(kPseudo), std::end(kPseudo), type) != std::end(kPseudo);
}

// Mounts of the system's own plumbing, never shown as volumes.
bool IsSystemMountPoint(std::string_view mountPoint) {
  if (IsInsideFolder(mountPoint, "/run/media")) return false;
  for (const char* folder : {"/proc", "/sys", "/dev", "/run", "/snap", "/var/lib/docker"})
    if (IsInsideFolder(mountPoint, folder)) return true;
  return false;
}

std::string ReadTextFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// Device path -> file-system label, from the links of /dev/disk/by-label.
std::map<std::string, std::string> VolumeLabels() {
  std::map<std::string, std::string> labels;
  const std::string folder = "/dev/disk/by-label";
  DirHandle dir(opendir(folder.c_str()));
  if (!dir) return labels;
  while (const dirent* entry = readdir(dir.get())) {
    if (IsDotOrDotDot(entry->d_name)) continue;
    char resolved[PATH_MAX];
    if (!realpath((folder + "/" + entry->d_name).c_str(), resolved)) continue;
    labels[resolved] = UnescapeHex(entry->d_name);
  }
  return labels;
}

}  // namespace

std::string HomeFolder() {
  const char* home = getenv("HOME");
  std::string path = home ? NormalizeFolderPath(home) : std::string();
  if (path.empty()) {
    struct passwd entry;
    struct passwd* found = nullptr;
    std::vector<char> buffer(16384);
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found)
      path = NormalizeFolderPath(found->pw_dir);
  }
  return path.empty() ? "/" : path;
}

std::string NormalizeFolderPath(std::string_view path) {
  if (path.empty() || path[0] != '/') return {};
  std::vector<std::string_view> names;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('/', start);
    if (end == std::string_view::npos) end = path.size();
    const std::string_view name = path.substr(start, end - start);
    if (name == "..") {
      if (!names.empty()) names.pop_back();
    } else if (!name.empty() && name != ".") {
      names.push_back(name);
    }
    start = end + 1;
  }
  if (names.empty()) return "/";
  std::string out;
  for (std::string_view name : names) {
    out += '/';
    out += name;
  }
  return out;
}

bool IsInsideFolder(std::string_view path, std::string_view folder) {
  if (folder == "/") return !path.empty() && path[0] == '/';
  return path.size() >= folder.size() && path.substr(0, folder.size()) == folder &&
         (path.size() == folder.size() || path[folder.size()] == '/');
}

std::string JoinFolderPath(std::string_view folder, std::string_view name) {
  return JoinPath(folder, name);
}

std::string ParentFolderPath(std::string_view path) {
  if (path.size() <= 1) return {};
  const size_t slash = path.rfind('/');
  if (slash == std::string_view::npos) return {};
  return slash == 0 ? std::string("/") : std::string(path.substr(0, slash));
}

std::string FolderPathName(std::string_view path) {
  if (path == "/") return "/";
  const size_t slash = path.rfind('/');
  return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::vector<std::string> PathNamesBelow(std::string_view path, std::string_view folder) {
  std::vector<std::string> names;
  if (path.size() <= folder.size()) return names;
  std::string_view rest = path.substr(folder == "/" ? 1 : folder.size() + 1);
  while (!rest.empty()) {
    const size_t slash = rest.find('/');
    names.emplace_back(rest.substr(0, slash));
    if (slash == std::string_view::npos) break;
    rest = rest.substr(slash + 1);
  }
  return names;
}

std::string AsciiLower(std::string_view text) { return LowerAscii(text); }

std::string AsciiUpper(std::string_view text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(), UpperChar);
  return out;
}

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return LowerChar(x) == LowerChar(y);
         });
}

int CompareFolderTexts(std::string_view a, std::string_view b) {
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    const auto x = static_cast<unsigned char>(LowerChar(a[i]));
    const auto y = static_cast<unsigned char>(LowerChar(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  return a.compare(b) < 0 ? -1 : (a == b ? 0 : 1);
}

bool ListSubFolders(const std::string& path, std::vector<SubFolder>& out, std::string& error,
                    bool probe) {
  out.clear();
  DirHandle dir(opendir(path.c_str()));
  if (!dir) {
    error = path + ": " + std::strerror(errno);
    return false;
  }
  const int fd = dirfd(dir.get());
  for (;;) {
    errno = 0;
    const dirent* entry = readdir(dir.get());
    if (!entry) {
      if (errno != 0) {
        error = path + ": " + std::strerror(errno);
        return false;
      }
      break;
    }
    if (IsDotOrDotDot(entry->d_name)) continue;
    SubFolder folder;
    if (!EntryIsFolder(fd, entry, folder.isLink)) continue;
    folder.name = entry->d_name;
    folder.hasSubFolders = !probe || ProbeSubFolders(fd, entry->d_name);
    out.push_back(std::move(folder));
  }
  return true;
}

bool HasSubFolders(const std::string& path) { return ProbeSubFolders(AT_FDCWD, path.c_str()); }

bool IsNetworkFileSystem(std::string_view fsType) {
  static const char* const kNetwork[] = {"nfs",
                                         "nfs4",
                                         "cifs",
                                         "smb3",
                                         "smbfs",
                                         "ncpfs",
                                         "afs",
                                         "ceph",
                                         "glusterfs",
                                         "9p",
                                         "davfs",
                                         "fuse.sshfs",
                                         "sshfs",
                                         "fuse.smb",
                                         "fuse.davfs2",
                                         "fuse.curlftpfs",
                                         "fuse.gvfsd-fuse",
                                         "fuse.glusterfs",
                                         "fuse.rclone"};
  return std::find(std::begin(kNetwork), std::end(kNetwork), fsType) != std::end(kNetwork);
}

std::vector<Volume> ParseMountInfo(std::string_view text) {
  std::vector<Volume> volumes;
  volumes.push_back(Volume{"/", "", "", "", false});
  std::map<std::string, size_t> byMountPoint{{"/", 0}};
  std::vector<bool> present{true};
  std::istringstream lines{std::string(text)};
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    std::vector<std::string> parts;
    for (std::string field; fields >> field;) parts.push_back(field);
    // id parent major:minor root mount-point options [optional...] - type source super
    const auto dash = std::find(parts.begin(), parts.end(), "-");
    if (parts.size() < 5 || dash == parts.end() || parts.end() - dash < 3) continue;
    Volume volume;
    volume.mountPoint = NormalizeFolderPath(UnescapeOctal(parts[4]));
    volume.fsType = UnescapeOctal(*(dash + 1));
    volume.device = UnescapeOctal(*(dash + 2));
    volume.network = IsNetworkFileSystem(volume.fsType);
    if (volume.mountPoint.empty()) continue;
    const bool root = volume.mountPoint == "/";
    const bool keep =
        root || volume.network ||
        (!IsPseudoFileSystem(volume.fsType) && !IsSystemMountPoint(volume.mountPoint));
    const auto known = byMountPoint.find(volume.mountPoint);
    if (known != byMountPoint.end()) {
      // Mounted over: the later mount is what the folder shows now.
      if (keep) volumes[known->second] = volume;
      present[known->second] = keep || root;
      continue;
    }
    if (!keep) continue;
    byMountPoint[volume.mountPoint] = volumes.size();
    volumes.push_back(volume);
    present.push_back(true);
  }
  std::vector<Volume> out;
  for (size_t i = 0; i < volumes.size(); ++i)
    if (present[i]) out.push_back(std::move(volumes[i]));
  return out;
}

std::vector<Volume> MountedVolumes() {
  std::vector<Volume> volumes = ParseMountInfo(ReadTextFile("/proc/self/mountinfo"));
  const auto labels = VolumeLabels();
  std::vector<Volume> out;
  for (Volume& volume : volumes) {
    if (volume.mountPoint != "/" && !volume.network && !IsFolder(volume.mountPoint)) continue;
    if (!volume.device.empty() && volume.device[0] == '/') {
      char resolved[PATH_MAX];
      const std::string device =
          realpath(volume.device.c_str(), resolved) ? resolved : volume.device;
      if (const auto label = labels.find(device); label != labels.end())
        volume.label = label->second;
    }
    out.push_back(std::move(volume));
  }
  return out;
}

int VolumeForPath(const std::vector<Volume>& volumes, std::string_view path) {
  int best = -1;
  for (size_t i = 0; i < volumes.size(); ++i) {
    if (!IsInsideFolder(path, volumes[i].mountPoint)) continue;
    if (best < 0 || volumes[i].mountPoint.size() > volumes[size_t(best)].mountPoint.size())
      best = int(i);
  }
  return best;
}

}  // namespace quorvane
