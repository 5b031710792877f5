#include "platform/ui/GlossyProgress.h"

#include <QProgressBar>

namespace quorvane {

QString GlossyProgressStyleSheet() {
  // The upper half of the bar is lighter than the lower half, with a soft edge between
  // them: the classic glass highlight.
  return QStringLiteral(
      "QProgressBar {"
      "  border: 1px solid #7a8ba0; border-radius: 4px; background: #e8edf2;"
      "  min-height: 14px; text-align: center; }"
      "QProgressBar::chunk {"
      "  border-radius: 3px; margin: 1px;"
      "  background: qlineargradient(x1:0, y1:0, x2:0, y2:1,"
      "    stop:0 #d7f3ff, stop:0.45 #7cc8f2, stop:0.5 #3a9ee0, stop:1 #5cc0f5); }");
}

void ApplyGlossyProgress(QProgressBar* bar) { bar->setStyleSheet(GlossyProgressStyleSheet()); }

}  // namespace quorvane
