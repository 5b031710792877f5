// quorvane-convert: the batch converter on the command line. It runs the same batch
// engine as the conversion dialog and prints the same lines.

#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "cli/ConsoleHost.h"
#include "cli/ParallelConvert.h"
#include "imaging/OpenIL.h"
#include "imaging/Sandbox.h"
#include "platform/CoreCount.h"
#include "platform/MemoryReuse.h"
#include "processing/BatchSources.h"
#include "processing/ConvertEngine.h"
#include "processing/ConvertOptions.h"
#include "processing/ConvertPreset.h"

namespace {

quorvane::StopFlag g_stop;

// The first interrupt stops the batch after the current file; a second one ends the
// program at once.
void OnInterrupt(int signal) {
  g_stop.Terminate();
  std::signal(signal, SIG_DFL);
}

// A usage error: its message, the hint, exit status 2.
int UsageFailure(const std::string& message) {
  std::fprintf(stderr,
               "quorvane-convert: %s\nTry 'quorvane-convert --help' for more information.\n",
               message.c_str());
  return 2;
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
    return UsageFailure(e.what());
  }
  if (options.Help) {
    std::fputs(ConvertUsageText().c_str(), stdout);
    return 0;
  }
  if (options.ListPresets) {
    for (const std::string& name : ListPresets()) std::printf("%s\n", name.c_str());
    return 0;
  }
  if (!options.SavePreset.empty()) {
    try {
      const std::string path = PresetPath(options.SavePreset);
      WritePresetFile(path, options.Preset);
      std::fprintf(stderr, "quorvane-convert: preset '%s' saved as %s\n",
                   options.SavePreset.c_str(), path.c_str());
    } catch (const PresetError& e) {
      std::fprintf(stderr, "quorvane-convert: %s\n", e.what());
      return 1;
    }
    if (options.Params.FileList.empty() && options.FilesFrom.empty()) return 0;
  }
  if (!options.FilesFrom.empty()) {
    std::ifstream file;
    if (options.FilesFrom != "-") {
      file.open(options.FilesFrom, std::ios::binary);
      if (!file) return UsageFailure("cannot read the file list '" + options.FilesFrom + "'");
    }
    std::istream& in = options.FilesFrom == "-" ? std::cin : file;
    for (std::string& name : ReadNameList(in, options.NullSeparated))
      options.Params.FileList.push_back(std::move(name));
    if (options.Params.FileList.empty()) return UsageFailure("no file given");
  }
  std::error_code ec;
  const std::string cwd = std::filesystem::current_path(ec).string();
  ResolvePaths(options, ec ? std::string("/") : cwd);
  try {
    ExpandFolders(options.Params, options.Recursive, options.Hidden);
  } catch (const UsageError& e) {
    return UsageFailure(e.what());
  }
  // Unlike the dialog, the command line makes missing parent folders of the output
  // folder (as mkdir -p); the engine makes the last level and reports any failure.
  const std::filesystem::path parent =
      std::filesystem::path(options.Params.OutputFolder).parent_path();
  if (!parent.empty() && !options.Params.DryRun) std::filesystem::create_directories(parent, ec);
  // Report lines are added to the file, so that the report of a batch finished in
  // several runs is whole.
  std::FILE* report = nullptr;
  if (!options.ReportFile.empty()) {
    report = std::fopen(options.ReportFile.c_str(), "ae");
    if (!report) return UsageFailure("cannot write the report '" + options.ReportFile + "'");
  }

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
  host.SetReport(report, options.Params.DryRun);
  ConvertEngine engine;
  engine.Params = options.Params;
  ConvertEngine::FileLoop loop;
  if (options.Jobs > 1 && engine.Params.FileList.size() > 1) {
    const int jobs = options.Jobs;
    // The files share the cores: an encoder of its own threads gets what is left over.
    engine.Params.EncoderThreads = std::max(1, CoreCount() / jobs);
    for (ConvertParams& step : engine.Params.Chain) step.EncoderThreads = engine.Params.EncoderThreads;
    loop = [jobs](ConvertEngine& e, ConvertHost& h, const StopSource* s) {
      RunFilesInProcesses(e, h, s, jobs);
    };
  }
  engine.TransProc(host, &g_stop, loop);
  host.Finish();
  if (report) std::fclose(report);
  UnbindCodecLibrary();
  return engine.AllSucceeded() ? 0 : 1;
}
