#include "shell/ui/LocationField.h"

#include <QKeyEvent>

namespace quorvane {

LocationField::LocationField(QWidget* parent) : QLineEdit(parent) {
  setAccessibleName(QStringLiteral("위치"));
  setToolTip(QStringLiteral("폴더 경로를 적고 Enter: ~ 는 홈 폴더, Tab 은 폴더 이름 채우기"));
  setClearButtonEnabled(false);
  connect(this, &QLineEdit::returnPressed, this, [this] {
    if (Go) Go(text());
  });
}

void LocationField::ShowFolder(const QString& folder) {
  shown_ = folder;
  if (!hasFocus() || !isModified()) {
    setText(folder);
    setModified(false);
  }
}

bool LocationField::event(QEvent* event) {
  // Tab completes here instead of moving the focus on.
  if (event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Tab && key->modifiers() == Qt::NoModifier) {
      if (Complete) {
        const QString completed = Complete(text());
        if (completed != text()) {
          setText(completed);
          setModified(true);
        }
      }
      return true;
    }
    if (key->key() == Qt::Key_Escape && isModified()) {
      setText(shown_);
      setModified(false);
      return true;
    }
  }
  return QLineEdit::event(event);
}

void LocationField::focusOutEvent(QFocusEvent* event) {
  QLineEdit::focusOutEvent(event);
  // What was typed and not gone to gives way to the folder shown.
  if (isModified()) {
    setText(shown_);
    setModified(false);
  }
}

}  // namespace quorvane
