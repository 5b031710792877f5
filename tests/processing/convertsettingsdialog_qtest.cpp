// The settings dialog driven through its real widgets.

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <QTimer>

#include "processing/DlgTestHelpers.h"
#include "processing/ui/ConvertSettingsDialog.h"
#include "support/CaptionCheck.h"

using namespace quorvane;
using namespace quorvane::test;

class ConvertSettingsTest : public QObject {
  Q_OBJECT
 private slots:
  void textsAndDefaults();
  void qualityField();
  void valuesAreBroughtIntoRange();
  void okCopiesBackAndCancelLeavesSettings();
  void screenshot();
  void typedQualityCountsWhenAcceptedByKeyboard();
  void newNameChoice();
};

// What the settings command does: preset, show, copy back on OK only.
template <typename Act>
static int RunSettingsCommand(Settings& settings, Act act) {
  ConvertSettingsDialog dlg;
  dlg.LoadFrom(settings);
  QTimer::singleShot(0, &dlg, [&] { act(dlg); });
  QTimer::singleShot(20000, &dlg, [&] { dlg.done(99); });
  const int result = dlg.exec();
  if (result == 1) dlg.ApplyTo(settings);
  return result;
}

void ConvertSettingsTest::textsAndDefaults() {
  ConvertSettingsDialog dlg;
  QCOMPARE(dlg.windowTitle(), QStringLiteral("설정"));
  QCOMPARE(dlg.OKBtn->text(), QStringLiteral("설정"));
  QCOMPARE(dlg.CancelBtn->text(), QStringLiteral("취소"));
  QStringList groups;
  for (const QGroupBox* g : dlg.findChildren<QGroupBox*>()) groups << g->title();
  QCOMPARE(groups, (QStringList{" JPG 화질 ", " GIF Dithering ", " 기타 설정 "}));
  QStringList labels;
  for (const QLabel* l : dlg.findChildren<QLabel*>()) labels << l->text();
  QCOMPARE(labels, (QStringList{" 저화질 ", " 고화질 "}));
  QStringList dithers;
  for (int i = 0; i < dlg.ComboBox1->count(); ++i) dithers << dlg.ComboBox1->itemText(i);
  QCOMPARE(dithers,
           (QStringList{"Nearest", "FloydSteinBerg(기본값)", "Stucki", "Sierra", "Burkes"}));
  QCOMPARE(dlg.CheckBox1->text(), QStringLiteral(" 파일 덮어쓰기"));
  QCOMPARE(dlg.TrackBar1->minimum(), 1);
  QCOMPARE(dlg.TrackBar1->maximum(), 100);
  QCOMPARE(dlg.TrackBar1->value(), 80);
  QVERIFY(dlg.CheckBox1->isChecked());
  QVERIFY(dlg.width() >= 313 && dlg.height() >= 206 + GradientCaption::kDefaultHeight);
  QCOMPARE(CaptionProblem(dlg), QString());
}

void ConvertSettingsTest::qualityField() {
  ConvertSettingsDialog dlg;
  dlg.show();
  QVERIFY(QTest::qWaitForWindowActive(&dlg));
  QCOMPARE(dlg.Edit1->text(), QStringLiteral("80"));

  TypeInto(dlg.Edit1, "0");
  PressKey(dlg.Edit1, Qt::Key_Return);
  QVERIFY(dlg.isVisible());  // Enter is the field's, not the dialog's
  QCOMPARE(dlg.Edit1->text(), QStringLiteral("1"));
  QCOMPARE(dlg.TrackBar1->value(), 1);
  QCOMPARE(dlg.JpegQuality, 1);

  TypeInto(dlg.Edit1, "250");
  PressKey(dlg.Edit1, Qt::Key_Return);
  QCOMPARE(dlg.Edit1->text(), QStringLiteral("100"));
  QCOMPARE(dlg.JpegQuality, 100);

  TypeInto(dlg.Edit1, "qq");
  PressKey(dlg.Edit1, Qt::Key_Return);
  QCOMPARE(dlg.Edit1->text(), QStringLiteral("100"));

  TypeInto(dlg.Edit1, "42");
  PressKey(dlg.Edit1, Qt::Key_Escape);
  QVERIFY(dlg.isVisible());
  QCOMPARE(dlg.Edit1->text(), QStringLiteral("100"));
  QCOMPARE(dlg.JpegQuality, 100);

  // Leaving with 250 while the track bar is already at its end still shows the value
  // the track bar holds.
  TypeInto(dlg.Edit1, "250");
  LeaveTo(dlg.ComboBox1);
  QCOMPARE(dlg.TrackBar1->value(), 100);
  QCOMPARE(dlg.Edit1->text(), QStringLiteral("100"));

  TypeInto(dlg.Edit1, "64");
  LeaveTo(dlg.ComboBox1);
  QCOMPARE(dlg.JpegQuality, 64);
  dlg.Edit1->setFocus();
  PressKey(dlg.Edit1, Qt::Key_Down);
  QCOMPARE(dlg.JpegQuality, 63);
  QCOMPARE(dlg.Edit1->text(), QStringLiteral("63"));
}

