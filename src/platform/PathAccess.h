#pragma once
// Paths reached safely: opening, stat and access that also work past the system's path
// length limit (one component at a time through folder descriptors), free names in a
// folder, making folders, and renaming without ever replacing.

#include <sys/stat.h>
#include <sys/types.h>

#include <string>
#include <utility>

#include "platform/FileIO.h"

namespace quorvane {

// strerror's text for an errno value.
std::string ErrnoText(int error);
// `path` made absolute against the working folder, without a trailing slash.
std::string AbsolutePath(const std::string& path);
// Opens anything by path (a folder with O_DIRECTORY); a path longer than the system's
// limit is opened one component at a time. O_CLOEXEC is always added.
UniqueFd OpenPath(const std::string& path, int flags);
UniqueFd OpenDir(const std::string& path);
// stat / lstat (follow false) and access that also work on over-long paths.
bool StatPath(const std::string& path, struct stat& st, bool follow);
bool AccessPath(const std::string& path, int mode);
// Same device and inode.
bool SameIdentity(const struct stat& a, const struct stat& b);
// True when `name` exists in the folder (or cannot be told apart from existing).
bool EntryExists(int dir, const std::string& name);
// "photo.jpg" -> {"photo", ".jpg"}; folders and dot-files keep the whole name as stem.
std::pair<std::string, std::string> SplitName(const std::string& name, bool isFolder);
// Numbered names tried for a free name before giving up.
constexpr int kMaxNameTries = 100000;
// `name`, else "stem (2).ext", "stem (3).ext", ... whichever is free in the folder;
// "" when none is.
std::string FreeNameAt(int dir, const std::string& name, bool isFolder);

// Makes `path` and its missing parents (new folders get `mode`). False, with errno set,
// when it cannot (ENOTDIR where a file stands in the way).
bool MakeFolders(const std::string& path, mode_t mode);

// A name for `name` that does not exist in `folder`: the name itself, else
// "stem (2).ext", "stem (3).ext", ... (folders and names without an extension:
// "name (2)").
std::string FreeName(const std::string& folder, const std::string& name);

// Renames without ever replacing: answers 0, or an errno value (EEXIST when `to` exists).
// Names are relative to the folder descriptors (AT_FDCWD: the working folder). On a file
// system that cannot refuse a replacement itself, the target is tested first.
int RenameNoReplaceAt(int fromDir, const std::string& from, int toDir, const std::string& to);
int RenameNoReplace(const std::string& from, const std::string& to);

}  // namespace quorvane
