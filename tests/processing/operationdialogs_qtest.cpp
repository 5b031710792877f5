// The operation dialogs driven through their real widgets: typing into the fields,
// Enter, Escape, leaving a field, the arrows, the lists and the previews.

#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTest>
#include <QTimer>

#include "processing/ConvertOps.h"
#include "processing/DlgTestHelpers.h"
#include "processing/PixelOps.h"
#include "processing/ui/PreviewBox.h"
#include "processing/ui/ColourDialog.h"
#include "processing/ui/GammaDialog.h"
#include "processing/ui/ResizeDialog.h"
#include "processing/ui/RotateDialog.h"
#include "processing/ui/TurnFlipDialog.h"
#include "platform/ui/WorkerThread.h"
#include "support/CaptionCheck.h"

using namespace quorvane;
using namespace quorvane::test;

class OperationDialogsTest : public QObject {
  Q_OBJECT
 private slots:
  void numberReading();
  void formatListAndOk();
  void everyDialogCarriesItsCaption();
  void turnFlipPreviewFollowsTheChoice();
  void unreadableFileLeavesThePreviewEmpty();
  void previewsOnlyShrink();
  void rotateField();
  void rotatePreviewRunsThroughTheWorker();
  void colourPreviewChain();
  void colourFieldsActOnlyWhenChanged();
  void gammaField();
  void timersStopWhenTheDialogEnds();
  void screenshots();
  void typedValueCountsWhenAcceptedByKeyboard();

 private:
  TestDir dir_;
};

// Runs `act` once the dialog's modal loop is running.
template <typename Dialog, typename Act>
static int ExecWith(Dialog& dlg, Act act) {
  QTimer::singleShot(0, &dlg, [&] { act(); });
  QTimer::singleShot(20000, &dlg, [&] { dlg.done(99); });  // a hang fails the test
  return dlg.exec();
}

void OperationDialogsTest::numberReading() {
  QCOMPARE(ReadNumber(" 42 ", true), std::optional<double>(42));
  QCOMPARE(ReadNumber("-7", true), std::optional<double>(-7));
  QVERIFY(!ReadNumber("12.5", true));
  QVERIFY(!ReadNumber("abc", true));
  QVERIFY(!ReadNumber("", true));
  QVERIFY(!ReadNumber("99999999999", true));
  QCOMPARE(ReadNumber("2.5", false), std::optional<double>(2.5));
  QCOMPARE(ReadNumber(".5", false), std::optional<double>(0.5));
  QCOMPARE(ReadNumber("-1e2", false), std::optional<double>(-100));
  for (const char* notANumber : {"1e30", "inf", "-inf", "nan", "1,5", "0x10", "1.2.3"})
    QVERIFY2(!ReadNumber(notANumber, false), notANumber);
}

void OperationDialogsTest::formatListAndOk() {
  ResizeDialog resize;
  QVERIFY(!resize.ComboBox1->isEnabled());
  QCOMPARE(resize.ComboBox1->count(), 11);
  QCOMPARE(resize.ComboBox1->itemText(7), QStringLiteral("SGI"));
  QCOMPARE(resize.ComboBox1->itemText(8), QStringLiteral(".webp"));
  QCOMPARE(resize.ComboBox1->itemText(9), QStringLiteral(".avif"));
  QCOMPARE(resize.ComboBox1->itemText(10), QStringLiteral(".jxl"));
  const int result = ExecWith(resize, [&] {
    QCOMPARE(resize.ComboBox1->currentIndex(), 0);  // no extension yet: JPG
    QTest::mouseClick(resize.CheckBox1, Qt::LeftButton);
    QVERIFY(resize.ComboBox1->isEnabled());
    resize.ComboBox1->setCurrentIndex(5);
    QTest::mouseClick(resize.OKBtn, Qt::LeftButton);
  });
  QCOMPARE(result, 1);
  QCOMPARE(resize.TargetExt, std::string(".gif"));
  QVERIFY(resize.ChangeExt);
  ConvertParams params;
  params.ChangeExt = false;
  resize.Percent = 50;
  resize.ApplyTo(params);
  QCOMPARE(params.TargetExt, std::string(".gif"));
  QVERIFY(params.ChangeExt);
  QCOMPARE(params.Percent, 50);

  // The list shows the extension it is given; unchecking disables it again.
  GammaDialog gamma;
  gamma.TargetExt = ".tga";
  QCOMPARE(ExecWith(gamma,
                    [&] {
                      QCOMPARE(gamma.ComboBox1->currentIndex(), 6);
                      gamma.CheckBox1->setChecked(true);
                      gamma.CheckBox1->setChecked(false);
                      QVERIFY(!gamma.ComboBox1->isEnabled());
                      QVERIFY(!gamma.ChangeExt);
                      QTest::mouseClick(gamma.CancelBtn, Qt::LeftButton);
                    }),
           2);

  // Closing with Escape outside a field is Cancel.
  RotateDialog rotate;
  QCOMPARE(rotate.TargetExt, std::string(".jpg"));
  QCOMPARE(ExecWith(rotate, [&] { PressKey(rotate.OKBtn, Qt::Key_Escape); }), 2);
}

