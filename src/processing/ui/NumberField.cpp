#include "processing/ui/NumberField.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QRegularExpression>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSpinBox>
#include <algorithm>
#include <climits>
#include <cmath>

namespace quorvane {

namespace {

// Beyond this a fraction field's text is taken for a typing accident, not a value: ten
// million times 100 still fits a track bar position.
constexpr double kLargestFraction = 1e7;

}  // namespace

std::optional<double> ReadNumber(const QString& text, bool whole) {
  static const QRegularExpression wholeSyntax(QStringLiteral("^[+-]?[0-9]+$"));
  static const QRegularExpression fractionSyntax(
      QStringLiteral("^[+-]?([0-9]+\\.?[0-9]*|\\.[0-9]+)([eE][+-]?[0-9]+)?$"));
  const QString t = text.trimmed();
  if (whole) {
    if (!wholeSyntax.match(t).hasMatch()) return std::nullopt;
    bool ok = false;
    const qlonglong v = t.toLongLong(&ok);
    if (!ok || v < INT_MIN || v > INT_MAX) return std::nullopt;
    return double(v);
  }
  if (!fractionSyntax.match(t).hasMatch()) return std::nullopt;
  bool ok = false;
  const double v = t.toDouble(&ok);  // QString::toDouble always reads "." as the point
  if (!ok || !std::isfinite(v) || std::fabs(v) > kLargestFraction) return std::nullopt;
  return v;
}

int ScaledPosition(double value, int scale) {
  const double r = std::nearbyint(value * scale);
  if (!(r >= double(INT_MIN))) return INT_MIN;
  if (r > double(INT_MAX)) return INT_MAX;
  return int(r);
}

NumberField::NumberField(double minimum, double maximum, double step, Style style, int decimals,
                         QWidget* parent)
    : QAbstractSpinBox(parent),
      minimum_(minimum),
      maximum_(maximum),
      step_(step),
      style_(style),
      decimals_(style == Style::Whole ? 0 : decimals) {
  setKeyboardTracking(false);
  setButtonSymbols(QAbstractSpinBox::UpDownArrows);
  setFocusPolicy(Qt::StrongFocus);
}

QString NumberField::Format(double value) const {
  switch (style_) {
    case Style::Whole:
      return QString::number(qlonglong(std::nearbyint(value)));
    case Style::Fixed:
      return QString::number(value, 'f', decimals_);
    case Style::Trimmed:
      break;
  }
  QString s = QString::number(value, 'f', decimals_);
  if (s.contains(QLatin1Char('.'))) {
    while (s.endsWith(QLatin1Char('0'))) s.chop(1);
    if (s.endsWith(QLatin1Char('.'))) s.chop(1);
  }
  if (s == QStringLiteral("-0")) s = QStringLiteral("0");
  return s;
}

void NumberField::SetText(const QString& text) {
  written_ = text;
  lineEdit()->setText(text);
}

QSize NumberField::sizeHint() const {
  ensurePolished();
  const QFontMetrics metrics(font());
  int textWidth = 0;
  for (double v : {minimum_, maximum_})
    textWidth = std::max({textWidth, metrics.horizontalAdvance(Format(v)),
                          metrics.horizontalAdvance(QString::number(v, 'f', decimals_))});
  // One digit more for a value typed beyond the range, and the cursor.
  textWidth += metrics.horizontalAdvance(QLatin1Char('0')) + 4;
  QStyleOptionSpinBox option;
  initStyleOption(&option);
  const QSize contents(textWidth, lineEdit()->sizeHint().height());
  return style()->sizeFromContents(QStyle::CT_SpinBox, &option, contents, this);
}

bool NumberField::Changed() const { return text() != written_; }

void NumberField::stepBy(int steps) {
  // Text that is not a number steps from the value the field showed last, or from the
  // bottom of the range.
  const double current = Value().value_or(ReadNumber(written_, IsWhole()).value_or(minimum_));
  const double stepped = (std::nearbyint(current / step_) + steps) * step_;
  lineEdit()->setText(Format(std::clamp(stepped, minimum_, maximum_)));
  emit Stepped();
}

void NumberField::keyPressEvent(QKeyEvent* event) {
  emit KeyPressed();
  switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      event->accept();
      emit EnterPressed();
      return;
    case Qt::Key_Escape:
      event->accept();
      emit EscapePressed();
      return;
    default:
      QAbstractSpinBox::keyPressEvent(event);
  }
}

void NumberField::focusOutEvent(QFocusEvent* event) {
  QAbstractSpinBox::focusOutEvent(event);
  // Another window taking the focus (a colour chooser, a menu) is not leaving the field.
  if (event->reason() != Qt::ActiveWindowFocusReason && event->reason() != Qt::PopupFocusReason)
    emit Exited();
}

void CommitTypedValue(QWidget* window) {
  QWidget* focus = window ? window->focusWidget() : nullptr;
  auto* field = qobject_cast<NumberField*>(focus);
  if (!field && focus) field = qobject_cast<NumberField*>(focus->parentWidget());
  if (field && field->Changed()) emit field->Exited();
}

void BindTrackBar(NumberField* field, QSlider* trackBar, const TrackBarRules& rules) {
  const auto stop = [rules] {
    if (rules.stopPreview) rules.stopPreview();
  };
  const auto after = [rules] {
    if (rules.afterCommit) rules.afterCommit();
  };
  const auto typedOrPosition = [field, trackBar, rules] {
    return field->Value().value_or(double(trackBar->value()) / rules.scale);
  };
  // The track bar is set first (its change handler writes its own position into the
  // field), then the field shows the value itself, which may lie beyond the track bar.
  const auto commit = [=](bool clamp) {
    double v = typedOrPosition();
    if (clamp) v = std::clamp(v, rules.low, rules.high);
    trackBar->setValue(ScaledPosition(v, rules.scale));
    field->SetValue(v);
  };

  QObject::connect(field, &NumberField::KeyPressed, field, stop);
  QObject::connect(field, &NumberField::EnterPressed, field, [=] {
    commit(rules.clampOnEnter);
    field->selectAll();
    after();
  });
  QObject::connect(field, &NumberField::EscapePressed, field, [=] {
    field->SetValue(double(trackBar->value()) / rules.scale);
    field->selectAll();
    after();
  });
  QObject::connect(field, &NumberField::Exited, field, [=] {
    if (rules.exitOnlyWhenChanged && !field->Changed()) return;
    stop();
    commit(true);
    after();
  });
  QObject::connect(field, &NumberField::Stepped, field, [=] {
    if (rules.arrowsOnlyWhenChanged && !field->Changed()) return;
    stop();
    trackBar->setValue(ScaledPosition(typedOrPosition(), rules.scale));
    after();
  });
}

}  // namespace quorvane
