// The callers' side of the codec binding: every call goes to the process-wide codec
// helper (DefaultCodecClient), which runs the in-process implementation (OpenIL.cpp).
#include <mutex>
#include <string>
#include <vector>

#include "platform/FileIO.h"
#include "imaging/CodecClient.h"
#include "imaging/OpenIL.h"

namespace quorvane {

namespace {

struct RemoteState {
  std::mutex mutex;
  bool bound = false;
  std::string failure;
};

RemoteState& Remote() {
  static RemoteState state;
  return state;
}

}  // namespace

bool BindCodecLibrary() {
  CodecClient& client = DefaultCodecClient();
  const bool ok = client.Start();
  std::lock_guard lock(Remote().mutex);
  Remote().bound = ok;
  Remote().failure = ok ? std::string() : client.LastStartError();
  return ok;
}

void UnbindCodecLibrary() {
  DefaultCodecClient().Stop();
  std::lock_guard lock(Remote().mutex);
  Remote().bound = false;
}

bool CodecIsBound() {
  std::lock_guard lock(Remote().mutex);
  return Remote().bound;
}

std::string CodecBindFailure() {
  std::lock_guard lock(Remote().mutex);
  return Remote().failure;
}

void SetCodecLibraryNames(const std::string& core, const std::string& toolkit) {
  std::vector<std::string> args;
  if (!core.empty()) args.push_back("--codec-core=" + core);
  if (!toolkit.empty()) args.push_back("--codec-toolkit=" + toolkit);
  DefaultCodecClient().SetHelperArgs(std::move(args));
  // The names take effect when the helper binds, i.e. at its next start.
  DefaultCodecClient().Stop();
}

bool CodecInit() { return DefaultCodecClient().Init(); }

bool CodecLoad(const std::string& path, Bitmap& out) {
  return CodecLoad(path, out, CodecLoadRequest());
}

bool CodecLoad(const std::string& path, Bitmap& out, const CodecLoadRequest& request,
               CodecLoadResult* result) {
  // A pipe or device named like a picture never reaches the helper.
  if (!IsReadableRegularFile(path)) return false;
  return ThreadCodecClient().Load(path, out, request, result);
}

bool CodecSave(const std::string& path, const Bitmap& bmp, const CodecSaveRequest& req) {
  if (bmp.Empty()) return false;
  return DefaultCodecClient().Save(path, bmp, req);
}

}  // namespace quorvane
