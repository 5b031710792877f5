#pragma once
// Files a process was handed as open descriptors instead of opening them by name. The
// codec and metadata helpers open nothing themselves: the program opens each picture
// and hands the descriptor along with the request, under the picture's name. While a
// name is handed, UniqueFd::OpenRead (and so every reader that opens through it) answers
// a duplicate of that descriptor, positioned at the start. With OnlyHandedFiles on, any
// other name is refused with EACCES without asking the kernel.

#include <string>

#include "platform/FileIO.h"

namespace quorvane {

// Hands `fd` (not owned; it must stay open while handed) under `path`.
void HandFile(const std::string& path, int fd);
void ClearHandedFiles();
void SetOnlyHandedFiles(bool only);

// The descriptor handed under `path`, or -1.
int HandedFileDescriptor(const std::string& path);

// A duplicate of the handed descriptor for `path`, at offset 0, close-on-exec; else
// open(path, flags) unless only handed files may be opened (then EACCES).
UniqueFd OpenHandedOrByName(const std::string& path, int flags);

}  // namespace quorvane
