#pragma once
// What the operation dialogs share: the "save in the chosen format" check box with its
// format list, the OK and Cancel buttons, and, for the dialogs with a preview, the
// preview area, its source picture and its debounce timer.
//
// A dialog is created for one use, shown with exec() and ends with done(1) (OK) or
// done(2) (Cancel, closing the window, Escape outside a numeric field). The caller reads
// the public fields after OK only.

#include <QDialog>
#include <string>

#include "imaging/Bitmap.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QHBoxLayout;
class QLayout;
class QPushButton;
class QTimer;

namespace quorvane {

class PreviewBox;

class OperationDialog : public QDialog {
  Q_OBJECT
 public:
  // Read after OK: save as base name + TargetExt (true) or keep the source's name.
  bool ChangeExt = false;
  // Read after OK: the chosen format's extension (".jpg" ... ".sgi"). Showing the dialog
  // selects the matching format (JPG when none matches).
  std::string TargetExt;

  QCheckBox* CheckBox1 = nullptr;  // "save in the chosen format"
  QComboBox* ComboBox1 = nullptr;  // the format list, enabled while CheckBox1 is checked
  QPushButton* OKBtn = nullptr;
  QPushButton* CancelBtn = nullptr;

  void done(int result) override;
  void reject() override;

 protected:
  OperationDialog(const QString& caption, QWidget* parent);

  // The format group: title, an optional label above the list, the check box's text.
  QGroupBox* FormatGroup(const QString& title, const QString& label, const QString& checkText);
  // OK (with its caption) and "취소", right-aligned.
  QHBoxLayout* ButtonRow(const QString& okText);
  // Installs the layout and fixes the dialog's size: the stated size, or larger when
  // the controls need more room in this font.
  void FinishLayout(QLayout* layout, int width, int height);

  // Runs each time the dialog is shown.
  virtual void FormShow();
  // Runs when the dialog ends, before the modal loop returns.
  virtual void StopPreview() {}

  void showEvent(QShowEvent* event) override;

 private:
  void OKBtnClick();
  void CheckBox1Click();
};

// An operation dialog with a live preview of the first selected file.
class PreviewDialog : public OperationDialog {
  Q_OBJECT
 public:
  // Set before exec(): the first selected file, the picture the preview is made from.
  std::string FileName;

  PreviewBox* PreviewImage = nullptr;
  QTimer* Timer1 = nullptr;  // one-shot debounce of the preview

  // The preview's starting picture: the file fitted into the preview area; empty when
  // the file could not be read. Never changed by the previews.
  const Bitmap& PreviewSource() const { return source_; }

 protected:
  PreviewDialog(const QString& caption, int areaWidth, int areaHeight, int interval, QWidget* parent);

  // The preview dialogs' common layout: the preview on top, the settings group and the
  // format group side by side (with their stretch factors), OK and Cancel below.
  void LayOutPreviewDialog(QWidget* settings, int settingsStretch, QGroupBox* format,
                           int formatStretch, const QString& okText, int width, int height);
  // Reads FileName into the preview source; false when it cannot be read (the preview
  // then stays empty). Errors are swallowed.
  bool BuildPreviewSource();
  // Every change of a value: stop the timer and start it again.
  void RestartTimer();
  // After a field was handled: a value change whose preview the field's keys cancelled
  // is previewed after all.
  void EnsurePreview();
  // The timer fired: stop it and bring the preview up to date.
  virtual void Timer1Timer();
  // Recomputes the preview from the source; runs with errors swallowed.
  virtual void UpdatePreview() = 0;
  // The preview now shows the current values.
  void PreviewDone() { stale_ = false; }
  bool PreviewStale() const { return stale_; }

  void StopPreview() override;
  void showEvent(QShowEvent* event) override;

  Bitmap source_;

 private:
  bool stale_ = false;
  bool live_ = false;  // shown and not yet ended: changes may start the timer
};

}  // namespace quorvane
