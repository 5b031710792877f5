#include "imaging/CodecClient.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

extern char** environ;

namespace quorvane {

namespace {

// The helper's end of the socket is always this descriptor in the helper.
constexpr int kHelperSocketFd = 3;

int EnvInt(const char* name, int fallback) {
  const char* text = std::getenv(name);
  if (!text || !*text) return fallback;
  char* end = nullptr;
  long value = std::strtol(text, &end, 10);
  if (*end != '\0' || value <= 0 || value > 24L * 3600 * 1000) return fallback;
  return int(value);
}

bool IsExecutable(const std::string& path) {
  return !path.empty() && ::access(path.c_str(), X_OK) == 0;
}

std::string DirOfRunningExecutable() {
  char buf[4096];
  ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return {};
  std::string path(buf, size_t(n));
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

// Every request ends with giving back an arena larger than ordinary pictures need
// (SharedArena::GiveBackIfLarge).
struct GiveBackArena {
  SharedArena& arena;
  ~GiveBackArena() { arena.GiveBackIfLarge(); }
};

// The file a save writes, opened for the helper: made when it is missing (`created`
// tells), else opened as it is; only a regular file.
UniqueFd OpenForWriting(const std::string& path, bool& created) {
  created = false;
  UniqueFd fd(::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
  if (fd.Ok()) {
    created = true;
    return fd;
  }
  if (errno != EEXIST) return fd;
  fd.Reset(::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NONBLOCK));
  struct stat st {};
  if (fd.Ok() && (::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode))) fd.Reset();
  return fd;
}

}  // namespace

CodecClientOptions CodecClientOptions::FromEnvironment() {
  CodecClientOptions options;
  options.loadTimeoutMs = EnvInt("QUORVANE_CODEC_LOAD_TIMEOUT_MS", options.loadTimeoutMs);
  options.saveTimeoutMs = EnvInt("QUORVANE_CODEC_SAVE_TIMEOUT_MS", options.saveTimeoutMs);
  return options;
}

std::string FindHelperProgram(const std::string& name, const char* environmentVariable) {
  if (const char* env = std::getenv(environmentVariable); env && *env)
    return IsExecutable(env) ? std::string(env) : std::string();
  // Beside the program (the build folder, a copied program), else in the program's
  // installed helper folder, found from where the program itself is.
  const std::string programDir = DirOfRunningExecutable();
  if (programDir.empty()) return {};
  std::string beside = programDir + "/" + name;
  if (IsExecutable(beside)) return beside;
#ifdef QUORVANE_HELPER_DIR_FROM_PROGRAM
  std::string installed = programDir + "/" QUORVANE_HELPER_DIR_FROM_PROGRAM "/" + name;
  if (IsExecutable(installed)) return installed;
#endif
  return {};
}

std::string FindCodecHelper() {
  return FindHelperProgram("quorvane-codec", "QUORVANE_CODEC_HELPER");
}

CodecClient& DefaultCodecClient() {
  static CodecClient client;
  return client;
}

namespace {
thread_local ThreadHelpers t_helpers;
}

void SetThreadHelpers(const ThreadHelpers& helpers) { t_helpers = helpers; }

const ThreadHelpers& CurrentThreadHelpers() { return t_helpers; }

CodecClient& ThreadCodecClient() {
  return t_helpers.codec ? *t_helpers.codec : DefaultCodecClient();
}

CodecClient::CodecClient(CodecClientOptions options) : options_(std::move(options)) {}

CodecClient::~CodecClient() {
  std::lock_guard lock(mutex_);
  StopLocked(false);
}

pid_t CodecClient::HelperPid() const {
  std::lock_guard lock(mutex_);
  return pid_;
}

CodecFailure CodecClient::LastFailure() const {
  std::lock_guard lock(mutex_);
  return failure_;
}

std::string CodecClient::LastStartError() const {
  std::lock_guard lock(mutex_);
  return startError_;
}

void CodecClient::SetHelperArgs(std::vector<std::string> args) {
  std::lock_guard lock(mutex_);
  options_.helperArgs = std::move(args);
}

uint32_t CodecClient::SandboxLayers() const {
  std::lock_guard lock(mutex_);
  return sandbox_;
}

int CodecClient::StartCount() const {
  std::lock_guard lock(mutex_);
  return starts_;
}

void CodecClient::SetLoadTimeoutMs(int ms) {
  std::lock_guard lock(mutex_);
  options_.loadTimeoutMs = ms;
}

CodecClientOptions CodecClient::Options() const {
  std::lock_guard lock(mutex_);
  return options_;
}

void CodecClient::Abandon() {
  std::lock_guard lock(callMutex_);
  if (callPid_ > 0) ::kill(callPid_, SIGKILL);
}

bool CodecClient::Start() {
  std::lock_guard lock(mutex_);
  return StartLocked();
}

void CodecClient::Stop() {
  std::lock_guard lock(mutex_);
  StopLocked(false);
}

bool CodecClient::HelperAliveLocked() {
  if (pid_ <= 0) return false;
  if (ownerPid_ == ::getpid()) {
    int status = 0;
    pid_t r;
    do {
      r = ::waitpid(pid_, &status, WNOHANG);
    } while (r < 0 && errno == EINTR);
    if (r == 0) return true;
  }
  // Gone, or started by the process we were forked from: forget it.
  pid_ = 0;
  sock_.Reset();
  return false;
}

void CodecClient::StopLocked(bool kill) {
  {
    std::lock_guard lock(callMutex_);
    callPid_ = 0;  // from here on the helper may be reaped: Abandon leaves it alone
  }
  sock_.Reset();  // an orderly helper exits when its socket reads end of file
  if (pid_ <= 0) return;
  if (ownerPid_ != ::getpid()) {
    pid_ = 0;  // the parent's helper, inherited across fork(): not ours to end
    return;
  }
  if (!kill) {
    for (int i = 0; i < 200; ++i) {
      int status = 0;
      pid_t r = ::waitpid(pid_, &status, WNOHANG);
      if (r != 0) {
        pid_ = 0;
        return;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  }
  ::kill(pid_, SIGKILL);
  int status = 0;
  while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
  }
  pid_ = 0;
}

bool CodecClient::StartLocked() {
  if (HelperAliveLocked()) return true;
  failure_ = CodecFailure::kNone;
  startError_.clear();
  const std::string helper = options_.helperPath.empty() ? FindCodecHelper() : options_.helperPath;
  if (!IsExecutable(helper)) {
    startError_ = "the codec helper program quorvane-codec was not found";
    if (!helper.empty()) startError_ += ": " + helper;
    std::fprintf(stderr, "quorvane: %s\n", startError_.c_str());
    failure_ = CodecFailure::kNoHelper;
    return false;
  }

  int sv[2];
  if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, sv) != 0) {
    startError_ = std::string("socketpair: ") + std::strerror(errno);
    failure_ = CodecFailure::kNoHelper;
    return false;
  }
  UniqueFd mine(sv[0]);
  UniqueFd theirs(sv[1]);
  if (theirs.Get() == kHelperSocketFd) {
    // dup2 onto itself would keep close-on-exec set: move it out of the way first.
    theirs.Reset(::fcntl(sv[1], F_DUPFD_CLOEXEC, kHelperSocketFd + 1));
    ::close(sv[1]);
    if (!theirs.Ok()) {
      failure_ = CodecFailure::kNoHelper;
      return false;
    }
  }

