#pragma once
// The location field above the grid: shows the folder, takes a typed one. Enter asks
// to go there (Go), Tab completes the folder name being typed (Complete), Escape puts
// the shown folder back.

#include <QLineEdit>
#include <functional>

namespace quorvane {

class LocationField : public QLineEdit {
  Q_OBJECT
 public:
  explicit LocationField(QWidget* parent = nullptr);

  // The folder shown; the field shows it unless the user is typing in it.
  void ShowFolder(const QString& folder);

  std::function<void(const QString& typed)> Go;
  std::function<QString(const QString& typed)> Complete;

 protected:
  bool event(QEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  QString shown_;
};

}  // namespace quorvane