void OperationDialogsTest::everyDialogCarriesItsCaption() {
  ResizeDialog resize;
  TurnFlipDialog turn;
  RotateDialog rotate;
  ColourDialog colour;
  GammaDialog gamma;
  for (QDialog* dlg : std::initializer_list<QDialog*>{&resize, &turn, &rotate, &colour, &gamma})
    QVERIFY2(CaptionProblem(*dlg).isEmpty(),
             qPrintable(dlg->windowTitle() + ": " + CaptionProblem(*dlg)));
}

void OperationDialogsTest::turnFlipPreviewFollowsTheChoice() {
  const Bitmap picture = PhotoLike(300, 100);
  TurnFlipDialog dlg;
  dlg.FileName = WriteBmpPicture(dir_, "뒤집기 사진.bmp", picture);
  dlg.OpCode = opFlipV;
  dlg.show();
  QCOMPARE(dlg.windowTitle(), QStringLiteral("90도 회전 / 뒤집기"));
  QCOMPARE(dlg.ComboBox2->currentIndex(), 3);
  QCOMPARE(dlg.ComboBox2->itemText(0), QStringLiteral("반시계 90도 회전"));
  QVERIFY(!dlg.Timer1->isActive());  // showing is not a change
  Bitmap flipped;
  FlipBitmap(picture, flipped, nullptr);
  QVERIFY(dlg.PreviewImage->Picture().SamePixels(flipped));

  dlg.ComboBox2->setCurrentIndex(0);
  QCOMPARE(dlg.OpCode, opTurnLeft);
  QVERIFY(dlg.Timer1->isActive());
  QCOMPARE(dlg.Timer1->interval(), 500);
  // Turned, the picture is too high for the 467 x 233 area and is fitted into it.
  Bitmap turned;
  TurnBitmapLeft(picture, turned, nullptr);
  QVERIFY(FitBitmap(turned, 467, 233, nullptr));
  QTRY_VERIFY(dlg.PreviewImage->Picture().SamePixels(turned));
  QCOMPARE(turned.Width(), 77);
  QVERIFY(dlg.PreviewSource().SamePixels(picture));  // the source never changes

  dlg.ComboBox2->setCurrentIndex(2);
  QCOMPARE(dlg.OpCode, opFlipH);
  ConvertParams params;
  dlg.ApplyTo(params);
  QCOMPARE(params.OpCode, opFlipH);

  // A code below 2 opens as the first effect.
  TurnFlipDialog low;
  low.OpCode = 0;
  low.show();
  QCOMPARE(low.OpCode, opTurnLeft);
  QCOMPARE(low.ComboBox2->currentIndex(), 0);
}

void OperationDialogsTest::unreadableFileLeavesThePreviewEmpty() {
  ColourDialog dlg;
  dlg.FileName = dir_.write("깨진 파일.bmp", "BM not really a bitmap");
  const int result = ExecWith(dlg, [&] {
    QVERIFY(dlg.PreviewImage->Picture().Empty());
    dlg.TrackBarS->setValue(-255);
    QTest::qWait(800);  // the timer fires on an empty source and changes nothing
    QVERIFY(dlg.PreviewImage->Picture().Empty());
    QTest::mouseClick(dlg.OKBtn, Qt::LeftButton);
  });
  QCOMPARE(result, 1);
  QCOMPARE(dlg.Saturation, 0);

  TurnFlipDialog missing;
  missing.FileName = dir_.file("없는 파일.png");
  missing.OpCode = opTurnRight;
  QCOMPARE(ExecWith(missing,
                    [&] {
                      QVERIFY(missing.PreviewImage->Picture().Empty());
                      QTest::mouseClick(missing.OKBtn, Qt::LeftButton);
                    }),
           1);
  QCOMPARE(missing.OpCode, opTurnRight);
}

