#include "shell/StartArguments.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>

#include "folders/FolderNamespace.h"
#include "imaging/ImageFormats.h"
#include "platform/FileIO.h"
#include "platform/FileUris.h"

namespace quorvane {

namespace {

// Qt's own options that take a value, and those that stand alone.
constexpr const char* kToolkitWithValue[] = {
    "-platform", "-platformpluginpath", "-platformtheme", "-plugin", "-display", "-style",
    "-stylesheet", "-session", "-geometry", "-qwindowgeometry", "-qwindowtitle", "-qwindowicon",
    "-name", "-title"};
constexpr const char* kToolkitAlone[] = {"-reverse", "-widgetcount", "-nograb", "-dograb",
                                         "-sync"};

bool OneOf(const std::string& arg, const auto& list) {
  for (const char* option : list)
    if (arg == option) return true;
  return false;
}

bool IsUri(const std::string& operand) {
  // A scheme: a letter, then letters, digits, "+-." up to ":" (RFC 3986).
  const size_t colon = operand.find(':');
  if (colon == std::string::npos || colon < 2 || operand.compare(colon, 3, "://") != 0)
    return operand.rfind("file:", 0) == 0;
  for (size_t i = 0; i < colon; ++i) {
    const char c = operand[i];
    if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '+' || c == '-' || c == '.'))
      return false;
  }
  return true;
}

// The first bytes of a regular file; false when it cannot be opened.
bool ReadHead(const std::string& path, std::string& head) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return false;
  char buffer[kSniffBytes];
  size_t got = 0;
  while (got < sizeof buffer) {
    const ssize_t n = ::read(fd, buffer + got, sizeof buffer - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += size_t(n);
  }
  ::close(fd);
  head.assign(buffer, got);
  return true;
}

// Whether a readable file is a picture the program reads: its first bytes name a format,
// or they say nothing and its name is that of a format known by name alone (TGA, PCX,
// most camera files). A text file named ".jpg" is no picture.
bool IsPicture(const std::string& path, const std::string& head) {
  if (head.empty()) return false;
  if (SniffFormat(head) != PictureFormat::Unknown) return true;
  const ImageFormatInfo* byName = FormatByName(path);
  return byName && byName->magic.empty() &&
         FormatOfContents(path, head) != PictureFormat::Unknown;
}

std::string NearestExistingFolder(std::string path) {
  while (!path.empty() && path != "/" && !IsFolder(path)) path = ParentFolderPath(path);
  return path.empty() ? std::string("/") : path;
}

std::string Reason(int error) { return std::strerror(error); }

}  // namespace

StartArguments ParseStartArguments(const std::vector<std::string>& args) {
  StartArguments parsed;
  bool operandsOnly = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (operandsOnly || arg.empty() || arg[0] != '-' || arg == "-") {
      parsed.operands.push_back(arg);
    } else if (arg == "--") {
      operandsOnly = true;
    } else if (arg == "-h" || arg == "--help") {
      parsed.action = StartArguments::Action::Help;
    } else if (arg == "-V" || arg == "--version") {
      if (parsed.action != StartArguments::Action::Help)
        parsed.action = StartArguments::Action::Version;
    } else if (OneOf(arg, kToolkitWithValue)) {
      if (i + 1 == args.size()) {
        parsed.action = StartArguments::Action::UsageError;
        parsed.error = "option '" + arg + "' needs a value";
        return parsed;
      }
      parsed.toolkit.push_back(arg);
      parsed.toolkit.push_back(args[++i]);
    } else if (OneOf(arg, kToolkitAlone)) {
      parsed.toolkit.push_back(arg);
    } else {
      parsed.action = StartArguments::Action::UsageError;
      parsed.error = (arg.rfind("--", 0) == 0 ? "unrecognized option '" : "invalid option '") +
                     arg + "'";
      return parsed;
    }
  }
  return parsed;
}

std::string StartUsageText() {
  return "Usage: quorvane [OPTION]... [FILE|FOLDER|URI]...\n"
         "Browse folders of pictures as thumbnails, view them, and convert, resize, turn or\n"
         "correct them in batches.\n"
         "\n"
         "With a FOLDER, the window opens on it. With a picture FILE, the viewer shows it at\n"
         "once, over the window showing its folder; with several pictures of one folder, the\n"
         "viewer shows the first and the grid selects them all. A URI is a file:// URI as\n"
         "file managers pass them. Without an operand the window opens on the folder shown\n"
         "last. A path that cannot be opened is reported on standard error and in the\n"
         "window's status line, and the window opens on its nearest existing folder.\n"
         "\n"
         "  -h, --help     display this help and exit\n"
         "  -V, --version  output version information and exit\n"
         "\n"
         "Qt's own options (-platform NAME, -display DISPLAY, -style NAME, ...) are passed on.\n"
         "\n"
         "Exit status: 0 when the window was closed, 1 when there is no graphical display or\n"
         "the codec library is missing, 2 on a usage error.\n"
         "\n"
         "Batch conversion without the window: quorvane-convert --help\n";
}

std::string StartVersionText() {
  return std::string("quorvane ") + QUORVANE_VERSION + "\n";
}

StartTarget ResolveStartTarget(const std::vector<std::string>& operands, const std::string& cwd) {
  StartTarget target;
  std::string fallback;  // the nearest folder of the first operand that failed
  for (const std::string& operand : operands) {
    std::string path;
    if (IsUri(operand)) {
      path = PathFromFileUri(operand);
      if (path.empty()) {
        target.problems.push_back(operand + ": not a local file");
        continue;
      }
    } else if (!operand.empty() && operand[0] == '/') {
      path = NormalizeFolderPath(operand);
    } else {
      path = NormalizeFolderPath(cwd + "/" + operand);
    }
    if (path.empty()) {
      target.problems.push_back(operand + ": " + Reason(ENOENT));
      continue;
    }
    const auto fail = [&](const std::string& why) {
      target.problems.push_back(path + ": " + why);
      if (fallback.empty()) fallback = NearestExistingFolder(ParentFolderPath(path));
    };
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
      fail(Reason(errno));
      continue;
    }
    if (S_ISDIR(st.st_mode)) {
      if (::access(path.c_str(), R_OK | X_OK) != 0) {
        fail(Reason(errno));
      } else if (target.folder.empty()) {
        target.folder = path;
      } else {
        target.problems.push_back(path + ": left out; one folder opens at a time");
      }
      continue;
    }
    std::string head;
    if (!S_ISREG(st.st_mode)) {
      fail("not a picture");
      continue;
    }
    if (!ReadHead(path, head)) {
      fail(Reason(errno));
      continue;
    }
    if (!IsPicture(path, head)) {
      fail("not a picture");
      continue;
    }
    const std::string folder = ParentFolderPath(path);
    if (target.folder.empty()) target.folder = folder;
    if (folder == target.folder)
      target.pictures.push_back(path);
    else
      target.problems.push_back(path + ": left out; one folder opens at a time");
  }
  if (target.folder.empty()) target.folder = fallback;
  return target;
}

}  // namespace quorvane
