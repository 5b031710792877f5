// quorvane-codec-escape-test: a test build of the codec helper. It starts and confines
// itself exactly as quorvane-codec does (RunCodecHelper), then, for each load, reads the
// name of one escape attempt from the file handed to it and makes that attempt. The
// answer is a 1 x 1 picture whose first byte says how it went: kRefused when the kernel
// said EPERM or EACCES, kGotThrough when the attempt worked; an attempt the sandbox
// answers by killing the helper gets no answer at all.
#include <arpa/inet.h>
#include <fcntl.h>
#include <libheif/heif.h>
#include <netinet/in.h>
#include <sys/ptrace.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "imaging/CodecHelper.h"
#include "platform/FileIO.h"

extern char** environ;

namespace {

using namespace quorvane;

constexpr uint8_t kRefused = 1;
constexpr uint8_t kGotThrough = 2;
constexpr uint8_t kOtherError = 3;

uint8_t Outcome(int result) {
  if (result >= 0) return kGotThrough;
  return errno == EPERM || errno == EACCES ? kRefused : kOtherError;
}

class EscapeAttempts : public CodecService {
 public:
  bool Init() override { return true; }
  bool Load(const std::string& path, const CodecPixelTarget& target) override {
    std::vector<uint8_t> bytes;
    std::string error;
    if (!ReadWholeFile(path, bytes, error)) return false;
    std::string attempt(bytes.begin(), bytes.end());
    while (!attempt.empty() && (attempt.back() == '\n' || attempt.back() == ' ')) attempt.pop_back();
    uint8_t* pixel = target(1, 1);
    if (!pixel) return false;
    pixel[0] = Try(attempt, target);
    pixel[1] = uint8_t(errno);
    return true;
  }
  bool Save(const std::string&, const Bitmap&, const CodecSaveRequest&) override { return false; }

 private:
  static uint8_t Try(const std::string& attempt, const CodecPixelTarget& target) {
    if (attempt == "nothing") return 0;
    if (attempt == "open-ssh-key") {
      const char* home = std::getenv("HOME");
      const std::string key = std::string(home ? home : "") + "/.ssh/id_rsa";
      return Outcome(::open(key.c_str(), O_RDONLY));
    }
    if (attempt == "open-passwd") return Outcome(::open("/etc/passwd", O_RDONLY));
    if (attempt.rfind("create:", 0) == 0)
      return Outcome(::open(attempt.substr(7).c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600));
    if (attempt.rfind("connect:", 0) == 0) {
      const int sock = ::socket(AF_INET, SOCK_STREAM, 0);
      if (sock < 0) return Outcome(sock);
      sockaddr_in to{};
      to.sin_family = AF_INET;
      to.sin_port = htons(uint16_t(std::atoi(attempt.c_str() + 8)));
      to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
      return Outcome(::connect(sock, reinterpret_cast<sockaddr*>(&to), sizeof to));
    }
    if (attempt == "exec-shell") {
      char sh[] = "/bin/sh";
      char* argv[] = {sh, nullptr};
      return Outcome(::execve(sh, argv, environ));
    }
    if (attempt == "ptrace") return Outcome(int(::ptrace(PTRACE_TRACEME, 0, nullptr, nullptr)));
    if (attempt == "shrink-pixels") {
      // The shared memory is a memfd: the only descriptors that answer F_GET_SEALS.
      target(256, 256);
      for (int fd = 0; fd < 1024; ++fd)
        if (::fcntl(fd, F_GET_SEALS) >= 0) return Outcome(::ftruncate(fd, 0));
      return kOtherError;
    }
    return kOtherError;
  }
};

}  // namespace

int main(int argc, char** argv) {
  EscapeAttempts service;
  auto bind = [](std::string&) {
    heif_init(nullptr);
    return true;
  };
  return RunCodecHelper(argc, argv, bind, service, true);
}
