#pragma once
// Where a batch's files come from besides its arguments: lists of names (one a line,
// or NUL-separated as `find -print0` writes them) and folder trees.

#include <istream>
#include <string>
#include <vector>

#include "processing/ConvertParams.h"

namespace quorvane {

// The names in `in`, separated by NUL bytes (`nul`) or by line ends (a "\r" before the
// "\n" is dropped). Empty names are skipped.
std::vector<std::string> ReadNameList(std::istream& in, bool nul);

// Replaces every folder of params.FileList (absolute paths) by the pictures under it,
// sorted by path, and sets params.SubFolders to each file's folder relative to the
// folder given, so that the results mirror the tree under the output folder. Entries
// whose names start with "." are skipped unless `hidden`; symbolic links to folders
// are not followed; the output folder itself is left out. Without `recursive` a folder
// is a UsageError that names -r.
void ExpandFolders(ConvertParams& params, bool recursive, bool hidden);

}  // namespace quorvane
