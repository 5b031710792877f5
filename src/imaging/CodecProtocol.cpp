#include "imaging/CodecProtocol.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <stdexcept>
#include <system_error>
#include <vector>

#include "imaging/PictureDecoders.h"
#include "platform/HandedFiles.h"

namespace quorvane {

// ---- shared pixels ----

namespace {

// Arenas grow in steps of 1 MiB; one more than 4 times (and 64 MiB) larger than the
// picture at hand is replaced by a smaller one. One larger than kArenaKeepBytes is
// given back once its request is done, so one huge picture does not pin its memory for
// the rest of the run (thumbnails, shrunk in the helper, stay well below it).
constexpr size_t kArenaStep = size_t(1) << 20;
constexpr size_t kArenaKeepLimit = size_t(64) << 20;
constexpr size_t kArenaKeepBytes = size_t(8) << 20;
// The helper keeps a larger one while pictures come one after another (making and
// clearing its pages again for each would cost more than the copy), and gives it back
// after this long without a request.
constexpr int kArenaIdleMs = 1000;
// No picture the bitmaps allow needs more; a larger descriptor is refused unmapped.
constexpr uint64_t kArenaMaxBytes = uint64_t(16) << 30;

}  // namespace

void SharedArena::Reset() {
  if (data_) ::munmap(data_, size_);
  data_ = nullptr;
  size_ = 0;
  fd_.Reset();
}

void SharedArena::Map(UniqueFd fd, size_t size) {
  Reset();
  void* data =
      ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_POPULATE, fd.Get(), 0);
  if (data == MAP_FAILED) throw std::system_error(errno, std::generic_category(), "mmap");
  fd_ = std::move(fd);
  data_ = data;
  size_ = size;
}

bool SharedArena::Reserve(size_t bytes) {
  if (bytes <= size_ && (size_ <= kArenaKeepLimit || bytes >= size_ / 4)) return false;
  const size_t size = std::max(kArenaStep, (bytes + kArenaStep - 1) / kArenaStep * kArenaStep);
  UniqueFd fd(::memfd_create("quorvane-pixels", MFD_CLOEXEC | MFD_ALLOW_SEALING));
  if (!fd.Ok()) throw std::system_error(errno, std::generic_category(), "memfd_create");
  if (::ftruncate(fd.Get(), off_t(size)) != 0)
    throw std::system_error(errno, std::generic_category(), "ftruncate");
  // Sealed before the other end sees it: neither end can shrink it any more, nor
  // change the seals.
  if (::fcntl(fd.Get(), F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_SEAL) != 0)
    throw std::system_error(errno, std::generic_category(), "F_ADD_SEALS");
  Map(std::move(fd), size);
  return true;
}

void SharedArena::Adopt(UniqueFd fd) {
  struct stat st {};
  if (!fd.Ok() || ::fstat(fd.Get(), &st) != 0 || st.st_size <= 0 ||
      uint64_t(st.st_size) > kArenaMaxBytes) {
    Reset();
    throw std::runtime_error("shared memory without a size");
  }
  // The size is read after the seal is checked: from then on it cannot shrink.
  const int seals = ::fcntl(fd.Get(), F_GET_SEALS);
  if (seals < 0 || !(seals & F_SEAL_SHRINK) || ::fstat(fd.Get(), &st) != 0) {
    Reset();
    throw std::runtime_error("shared memory not sealed against shrinking");
  }
  // The memory mapped already (each end sends its arena with every picture) stays.
  struct stat mine {};
  if (data_ && ::fstat(fd_.Get(), &mine) == 0 && mine.st_ino == st.st_ino &&
      mine.st_dev == st.st_dev)
    return;
  Map(std::move(fd), size_t(st.st_size));
}

void SharedArena::GiveBackIfLarge() {
  if (size_ > kArenaKeepBytes) Reset();
}

void SharedArena::Store(const Bitmap& bitmap) {
  const size_t bytes = bitmap.ByteSize();
  if (bytes > size_) throw std::length_error("picture larger than the shared memory");
  if (bytes) std::memcpy(data_, bitmap.Bits(), bytes);
}

