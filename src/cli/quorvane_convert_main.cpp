// quorvane-convert: the batch converter on the command line. It runs the same batch
// engine as the conversion dialog and prints the same lines.

#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/ConsoleHost.h"
#include "cli/ParallelConvert.h"
#include "processing/ConvertEngine.h"
#include "processing/ConvertOptions.h"
#include "imaging/OpenIL.h"
#include "imaging/Sandbox.h"
#include "platform/CoreCount.h"
#include "platform/MemoryReuse.h"

namespace {

quorvane::StopFlag g_stop;

// The first interrupt stops the batch after the current file; a second one ends the
// program at once.
void OnInterrupt(int signal) {
  g_stop.Terminate();
  std::signal(signal, SIG_DFL);
}

}  // namespace

int main(int argc, char** argv) {
  using namespace quorvane;
  KeepFreedMemoryForReuse(256 << 20);
  if (argc == 2 && std::string(argv[1]) == "--version") {
    std::printf("quorvane-convert %s\n", QUORVANE_VERSION);
    // Said only when the decoders run without their sandbox.
    if (const std::string note = DecodingSandboxNote(); !note.empty())
      std::printf("%s\n", note.c_str());
    return 0;
  }
  ConvertOptions options;
  try {
    options = ParseConvertOptions(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const UsageError& e) {
    std::fprintf(stderr,
                 "quorvane-convert: %s\nTry 'quorvane-convert --help' for more information.\n",
                 e.what());
    return 2;
  }
  if (options.Help) {
    std::fputs(ConvertUsageText().c_str(), stdout);
    return 0;
  }
  std::error_code ec;
  const std::string cwd = std::filesystem::current_path(ec).string();
  ResolvePaths(options, ec ? std::string("/") : cwd);
  // Unlike the dialog, the command line makes missing parent folders of the output
  // folder (as mkdir -p); the engine makes the last level and reports any failure.
  const std::filesystem::path parent =
      std::filesystem::path(options.Params.OutputFolder).parent_path();
  if (!parent.empty()) std::filesystem::create_directories(parent, ec);

  if (!BindCodecLibrary()) {
    UnbindCodecLibrary();
    std::fputs("devil.dll and ilu.dll and ilut.dll is not found!\n", stderr);
    return 1;
  }
  CodecInit();  // a failure shows as unreadable files

  std::signal(SIGINT, OnInterrupt);
  std::signal(SIGTERM, OnInterrupt);
  // Past the file size limit a write fails (and is reported) instead of ending us.
  std::signal(SIGXFSZ, SIG_IGN);

  ConsoleHost host(options.Quiet, isatty(STDERR_FILENO) == 1);
  ConvertEngine engine;
  engine.Params = options.Params;
  ConvertEngine::FileLoop loop;
  if (options.Jobs > 1 && engine.Params.FileList.size() > 1) {
    const int jobs = options.Jobs;
    // The files share the cores: an encoder of its own threads gets what is left over.
    engine.Params.EncoderThreads = std::max(1, CoreCount() / jobs);
    loop = [jobs](ConvertEngine& e, ConvertHost& h, const StopSource* s) {
      RunFilesInProcesses(e, h, s, jobs);
    };
  }
  engine.TransProc(host, &g_stop, loop);
  host.Finish();
  UnbindCodecLibrary();
  return engine.AllSucceeded() ? 0 : 1;
}
