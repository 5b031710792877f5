#pragma once
// "프리셋으로 저장…" of the conversion settings dialog: a name, an operation with its
// value (in quorvane-convert's terms: "2048", "50%", "800x600", "12.5", "10,0,0"),
// never enlarging, the format and the name pattern; with the settings dialog's quality,
// lossless switch, dithering, existing-name choice and metadata switches it is saved as
// the preset file quorvane-convert --preset reads (PresetBatch.h).
//
// The caller copies the settings dialog's values into the public fields before exec().
// Save checks the choices as the converter does and shows its refusal in the dialog;
// an existing name is replaced only after a second Save.

#include <QDialog>
#include <string>
#include <vector>

#include "processing/ConvertParams.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace quorvane {

class PresetSaveDialog : public QDialog {
  Q_OBJECT
 public:
  explicit PresetSaveDialog(QWidget* parent = nullptr);

  int JpegQuality = 80;
  bool Lossless = false;
  int DitherIndex = 1;
  OnExists Existing = OnExists::Overwrite;
  bool AutoOrient = true;
  bool KeepMetadata = true;

  // The converter's options for the current choices (without the name).
  std::vector<std::string> Options() const;
  // After Save: the name saved under.
  std::string SavedName;

  QLineEdit* NameEdit;
  QComboBox* OperationBox;  // the converter's operations, "변환만" first
  QLineEdit* ValueEdit;     // the operation's value, for those that take one
  QCheckBox* CheckShrink;   // "확대하지 않음", for fit and the long side
  QComboBox* FormatBox;     // by TargetFormatExts
  QLineEdit* PatternEdit;   // the name pattern; empty keeps the source's name
  QLabel* ProblemLabel;     // why the last Save did not save
  QPushButton* SaveBtn;
  QPushButton* CancelBtn;

 private:
  void OperationChanged();
  void Save();
  std::string confirmedName_;  // an existing name the next Save replaces
};

}  // namespace quorvane
