#include "platform/HandedFiles.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <map>
#include <mutex>

namespace quorvane {

namespace {

struct Handed {
  std::mutex mutex;
  std::map<std::string, int> files;
  bool only = false;
};

Handed& State() {
  static Handed state;
  return state;
}

}  // namespace

void HandFile(const std::string& path, int fd) {
  Handed& s = State();
  std::lock_guard lock(s.mutex);
  s.files[path] = fd;
}

void ClearHandedFiles() {
  Handed& s = State();
  std::lock_guard lock(s.mutex);
  s.files.clear();
}

void SetOnlyHandedFiles(bool only) {
  Handed& s = State();
  std::lock_guard lock(s.mutex);
  s.only = only;
}

int HandedFileDescriptor(const std::string& path) {
  Handed& s = State();
  std::lock_guard lock(s.mutex);
  const auto it = s.files.find(path);
  return it == s.files.end() ? -1 : it->second;
}

UniqueFd OpenHandedOrByName(const std::string& path, int flags) {
  bool only;
  {
    Handed& s = State();
    std::lock_guard lock(s.mutex);
    only = s.only;
  }
  if (const int handed = HandedFileDescriptor(path); handed >= 0) {
    UniqueFd fd(::fcntl(handed, F_DUPFD_CLOEXEC, 0));
    if (fd.Ok()) ::lseek(fd.Get(), 0, SEEK_SET);
    return fd;
  }
  if (only) {
    errno = EACCES;
    return UniqueFd();
  }
  return UniqueFd(::open(path.c_str(), flags | O_CLOEXEC, 0666));
}

}  // namespace quorvane
