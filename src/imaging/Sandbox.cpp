#include "imaging/Sandbox.h"

#include <fcntl.h>
#include <linux/landlock.h>
#include <sched.h>
#include <seccomp.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "imaging/CodecClient.h"

namespace quorvane {

namespace {

// Landlock's access rights by the ABI version that introduced them (the system headers
// may be older than the kernel).
constexpr uint64_t kFsRightsAbi1 = (uint64_t(1) << 13) - 1;  // execute .. make_sym
constexpr uint64_t kFsRefer = uint64_t(1) << 13;              // ABI 2
constexpr uint64_t kFsTruncate = uint64_t(1) << 14;           // ABI 3
constexpr uint64_t kFsIoctlDev = uint64_t(1) << 15;           // ABI 5
constexpr uint64_t kNetBindConnectTcp = 3;                    // ABI 4
constexpr uint64_t kScopeSocketsAndSignals = 3;               // ABI 6

struct RulesetAttr {
  uint64_t handledAccessFs = 0;
  uint64_t handledAccessNet = 0;
  uint64_t scoped = 0;
};

// A ruleset that handles every right the kernel knows and grants none.
bool RestrictWithLandlock() {
  const int abi = LandlockAbi();
  if (abi < 1) return false;
  RulesetAttr attr;
  attr.handledAccessFs = kFsRightsAbi1;
  if (abi >= 2) attr.handledAccessFs |= kFsRefer;
  if (abi >= 3) attr.handledAccessFs |= kFsTruncate;
  if (abi >= 5) attr.handledAccessFs |= kFsIoctlDev;
  size_t size = sizeof attr.handledAccessFs;
  if (abi >= 4) {
    attr.handledAccessNet = kNetBindConnectTcp;
    size = offsetof(RulesetAttr, scoped);
  }
  if (abi >= 6) {
    attr.scoped = kScopeSocketsAndSignals;
    size = sizeof attr;
  }
  const int ruleset = int(::syscall(SYS_landlock_create_ruleset, &attr, size, 0));
  if (ruleset < 0) return false;
  const bool done = ::syscall(SYS_landlock_restrict_self, ruleset, 0) == 0;
  ::close(ruleset);
  return done;
}

void ReportRefusedCall(int, siginfo_t* info, void*) {
  char text[96];
  const int n = std::snprintf(text, sizeof text, "quorvane helper: system call %d refused\n",
                              info->si_syscall);
  if (n > 0) (void)!::write(2, text, size_t(n));
  ::_exit(128 + SIGSYS);
}

struct SeccompContext {
  scmp_filter_ctx ctx;
  ~SeccompContext() { seccomp_release(ctx); }
};

bool RestrictWithSeccomp(int socketFd) {
  const bool trace = std::getenv("QUORVANE_SANDBOX_TRACE") != nullptr;
  SeccompContext filter{seccomp_init(trace ? SCMP_ACT_TRAP : SCMP_ACT_KILL_PROCESS)};
  scmp_filter_ctx ctx = filter.ctx;
  if (!ctx) return false;
  if (trace) {
    struct sigaction sa {};
    sa.sa_sigaction = ReportRefusedCall;
    sa.sa_flags = SA_SIGINFO;
    ::sigaction(SIGSYS, &sa, nullptr);
  }
  seccomp_attr_set(ctx, SCMP_FLTATR_CTL_TSYNC, 1);
  bool ok = true;
  auto allow = [&](int call) { ok = seccomp_rule_add(ctx, SCMP_ACT_ALLOW, call, 0) == 0 && ok; };
  auto refuse = [&](int call, int error) {
    ok = seccomp_rule_add(ctx, SCMP_ACT_ERRNO(uint32_t(error)), call, 0) == 0 && ok;
  };
  // Reading and writing what it holds: the handed files, the shared memory, stdio.
  for (int call : {SCMP_SYS(read), SCMP_SYS(readv), SCMP_SYS(pread64), SCMP_SYS(preadv),
                   SCMP_SYS(write), SCMP_SYS(writev), SCMP_SYS(pwrite64), SCMP_SYS(pwritev),
                   SCMP_SYS(lseek), SCMP_SYS(close), SCMP_SYS(fstat), SCMP_SYS(dup),
                   SCMP_SYS(fcntl), SCMP_SYS(ftruncate), SCMP_SYS(memfd_create)})
    allow(call);
  // Memory: never executable.
  for (int call : {SCMP_SYS(mmap), SCMP_SYS(mprotect)})
    ok = seccomp_rule_add(ctx, SCMP_ACT_ALLOW, call, 1,
                          SCMP_A2(SCMP_CMP_MASKED_EQ, PROT_EXEC, 0)) == 0 && ok;
  for (int call : {SCMP_SYS(munmap), SCMP_SYS(mremap), SCMP_SYS(madvise), SCMP_SYS(brk)})
    allow(call);
  // Threads of the decoders (never a new process), their locks and clocks.
  ok = seccomp_rule_add(ctx, SCMP_ACT_ALLOW, SCMP_SYS(clone), 1,
                        SCMP_A0(SCMP_CMP_MASKED_EQ, CLONE_THREAD, CLONE_THREAD)) == 0 && ok;
  refuse(SCMP_SYS(clone3), ENOSYS);  // its flags cannot be checked: the C library then uses clone
  for (int call : {SCMP_SYS(futex), SCMP_SYS(set_robust_list), SCMP_SYS(rseq),
                   SCMP_SYS(sched_yield), SCMP_SYS(sched_getaffinity), SCMP_SYS(gettid),
                   SCMP_SYS(getpid), SCMP_SYS(clock_gettime), SCMP_SYS(clock_getres),
                   SCMP_SYS(clock_nanosleep), SCMP_SYS(nanosleep), SCMP_SYS(gettimeofday),
                   SCMP_SYS(getrandom), SCMP_SYS(getrusage), SCMP_SYS(sysinfo),
                   SCMP_SYS(exit), SCMP_SYS(exit_group), SCMP_SYS(rt_sigreturn),
                   SCMP_SYS(rt_sigprocmask), SCMP_SYS(rt_sigaction), SCMP_SYS(sigaltstack),
                   SCMP_SYS(restart_syscall), SCMP_SYS(poll), SCMP_SYS(ppoll)})
    allow(call);
  // Its own limits (the CPU time of each call) and signals to itself (abort).
  ok = seccomp_rule_add(ctx, SCMP_ACT_ALLOW, SCMP_SYS(prlimit64), 1, SCMP_A0(SCMP_CMP_EQ, 0)) == 0 && ok;
  ok = seccomp_rule_add(ctx, SCMP_ACT_ALLOW, SCMP_SYS(tgkill), 1,
                        SCMP_A0(SCMP_CMP_EQ, uint64_t(::getpid()))) == 0 && ok;
  // Decoders name their threads (the AV1 decoder does).
  for (int option : {PR_SET_NAME, PR_GET_NAME})
    ok = seccomp_rule_add(ctx, SCMP_ACT_ALLOW, SCMP_SYS(prctl), 1,
                          SCMP_A0(SCMP_CMP_EQ, uint64_t(option))) == 0 && ok;
  // The conversation with the program, on its socket only.
  for (int call : {SCMP_SYS(sendmsg), SCMP_SYS(recvmsg), SCMP_SYS(sendto), SCMP_SYS(recvfrom)})
    ok = seccomp_rule_add(ctx, SCMP_ACT_ALLOW, call, 1,
                          SCMP_A0(SCMP_CMP_EQ, uint64_t(socketFd))) == 0 && ok;
  // The status of a descriptor it holds; of a name, nothing.
  for (int call : {SCMP_SYS(newfstatat), SCMP_SYS(statx)}) {
    ok = seccomp_rule_add(ctx, SCMP_ACT_ALLOW, call, 1,
                          SCMP_A3(SCMP_CMP_MASKED_EQ, AT_EMPTY_PATH, AT_EMPTY_PATH)) == 0 && ok;
    ok = seccomp_rule_add(ctx, SCMP_ACT_ERRNO(EACCES), call, 1,
                          SCMP_A3(SCMP_CMP_MASKED_EQ, AT_EMPTY_PATH, 0)) == 0 && ok;
  }
  // A library that looks for a file by name is told it may not (and carries on).
  for (int call : {SCMP_SYS(open), SCMP_SYS(openat), SCMP_SYS(openat2), SCMP_SYS(creat),
                   SCMP_SYS(stat), SCMP_SYS(lstat), SCMP_SYS(access), SCMP_SYS(faccessat),
                   SCMP_SYS(faccessat2), SCMP_SYS(readlink), SCMP_SYS(readlinkat),
                   SCMP_SYS(getcwd)})
    refuse(call, EACCES);
  refuse(SCMP_SYS(ioctl), ENOTTY);
  // The filter runs on every call: a binary tree over the calls, the busiest of the
  // decoders' threads looked at first.
  seccomp_attr_set(ctx, SCMP_FLTATR_CTL_OPTIMIZE, 2);
  for (int call : {SCMP_SYS(futex), SCMP_SYS(read), SCMP_SYS(pread64), SCMP_SYS(mmap),
                   SCMP_SYS(munmap), SCMP_SYS(madvise), SCMP_SYS(sched_yield)})
    seccomp_syscall_priority(ctx, call, 255);
  if (!ok) return false;
  return seccomp_load(ctx) == 0;
}

}  // namespace

int LandlockAbi() {
  const long abi =
      ::syscall(SYS_landlock_create_ruleset, nullptr, 0, LANDLOCK_CREATE_RULESET_VERSION);
  return abi > 0 ? int(abi) : 0;
}

uint32_t ConfineHelper(const SandboxOptions& options) {
  uint32_t layers = 0;
  if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0) return layers;
  layers |= kSandboxNoNewPrivs;
  if (options.useLandlock && RestrictWithLandlock()) layers |= kSandboxLandlock;
  if (RestrictWithSeccomp(options.socketFd)) layers |= kSandboxSeccomp;
  return layers;
}

std::string DecodingSandboxNote(CodecClient* asked) {
  CodecClient& client = asked ? *asked : DefaultCodecClient();
  if (!client.Start()) return "그림 해독이 샌드박스에서 실행되지 않습니다 (코덱 도우미를 시작할 수 없음).";
  const uint32_t layers = client.SandboxLayers();
  if ((layers & kSandboxFull) == kSandboxFull) return {};
  std::string missing;
  if (!(layers & kSandboxLandlock)) missing = "Landlock";
  if (!(layers & kSandboxSeccomp)) missing += missing.empty() ? "seccomp" : ", seccomp";
  if (missing.empty()) missing = "no_new_privs";
  return "이 시스템에서는 그림 해독이 샌드박스에서 실행되지 않습니다 (" + missing + " 없음).";
}

}  // namespace quorvane
