// What a screen reader reads from the dialogs: every numeric field its shown value and
// range, every slider a name of its own.

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QSlider>
#include <QTest>

#include "processing/ui/NumberField.h"
#include "processing/ui/ColourDialog.h"
#include "processing/ui/ResizeDialog.h"

using namespace quorvane;

class DialogAccessibilityTest : public QObject {
  Q_OBJECT
 private slots:
  void fieldsReportTheirShownValue();
  void colourSlidersHaveTheirOwnNames();
};

static QVariant AccessibleValue(QWidget* widget) {
  QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(widget);
  if (!iface || !iface->valueInterface()) return {};
  return iface->valueInterface()->currentValue();
}

void DialogAccessibilityTest::fieldsReportTheirShownValue() {
  ResizeDialog dialog;
  dialog.show();
  QVERIFY(dialog.Edit1);
  dialog.Edit1->SetValue(100);
  QCOMPARE(AccessibleValue(dialog.Edit1).toDouble(), 100.0);
  dialog.Edit1->SetValue(37);
  QCOMPARE(AccessibleValue(dialog.Edit1).toDouble(), 37.0);
  QAccessibleValueInterface* range =
      QAccessible::queryAccessibleInterface(dialog.Edit1)->valueInterface();
  QCOMPARE(range->minimumValue().toDouble(), dialog.Edit1->Minimum());
  QCOMPARE(range->maximumValue().toDouble(), dialog.Edit1->Maximum());
}

void DialogAccessibilityTest::colourSlidersHaveTheirOwnNames() {
  ColourDialog dialog;
  dialog.show();
  const auto name = [](QWidget* w) {
    return QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name);
  };
  QCOMPARE(name(dialog.TrackBarC), QStringLiteral("대비"));
  QCOMPARE(name(dialog.TrackBarL), QStringLiteral("밝기"));
  QCOMPARE(name(dialog.TrackBarS), QStringLiteral("채도"));
  dialog.Edit2->SetValue(-40);
  QCOMPARE(AccessibleValue(dialog.Edit2).toDouble(), -40.0);
}

QTEST_MAIN(DialogAccessibilityTest)
#include "dialog_accessibility_qtest.moc"
