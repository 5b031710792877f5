#include "processing/OutputFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace quorvane {

namespace {
// Large enough that writes cost one system call per megabyte.
constexpr size_t kBufferSize = size_t(1) << 20;
}  // namespace

OutputFile::OutputFile(const std::string& path)
    : path_(path), fd_(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666)) {
  if (!fd_.Ok()) Fail("cannot create");
  buffer_.resize(kBufferSize);
}

void OutputFile::Fail(const char* what) const {
  const int error = errno;
  throw ImageWriteError(error, std::string(what) + " " + path_);
}

void OutputFile::Flush() {
  if (used_ == 0) return;
  if (!WriteFullyAt(fd_.Get(), pos_, buffer_.data(), used_)) Fail("cannot write");
  pos_ += int64_t(used_);
  used_ = 0;
}

uint8_t* OutputFile::Reserve(size_t n) {
  if (buffer_.size() - used_ < n) {
    Flush();
    if (buffer_.size() < n) buffer_.resize(n);
  }
  return buffer_.data() + used_;
}

void OutputFile::Commit(size_t n) { used_ += n; }

void OutputFile::Write(const void* data, size_t n) {
  if (n >= buffer_.size()) {
    // Large blocks go straight to the file.
    Flush();
    if (!WriteFullyAt(fd_.Get(), pos_, data, n)) Fail("cannot write");
    pos_ += int64_t(n);
    return;
  }
  std::memcpy(Reserve(n), data, n);
  Commit(n);
}

void OutputFile::Skip(size_t n) {
  Flush();
  pos_ += int64_t(n);
}

void OutputFile::WriteAt(int64_t offset, const void* data, size_t n) {
  Flush();
  if (!WriteFullyAt(fd_.Get(), offset, data, n)) Fail("cannot write");
}

void OutputFile::Close() {
  Flush();
  if (::close(fd_.Release()) != 0) Fail("cannot write");
}

void WriteWholeFile(const std::string& path, const uint8_t* data, size_t n) {
  OutputFile file(path);
  file.Write(data, n);
  file.Close();
}

void BgrToRgb(const uint8_t* bgr, uint8_t* rgb, size_t pixels) {
  for (size_t i = 0; i < pixels; ++i, bgr += 3, rgb += 3) {
    rgb[0] = bgr[2];
    rgb[1] = bgr[1];
    rgb[2] = bgr[0];
  }
}

}  // namespace quorvane
