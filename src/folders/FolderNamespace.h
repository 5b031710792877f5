#pragma once
// The folder namespace behind the folder tree: the home folder, the mounted volumes,
// sub-folder listings and the path rules shared by every node.
//
// Paths are absolute UTF-8 byte strings without a trailing "/" except the root "/"
// itself. A hidden folder is one whose name begins with "."; a symbolic link to a
// folder counts as a folder.

#include <string>
#include <string_view>
#include <vector>

#include "platform/FileIO.h"

namespace quorvane {

// The user's home folder: $HOME when it names an absolute path, else the password
// database's entry, else "/". Always normalised.
std::string HomeFolder();

// Lexical normalisation: doubled separators, "." and ".." are resolved and the trailing
// separator dropped (except for "/"). Answers "" for an empty or relative path.
std::string NormalizeFolderPath(std::string_view path);

// True when `path` is `folder` itself or lies inside it (both normalised).
bool IsInsideFolder(std::string_view path, std::string_view folder);
// `folder` joined with one more name.
std::string JoinFolderPath(std::string_view folder, std::string_view name);
// The parent of a normalised path ("" for "/"), and its last name ("/" for "/").
std::string ParentFolderPath(std::string_view path);
std::string FolderPathName(std::string_view path);
// The names below `folder` leading to `path` (empty when they are equal); `path` must
// lie inside `folder`.
std::vector<std::string> PathNamesBelow(std::string_view path, std::string_view folder);

// ASCII case mapping (other bytes unchanged, so UTF-8 text stays intact).
std::string AsciiLower(std::string_view text);
std::string AsciiUpper(std::string_view text);
bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b);
// Order of folder texts: without regard to ASCII case, then by bytes so that the order
// is total. Negative, zero or positive.
int CompareFolderTexts(std::string_view a, std::string_view b);

struct SubFolder {
  std::string name;
  bool isLink = false;         // a symbolic link to a folder
  bool hasSubFolders = false;  // worth an expander (true when it cannot be told)
};

// Lists the folders inside `path`, hidden ones and links to folders included, in
// directory order. False with `error` set when the folder cannot be read. With
// `probe` the hasSubFolders marks are worked out, otherwise all are true.
bool ListSubFolders(const std::string& path, std::vector<SubFolder>& out, std::string& error,
                    bool probe = true);
// Whether the folder `path` holds a folder (true when it cannot be read, so that its
// expander stays and expanding it tells the truth).
bool HasSubFolders(const std::string& path);

struct Volume {
  std::string mountPoint;
  std::string device;  // the mount source ("/dev/sda1", "server:/export", "//host/share")
  std::string fsType;
  std::string label;  // the file system's label, "" when it has none
  bool network = false;

  bool operator==(const Volume&) const = default;
};

// Network file systems: nfs, nfs4, cifs, smb3, smbfs, sshfs, fuse.sshfs, fuse.gvfsd-fuse
// and their kin.
bool IsNetworkFileSystem(std::string_view fsType);

// The volumes of a /proc/self/mountinfo text, in mount order: "/" first (always present),
// then every mount of a disk or network file system; pseudo file systems (proc, sysfs,
// tmpfs, cgroup, ...) are left out. A mount point mounted over again keeps its first
// place and takes the later mount's details.
std::vector<Volume> ParseMountInfo(std::string_view text);

// The volumes mounted now (/proc/self/mountinfo), only those whose mount point is a
// folder, with labels from /dev/disk/by-label.
std::vector<Volume> MountedVolumes();

// The index of the volume whose mount point is the longest prefix of `path`; -1 when
// none is.
int VolumeForPath(const std::vector<Volume>& volumes, std::string_view path);

}  // namespace quorvane
