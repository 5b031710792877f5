#pragma once
// The numeric field of the operation and settings dialogs: a spin edit whose text is
// free (letters are accepted and the dialog decides what they fall back to), whose
// arrows step within the field's own range, and which handles Enter and Escape itself
// so that the dialog never turns them into OK or Cancel.
//
// BindTrackBar pairs a field with the track bar that holds its value and gives the pair
// the behaviour every dialog shares: Enter and leaving the field read, clamp and write
// back; Escape restores the track bar's value; the arrows copy the stepped text into the
// track bar. The track bar moves only then, never while the user types.

#include <QAbstractSpinBox>
#include <functional>
#include <optional>

class QSlider;

namespace quorvane {

// Reads a field's text as a number. Blanks around it are ignored; a whole-number field
// takes an optional sign and digits only, any other field also a "." fraction and an
// exponent (never a locale's decimal comma). Text that is not a number, that is
// infinite or NaN, or whose size is beyond anything a field holds (a whole number
// outside the 32-bit range, a fraction beyond 10 million) gives no value.
std::optional<double> ReadNumber(const QString& text, bool whole);

class NumberField : public QAbstractSpinBox {
  Q_OBJECT
  // What accessibility tools read as the field's value and range (a spin box reports
  // these properties); a text that is no number reads as the minimum.
  Q_PROPERTY(double value READ ShownValue)
  Q_PROPERTY(double minimum READ Minimum)
  Q_PROPERTY(double maximum READ Maximum)
 public:
  // How values are written: whole numbers, a fixed number of decimals ("1.00"), or up
  // to that many decimals without trailing zeros ("12.5", "180").
  enum class Style { Whole, Fixed, Trimmed };

  NumberField(double minimum, double maximum, double step, Style style, int decimals = 0,
              QWidget* parent = nullptr);

  double Minimum() const { return minimum_; }
  double Maximum() const { return maximum_; }
  bool IsWhole() const { return style_ == Style::Whole; }

  // The value in the field's own writing (always with "." as the decimal point).
  QString Format(double value) const;
  // The text as a number (see ReadNumber).
  std::optional<double> Value() const { return ReadNumber(text(), IsWhole()); }
  double ShownValue() const { return Value().value_or(minimum_); }

  // Shows a text the program wrote; Changed() compares against the last one.
  void SetText(const QString& text);
  void SetValue(double value) { SetText(Format(value)); }
  // True when the text differs from what the program last wrote into the field (the
  // user typed, or the arrows stepped).
  bool Changed() const;

  void stepBy(int steps) override;
  // Room for the widest value of the range, whatever the font.
  QSize sizeHint() const override;
  QSize minimumSizeHint() const override { return sizeHint(); }

 signals:
  // Every key press, before the field handles it.
  void KeyPressed();
  void EnterPressed();
  void EscapePressed();
  // Focus moved to another control of the same window.
  void Exited();
  // The arrows (buttons, arrow keys or wheel) changed the text.
  void Stepped();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  StepEnabled stepEnabled() const override { return StepUpEnabled | StepDownEnabled; }
  QValidator::State validate(QString&, int&) const override { return QValidator::Acceptable; }

 private:
  double minimum_, maximum_, step_;
  Style style_;
  int decimals_;
  QString written_;
};

// The rules of one track bar and field pair.
struct TrackBarRules {
  // Track bar positions per unit of the field (100 for hundredths).
  int scale = 1;
  // Enter and leaving the field clamp the value to [low, high]; without clampOnEnter
  // Enter writes back and applies whatever was typed (the track bar still stops at its
  // ends).
  double low = 0, high = 0;
  bool clampOnEnter = true;
  // Leaving the field, and the arrows, act only when the field's text changed.
  bool exitOnlyWhenChanged = false;
  bool arrowsOnlyWhenChanged = false;
  // Runs first on every key, on leaving the field (when it acts) and on the arrows:
  // the previewing dialogs stop their preview timer here.
  std::function<void()> stopPreview;
  // Runs after Enter, leaving and the arrows have been handled.
  std::function<void()> afterCommit;
};

// Connects the pair. The track bar's own change handler (written by the dialog) is what
// stores the value and writes the field; this only moves the track bar.
void BindTrackBar(NumberField* field, QSlider* trackBar, const TrackBarRules& rules);

// A value typed into the focused numeric field of `window` and not yet taken (the user
// accepted the dialog from the keyboard, with a mnemonic or a shortcut, without leaving
// the field) is taken as leaving the field would take it. OK buttons call this first.
void CommitTypedValue(QWidget* window);

// round(value x scale), ties to even, limited to the int range.
int ScaledPosition(double value, int scale);

}  // namespace quorvane
