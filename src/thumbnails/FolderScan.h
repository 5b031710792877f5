#pragma once
// Which files of a folder the grid shows as pictures.

#include <string>
#include <vector>

#include "platform/StopSource.h"

namespace quorvane {

// True for a name the grid shows as a picture (judged by the name alone): with one of
// the image extensions, and not hidden (a name beginning with ".") unless `hidden`.
bool IsPictureFileName(const std::string& name, bool hidden = false);

// The full paths of the picture files directly in `folder`: regular files (a link to
// one counts) whose lower-cased extension is one of the image extensions, hidden
// files (a name beginning with ".") left out unless `hidden`, in the grid's name order (natural,
// case-insensitive). An empty folder text, a missing or unreadable folder give none.
// Stops early, answering what it has, when `stop` is set.
std::vector<std::string> ListImageFiles(const std::string& folder, const StopSource* stop,
                                        bool hidden = false);

}  // namespace quorvane
