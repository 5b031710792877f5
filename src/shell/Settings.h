#pragma once
// Process-wide settings and values, held in memory only; every start begins with the
// defaults.

#include <atomic>
#include <string>

#include "imaging/ImageFormats.h"
#include "processing/ConvertSettings.h"

namespace quorvane {

// The program's process-wide state. The main window owns it: it sets the defaults at
// start, the settings dialog edits them, batches copy them. Core code takes values
// through its parameters and never reads this.
struct AppState {
  Settings settings;
  std::atomic<bool> BusyFlag{false};  // true while a batch or the viewer runs
  std::string CurrentFolder;          // the folder shown in the thumbnail view
};
AppState& App();

}  // namespace quorvane