bool SharedArena::CopyTo(int width, int height, uint64_t bytes, Bitmap& out) const {
  if (!Bitmap::SizeAllowed(width, height)) return false;
  const size_t need = Bitmap::StrideFor(width) * size_t(height);
  if (need != bytes || need > size_) return false;
  Bitmap result;
  try {
    result.SetSize(width, height);
  } catch (const std::exception&) {
    return false;
  }
  if (need) std::memcpy(result.Bits(), data_, need);
  out.Swap(result);
  return true;
}

// ---- messages ----

CodecIo SendCodecMessage(int sock, const CodecMessage& message, int fd, int file,
                         int secondFile) {
  if (message.path.size() > kCodecMaxMessage - sizeof(CodecMessageHeader)) return CodecIo::kError;
  CodecMessageHeader header = message.header;
  header.magic = kCodecMagic;
  header.pathBytes = uint32_t(message.path.size());
  int fds[3];
  size_t count = 0;
  header.attached = 0;
  if (fd >= 0) fds[count++] = fd, header.attached |= kAttachArena;
  if (file >= 0) fds[count++] = file, header.attached |= kAttachFiles;
  if (file >= 0 && secondFile >= 0) fds[count++] = secondFile, header.attached |= kAttachTwoFiles;
  std::vector<char> packet(sizeof header + message.path.size());
  std::memcpy(packet.data(), &header, sizeof header);
  std::memcpy(packet.data() + sizeof header, message.path.data(), message.path.size());

  iovec iov{packet.data(), packet.size()};
  msghdr msg{};
  msg.msg_iov = &iov;
  msg.msg_iovlen = 1;
  alignas(cmsghdr) char control[CMSG_SPACE(sizeof fds)] = {};
  if (count) {
    msg.msg_control = control;
    msg.msg_controllen = CMSG_SPACE(sizeof(int) * count);
    cmsghdr* cmsg = CMSG_FIRSTHDR(&msg);
    cmsg->cmsg_level = SOL_SOCKET;
    cmsg->cmsg_type = SCM_RIGHTS;
    cmsg->cmsg_len = CMSG_LEN(sizeof(int) * count);
    std::memcpy(CMSG_DATA(cmsg), fds, sizeof(int) * count);
  }
  for (;;) {
    ssize_t sent = ::sendmsg(sock, &msg, MSG_NOSIGNAL);
    if (sent == ssize_t(packet.size())) return CodecIo::kOk;
    if (sent < 0 && errno == EINTR) continue;
    if (sent < 0 && (errno == EPIPE || errno == ECONNRESET)) return CodecIo::kClosed;
    return CodecIo::kError;
  }
}

namespace {

// Waits for the socket to become readable; kOk when it is.
CodecIo WaitReadable(int sock, int timeoutMs) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
  for (;;) {
    int wait = -1;
    if (timeoutMs >= 0) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
      wait = left.count() > 0 ? int(left.count()) : 0;
    }
    pollfd p{sock, POLLIN, 0};
    int n = ::poll(&p, 1, wait);
    if (n > 0) return CodecIo::kOk;  // readable, hung up or in error: recvmsg tells
    if (n == 0) return CodecIo::kTimeout;
    if (errno != EINTR) return CodecIo::kError;
  }
}

}  // namespace