  std::vector<std::string> args = {
      helper,
      "--socket-fd=" + std::to_string(kHelperSocketFd),
      "--max-address-space=" + std::to_string(options_.addressSpaceLimit),
      "--max-cpu-seconds=" + std::to_string(options_.cpuLimitSeconds),
  };
  args.insert(args.end(), options_.helperArgs.begin(), options_.helperArgs.end());
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);

  // The helper gets /dev/null as stdin, stdout and stderr (a crashing library's
  // allocator complaints are no message for the user; QUORVANE_CODEC_DEBUG keeps our
  // stderr), the socket as fd 3 and nothing else (every other descriptor of ours is
  // close-on-exec or closed by the helper at start); default signal dispositions and
  // an empty signal mask.
  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attr;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  if (!std::getenv("QUORVANE_CODEC_DEBUG"))
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, theirs.Get(), kHelperSocketFd);
  posix_spawnattr_init(&attr);
  sigset_t none, all;
  sigemptyset(&none);
  sigfillset(&all);
  posix_spawnattr_setsigmask(&attr, &none);
  posix_spawnattr_setsigdefault(&attr, &all);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  pid_t pid = 0;
  int err = ::posix_spawn(&pid, helper.c_str(), &actions, &attr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  theirs.Reset();
  if (err != 0) {
    startError_ = "cannot start the codec helper " + helper + ": " + std::strerror(err);
    std::fprintf(stderr, "quorvane: %s\n", startError_.c_str());
    failure_ = CodecFailure::kNoHelper;
    return false;
  }
  pid_ = pid;
  ownerPid_ = ::getpid();
  sock_ = std::move(mine);
  arena_.Reset();  // a new helper shares nothing yet
  ++starts_;

  CodecMessage hello;
  UniqueFd none_fd;
  CodecIo io = ReceiveCodecMessage(sock_.Get(), hello, none_fd, options_.startTimeoutMs);
  if (io != CodecIo::kOk || hello.header.op != uint32_t(CodecOp::kHello)) {
    StopLocked(true);
    startError_ = "the codec helper " + helper + " did not answer";
    failure_ = CodecFailure::kNoHelper;
    return false;
  }
  sandbox_ = hello.header.sandbox;
  if (!hello.header.ok) {
    StopLocked(false);
    startError_ = hello.path.empty() ? "the codec library could not be bound" : hello.path;
    failure_ = CodecFailure::kNotBound;
    return false;
  }
  return true;
}