void OperationDialogsTest::previewsOnlyShrink() {
  // A small picture keeps its size and is centred.
  GammaDialog small;
  small.FileName = WriteBmpPicture(dir_, "작은 사진.bmp", PhotoLike(50, 41));
  small.show();
  QCOMPARE(small.PreviewImage->Picture().Width(), 50);
  QCOMPARE(small.PreviewImage->Picture().Height(), 41);
  const QRect area = small.PreviewImage->contentsRect();
  const QRect shown = small.PreviewImage->PictureRect();
  QCOMPARE(shown.left() - area.left(), (420 - 50) / 2);
  QCOMPARE(shown.top() - area.top(), (240 - 41) / 2);

  // A sliver still previews, one pixel wide.
  TurnFlipDialog sliver;
  sliver.FileName = WriteBmpPicture(dir_, "sliver.bmp", PhotoLike(1, 2000));
  sliver.OpCode = opFlipH;
  sliver.show();
  QCOMPARE(sliver.PreviewImage->Picture().Width(), 1);
  QCOMPARE(sliver.PreviewImage->Picture().Height(), 233);

  // The painted area shows the picture's pixels where the rectangle says.
  ColourDialog big;
  const Bitmap picture = PhotoLike(994, 300);
  big.FileName = WriteBmpPicture(dir_, "큰 사진.bmp", picture);
  big.show();
  Bitmap fitted = picture;
  QVERIFY(FitBitmap(fitted, 497, 272, nullptr));
  QVERIFY(big.PreviewImage->Picture().SamePixels(fitted));
  const QImage painted = big.PreviewImage->grab().toImage();
  const QRect rect = big.PreviewImage->PictureRect();
  for (const QPoint p : {QPoint(0, 0), QPoint(200, 70), QPoint(496, 149)}) {
    const RgbColor c = fitted.Pixel(p.x(), p.y());
    QCOMPARE(painted.pixelColor(rect.topLeft() + p),
             QColor(GetRValue(c), GetGValue(c), GetBValue(c)));
  }
}

void OperationDialogsTest::rotateField() {
  RotateDialog dlg;
  dlg.show();
  QVERIFY(QTest::qWaitForWindowActive(&dlg));
  QCOMPARE(dlg.windowTitle(), QStringLiteral("부드러운 회전"));
  QCOMPARE(dlg.Edit1->text(), QStringLiteral("0"));

  TypeInto(dlg.Edit1, "200");
  PressKey(dlg.Edit1, Qt::Key_Return);
  QVERIFY(dlg.isVisible());
  QCOMPARE(dlg.TrackBarAngle->value(), 18000);
  QCOMPARE(double(dlg.RotateAngle), 180.0);
  QCOMPARE(dlg.Edit1->text(), QStringLiteral("200"));  // Enter does not clamp the text
  LeaveTo(dlg.OKBtn);  // unchanged since Enter: leaving changes nothing
  QCOMPARE(dlg.Edit1->text(), QStringLiteral("200"));

  TypeInto(dlg.Edit1, "-12.345");
  LeaveTo(dlg.OKBtn);
  QCOMPARE(dlg.TrackBarAngle->value(), -1234);

  TypeInto(dlg.Edit1, "200");
  LeaveTo(dlg.OKBtn);
  QCOMPARE(dlg.Edit1->text(), QStringLiteral("180"));
  QCOMPARE(dlg.TrackBarAngle->value(), 18000);

  // The angle is shown without trailing zeros, from the track bar's hundredths.
  dlg.TrackBarAngle->setValue(1250);
  QCOMPARE(dlg.Edit1->text(), QStringLiteral("12.5"));
  QCOMPARE(double(dlg.RotateAngle), 12.5);
  dlg.TrackBarAngle->setValue(-5);
  QCOMPARE(dlg.Edit1->text(), QStringLiteral("-0.05"));

  TypeInto(dlg.Edit1, "nan");
  PressKey(dlg.Edit1, Qt::Key_Return);  // not a number: the track bar's value
  QCOMPARE(dlg.Edit1->text(), QStringLiteral("-0.05"));
  TypeInto(dlg.Edit1, "77");
  PressKey(dlg.Edit1, Qt::Key_Escape);
  QCOMPARE(dlg.Edit1->text(), QStringLiteral("-0.05"));
  dlg.Edit1->setFocus();
  PressKey(dlg.Edit1, Qt::Key_Up);
  QCOMPARE(dlg.TrackBarAngle->value(), -4);
  QCOMPARE(dlg.Edit1->text(), QStringLiteral("-0.04"));

  ConvertParams params;
  dlg.ApplyTo(params);
  QCOMPARE(double(params.RotateAngle), -0.04);
}