CodecIo ReceiveCodecMessage(int sock, CodecMessage& message, UniqueFd& fd, int timeoutMs,
                            std::vector<UniqueFd>* files) {
  fd.Reset();
  if (files) files->clear();
  CodecIo ready = WaitReadable(sock, timeoutMs);
  if (ready != CodecIo::kOk) return ready;

  std::vector<char> packet(kCodecMaxMessage);
  iovec iov{packet.data(), packet.size()};
  msghdr msg{};
  msg.msg_iov = &iov;
  msg.msg_iovlen = 1;
  alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int) * 4)] = {};
  msg.msg_control = control;
  msg.msg_controllen = sizeof control;
  ssize_t got;
  do {
    got = ::recvmsg(sock, &msg, MSG_CMSG_CLOEXEC);
  } while (got < 0 && errno == EINTR);
  if (got == 0) return CodecIo::kClosed;
  if (got < 0) return errno == ECONNRESET ? CodecIo::kClosed : CodecIo::kError;

  // Take every descriptor that came along, so none leaks.
  std::vector<UniqueFd> received;
  for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
    if (c->cmsg_level != SOL_SOCKET || c->cmsg_type != SCM_RIGHTS) continue;
    size_t count = (c->cmsg_len - CMSG_LEN(0)) / sizeof(int);
    for (size_t i = 0; i < count; ++i) {
      int one;
      std::memcpy(&one, CMSG_DATA(c) + i * sizeof(int), sizeof one);
      received.emplace_back(one);
    }
  }
  if ((msg.msg_flags & (MSG_TRUNC | MSG_CTRUNC)) || size_t(got) < sizeof(CodecMessageHeader))
    return CodecIo::kError;
  std::memcpy(&message.header, packet.data(), sizeof(CodecMessageHeader));
  if (message.header.magic != kCodecMagic ||
      message.header.pathBytes != size_t(got) - sizeof(CodecMessageHeader))
    return CodecIo::kError;
  // The header says which descriptors came: the arena first, then the files.
  const uint32_t attached = message.header.attached;
  const size_t expected = ((attached & kAttachArena) ? 1 : 0) + ((attached & kAttachFiles) ? 1 : 0) +
                          ((attached & kAttachTwoFiles) ? 1 : 0);
  if (received.size() != expected) return CodecIo::kError;
  size_t next = 0;
  if (attached & kAttachArena) fd = std::move(received[next++]);
  if (files)
    for (; next < received.size(); ++next) files->push_back(std::move(received[next]));
  message.path.assign(packet.data() + sizeof(CodecMessageHeader), message.header.pathBytes);
  return CodecIo::kOk;
}

// ---- the helper's side ----

std::vector<std::string> RequestNames(const std::string& text) {
  std::vector<std::string> names;
  for (size_t at = 0;;) {
    const size_t end = text.find('\0', at);
    names.push_back(text.substr(at, end == std::string::npos ? end : end - at));
    if (end == std::string::npos) break;
    at = end + 1;
  }
  return names;
}

namespace {

// Hands a request's files under its names for as long as it runs.
class HandedRequestFiles {
 public:
  HandedRequestFiles(const std::string& text, std::vector<UniqueFd> files)
      : files_(std::move(files)) {
    const std::vector<std::string> names = RequestNames(text);
    for (size_t i = 0; i < files_.size() && i < names.size(); ++i)
      HandFile(names[i], files_[i].Get());
  }
  ~HandedRequestFiles() { ClearHandedFiles(); }
  HandedRequestFiles(const HandedRequestFiles&) = delete;
  HandedRequestFiles& operator=(const HandedRequestFiles&) = delete;

