#pragma once
// An open file read front to back through a buffer, for the program's own readers of
// simple formats (PnmReader.h, TgaReader.h): a byte or a run of bytes at a time. The
// descriptor is the caller's; it is read from where it stands and never closed here.

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <vector>

namespace quorvane {

// Thrown by ByteStream::Read when the file ends first.
struct StreamEnded : std::runtime_error {
  StreamEnded() : std::runtime_error("the file ends early") {}
};

class ByteStream {
 public:
  explicit ByteStream(int fd) : fd_(fd), buffer_(size_t(1) << 16) {}

  // The next byte, or -1 at the end of the file.
  int Peek() { return pos_ < end_ || Fill() ? buffer_[pos_] : -1; }
  int Get() { return pos_ < end_ || Fill() ? buffer_[pos_++] : -1; }
  // Exactly n bytes; throws StreamEnded when the file holds fewer.
  void Read(uint8_t* out, size_t n) {
    while (n) {
      if (pos_ == end_ && !Fill()) throw StreamEnded();
      const size_t take = std::min(n, end_ - pos_);
      std::copy_n(buffer_.data() + pos_, take, out);
      pos_ += take;
      out += take;
      n -= take;
    }
  }
  // Passes over n bytes; throws StreamEnded when the file holds fewer.
  void Skip(uint64_t n) {
    while (n) {
      if (pos_ == end_ && !Fill()) throw StreamEnded();
      const size_t take = size_t(std::min<uint64_t>(n, end_ - pos_));
      pos_ += take;
      n -= take;
    }
  }
  // Bytes read from the file so far.
  uint64_t Consumed() const { return consumed_ - (end_ - pos_); }

 private:
  bool Fill() {
    ssize_t n;
    do {
      n = ::read(fd_, buffer_.data(), buffer_.size());
    } while (n < 0 && errno == EINTR);
    if (n <= 0) return false;
    pos_ = 0;
    end_ = size_t(n);
    consumed_ += uint64_t(n);
    return true;
  }
  int fd_;
  std::vector<uint8_t> buffer_;
  size_t pos_ = 0, end_ = 0;
  uint64_t consumed_ = 0;
};

}  // namespace quorvane