void OperationDialogsTest::rotatePreviewRunsThroughTheWorker() {
  const Bitmap picture = PhotoLike(120, 80);
  RotateDialog dlg;
  dlg.FileName = WriteBmpPicture(dir_, "회전 사진.bmp", picture);
  dlg.RotateAngle = 30;
  dlg.show();
  QCOMPARE(dlg.TrackBarAngle->value(), 3000);
  QCOMPARE(dlg.Edit1->text(), QStringLiteral("30"));
  QVERIFY(dlg.PreviewImage->Picture().SamePixels(picture));  // the source, until the timer
  QVERIFY(dlg.Timer1->isActive());
  QCOMPARE(dlg.Timer1->interval(), 300);

  ConvertParams params;
  params.RotateAngle = 30;
  Bitmap rotated = picture;
  QVERIFY(RotateBitmap(rotated, params, nullptr));
  QTRY_VERIFY(dlg.PreviewImage->Picture().SamePixels(rotated));
  QTRY_VERIFY(!dlg.RotateThread->Running());

  // A change made while the worker still runs is previewed once it has ended.
  dlg.TrackBarAngle->setValue(9000);
  QTRY_VERIFY(dlg.RotateThread->Running());
  dlg.TrackBarAngle->setValue(-4500);
  params.RotateAngle = -45;
  rotated = picture;
  QVERIFY(RotateBitmap(rotated, params, nullptr));
  QTRY_VERIFY_WITH_TIMEOUT(dlg.PreviewImage->Picture().SamePixels(rotated), 10000);
  QVERIFY(dlg.PreviewSource().SamePixels(picture));
}

void OperationDialogsTest::colourPreviewChain() {
  const Bitmap picture = PhotoLike(200, 150);
  ColourDialog dlg;
  dlg.FileName = WriteBmpPicture(dir_, "색감 사진.bmp", picture);
  dlg.show();
  QCOMPARE(dlg.windowTitle(), QStringLiteral("색감 변경"));
  QCOMPARE(dlg.OKBtn->text(), QStringLiteral("변경"));
  QCOMPARE(dlg.Timer1->interval(), 700);
  QCOMPARE(dlg.Saturation, 255);

  dlg.TrackBarS->setValue(-255);
  QCOMPARE(dlg.Saturation, 0);
  QCOMPARE(dlg.Edit3->text(), QStringLiteral("-255"));
  QTRY_VERIFY(!dlg.Timer1->isActive());
  const Bitmap& grey = dlg.PreviewImage->Picture();
  QCOMPARE(grey.Width(), 200);
  int colourful = 0;
  for (int y = 0; y < grey.Height(); ++y)
    for (int x = 0; x < grey.Width(); ++x) {
      const RgbColor c = grey.Pixel(x, y);
      colourful += GetRValue(c) != GetGValue(c) || GetGValue(c) != GetBValue(c);
    }
  QCOMPARE(colourful, 0);
  QVERIFY(!grey.SamePixels(picture));

  // The chain runs contrast, then brightness, then saturation, as the batch does.
  dlg.TrackBarC->setValue(300);
  dlg.TrackBarL->setValue(-100);
  dlg.TrackBarS->setValue(400);
  ConvertParams params;
  params.Contrast = 300;
  params.Brightness = -100;
  params.Saturation = 655;
  Bitmap expected = picture;
  QVERIFY(clsbitmap(expected, params, nullptr));
  QTRY_VERIFY(dlg.PreviewImage->Picture().SamePixels(expected));

  for (QSlider* s : {dlg.TrackBarC, dlg.TrackBarL, dlg.TrackBarS}) s->setValue(0);
  QTRY_VERIFY(dlg.PreviewImage->Picture().SamePixels(picture));

  // Clamps on Enter.
  TypeInto(dlg.Edit1, "2000");
  PressKey(dlg.Edit1, Qt::Key_Return);
  QCOMPARE(dlg.Edit1->text(), QStringLiteral("1023"));
  QCOMPARE(dlg.Contrast, 1023);
  TypeInto(dlg.Edit2, "-5000");
  PressKey(dlg.Edit2, Qt::Key_Return);
  QCOMPARE(dlg.Brightness, -1023);
  TypeInto(dlg.Edit3, "1100");
  LeaveTo(dlg.Edit1);
  QCOMPARE(dlg.Edit3->text(), QStringLiteral("1024"));
  QCOMPARE(dlg.Saturation, 1279);
  dlg.ApplyTo(params);
  QCOMPARE(params.Contrast, 1023);
  QCOMPARE(params.Brightness, -1023);
  QCOMPARE(params.Saturation, 1279);
}

