#pragma once
// The conversation between the program and its codec helper process (quorvane-codec).
//
// The two ends share a SOCK_SEQPACKET socket pair: every message is one packet, so a
// packet is never split or merged, and a closed end reads as end of file. A message is
// a fixed header followed by a file name. Pixels never travel through the socket: both
// ends map one shared memfd (the arena) and the side that produces a picture writes it
// there. When a picture does not fit, its producer makes a larger arena and sends the
// new descriptor along with the message (SCM_RIGHTS); the receiver maps it in place of
// the old one. So a run of similar pictures reuses the same, already mapped pages.
//
// The helper opens no file by name: along with a request the program sends the open
// files it names (SCM_RIGHTS, after the arena's descriptor if one goes too). A load
// hands the file it reads, read-only, under the request's first name (the text up to the
// first zero byte); a save hands the file it writes, opened read-write, under the first
// name, and a file it reads under the second name when there is one.
//
// Order of events: the helper starts, binds the codec library, confines itself
// (Sandbox.h) and sends one kHello whose `ok` says whether the library is usable (when
// not, its text says why) and whose `sandbox` says which confinement took hold. Then
// each request gets one reply.

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/FileIO.h"
#include "imaging/Bitmap.h"
#include "imaging/OpenIL.h"

namespace quorvane {

enum class CodecOp : uint32_t {
  kHello = 1,  // helper -> program, once at start
  kInit = 2,   // initialise the library again
  kLoad = 3,   // load a file; reply carries the pixels
  kSave = 4,   // save the pixels sent with the request
  kReply = 5,  // helper -> program, answer to one request
  kConvert = 6,  // convert the pixels in the arena from the profile after them to sRGB
};

struct CodecMessageHeader {
  uint32_t magic = 0;
  uint32_t op = 0;
  uint32_t ok = 0;  // replies and kHello: the call succeeded
  int32_t width = 0;
  int32_t height = 0;
  uint32_t pathBytes = 0;
  uint64_t pixelBytes = 0;  // bytes of the picture in the arena; 0 when none
  CodecSaveRequest save;    // kSave: passed unchanged to the library's save
  CodecLoadRequest load;    // kLoad: passed unchanged to the helper's load
  CodecLoadResult loaded;   // kLoad replies: what the load tells besides the pixels
  uint32_t attached = 0;    // kAttach* bits: the descriptors that came with the message
  uint32_t sandbox = 0;     // kHello: the kSandbox* layers in force (Sandbox.h)
  uint64_t extraBytes = 0;  // kConvert: bytes of the colour profile after the pixels
};

inline constexpr uint32_t kAttachArena = 1;  // a new shared arena
inline constexpr uint32_t kAttachFiles = 2;  // the files the request names (count below)
inline constexpr uint32_t kAttachTwoFiles = 4;

inline constexpr uint32_t kCodecMagic = 0x51434F44;  // "QCOD"
// Upper bound of one packet: header and a file name (or text) of up to 16 KiB.
inline constexpr size_t kCodecMaxMessage = sizeof(CodecMessageHeader) + 16384;

struct CodecMessage {
  CodecMessageHeader header;
  std::string path;  // requests: the file; kHello: why binding failed
};

// One end's mapping of the shared pixel memory (a memfd).
class SharedArena {
 public:
  SharedArena() = default;
  SharedArena(const SharedArena&) = delete;
  SharedArena& operator=(const SharedArena&) = delete;
  ~SharedArena() { Reset(); }

  // Makes room for `bytes`: keeps the current arena when it is large enough (and not
  // far too large), else maps a new memfd. True when a new one was made: its Fd() must
  // go to the other end with the message. Throws on failure.
  bool Reserve(size_t bytes);
  // Maps a descriptor received from the other end in place of the current arena.
  // Only memory sealed against shrinking is taken, so the other end can never take
  // mapped pages away (a read of them would raise SIGBUS here). Throws on failure (the
  // arena is then empty).
  void Adopt(UniqueFd fd);
  void Reset();
  // Gives the memory back when it is larger than a run of ordinary pictures needs: the
  // program once it has taken a picture, the helper after a short idle. Each end sends
  // its arena with every message that carries pixels, so neither relies on the other
  // still holding one.
  void GiveBackIfLarge();

  // Writes the bitmap's rows at the start of the arena (Reserve first).
  void Store(const Bitmap& bitmap);
  // Fills `out` (width x height) from the arena; false when the size does not match
  // `bytes`, exceeds the arena or the bitmap refuses it. `out` is replaced only on
  // success.
  bool CopyTo(int width, int height, uint64_t bytes, Bitmap& out) const;

  int Fd() const { return fd_.Get(); }
  uint8_t* Data() { return static_cast<uint8_t*>(data_); }
  size_t Capacity() const { return size_; }

 private:
  void Map(UniqueFd fd, size_t size);
  UniqueFd fd_;
  void* data_ = nullptr;
  size_t size_ = 0;
};

enum class CodecIo { kOk, kClosed, kTimeout, kError };

// Sends one message with an optional arena descriptor (-1: none) and up to two files
// (-1: none). Never raises SIGPIPE.
CodecIo SendCodecMessage(int sock, const CodecMessage& message, int fd = -1, int file = -1,
                         int secondFile = -1);
// Waits up to timeoutMs (negative: forever) for one message. A received arena
// descriptor lands in `fd`, files in `files` (when given; else they are closed), all
// close-on-exec; a malformed packet is kError.
CodecIo ReceiveCodecMessage(int sock, CodecMessage& message, UniqueFd& fd, int timeoutMs,
                            std::vector<UniqueFd>* files = nullptr);

// The codec operations as the helper runs them (the in-process implementation).
class CodecService {
 public:
  virtual ~CodecService() = default;
  virtual bool Init() = 0;
  // Loads a file into the memory that `target` provides (see CodecLoadInto).
  virtual bool Load(const std::string& path, const CodecPixelTarget& target) = 0;
  // The same with a request (display colour, thumbnail box); by default a plain Load
  // whose full size is the picture's.
  virtual bool LoadPicture(const std::string& path, const CodecLoadRequest& request,
                           const CodecPixelTarget& target, CodecLoadResult& result) {
    (void)request, (void)result;
    return Load(path, target);
  }
  virtual bool Save(const std::string& path, const Bitmap& bitmap,
                    const CodecSaveRequest& request) = 0;
};

// The helper's loop: sends kHello (with `bound`, when not bound `failure`, and the
// sandbox layers), then answers requests until the program closes its end;
// `beforeRequest` (may be empty) runs before each one. The files that come with a
// request are handed (HandedFiles.h) under its names while it runs. Answers 0 on an
// orderly end, 1 on a broken conversation.
int ServeCodecRequests(int sock, bool bound, const std::string& failure, CodecService& service,
                       const std::function<void()>& beforeRequest = {}, uint32_t sandbox = 0);

// The names a request's text holds, separated by zero bytes.
std::vector<std::string> RequestNames(const std::string& text);

}  // namespace quorvane
