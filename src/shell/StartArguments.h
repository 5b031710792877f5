#pragma once
// The browser's command line: `quorvane [OPTION]... [FILE|FOLDER|URI]...`, and what it
// opens. File managers start it with file:// URIs (the desktop entry's %U), a terminal
// with paths; both may name folders or pictures, and both may name something that is not
// there. Nothing here needs a display, so --help, --version and usage errors answer
// without one.

#include <string>
#include <vector>

namespace quorvane {

struct StartArguments {
  enum class Action { Open, Help, Version, UsageError };
  Action action = Action::Open;
  std::string error;                  // the usage error, without the program's name
  std::vector<std::string> operands;  // files, folders and URIs, as given
  std::vector<std::string> toolkit;   // Qt's own options (-platform X, -style X, ...), kept
};

// Reads argv[1..]: "-h"/"--help", "-V"/"--version", "--" (operands follow), Qt's own
// options (passed on to the toolkit), anything else beginning with "-" is a usage error.
StartArguments ParseStartArguments(const std::vector<std::string>& args);

std::string StartUsageText();
std::string StartVersionText();

// What the window opens at start.
struct StartTarget {
  // The folder the window opens on; "" when nothing was named (the last folder shown).
  std::string folder;
  // Pictures of `folder` to show in the viewer, in the order named; the first is shown.
  std::vector<std::string> pictures;
  // One line per operand that could not be opened: "<path>: <why>".
  std::vector<std::string> problems;
};

// Resolves the operands against the working folder `cwd`: a URI to its local path, a
// relative path to an absolute one (bytes that are no UTF-8 are kept). The first folder
// or picture decides the folder; the pictures named with it are shown. An operand that
// is missing, unreadable, no picture or elsewhere gives a problem line; when nothing
// could be opened, the window opens on the nearest existing folder of the first operand.
StartTarget ResolveStartTarget(const std::vector<std::string>& operands, const std::string& cwd);

}  // namespace quorvane
