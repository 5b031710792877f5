// The GUI program: `quorvane [OPTION]... [FILE|FOLDER|URI]...` (see StartArguments.h).
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QApplication>
#include <QIcon>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "platform/ui/GlossyProgress.h"
#include "shell/StartArguments.h"
#include "shell/ui/MainWindow.h"
#include "viewer/ui/ViewerWindow.h"

namespace {

const char* Get(const char* name) {
  const char* value = std::getenv(name);
  return value && *value ? value : nullptr;
}

// Whether a local socket answers; `why` says what failed when not.
bool SocketAnswers(const std::string& path, std::string& why) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) {
    why = "name too long";
    return false;
  }
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    why = std::strerror(errno);
    return false;
  }
  const bool ok = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  if (!ok) why = std::strerror(errno);
  ::close(fd);
  return ok;
}

// The Wayland compositor's socket: $WAYLAND_DISPLAY, under $XDG_RUNTIME_DIR unless absolute.
std::string WaylandSocket(const char* display) {
  if (display[0] == '/') return display;
  const char* runtime = Get("XDG_RUNTIME_DIR");
  return std::string(runtime ? runtime : "") + "/" + display;
}

// Qt aborts, with advice to reinstall it, when no display answers: say what is wrong
// instead. A platform chosen other than xcb or wayland (offscreen, vnc) is Qt's to judge;
// so is a remote X display.
bool DisplayReachable(const std::string& platform) {
  const char* x = Get("DISPLAY");
  const char* wayland = Get("WAYLAND_DISPLAY");
  const bool other = !platform.empty() && platform.rfind("xcb", 0) != 0 &&
                     platform.rfind("wayland", 0) != 0;
  if (other) return true;
  if (!x && !wayland) {
    std::fputs(
        "quorvane: no graphical display found (DISPLAY/WAYLAND_DISPLAY not set). "
        "Run it on a desktop, or under xvfb-run.\n",
        stderr);
    return false;
  }
  const bool wantX = platform.empty() || platform.rfind("xcb", 0) == 0;
  const bool wantWayland = platform.empty() || platform.rfind("wayland", 0) == 0;
  std::string why;
  if (wantWayland && wayland) {
    const std::string socket = WaylandSocket(wayland);
    if (SocketAnswers(socket, why)) return true;
    if (!wantX || !x) {
      std::fprintf(stderr,
                   "quorvane: cannot reach the Wayland display %s (%s: %s). Run it on a "
                   "desktop, or under xvfb-run.\n",
                   wayland, socket.c_str(), why.c_str());
      return false;
    }
  }
  return wantX && x;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace quorvane;
  const StartArguments args = ParseStartArguments(std::vector<std::string>(argv + 1, argv + argc));
  switch (args.action) {
    case StartArguments::Action::Help:
      std::fputs(StartUsageText().c_str(), stdout);
      return 0;
    case StartArguments::Action::Version:
      std::fputs(StartVersionText().c_str(), stdout);
      return 0;
    case StartArguments::Action::UsageError:
      std::fprintf(stderr, "quorvane: %s\nTry 'quorvane --help' for more information.\n",
                   args.error.c_str());
      return 2;
    case StartArguments::Action::Open:
      break;
  }
  std::string platform = Get("QT_QPA_PLATFORM") ? Get("QT_QPA_PLATFORM") : "";
  for (size_t i = 0; i + 1 < args.toolkit.size(); ++i)
    if (args.toolkit[i] == "-platform") platform = args.toolkit[i + 1];
  if (!DisplayReachable(platform)) return 1;

  std::error_code ec;
  const std::string cwd = std::filesystem::current_path(ec).string();
  const StartTarget start = ResolveStartTarget(args.operands, ec ? std::string("/") : cwd);
  for (const std::string& problem : start.problems)
    std::fprintf(stderr, "quorvane: %s\n", problem.c_str());

  // Files are written in this process: a file-size limit must fail that save, not end
  // the program.
  std::signal(SIGXFSZ, SIG_IGN);
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Quorvane"));
  QApplication::setApplicationVersion(QStringLiteral(QUORVANE_VERSION));
  QGuiApplication::setDesktopFileName(QStringLiteral("quorvane"));
  QIcon icon;
  icon.addFile(QStringLiteral(":/quorvane/quorvane-48.png"));
  icon.addFile(QStringLiteral(":/quorvane/quorvane-128.png"));
  QApplication::setWindowIcon(icon);
  app.setStyleSheet(quorvane::GlossyProgressStyleSheet());
  MainWindow window(nullptr, start);
  window.show();
  // The viewer opened on the command line's picture stays over the window.
  if (ViewerWindow* viewer = window.StartViewer()) {
    // Shown before the window was, the viewer had no window to stay over; on Wayland,
    // where only that tie keeps it on top, it is shown again now that there is one.
    if (QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) {
      viewer->hide();
      viewer->show();
    }
    viewer->raise();
    viewer->activateWindow();
  }
  return QApplication::exec();
}
