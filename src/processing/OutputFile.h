#pragma once
// The file end of the program's own image writers: a buffered, append-only output file
// with a few positioned writes (for tables that are only known at the end), and the
// byte-order helpers the formats need. Every failure throws ImageWriteError.

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <string>
#include <system_error>
#include <vector>

#include "platform/FileIO.h"

namespace quorvane {

// A writer's failure, with the system's error number: ENOSPC for a full disk, EACCES
// for a refused file, EINVAL for a picture the format cannot hold.
class ImageWriteError : public std::system_error {
 public:
  ImageWriteError(int error, const std::string& what)
      : std::system_error(error, std::generic_category(), what) {}
  explicit ImageWriteError(const std::string& what) : ImageWriteError(EINVAL, what) {}
};

class OutputFile {
 public:
  // Creates `path` (replacing a file there) for writing.
  explicit OutputFile(const std::string& path);
  // Closes without reporting: a file that was not Close()d is incomplete.
  ~OutputFile() = default;
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Appends bytes at the current position.
  void Write(const void* data, size_t n);
  // Room for n bytes at the current position, to be filled and then Commit()ted.
  uint8_t* Reserve(size_t n);
  void Commit(size_t n);
  // Moves the current position n bytes on, leaving a hole for a later WriteAt (which
  // must fill it: a hole at the end is not part of the file).
  void Skip(size_t n);
  // Writes at an absolute offset (below the current position), straight to the file.
  void WriteAt(int64_t offset, const void* data, size_t n);
  // Current position: bytes written or skipped so far.
  int64_t Position() const { return pos_ + int64_t(used_); }
  // Writes what is buffered and closes the file; throws when any of it failed.
  void Close();

 private:
  void Flush();
  [[noreturn]] void Fail(const char* what) const;

  std::string path_;
  UniqueFd fd_;
  std::vector<uint8_t> buffer_;
  size_t used_ = 0;
  int64_t pos_ = 0;  // file offset of buffer_[0]
};

inline void PutLE16(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
}
inline void PutLE32(uint8_t* p, uint32_t v) {
  PutLE16(p, v);
  PutLE16(p + 2, v >> 16);
}
inline void PutBE16(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v >> 8);
  p[1] = uint8_t(v);
}
inline void PutBE32(uint8_t* p, uint32_t v) {
  PutBE16(p, v >> 16);
  PutBE16(p + 2, v);
}

// Writes `n` bytes as the whole of `path` through an OutputFile.
void WriteWholeFile(const std::string& path, const uint8_t* data, size_t n);

// One row of B, G, R pixels as R, G, B.
void BgrToRgb(const uint8_t* bgr, uint8_t* rgb, size_t pixels);

}  // namespace quorvane
