#include "platform/FileIO.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/HandedFiles.h"

namespace quorvane {

UniqueFd UniqueFd::OpenRead(const std::string& path) {
  // O_NONBLOCK: opening a named pipe would otherwise wait for a writer, for good.
  // A file handed to this process (HandedFiles.h) is read through its descriptor.
  UniqueFd fd = OpenHandedOrByName(path, O_RDONLY | O_NONBLOCK);
  if (!fd.Ok()) return fd;
  struct stat st {};
  if (fstat(fd.Get(), &st) != 0) return UniqueFd();
  if (!S_ISREG(st.st_mode)) {
    errno = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    return UniqueFd();
  }
  const int flags = fcntl(fd.Get(), F_GETFL);
  if (flags >= 0) fcntl(fd.Get(), F_SETFL, flags & ~O_NONBLOCK);
  return fd;
}

bool IsReadableRegularFile(const std::string& path) { return UniqueFd::OpenRead(path).Ok(); }

bool IsFolder(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
  if (this != &other) Reset(other.Release());
  return *this;
}

void UniqueFd::Reset(int fd) {
  if (fd_ >= 0) ::close(fd_);
  fd_ = fd;
}

int64_t UniqueFd::Size() const {
  struct stat st {};
  return fd_ >= 0 && fstat(fd_, &st) == 0 ? int64_t(st.st_size) : 0;
}

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& out, std::string& error) {
  const UniqueFd fd = UniqueFd::OpenRead(path);
  struct stat st {};
  if (!fd.Ok() || fstat(fd.Get(), &st) != 0) {
    error = errno == EINVAL ? "not a regular file: " + path
                            : "cannot open " + path + ": " + std::strerror(errno);
    return false;
  }
  std::vector<uint8_t> bytes(static_cast<size_t>(st.st_size));
  if (!ReadFullyAt(fd.Get(), 0, bytes.data(), bytes.size())) {
    error = "cannot read " + path;
    return false;
  }
  out.swap(bytes);
  return true;
}

bool ReadFullyAt(int fd, int64_t offset, void* buffer, size_t n) {
  if (offset < 0) return false;
  auto* p = static_cast<uint8_t*>(buffer);
  while (n > 0) {
    const ssize_t got = ::pread(fd, p, n, off_t(offset));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    p += got;
    n -= size_t(got);
    offset += got;
  }
  return true;
}

bool WriteFullyAt(int fd, int64_t offset, const void* data, size_t n) {
  if (offset < 0) return false;
  auto* p = static_cast<const uint8_t*>(data);
  while (n > 0) {
    const ssize_t put = ::pwrite(fd, p, n, off_t(offset));
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    p += put;
    n -= size_t(put);
    offset += put;
  }
  return true;
}

}  // namespace quorvane
