#pragma once
// What the location field above the grid understands: a typed folder path (absolute,
// `~` or `~/...` for the home folder, or relative to the folder shown) resolved to the
// folder, or the reason it names none; and the completion of a partly typed folder name.

#include <string>

namespace quorvane {

struct LocationResult {
  std::string folder;  // the folder, absolute and without "." or ".." parts
  std::string error;   // why the text names no folder that can be opened ("" when it does)
  bool Ok() const { return error.empty(); }
};

// `current` is the folder shown (for relative paths), `home` the home folder (for `~`).
LocationResult ResolveLocation(const std::string& typed, const std::string& current,
                               const std::string& home);

// Completes the last name of `typed` with the names of the sub-folders that begin with
// it: as far as they agree, and with a "/" after a single match. Hidden folders complete
// only when the name typed begins with ".". The text as typed when nothing matches.
std::string CompleteLocation(const std::string& typed, const std::string& current,
                             const std::string& home);

}  // namespace quorvane
