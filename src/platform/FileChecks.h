#pragma once
// The tests the grid makes before a file operation: may this be copied, removed, written
// into; are two paths on one file system; is a path a folder or inside it.

#include <string>

namespace quorvane {

// Copy needs a readable source (a folder must also be searchable).
bool CanCopyFrom(const std::string& path);
// Cut and delete need the parent folder to be writable and searchable.
bool CanRemove(const std::string& path);
// Paste and drop need an existing folder that is writable and searchable.
bool CanWriteInto(const std::string& folder);
// True when both paths live on the same file system (false when either is missing).
bool SameFileSystem(const std::string& a, const std::string& b);
// True when `path` is the folder `folder` itself or lies anywhere below it (compared by
// identity, so links and "/./" spellings are seen through).
bool IsSameOrInside(const std::string& folder, const std::string& path);

}  // namespace quorvane
