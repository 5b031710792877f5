#include "support/ChildProcess.h"

#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <vector>

namespace quorvane::test {

int RunUnprivileged(const std::function<int()>& body) {
  const pid_t pid = fork();
  if (pid == 0) {
    if (geteuid() == 0 && (setgroups(0, nullptr) != 0 || setgid(kUnprivilegedId) != 0 ||
                           setuid(kUnprivilegedId) != 0))
      _exit(100);
    _exit(body());
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 101;
}

int RunWithTimeLimit(unsigned seconds, const std::function<int()>& body) {
  const pid_t pid = fork();
  if (pid == 0) {
    alarm(seconds);
    _exit(body());
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::string SharedCodecHelper(const std::string& folder) { return folder + "/quorvane-codec"; }

std::string ShareBuiltPrograms(const TestDir& dir, bool withConverter, std::string& why) {
  namespace fs = std::filesystem;
  const std::string folder = dir.file("programs");
  std::error_code ec;
  fs::create_directory(folder, ec);
  chmod(dir.path().c_str(), 0755);
  chmod(folder.c_str(), 0755);
  std::vector<std::string> names = {"quorvane-codec"};
  if (withConverter) names.push_back("quorvane-convert");
  for (const std::string& name : names) {
    const std::string from = std::string(QUORVANE_BINARY_DIR) + "/" + name;
    const std::string to = folder + "/" + name;
    if (!fs::copy_file(from, to, fs::copy_options::overwrite_existing, ec)) {
      why = "cannot copy " + from + ": " + ec.message();
      return {};
    }
    chmod(to.c_str(), 0755);
  }
  // The whole way down must be open to the child.
  const int reachable = RunUnprivileged([&] {
    for (const std::string& name : names)
      if (access((folder + "/" + name).c_str(), X_OK) != 0) return 1;
    return 0;
  });
  if (reachable != 0) {
    why = "no folder an unprivileged user can reach: " + folder +
          " (set TMPDIR to a folder every user can enter)";
    return {};
  }
  return folder;
}

}  // namespace quorvane::test
