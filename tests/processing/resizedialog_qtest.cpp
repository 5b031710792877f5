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

#include "imaging/ReadImage.h"
#include "processing/ConvertOps.h"
#include "processing/ConvertOptions.h"
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
  void resizeLongSideNeverEnlarging();
  void resizeShrinkOnlyForPercentAndPixels();
};

namespace {

// The result the dialog's answers give the picture at `path`: its label's size, the
// engine's result on the picture itself, and its parameters.
struct Outcome {
  QString label;
  PictureSize made;
  ConvertParams params;
};

// Clicks a check box on its box (the control is wider than its box and text).
void Tick(QCheckBox* box) {
  QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
}

Outcome Run(ResizeDialog& dlg, const std::string& path) {
  Outcome o;
  o.label = dlg.SizeLabel->text();
  o.params.OpCode = opResize;
  dlg.ApplyTo(o.params);
  Bitmap picture;
  if (ReadImageFile(path, picture) && RunOperation(picture, o.params, nullptr))
    o.made = {picture.Width(), picture.Height()};
  return o;
}

}  // namespace

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

// "긴 변" with "확대하지 않음": a large picture is brought down to the long side, a small
// one keeps its size; the dialog's size line says what the engine makes, and the batch
// runs the very step quorvane-convert --long-side N --shrink-only runs.
void ResizeDialogTest::resizeLongSideNeverEnlarging() {
  TestDir dir;
  const std::string large = WriteBmpPicture(dir, "large.bmp", PatternBitmap(900, 301));
  const std::string small = WriteBmpPicture(dir, "small.bmp", PatternBitmap(120, 200));
  const ConvertParams cli =
      ParseConvertOptions({"--long-side", "500", "--shrink-only", "x.jpg"}).Params;
  for (const auto& [path, expected] :
       {std::pair{large, PictureSize{500, 167}}, std::pair{small, PictureSize{120, 200}}}) {
    ResizeDialog dlg;
    dlg.FileName = path;
    dlg.show();
    QVERIFY(QTest::qWaitForWindowActive(&dlg));
    QVERIFY(dlg.RadioBpct->isChecked());
    TypeInto(dlg.EditLong, "500");  // the focus picks the long side
    PressKey(dlg.EditLong, Qt::Key_Return);
    QVERIFY(dlg.RadioLong->isChecked());
    Tick(dlg.CheckboxShrink);
    QVERIFY(dlg.ShrinkOnly);
    const Outcome o = Run(dlg, path);
    QCOMPARE(o.made, expected);
    QVERIFY2(o.label.startsWith(QStringLiteral("결과 크기: %1 x %2 ")
                                    .arg(expected.Width)
                                    .arg(expected.Height)),
             qPrintable(o.label));
    QCOMPARE(o.params.OpCode, cli.OpCode);
    QCOMPARE(o.params.FitWidth, cli.FitWidth);
    QCOMPARE(o.params.FitHeight, cli.FitHeight);
    QCOMPARE(o.params.ShrinkOnly, cli.ShrinkOnly);
    dlg.done(2);
  }
  // Without "확대하지 않음" the small picture grows to the long side; the field takes
  // up to 65535 and stops there.
  ResizeDialog dlg;
  dlg.FileName = small;
  dlg.LongSide = true;
  dlg.show();
  QVERIFY(QTest::qWaitForWindowActive(&dlg));
  QVERIFY(dlg.RadioLong->isChecked());
  TypeInto(dlg.EditLong, "400");
  PressKey(dlg.EditLong, Qt::Key_Return);
  QCOMPARE(Run(dlg, small).made, (PictureSize{240, 400}));
  TypeInto(dlg.EditLong, "99999");
  PressKey(dlg.EditLong, Qt::Key_Return);
  QCOMPARE(dlg.LongSideLength, 65535);
}

// "확대하지 않음" holds for the percentage and the pixel size as well.
void ResizeDialogTest::resizeShrinkOnlyForPercentAndPixels() {
  TestDir dir;
  const std::string path = WriteBmpPicture(dir, "p.bmp", PatternBitmap(100, 60));
  ResizeDialog dlg;
  dlg.FileName = path;
  dlg.ShrinkOnly = true;
  dlg.show();
  QVERIFY(QTest::qWaitForWindowActive(&dlg));
  QVERIFY(dlg.CheckboxShrink->isChecked());
  dlg.TrackBarPct->setValue(250);
  QCOMPARE(Run(dlg, path).made, (PictureSize{100, 60}));
  dlg.TrackBarPct->setValue(50);
  QCOMPARE(Run(dlg, path).made, (PictureSize{50, 30}));
  QVERIFY(dlg.SizeLabel->text().startsWith(QStringLiteral("결과 크기: 50 x 30 ")));
  // A stretch keeps each side at most its length; a box the picture fits in with the
  // proportions kept leaves it alone.
  TypeInto(dlg.EditDW, "300");
  PressKey(dlg.EditDW, Qt::Key_Return);
  TypeInto(dlg.EditDH, "40");
  PressKey(dlg.EditDH, Qt::Key_Return);
  QVERIFY(dlg.RadioBpix->isChecked());
  Tick(dlg.CheckboxRatio);  // off: stretch
  QCOMPARE(Run(dlg, path).made, (PictureSize{100, 40}));
  Tick(dlg.CheckboxRatio);  // on
  TypeInto(dlg.EditDH, "80");
  PressKey(dlg.EditDH, Qt::Key_Return);
  QCOMPARE(Run(dlg, path).made, (PictureSize{100, 60}));
  Tick(dlg.CheckboxShrink);  // off: the box is filled
  QCOMPARE(Run(dlg, path).made, (PictureSize{300, 80}));
}

QTEST_MAIN(ResizeDialogTest)
#include "resizedialog_qtest.moc"
