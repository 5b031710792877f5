// The resize dialog driven through its real widgets: the percentage and pixel fields,
// the focus that picks the mode, and the border colour swatch.

#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTest>
#include <QTimer>

#include "processing/DlgTestHelpers.h"
#include "processing/ui/ResizeDialog.h"

using namespace quorvane;
using namespace quorvane::test;

class ResizeDialogTest : public QObject {
  Q_OBJECT
 private slots:
  void resizePercentageField();
  void resizePixelFields();
  void resizeFocusSelectsTheMode();
  void resizeColourSwatch();
};

void ResizeDialogTest::resizePercentageField() {
  ResizeDialog dlg;
  dlg.show();
  QVERIFY(QTest::qWaitForWindowActive(&dlg));
  QCOMPARE(dlg.windowTitle(), QStringLiteral("크기 바꾸기 설정"));
  QCOMPARE(dlg.OKBtn->text(), QStringLiteral("변환"));
  QCOMPARE(dlg.Edit1->text(), QStringLiteral("100"));

  TypeInto(dlg.Edit1, "500");
  QCOMPARE(dlg.TrackBarPct->value(), 100);  // typing alone moves nothing
  PressKey(dlg.Edit1, Qt::Key_Return);
  QVERIFY(dlg.isVisible());  // Enter stays in the field
  QCOMPARE(dlg.Edit1->text(), QStringLiteral("400"));
  QCOMPARE(dlg.TrackBarPct->value(), 400);
  QCOMPARE(dlg.Percent, 400);

  TypeInto(dlg.Edit1, "0");
  PressKey(dlg.Edit1, Qt::Key_Return);
  QCOMPARE(dlg.Edit1->text(), QStringLiteral("1"));
  QCOMPARE(dlg.Percent, 1);

  TypeInto(dlg.Edit1, "37");
  PressKey(dlg.Edit1, Qt::Key_Escape);
  QVERIFY(dlg.isVisible());  // Escape stays in the field too
  QCOMPARE(dlg.Edit1->text(), QStringLiteral("1"));

  TypeInto(dlg.Edit1, "abc");
  LeaveTo(dlg.EditDW);
  QCOMPARE(dlg.Edit1->text(), QStringLiteral("1"));
  QCOMPARE(dlg.TrackBarPct->value(), 1);

  // The arrows step the text and move the track bar.
  dlg.Edit1->setFocus();
  PressKey(dlg.Edit1, Qt::Key_Up);
  QCOMPARE(dlg.Edit1->text(), QStringLiteral("2"));
  QCOMPARE(dlg.Percent, 2);
  TypeInto(dlg.Edit1, "abc");  // letters step from the value shown last
  PressKey(dlg.Edit1, Qt::Key_Up);
  QCOMPARE(dlg.Percent, 3);
  dlg.TrackBarPct->setValue(250);
  QCOMPARE(dlg.Edit1->text(), QStringLiteral("250"));
  QCOMPARE(dlg.Percent, 250);
}

void ResizeDialogTest::resizePixelFields() {
  ResizeDialog dlg;
  dlg.show();
  QVERIFY(QTest::qWaitForWindowActive(&dlg));
  QCOMPARE(dlg.EditDW->text(), QStringLiteral("120"));

  TypeInto(dlg.EditDW, "0");
  PressKey(dlg.EditDW, Qt::Key_Return);
  QCOMPARE(dlg.EditDW->text(), QStringLiteral("1"));
  QCOMPARE(dlg.TargetWidth, 1);

  TypeInto(dlg.EditDW, "5000");
  PressKey(dlg.EditDW, Qt::Key_Return);  // Enter has no upper clamp
  QCOMPARE(dlg.TargetWidth, 5000);
  QCOMPARE(dlg.EditDW->text(), QStringLiteral("5000"));
  LeaveTo(dlg.EditDH);  // leaving has one
  QCOMPARE(dlg.EditDW->text(), QStringLiteral("4096"));
  QCOMPARE(dlg.TargetWidth, 4096);

  TypeInto(dlg.EditDW, "text");
  LeaveTo(dlg.EditDH);
  QCOMPARE(dlg.EditDW->text(), QStringLiteral("120"));
  QCOMPARE(dlg.TargetWidth, 120);
  TypeInto(dlg.EditDW, "text");
  PressKey(dlg.EditDW, Qt::Key_Return);
  QCOMPARE(dlg.TargetWidth, 1);

  TypeInto(dlg.EditDH, "-3");
  LeaveTo(dlg.EditDW);
  QCOMPARE(dlg.EditDH->text(), QStringLiteral("1"));
  QCOMPARE(dlg.TargetHeight, 1);
  TypeInto(dlg.EditDH, "640");
  PressKey(dlg.EditDH, Qt::Key_Escape);
  QCOMPARE(dlg.EditDH->text(), QStringLiteral("1"));
  QCOMPARE(dlg.TargetHeight, 1);
}

