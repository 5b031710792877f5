// The settings dialog's camera metadata switches: their texts and defaults, OK hands
// them to the settings and to the readers, Cancel changes nothing.

#include <QCheckBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "processing/ui/ConvertSettingsDialog.h"
#include "imaging/ExifOptions.h"

using namespace quorvane;

class ConvertSettingsExifTest : public QObject {
  Q_OBJECT
 private slots:
  void textsAndDefaults();
  void okAppliesTheSwitchesAndCancelLeavesThem();
  void cleanup() { SetExifOptions({}); }
};

void ConvertSettingsExifTest::textsAndDefaults() {
  ConvertSettingsDialog dlg;
  QCOMPARE(dlg.CheckBoxOrient->text(), QStringLiteral("EXIF 방향 자동 적용"));
  QCOMPARE(dlg.CheckBoxMetadata->text(), QStringLiteral("메타데이터 유지"));
  QVERIFY(dlg.CheckBoxOrient->isChecked());
  QVERIFY(dlg.CheckBoxMetadata->isChecked());
  const Settings defaults;
  QVERIFY(defaults.AutoOrient && defaults.UseEmbeddedThumbnails && defaults.KeepMetadata);
}

void ConvertSettingsExifTest::okAppliesTheSwitchesAndCancelLeavesThem() {
  auto run = [](Settings& settings, bool ok) {
    ConvertSettingsDialog dlg;
    dlg.LoadFrom(settings);
    QTimer::singleShot(0, &dlg, [&] {
      QCOMPARE(dlg.CheckBoxOrient->isChecked(), settings.AutoOrient);
      QCOMPARE(dlg.CheckBoxMetadata->isChecked(), settings.KeepMetadata);
      QTest::mouseClick(dlg.CheckBoxOrient, Qt::LeftButton);
      QTest::mouseClick(dlg.CheckBoxMetadata, Qt::LeftButton);
      QTest::mouseClick(ok ? dlg.OKBtn : dlg.CancelBtn, Qt::LeftButton);
    });
    QTimer::singleShot(20000, &dlg, [&] { dlg.done(99); });
    if (dlg.exec() == 1) dlg.ApplyTo(settings);
  };
  Settings settings;
  run(settings, false);
  QVERIFY(settings.AutoOrient && settings.KeepMetadata);
  QVERIFY(CurrentExifOptions().AutoOrient && CurrentExifOptions().KeepMetadata);

  run(settings, true);
  QVERIFY(!settings.AutoOrient);
  QVERIFY(!settings.KeepMetadata);
  QVERIFY(!CurrentExifOptions().AutoOrient);
  QVERIFY(!CurrentExifOptions().KeepMetadata);
  QVERIFY(CurrentExifOptions().UseEmbeddedThumbnails);

  run(settings, true);  // shown unchecked, clicked back on
  QVERIFY(settings.AutoOrient && settings.KeepMetadata);
  QVERIFY(CurrentExifOptions().AutoOrient);
}

QTEST_MAIN(ConvertSettingsExifTest)
#include "convertsettingsdialog_exif_qtest.moc"
