#pragma once
// The confinement of the codec and metadata helpers. A helper decodes files that anyone
// may have made; a decoder bug that runs code must reach nothing. After it has loaded
// every library and plug-in, and before it reads a request, a helper sets on itself:
//   1. no new privileges;
//   2. a Landlock ruleset granting no file access at all (and, where the kernel's ABI
//      has them, no TCP bind or connect, no signals or abstract sockets outside itself);
//   3. a seccomp allow-list of what decoding needs (reads and writes on the descriptors
//      it holds, memory, threads, clocks, the socket to the program); opening a file by
//      name fails with EACCES, anything else kills the process.
// A kernel without Landlock or seccomp keeps what it has; the program then says that
// decoding is not sandboxed (DecodingSandboxNote).

#include <cstdint>
#include <string>

namespace quorvane {

class CodecClient;

inline constexpr uint32_t kSandboxNoNewPrivs = 1;
inline constexpr uint32_t kSandboxLandlock = 2;
inline constexpr uint32_t kSandboxSeccomp = 4;
inline constexpr uint32_t kSandboxFull = kSandboxNoNewPrivs | kSandboxLandlock | kSandboxSeccomp;

struct SandboxOptions {
  int socketFd = -1;        // the one socket the helper may send and receive on
  bool useLandlock = true;  // false: behave as on a kernel without Landlock (tests)
};

// Confines the calling process (see above); answers the kSandbox* layers in force. With
// QUORVANE_SANDBOX_TRACE set, a refused system call prints its number before the helper
// ends (for finding what a new library version needs).
uint32_t ConfineHelper(const SandboxOptions& options);

// The Landlock ABI version of the running kernel; 0 when it has none.
int LandlockAbi();

// "" when the codec helper runs fully confined; else a line saying that decoding is not
// sandboxed on this system (About box, quorvane-convert --version).
// `client`: the one to ask (default: the process-wide DefaultCodecClient()).
std::string DecodingSandboxNote(CodecClient* client = nullptr);

}  // namespace quorvane
