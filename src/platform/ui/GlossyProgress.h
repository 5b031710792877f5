#pragma once
// The glossy look of progress bars: a rounded trough and a bar lit from above.

#include <QString>

class QProgressBar;

namespace quorvane {

// A style sheet for QProgressBar only; set on the application it gives every progress
// bar of the program the look, and leaves every other widget to the platform style.
QString GlossyProgressStyleSheet();

// Gives one progress bar the look.
void ApplyGlossyProgress(QProgressBar* bar);

}  // namespace quorvane