bool CodecClient::CallLocked(const CodecMessage& request, const std::function<int()>& attach,
                             int timeoutMs, CodecMessage& reply, UniqueFd& replyFd, int file,
                             int secondFile) {
  // A helper that died while idle (killed from outside) is simply replaced; so is one
  // inherited across fork(), which belongs to the parent process.
  auto send = [&]() {
    if (!StartLocked()) return CodecIo::kError;
    {
      std::lock_guard lock(callMutex_);
      callPid_ = pid_;
    }
    int fd = -1;
    try {
      fd = attach ? attach() : -1;
    } catch (const std::exception&) {
      arena_.Reset();
      return CodecIo::kError;
    }
    return SendCodecMessage(sock_.Get(), request, fd, file, secondFile);
  };
  CodecIo io = send();
  if (io == CodecIo::kClosed) {
    // It died before it saw the request: nothing was attempted, so try a fresh one.
    StopLocked(true);
    io = send();
  }
  if (io == CodecIo::kError && pid_ == 0) return false;  // could not start: failure_ says why
  if (io != CodecIo::kOk) {
    StopLocked(true);
    failure_ = io == CodecIo::kClosed ? CodecFailure::kCrashed : CodecFailure::kProtocol;
    return false;
  }
  io = ReceiveCodecMessage(sock_.Get(), reply, replyFd, timeoutMs);
  {
    std::lock_guard lock(callMutex_);
    callPid_ = 0;
  }
  if (io == CodecIo::kOk && reply.header.op == uint32_t(CodecOp::kReply)) return true;
  StopLocked(true);
  failure_ = io == CodecIo::kTimeout  ? CodecFailure::kTimedOut
             : io == CodecIo::kClosed ? CodecFailure::kCrashed
                                      : CodecFailure::kProtocol;
  return false;
}

bool CodecClient::Init() {
  std::lock_guard lock(mutex_);
  CodecMessage request, reply;
  request.header.op = uint32_t(CodecOp::kInit);
  UniqueFd replyFd;
  if (!CallLocked(request, nullptr, options_.loadTimeoutMs, reply, replyFd)) return false;
  failure_ = reply.header.ok ? CodecFailure::kNone : CodecFailure::kRefused;
  return reply.header.ok != 0;
}

bool CodecClient::Load(const std::string& path, Bitmap& out) {
  return Load(path, out, CodecLoadRequest(), nullptr);
}