void ConvertSettingsTest::valuesAreBroughtIntoRange() {
  Settings settings;
  settings.JpegQuality = 0;
  settings.DitherIndex = 7;
  settings.OverwriteFiles = false;
  QCOMPARE(RunSettingsCommand(settings,
                              [](ConvertSettingsDialog& dlg) {
                                QCOMPARE(dlg.ComboBox1->currentIndex(), 1);
                                QCOMPARE(dlg.TrackBar1->value(), 1);
                                QCOMPARE(dlg.Edit1->text(), QStringLiteral("1"));
                                QVERIFY(!dlg.CheckBox1->isChecked());
                                QTest::mouseClick(dlg.OKBtn, Qt::LeftButton);
                              }),
           1);
  QCOMPARE(settings.DitherIndex, 1);
  QCOMPARE(settings.JpegQuality, 1);
  QVERIFY(!settings.OverwriteFiles);

  settings.JpegQuality = 150;
  settings.DitherIndex = -1;
  RunSettingsCommand(settings, [](ConvertSettingsDialog& dlg) { dlg.OKBtn->click(); });
  QCOMPARE(settings.JpegQuality, 100);
  QCOMPARE(settings.DitherIndex, 1);
}

void ConvertSettingsTest::okCopiesBackAndCancelLeavesSettings() {
  const auto change = [](ConvertSettingsDialog& dlg) {
    dlg.TrackBar1->setValue(35);
    dlg.ComboBox1->setCurrentIndex(4);
    QTest::mouseClick(dlg.CheckBox1, Qt::LeftButton);
  };
  Settings settings;
  QCOMPARE(RunSettingsCommand(settings,
                              [&](ConvertSettingsDialog& dlg) {
                                change(dlg);
                                QCOMPARE(dlg.JpegQuality, 35);
                                QTest::mouseClick(dlg.CancelBtn, Qt::LeftButton);
                              }),
           2);
  QCOMPARE(settings.JpegQuality, 80);
  QCOMPARE(settings.DitherIndex, 1);
  QVERIFY(settings.OverwriteFiles);

  // Escape away from the quality field, and closing the window, are Cancel too.
  QCOMPARE(RunSettingsCommand(settings,
                              [&](ConvertSettingsDialog& dlg) {
                                change(dlg);
                                PressKey(dlg.ComboBox1, Qt::Key_Escape);
                              }),
           2);
  QCOMPARE(RunSettingsCommand(settings,
                              [&](ConvertSettingsDialog& dlg) {
                                change(dlg);
                                dlg.close();
                              }),
           2);
  QCOMPARE(settings.JpegQuality, 80);

  QCOMPARE(RunSettingsCommand(settings,
                              [&](ConvertSettingsDialog& dlg) {
                                change(dlg);
                                QTest::mouseClick(dlg.OKBtn, Qt::LeftButton);
                              }),
           1);
  QCOMPARE(settings.JpegQuality, 35);
  QCOMPARE(settings.DitherIndex, 4);
  QVERIFY(!settings.OverwriteFiles);
}

void ConvertSettingsTest::screenshot() {
  const QString out = qEnvironmentVariable("QUORVANE_SCREENSHOT_DIR");
  if (out.isEmpty()) QSKIP("QUORVANE_SCREENSHOT_DIR is not set");
  ConvertSettingsDialog dlg;
  dlg.show();
  QVERIFY(QTest::qWaitForWindowExposed(&dlg));
  QVERIFY(dlg.grab().save(out + "/dialog-settings.png"));
}

void ConvertSettingsTest::typedQualityCountsWhenAcceptedByKeyboard() {
  Settings settings;
  QCOMPARE(RunSettingsCommand(settings,
                              [](ConvertSettingsDialog& dlg) {
                                TypeInto(dlg.Edit1, "37");
                                QCOMPARE(dlg.focusWidget(), dlg.Edit1);
                                dlg.OKBtn->click();  // as its shortcut does
                              }),
           1);
  QCOMPARE(settings.JpegQuality, 37);
}

// "새 이름으로 저장" beside the overwrite switch: while it is on, the switch has no say.
void ConvertSettingsTest::newNameChoice() {
  Settings settings;
  QVERIFY(ExistingChoice(settings) == OnExists::Overwrite);
  QCOMPARE(RunSettingsCommand(settings,
                              [](ConvertSettingsDialog& dlg) {
                                QCOMPARE(dlg.CheckBoxRename->text(),
                                         QStringLiteral("새 이름으로 저장"));
                                QVERIFY(!dlg.CheckBoxRename->isChecked());
                                QTest::mouseClick(dlg.CheckBoxRename, Qt::LeftButton);
                                QVERIFY(!dlg.CheckBox1->isEnabled());
                                QTest::mouseClick(dlg.OKBtn, Qt::LeftButton);
                              }),
           1);
  QVERIFY(settings.RenameExisting);
  QVERIFY(ExistingChoice(settings) == OnExists::Rename);
  // Shown again, the choice is kept; turned off, the overwrite switch decides again.
  QCOMPARE(RunSettingsCommand(settings,
                              [](ConvertSettingsDialog& dlg) {
                                QVERIFY(dlg.CheckBoxRename->isChecked());
                                QTest::mouseClick(dlg.CheckBoxRename, Qt::LeftButton);
                                QVERIFY(dlg.CheckBox1->isEnabled());
                                QTest::mouseClick(dlg.CheckBox1, Qt::LeftButton);
                                QTest::mouseClick(dlg.OKBtn, Qt::LeftButton);
                              }),
           1);
  QVERIFY(ExistingChoice(settings) == OnExists::Error);
}

QTEST_MAIN(ConvertSettingsTest)
#include "convertsettingsdialog_qtest.moc"
