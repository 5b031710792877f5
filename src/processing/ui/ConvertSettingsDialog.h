#pragma once
// The conversion settings dialog: the quality of JPEG, WebP, AVIF and JPEG XL results,
// lossless WebP and JPEG XL, GIF dithering, what becomes of existing output names
// (overwritten, kept as an error, or a new name), and the camera metadata switches (EXIF
// orientation, metadata kept), and the viewer's slideshow (seconds per picture, looping).
//
// "프리셋으로 저장…" saves these settings with an operation, a format and a name pattern
// as a preset (PresetSaveDialog); the dialog itself stays open.
//
// The caller sets the fields before exec() (LoadFrom copies them from Settings);
// showing brings them into range. After OK it copies them back (ApplyTo, which also
// hands the metadata switches to the readers); after Cancel nothing.

#include <QDialog>

#include "processing/ConvertSettings.h"

class QCheckBox;
class QComboBox;
class QPushButton;
class QSlider;
class QSpinBox;

namespace quorvane {

class NumberField;

class ConvertSettingsDialog : public QDialog {
  Q_OBJECT
 public:
  explicit ConvertSettingsDialog(QWidget* parent = nullptr);

  int JpegQuality = 80;  // 1..100
  int DitherIndex = 1;   // 0 Nearest, 1 FloydSteinberg, 2 Stucki, 3 Sierra, 4 Burkes
  bool OverwriteFiles = true;
  bool RenameExisting = false;
  bool AutoOrient = true;
  bool KeepMetadata = true;
  bool Lossless = false;
  int SlideshowSeconds = 4;  // 1..60
  bool SlideshowLoop = false;

  void LoadFrom(const Settings& settings);
  void ApplyTo(Settings& settings) const;

  QSlider* TrackBar1;
  NumberField* Edit1;
  QComboBox* ComboBox1;
  QCheckBox* CheckBox1;
  QCheckBox* CheckBoxRename;    // "새 이름으로 저장"; while checked CheckBox1 is off
  QCheckBox* CheckBoxOrient;    // "EXIF 방향 자동 적용"
  QCheckBox* CheckBoxMetadata;  // "메타데이터 유지"
  QCheckBox* CheckBoxLossless;  // "무손실 저장"
  QSpinBox* SlideSeconds;       // "슬라이드 쇼 간격(초)", its own label as the prefix
  QCheckBox* CheckBoxLoop;      // "반복"
  QPushButton* SavePresetBtn;  // "프리셋으로 저장…"
  QPushButton* OKBtn;
  QPushButton* CancelBtn;

  void reject() override;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void FormShow();
  void TrackBar1Change(int position);
  void SavePresetClick();
};

}  // namespace quorvane