void OperationDialogsTest::colourFieldsActOnlyWhenChanged() {
  ColourDialog dlg;
  dlg.FileName = WriteBmpPicture(dir_, "색감 2.bmp", PhotoLike(60, 40));
  dlg.show();
  QVERIFY(QTest::qWaitForWindowActive(&dlg));
  dlg.TrackBarC->setValue(10);
  QVERIFY(dlg.Timer1->isActive());
  // Passing through an unchanged field leaves the pending preview alone.
  dlg.Edit2->setFocus(Qt::TabFocusReason);
  LeaveTo(dlg.Edit3);
  QVERIFY(dlg.Timer1->isActive());
  // A key stops the timer; Enter that changes nothing still brings the preview up to date.
  TypeInto(dlg.Edit3, "0");
  QVERIFY(!dlg.Timer1->isActive());
  PressKey(dlg.Edit3, Qt::Key_Return);
  ConvertParams params;
  params.Contrast = 10;
  Bitmap expected = dlg.PreviewSource();
  QVERIFY(clsbitmap(expected, params, nullptr));
  QTRY_VERIFY(dlg.PreviewImage->Picture().SamePixels(expected));
}

void OperationDialogsTest::gammaField() {
  QLocale::setDefault(QLocale(QLocale::German));  // a comma locale changes nothing
  const Bitmap picture = PhotoLike(90, 70);
  GammaDialog dlg;
  dlg.FileName = WriteBmpPicture(dir_, "감마 사진.bmp", picture);
  dlg.show();
  QVERIFY(QTest::qWaitForWindowActive(&dlg));
  QCOMPARE(dlg.windowTitle(), QStringLiteral(" Gamma Correction"));
  QCOMPARE(dlg.Edit1->text(), QStringLiteral("1.00"));

  TypeInto(dlg.Edit1, "0");
  PressKey(dlg.Edit1, Qt::Key_Return);
  QCOMPARE(dlg.Edit1->text(), QStringLiteral("0.01"));
  QCOMPARE(dlg.GTrackBar->value(), 1);
  QCOMPARE(dlg.Gamma, 1);

  TypeInto(dlg.Edit1, "2.5");
  LeaveTo(dlg.OKBtn);
  QCOMPARE(dlg.Edit1->text(), QStringLiteral("1.99"));
  QCOMPARE(dlg.Gamma, 199);

  TypeInto(dlg.Edit1, "1e30");
  PressKey(dlg.Edit1, Qt::Key_Return);
  QCOMPARE(dlg.Edit1->text(), QStringLiteral("1.99"));
  TypeInto(dlg.Edit1, "0.5");
  PressKey(dlg.Edit1, Qt::Key_Escape);
  QCOMPARE(dlg.Edit1->text(), QStringLiteral("1.99"));

  dlg.GTrackBar->setValue(150);
  QCOMPARE(dlg.Edit1->text(), QStringLiteral("1.50"));
  ConvertParams params;
  params.Gamma = 150;
  Bitmap expected = picture;
  QVERIFY(GammaCorr(expected, params, nullptr));
  QVERIFY(!expected.SamePixels(picture));
  QTRY_VERIFY(dlg.PreviewImage->Picture().SamePixels(expected));
  QVERIFY(dlg.PreviewSource().SamePixels(picture));
  QLocale::setDefault(QLocale::c());

  // Every showing starts at "1.00".
  dlg.hide();
  dlg.show();
  QCOMPARE(dlg.Edit1->text(), QStringLiteral("1.00"));
}