 private:
  std::vector<UniqueFd> files_;
};

CodecIo Reply(int sock, bool ok) {
  CodecMessage reply;
  reply.header.op = uint32_t(CodecOp::kReply);
  reply.header.ok = ok ? 1 : 0;
  return SendCodecMessage(sock, reply);
}

CodecIo ServeLoad(int sock, const CodecMessage& request, SharedArena& arena,
                  CodecService& service) {
  // The picture goes straight into the shared memory, grown to fit when needed.
  int width = 0, height = 0;
  bool arenaLost = false;
  auto target = [&](int w, int h) -> uint8_t* {
    if (!Bitmap::SizeAllowed(w, h) || w <= 0 || h <= 0) return nullptr;
    try {
      arena.Reserve(Bitmap::StrideFor(w) * size_t(h));
    } catch (const std::exception&) {
      arenaLost = true;
      return nullptr;
    }
    width = w;
    height = h;
    return arena.Data();
  };
  bool ok = false;
  CodecLoadResult result;
  try {
    ok = service.LoadPicture(request.path, request.header.load, target, result);
  } catch (...) {
    ok = false;
  }
  if (arenaLost) {
    // The two ends no longer share memory: answer, then end this helper so that the
    // next call starts both ends afresh.
    Reply(sock, false);
    return CodecIo::kError;
  }
  CodecMessage reply;
  reply.header.op = uint32_t(CodecOp::kReply);
  reply.header.ok = ok ? 1 : 0;
  if (ok) {
    reply.header.width = width;
    reply.header.height = height;
    reply.header.pixelBytes = Bitmap::StrideFor(width) * uint64_t(height);
    reply.header.loaded = result;
    if (result.fullWidth <= 0 || result.fullHeight <= 0) {
      reply.header.loaded.fullWidth = width;
      reply.header.loaded.fullHeight = height;
    }
  }
  // The arena goes along every time, even with a failure: the program gives back a
  // large one as soon as it has taken the picture.
  return SendCodecMessage(sock, reply, arena.Fd());
}

// Converts the pixels in the arena in place from the colour profile stored after them.
CodecIo ServeConvert(int sock, const CodecMessage& request, UniqueFd fd, SharedArena& arena) {
  const auto& h = request.header;
  try {
    if (fd.Ok()) arena.Adopt(std::move(fd));
  } catch (const std::exception&) {
    Reply(sock, false);
    return CodecIo::kError;
  }
  const uint64_t need = Bitmap::StrideFor(h.width) * uint64_t(h.height);
  if (!Bitmap::SizeAllowed(h.width, h.height) || h.width <= 0 || h.height <= 0 ||
      need != h.pixelBytes || h.extraBytes > arena.Capacity() ||
      need > arena.Capacity() - h.extraBytes) {
    Reply(sock, false);
    return CodecIo::kError;
  }
  const std::vector<uint8_t> icc(arena.Data() + need, arena.Data() + need + h.extraBytes);
  bool ok = false;
  try {
    ok = ConvertRowsToSrgb(arena.Data(), h.width, h.height, Bitmap::StrideFor(h.width), icc);
  } catch (...) {
    ok = false;
  }
  return Reply(sock, ok);
}

CodecIo ServeSave(int sock, const CodecMessage& request, UniqueFd fd, SharedArena& arena,
                  CodecService& service) {
  const auto& h = request.header;
  Bitmap picture;
  try {
    if (fd.Ok()) arena.Adopt(std::move(fd));
    if (!arena.CopyTo(h.width, h.height, h.pixelBytes, picture)) {
      Reply(sock, false);
      return CodecIo::kError;  // as above: start afresh
    }
  } catch (const std::exception&) {
    Reply(sock, false);
    return CodecIo::kError;
  }
  bool ok = false;
  try {
    ok = service.Save(request.path, picture, h.save);
  } catch (...) {
    ok = false;
  }
  return Reply(sock, ok);
}

}  // namespace

int ServeCodecRequests(int sock, bool bound, const std::string& failure, CodecService& service,
                       const std::function<void()>& beforeRequest, uint32_t sandbox) {
  CodecMessage hello;
  hello.header.op = uint32_t(CodecOp::kHello);
  hello.header.ok = bound ? 1 : 0;
  hello.header.sandbox = sandbox;
  if (!bound) hello.path = failure.substr(0, 1024);
  if (SendCodecMessage(sock, hello) != CodecIo::kOk) return 1;
  SharedArena arena;
  for (;;) {
    CodecMessage request;
    UniqueFd fd;
    std::vector<UniqueFd> files;
    CodecIo io = ReceiveCodecMessage(sock, request, fd,
                                     arena.Capacity() > kArenaKeepBytes ? kArenaIdleMs : -1, &files);
    if (io == CodecIo::kTimeout) {
      arena.Reset();
      continue;
    }
    if (io == CodecIo::kClosed) return 0;
    if (io != CodecIo::kOk) return 1;
    const HandedRequestFiles handed(request.path, std::move(files));
    if (beforeRequest) beforeRequest();
    switch (CodecOp(request.header.op)) {
      case CodecOp::kInit: {
        bool ok = false;
        try {
          ok = service.Init();
        } catch (...) {
          ok = false;
        }
        io = Reply(sock, ok);
        break;
      }
      case CodecOp::kLoad:
        io = ServeLoad(sock, request, arena, service);
        break;
      case CodecOp::kSave:
        io = ServeSave(sock, request, std::move(fd), arena, service);
        break;
      case CodecOp::kConvert:
        io = ServeConvert(sock, request, std::move(fd), arena);
        break;
      default:
        io = Reply(sock, false);
        break;
    }
    if (io == CodecIo::kClosed) return 0;
    if (io != CodecIo::kOk) return 1;
  }
}

}  // namespace quorvane