void ResizeDialogTest::resizeFocusSelectsTheMode() {
  ResizeDialog dlg;
  dlg.show();
  QVERIFY(QTest::qWaitForWindowActive(&dlg));
  QVERIFY(dlg.RadioBpct->isChecked());
  QVERIFY(!dlg.FixedSize);

  QTest::mouseClick(dlg.EditDW, Qt::LeftButton);
  QVERIFY(dlg.RadioBpix->isChecked());
  QVERIFY(dlg.FixedSize);

  QTest::mouseClick(dlg.TrackBarPct, Qt::LeftButton, {}, QPoint(2, dlg.TrackBarPct->height() / 2));
  QVERIFY(dlg.RadioBpct->isChecked());
  QVERIFY(!dlg.FixedSize);

  dlg.CheckboxRatio->setFocus(Qt::TabFocusReason);
  QVERIFY(dlg.FixedSize);
  dlg.Edit1->setFocus(Qt::TabFocusReason);
  QVERIFY(!dlg.FixedSize);

  // Opening in pixel mode shows it.
  ResizeDialog pixels;
  pixels.FixedSize = true;
  pixels.TargetWidth = 800;
  pixels.KeepAspect = false;
  pixels.show();
  QVERIFY(pixels.RadioBpix->isChecked());
  QCOMPARE(pixels.EditDW->text(), QStringLiteral("800"));
  QVERIFY(!pixels.CheckboxRatio->isChecked());
}

void ResizeDialogTest::resizeColourSwatch() {
  ResizeDialog dlg;
  dlg.show();
  QVERIFY(QTest::qWaitForWindowActive(&dlg));
  QCOMPARE(dlg.BorderColor, clWhite);
  QCOMPARE(dlg.Panel3->palette().color(QPalette::WindowText), QColor(0, 0, 0));

  const auto answerChooser = [](bool accept) {
    QTimer::singleShot(50, [accept] {
      QWidget* modal = QApplication::activeModalWidget();
      auto* chooser = qobject_cast<QColorDialog*>(modal);
      if (!chooser) {
        if (modal) modal->close();  // not the chooser: the comparisons below fail
        return;
      }
      chooser->setCurrentColor(QColor(10, 200, 30));
      accept ? chooser->accept() : chooser->reject();
    });
  };
  answerChooser(false);
  QTest::mouseClick(dlg.Panel3, Qt::LeftButton);  // the swatch clicks the button
  QCOMPARE(dlg.BorderColor, clWhite);

  answerChooser(true);
  QTest::mouseClick(dlg.Panel3, Qt::LeftButton);
  QCOMPARE(dlg.BorderColor, RGB(10, 200, 30));
  QCOMPARE(dlg.Panel3->palette().color(QPalette::Window), QColor(10, 200, 30));
  QCOMPARE(dlg.Panel3->palette().color(QPalette::WindowText), QColor(245, 55, 225));

  ConvertParams params;
  dlg.ApplyTo(params);
  QCOMPARE(params.BorderColor, RGB(10, 200, 30));
}

QTEST_MAIN(ResizeDialogTest)
#include "resizedialog_qtest.moc"