void OperationDialogsTest::timersStopWhenTheDialogEnds() {
  GammaDialog gamma;
  gamma.FileName = WriteBmpPicture(dir_, "timer.bmp", PhotoLike(40, 30));
  QCOMPARE(ExecWith(gamma,
                    [&] {
                      gamma.GTrackBar->setValue(50);
                      QVERIFY(gamma.Timer1->isActive());
                      QTest::mouseClick(gamma.OKBtn, Qt::LeftButton);
                    }),
           1);
  QVERIFY(!gamma.Timer1->isActive());
  QCOMPARE(gamma.Gamma, 50);

  // A rotation preview running when the dialog ends is dropped with it.
  auto* rotate = new RotateDialog;
  rotate->FileName = gamma.FileName;
  QCOMPARE(ExecWith(*rotate,
                    [&] {
                      rotate->TrackBarAngle->setValue(4500);
                      QVERIFY(rotate->Timer1->isActive());
                      TypeInto(rotate->Edit1, "60");  // left unfinished in the field
                      rotate->close();
                    }),
           2);
  QVERIFY(!rotate->Timer1->isActive());
  QTest::qWait(400);
  QVERIFY(!rotate->RotateThread->Running());
  delete rotate;
}

// Saves a picture of each dialog with its preview into $QUORVANE_SCREENSHOT_DIR (for the
// documentation); the preview shows $QUORVANE_SCREENSHOT_PHOTO, or a drawn landscape.
void OperationDialogsTest::screenshots() {
  const QString out = qEnvironmentVariable("QUORVANE_SCREENSHOT_DIR");
  if (out.isEmpty()) QSKIP("QUORVANE_SCREENSHOT_DIR is not set");
  QVERIFY(QDir().mkpath(out));
  std::string photo = qEnvironmentVariable("QUORVANE_SCREENSHOT_PHOTO").toStdString();
  if (photo.empty()) photo = WriteBmpPicture(dir_, "풍경 사진.bmp", PhotoLike(800, 530));
  const auto save = [&](QDialog& dlg, const char* name) {
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    QTest::qWait(1200);  // every preview timer has fired
    const QPixmap shot = dlg.grab();
    QVERIFY(!shot.isNull());
    QVERIFY(shot.save(out + "/" + name));
    dlg.done(2);
  };

  ResizeDialog resize;
  resize.FileName = photo;  // the line under the choices gives its result size
  resize.LongSide = true;
  resize.LongSideLength = 1024;
  resize.ShrinkOnly = true;
  resize.BorderColor = RGB(40, 60, 120);
  save(resize, "dialog-resize.png");
  TurnFlipDialog turn;
  turn.FileName = photo;
  turn.OpCode = opTurnRight;
  save(turn, "dialog-turnflip.png");
  RotateDialog rotate;
  rotate.FileName = photo;
  rotate.RotateAngle = 12.5;
  save(rotate, "dialog-rotate.png");
  ColourDialog colour;
  colour.FileName = photo;
  colour.show();
  colour.TrackBarC->setValue(60);
  colour.TrackBarS->setValue(200);
  save(colour, "dialog-colour.png");
  GammaDialog gamma;
  gamma.FileName = photo;
  gamma.show();
  gamma.GTrackBar->setValue(140);
  save(gamma, "dialog-gamma.png");
}

// A value typed into a field and accepted from the keyboard (the OK button's shortcut
// clicks it while the focus stays in the field) is the value the batch gets.
void OperationDialogsTest::typedValueCountsWhenAcceptedByKeyboard() {
  const auto acceptTyped = [](auto& dlg, NumberField* field, const QString& text) {
    return ExecWith(dlg, [&] {
      TypeInto(field, text);
      QCOMPARE(dlg.focusWidget(), field);
      dlg.OKBtn->click();
    });
  };
  {
    ResizeDialog dlg;
    QCOMPARE(acceptTyped(dlg, dlg.Edit1, "250"), 1);
    ConvertParams params;
    dlg.ApplyTo(params);
    QCOMPARE(params.Percent, 250);
  }
  {
    ResizeDialog dlg;
    QCOMPARE(acceptTyped(dlg, dlg.EditDW, "640"), 1);
    ConvertParams params;
    dlg.ApplyTo(params);
    QCOMPARE(params.TargetWidth, 640);
  }
  {
    GammaDialog dlg;
    QCOMPARE(acceptTyped(dlg, dlg.Edit1, "0.5"), 1);
    ConvertParams params;
    dlg.ApplyTo(params);
    QCOMPARE(params.Gamma, 50);
  }
}

QTEST_MAIN(OperationDialogsTest)
#include "operationdialogs_qtest.moc"
