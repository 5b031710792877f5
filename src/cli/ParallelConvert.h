#pragma once
// Converting the files of one batch in several worker processes at once.

#include "processing/ConvertEngine.h"

namespace quorvane {

// A file loop for ConvertEngine::TransProc: `jobs` worker processes take the files one
// at a time; the host receives each file's lines in file order, exactly as the
// engine's own loop would report them. A worker that dies takes only the file it was
// converting with it (reported as failed); the others carry on. On Stop every worker
// finishes its current file and takes no other.
void RunFilesInProcesses(ConvertEngine& engine, ConvertHost& host, const StopSource* stop,
                         int jobs);

}  // namespace quorvane
