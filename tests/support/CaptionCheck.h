#pragma once
// A window's gradient caption as a person sees it: a strip across the top showing the
// window's title, with every control below it.

#include <QString>
#include <QTest>
#include <QWidget>

#include "platform/ui/GradientCaption.h"

namespace quorvane::test {

// Shows the window (when hidden, only for the check) and answers what is wrong with its
// caption ("" when nothing).
inline QString CaptionProblem(QWidget& window) {
  const bool wasVisible = window.isVisible();
  window.show();
  if (!QTest::qWaitForWindowExposed(&window)) return QStringLiteral("not shown");
  const auto* caption = window.findChild<GradientCaption*>(QString(), Qt::FindDirectChildrenOnly);
  QString problem;
  if (!caption)
    problem = QStringLiteral("no caption strip");
  else if (caption->Text() != window.windowTitle())
    problem = QStringLiteral("caption shows \"%1\"").arg(caption->Text());
  else if (caption->geometry() != QRect(0, 0, window.width(), GradientCaption::kDefaultHeight))
    problem = QStringLiteral("caption not across the top");
  else
    for (const QWidget* child : window.findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
      if (child != caption && child->isVisible() && !child->isWindow() &&
          child->geometry().top() <= caption->geometry().bottom())
        problem = QStringLiteral("%1 under the caption").arg(child->metaObject()->className());
  if (!wasVisible) window.hide();
  return problem;
}

}  // namespace quorvane::test
