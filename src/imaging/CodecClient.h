#pragma once
// The program's side of the codec helper process. A damaged file may crash the codec
// library or make it loop for ever; it does so inside quorvane-codec, never inside the
// program. Each CodecClient owns one helper process, started on first use and started
// afresh on the next call after it died or was killed for running too long. Calls on
// one client are serialised by a mutex, so the library's single current image belongs
// to one caller at a time.
//
// Environment: QUORVANE_CODEC_HELPER names the helper program (tests);
// QUORVANE_CODEC_LOAD_TIMEOUT_MS and QUORVANE_CODEC_SAVE_TIMEOUT_MS replace the base time
// limits; with QUORVANE_CODEC_DEBUG set the helper writes to our stderr (else to
// /dev/null, so that a crashing library's complaints do not reach the user).

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "imaging/Bitmap.h"
#include "imaging/CodecProtocol.h"

namespace quorvane {

struct CodecClientOptions {
  // The helper program; empty: FindCodecHelper().
  std::string helperPath;
  // Extra arguments for the helper (tests use them to pick a behaviour).
  std::vector<std::string> helperArgs;
  // Time allowed for the helper to start and bind the library.
  int startTimeoutMs = 5000;
  // Time allowed for one load: a base plus a share per 8 MiB of file.
  int loadTimeoutMs = 5000;
  int loadMsPer8MiB = 1000;
  // Time allowed for one save: a base plus a share per million pixels.
  int saveTimeoutMs = 5000;
  int saveMsPerMegapixel = 1000;
  // Limits of the helper process: address space in bytes, CPU seconds per call (0: none).
  uint64_t addressSpaceLimit = uint64_t(4) << 30;
  int cpuLimitSeconds = 120;

  // Defaults, with QUORVANE_CODEC_LOAD_TIMEOUT_MS and QUORVANE_CODEC_SAVE_TIMEOUT_MS
  // from the environment when set.
  static CodecClientOptions FromEnvironment();
};

// Why the last call failed (kNone after a success).
enum class CodecFailure {
  kNone,
  kNoHelper,  // the helper could not be started
  kNotBound,  // the helper started but the codec library is unusable
  kRefused,   // the library answered false
  kCrashed,   // the helper died during the call
  kTimedOut,  // the call ran too long; the helper was killed
  kProtocol,  // the helper answered nonsense; it was killed
};

class CodecClient {
 public:
  explicit CodecClient(CodecClientOptions options = CodecClientOptions::FromEnvironment());
  ~CodecClient();
  CodecClient(const CodecClient&) = delete;
  CodecClient& operator=(const CodecClient&) = delete;

  // Starts the helper unless it is running; true when it runs with the library bound.
  bool Start();
  // Ends the helper (it exits when its end of the socket closes).
  void Stop();
  // From any thread: ends a call in progress at once by killing its helper (the call
  // fails as a crash; the next call starts a fresh helper). Nothing when idle.
  void Abandon();

  // The library's own initialisation, run again in the helper.
  bool Init();
  // Loads a file as 24-bit B, G, R; the file is opened here and handed to the helper
  // (the text up to a first zero byte names it). `out` is replaced only on success.
  bool Load(const std::string& path, Bitmap& out);
  // The same with a request; `result` (may be null) gets what the helper told.
  bool Load(const std::string& path, Bitmap& out, const CodecLoadRequest& request,
            CodecLoadResult* result);
  // Saves a bitmap with the given options. The file is opened (made when missing) here
  // and written by the helper; a file made for a save that fails is removed.
  bool Save(const std::string& path, const Bitmap& bitmap, const CodecSaveRequest& request);
  // Converts the picture in place from the colour profile to sRGB in the helper, which
  // alone parses the profile. False (the picture unchanged) when it did not.
  bool ConvertToSrgb(Bitmap& picture, const std::vector<uint8_t>& icc);
  // The kSandbox* layers the running (or last) helper said were in force.
  uint32_t SandboxLayers() const;

  // The running helper's process id (0 when none).
  pid_t HelperPid() const;
  CodecFailure LastFailure() const;
  // Why the helper could not be started or bound ("" when it could).
  std::string LastStartError() const;
  // Arguments for the helper from its next start on.
  void SetHelperArgs(std::vector<std::string> args);
  // Helpers started so far by this client.
  int StartCount() const;
  void SetLoadTimeoutMs(int ms);
  CodecClientOptions Options() const;

 private:
  bool StartLocked();
  void StopLocked(bool kill);
  bool HelperAliveLocked();
  // Sends one request and waits for its reply; on a crash, time-out or protocol error
  // the helper is gone afterwards. `attach`, run once the helper runs (again after a
  // restart), answers the descriptor to send along (-1: none); it may throw.
  bool CallLocked(const CodecMessage& request, const std::function<int()>& attach, int timeoutMs,
                  CodecMessage& reply, UniqueFd& replyFd, int file = -1, int secondFile = -1);

  mutable std::mutex mutex_;
  std::mutex callMutex_;   // guards callPid_ against the reaping of its helper
  pid_t callPid_ = 0;      // the helper of the call in progress (0: none)
  CodecClientOptions options_;
  UniqueFd sock_;
  pid_t pid_ = 0;
  pid_t ownerPid_ = 0;  // the process that started the helper
  int starts_ = 0;
  CodecFailure failure_ = CodecFailure::kNone;
  std::string startError_;
  uint32_t sandbox_ = 0;
  SharedArena arena_;  // pixels shared with the running helper
};

// Where the helper program is: $QUORVANE_CODEC_HELPER when set; else quorvane-codec
// beside the running executable; else in the installed helper folder next to the
// program's own (bin/../libexec/quorvane). "" when none exists.
std::string FindCodecHelper();

// The same search for any helper program of ours, with its own environment variable.
std::string FindHelperProgram(const std::string& name, const char* environmentVariable);

// The client behind ReadImageFile and the batch's codec saves (one per process).
CodecClient& DefaultCodecClient();

// Helpers owned by one thread (a thumbnail worker): while a thread has them set, its
// codec loads (CodecLoad, ReadImageFile) and metadata reads go to them instead of the
// process-wide clients, so that threads never queue for one helper. Null: the
// process-wide one.
struct ThreadHelpers {
  CodecClient* codec = nullptr;
  CodecClient* meta = nullptr;
};
void SetThreadHelpers(const ThreadHelpers& helpers);
const ThreadHelpers& CurrentThreadHelpers();
// The codec client of the calling thread.
CodecClient& ThreadCodecClient();

}  // namespace quorvane
