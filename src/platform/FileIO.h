#pragma once
// Small POSIX file helpers: an owned descriptor and whole reads and writes at an offset
// that survive short transfers and interrupted calls.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace quorvane {

class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd_(fd) {}
  // Opens a regular file (or a symbolic link to one) read-only, close-on-exec; Ok()
  // tells whether it worked. Anything else (a pipe, a device, a folder) is refused
  // without blocking, with errno set to EINVAL (EISDIR for a folder).
  static UniqueFd OpenRead(const std::string& path);
  ~UniqueFd() { Reset(); }
  UniqueFd(UniqueFd&& other) noexcept : fd_(other.Release()) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept;
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;

  bool Ok() const { return fd_ >= 0; }
  int Get() const { return fd_; }
  int Release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }
  void Reset(int fd = -1);
  // The file's size, 0 when it cannot be told.
  int64_t Size() const;

 private:
  int fd_ = -1;
};

// True when `path` names a regular file (or a symbolic link to one) that can be opened
// for reading; never blocks, whatever the path names.
bool IsReadableRegularFile(const std::string& path);
// True when `path` is a folder (links followed).
bool IsFolder(const std::string& path);

// Reads a whole file into `out`; false with `error` set when it cannot be read.
bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& out, std::string& error);

// Reads a whole file; a failure throws Error(message), so each reader reports it as
// its own kind of error.
template <class Error>
std::vector<uint8_t> ReadWholeFileOrThrow(const std::string& path) {
  std::vector<uint8_t> bytes;
  std::string error;
  if (!ReadWholeFile(path, bytes, error)) throw Error(error);
  return bytes;
}

// Reads exactly n bytes at offset; false on an error or an early end of file.
bool ReadFullyAt(int fd, int64_t offset, void* buffer, size_t n);
// Writes exactly n bytes at offset; false on an error (a full disk among them).
bool WriteFullyAt(int fd, int64_t offset, const void* data, size_t n);

}  // namespace quorvane
