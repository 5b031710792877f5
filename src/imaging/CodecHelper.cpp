#include "imaging/CodecHelper.h"

#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "imaging/PictureDecoders.h"
#include "imaging/Sandbox.h"
#include "platform/HandedFiles.h"

namespace quorvane {

namespace {

bool ArgValue(std::string_view arg, std::string_view name, uint64_t& value) {
  if (arg.substr(0, name.size()) != name) return false;
  std::string text(arg.substr(name.size()));
  char* end = nullptr;
  unsigned long long v = std::strtoull(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0') return false;
  value = v;
  return true;
}

void Limit(int resource, rlim_t soft, rlim_t hard) {
  rlimit lim{soft, hard};
  ::setrlimit(resource, &lim);
}

}  // namespace

int RunCodecHelper(int argc, char** argv, const std::function<bool(std::string&)>& bind,
                   CodecService& service, bool confine) {
  uint64_t sock = UINT64_MAX, addressSpace = 0, cpuSeconds = 0;
  bool landlock = true;
  for (int i = 1; i < argc; ++i) {
    std::string_view a = argv[i];
    if (a == "--sandbox-without-landlock") landlock = false;
    ArgValue(a, "--socket-fd=", sock) || ArgValue(a, "--max-address-space=", addressSpace) ||
        ArgValue(a, "--max-cpu-seconds=", cpuSeconds);
  }
  if (sock > 1024) {
    std::fprintf(stderr, "quorvane-codec: started by the program only\n");
    return 2;
  }
  const int fd = int(sock);

  // A write to a vanished program must fail, not kill us mid-reply. When the program
  // ends, the socket reads end of file and the loop returns. (No parent-death signal:
  // it fires when the starting *thread* ends, and a short-lived worker thread may be
  // the one that started us.)
  ::signal(SIGPIPE, SIG_IGN);

  // Nothing but stdio and the socket stays open.
  if (fd > 3) ::close_range(3, unsigned(fd) - 1, 0);
  ::close_range(unsigned(fd) + 1, ~0U, 0);

  // A decompression bomb meets these limits, not the machine's memory; a crash
  // leaves no core file behind.
  if (addressSpace) Limit(RLIMIT_AS, rlim_t(addressSpace), rlim_t(addressSpace));
  Limit(RLIMIT_CORE, 0, 0);
  // The CPU limit counts the whole life of the process, and one helper serves many
  // files: before each request it is moved to the time used so far plus the allowance
  // of one call (SIGXCPU then ends a runaway call).
  auto limitCpu = [cpuSeconds] {
    if (!cpuSeconds) return;
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const rlim_t used = rlim_t(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + 1);
    rlimit lim{};
    ::getrlimit(RLIMIT_CPU, &lim);
    lim.rlim_cur = used + rlim_t(cpuSeconds);
    if (lim.rlim_max != RLIM_INFINITY && lim.rlim_cur > lim.rlim_max) lim.rlim_cur = lim.rlim_max;
    ::setrlimit(RLIMIT_CPU, &lim);
  };

  bool bound = false;
  std::string failure;
  try {
    bound = bind(failure);
  } catch (const std::exception& e) {
    bound = false;
    failure = e.what();
  }
  // From here on everything the helper reads was handed to it by the program; colour
  // profiles are parsed here. Then it shuts itself in (Sandbox.h), every library
  // already loaded.
  ParseColourProfilesHere();
  uint32_t layers = 0;
  if (confine) {
    SetOnlyHandedFiles(true);
    SandboxOptions sandbox;
    sandbox.socketFd = fd;
    sandbox.useLandlock = landlock;
    layers = ConfineHelper(sandbox);
  }
  return ServeCodecRequests(fd, bound, failure, service, limitCpu, layers);
}

}  // namespace quorvane