bool CodecClient::Load(const std::string& path, Bitmap& out, const CodecLoadRequest& load,
                       CodecLoadResult* result) {
  std::lock_guard lock(mutex_);
  const GiveBackArena giveBack{arena_};
  CodecMessage request, reply;
  request.header.op = uint32_t(CodecOp::kLoad);
  request.header.load = load;
  request.path = path;
  // The helper reads the file we open. One that cannot be opened (a pipe, a folder, a
  // name that is none) goes without: the helper, which opens nothing, refuses it.
  const UniqueFd file = UniqueFd::OpenRead(RequestNames(path).front());
  // Large files get more time: a few seconds, plus one per 8 MiB.
  int64_t timeout = options_.loadTimeoutMs;
  timeout += (file.Size() >> 23) * options_.loadMsPer8MiB;
  UniqueFd replyFd;
  if (!CallLocked(request, nullptr, int(std::min<int64_t>(timeout, INT32_MAX)), reply, replyFd,
                  file.Get()))
    return false;
  const auto& h = reply.header;
  try {
    if (replyFd.Ok()) arena_.Adopt(std::move(replyFd));
    if (!h.ok) {
      failure_ = CodecFailure::kRefused;
      return false;
    }
    if (h.pixelBytes == 0 && h.width == 0 && h.height == 0) {
      out.Release();
    } else if (!arena_.CopyTo(h.width, h.height, h.pixelBytes, out)) {
      throw std::runtime_error("picture size");
    }
    if (result) *result = h.loaded;
  } catch (const std::exception&) {
    // The two ends disagree about the shared memory: start afresh next time.
    StopLocked(true);
    failure_ = CodecFailure::kProtocol;
    return false;
  }
  failure_ = CodecFailure::kNone;
  return true;
}

bool CodecClient::Save(const std::string& path, const Bitmap& bitmap,
                       const CodecSaveRequest& options) {
  std::lock_guard lock(mutex_);
  const GiveBackArena giveBack{arena_};
  CodecMessage request, reply;
  request.header.op = uint32_t(CodecOp::kSave);
  request.header.width = bitmap.Width();
  request.header.height = bitmap.Height();
  request.header.pixelBytes = bitmap.ByteSize();
  request.header.save = options;
  request.path = path;
  const int64_t pixels = int64_t(bitmap.Width()) * bitmap.Height();
  const int64_t timeout = options_.saveTimeoutMs + pixels * options_.saveMsPerMegapixel / 1000000;
  UniqueFd replyFd;
  // The pixels go into the memory shared with the helper that will save them.
  auto attach = [&]() {
    arena_.Reserve(bitmap.ByteSize());
    arena_.Store(bitmap);
    return arena_.Fd();
  };
  // The helper writes into the file we open, and reads the second one it names.
  const std::vector<std::string> names = RequestNames(path);
  bool created = false;
  const UniqueFd out = OpenForWriting(names.front(), created);
  const UniqueFd in = names.size() > 1 && out.Ok() ? UniqueFd::OpenRead(names[1]) : UniqueFd();
  const bool called = CallLocked(request, attach, int(std::min<int64_t>(timeout, INT32_MAX)),
                                 reply, replyFd, out.Get(), in.Get());
  const bool ok = called && reply.header.ok != 0;
  if (called) failure_ = ok ? CodecFailure::kNone : CodecFailure::kRefused;
  // A file made for a save that failed is not left behind.
  if (!ok && created) ::unlink(names.front().c_str());
  return ok;
}

bool CodecClient::ConvertToSrgb(Bitmap& picture, const std::vector<uint8_t>& icc) {
  if (picture.Empty() || icc.empty()) return false;
  std::lock_guard lock(mutex_);
  const GiveBackArena giveBack{arena_};
  CodecMessage request, reply;
  request.header.op = uint32_t(CodecOp::kConvert);
  request.header.width = picture.Width();
  request.header.height = picture.Height();
  request.header.pixelBytes = picture.ByteSize();
  request.header.extraBytes = icc.size();
  const int64_t pixels = int64_t(picture.Width()) * picture.Height();
  const int64_t timeout = options_.saveTimeoutMs + pixels * options_.saveMsPerMegapixel / 1000000;
  // The pixels, then the profile, go into the memory shared with the helper.
  auto attach = [&]() {
    arena_.Reserve(picture.ByteSize() + icc.size());
    arena_.Store(picture);
    std::memcpy(arena_.Data() + picture.ByteSize(), icc.data(), icc.size());
    return arena_.Fd();
  };
  UniqueFd replyFd;
  if (!CallLocked(request, attach, int(std::min<int64_t>(timeout, INT32_MAX)), reply, replyFd))
    return false;
  if (!reply.header.ok) {
    failure_ = CodecFailure::kRefused;
    return false;
  }
  failure_ = CodecFailure::kNone;
  std::memcpy(picture.Bits(), arena_.Data(), picture.ByteSize());
  return true;
}

}  // namespace quorvane
