#include "imaging/CodecProtocol.h"

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

namespace quorvane {

// ---- shared pixels ----

namespace {

// Arenas grow in steps of 1 MiB; one more than 4 times (and 64 MiB) larger than the
// picture at hand is replaced by a smaller one, so one huge picture does not pin its
// memory for the rest of the run.
constexpr size_t kArenaStep = size_t(1) << 20;
constexpr size_t kArenaKeepLimit = size_t(64) << 20;

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
  UniqueFd fd(::memfd_create("quorvane-pixels", MFD_CLOEXEC));
  if (!fd.Ok()) throw std::system_error(errno, std::generic_category(), "memfd_create");
  if (::ftruncate(fd.Get(), off_t(size)) != 0)
    throw std::system_error(errno, std::generic_category(), "ftruncate");
  Map(std::move(fd), size);
  return true;
}

void SharedArena::Adopt(UniqueFd fd) {
  struct stat st {};
  if (!fd.Ok() || ::fstat(fd.Get(), &st) != 0 || st.st_size <= 0) {
    Reset();
    throw std::runtime_error("shared memory without a size");
  }
  Map(std::move(fd), size_t(st.st_size));
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

CodecIo SendCodecMessage(int sock, const CodecMessage& message, int fd) {
  if (message.path.size() > kCodecMaxMessage - sizeof(CodecMessageHeader)) return CodecIo::kError;
  CodecMessageHeader header = message.header;
  header.magic = kCodecMagic;
  header.pathBytes = uint32_t(message.path.size());
  std::vector<char> packet(sizeof header + message.path.size());
  std::memcpy(packet.data(), &header, sizeof header);
  std::memcpy(packet.data() + sizeof header, message.path.data(), message.path.size());

  iovec iov{packet.data(), packet.size()};
  msghdr msg{};
  msg.msg_iov = &iov;
  msg.msg_iovlen = 1;
  alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
  if (fd >= 0) {
    msg.msg_control = control;
    msg.msg_controllen = sizeof control;
    cmsghdr* cmsg = CMSG_FIRSTHDR(&msg);
    cmsg->cmsg_level = SOL_SOCKET;
    cmsg->cmsg_type = SCM_RIGHTS;
    cmsg->cmsg_len = CMSG_LEN(sizeof(int));
    std::memcpy(CMSG_DATA(cmsg), &fd, sizeof fd);
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

CodecIo ReceiveCodecMessage(int sock, CodecMessage& message, UniqueFd& fd, int timeoutMs) {
  fd.Reset();
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

  // Take every descriptor that came along, so none leaks; keep the first.
  for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
    if (c->cmsg_level != SOL_SOCKET || c->cmsg_type != SCM_RIGHTS) continue;
    size_t count = (c->cmsg_len - CMSG_LEN(0)) / sizeof(int);
    for (size_t i = 0; i < count; ++i) {
      int received;
      std::memcpy(&received, CMSG_DATA(c) + i * sizeof(int), sizeof received);
      if (!fd.Ok())
        fd.Reset(received);
      else
        ::close(received);
    }
  }
  if ((msg.msg_flags & (MSG_TRUNC | MSG_CTRUNC)) || size_t(got) < sizeof(CodecMessageHeader))
    return CodecIo::kError;
  std::memcpy(&message.header, packet.data(), sizeof(CodecMessageHeader));
  if (message.header.magic != kCodecMagic ||
      message.header.pathBytes != size_t(got) - sizeof(CodecMessageHeader))
    return CodecIo::kError;
  message.path.assign(packet.data() + sizeof(CodecMessageHeader), message.header.pathBytes);
  return CodecIo::kOk;
}

// ---- the helper's side ----

namespace {

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
  bool fresh = false, arenaLost = false;
  auto target = [&](int w, int h) -> uint8_t* {
    if (!Bitmap::SizeAllowed(w, h) || w <= 0 || h <= 0) return nullptr;
    try {
      fresh = arena.Reserve(Bitmap::StrideFor(w) * size_t(h)) || fresh;
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
  // A new arena goes to the program even with a failure, so both ends keep sharing one.
  return SendCodecMessage(sock, reply, fresh ? arena.Fd() : -1);
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
                       const std::function<void()>& beforeRequest) {
  CodecMessage hello;
  hello.header.op = uint32_t(CodecOp::kHello);
  hello.header.ok = bound ? 1 : 0;
  if (!bound) hello.path = failure.substr(0, 1024);
  if (SendCodecMessage(sock, hello) != CodecIo::kOk) return 1;
  SharedArena arena;
  for (;;) {
    CodecMessage request;
    UniqueFd fd;
    CodecIo io = ReceiveCodecMessage(sock, request, fd, -1);
    if (io == CodecIo::kClosed) return 0;
    if (io != CodecIo::kOk) return 1;
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
      default:
        io = Reply(sock, false);
        break;
    }
    if (io == CodecIo::kClosed) return 0;
    if (io != CodecIo::kOk) return 1;
  }
}

}  // namespace quorvane
