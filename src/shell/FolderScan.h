#pragma once
// What the main window's folder scan and its batches decide without any window: which
// files of a folder the grid shows as pictures, and where a batch writes.

#include <string>
#include <vector>

#include "shell/StopSource.h"

namespace quorvane {

// The full paths of the picture files directly in `folder`: regular files (a link to
// one counts) whose lower-cased extension is one of the 19 image extensions, hidden
// files (a name beginning with ".") left out, in the grid's name order (natural,
// case-insensitive). An empty folder text, a missing or unreadable folder give none.
// Stops early, answering what it has, when `stop` is set.
std::vector<std::string> ListImageFiles(const std::string& folder, const StopSource* stop);

// The name of the output folder a batch writes into below its source folder.
inline constexpr const char* kDefaultOutputFolderName = "quorvane-conv";

// The output folder of a batch whose source folder is `source`, from the folder the user
// chose (`chosen`, as typed): trailing blanks and one trailing "/" are ignored (the root
// "/" stays "/"). Nothing chosen, or the source itself, gives source + "/quorvane-conv";
// any other folder is answered as chosen.
std::string OutputFolderFor(const std::string& source, const std::string& chosen);

}  // namespace quorvane
