// The settings dialog's lossless switch and the note on how the quality drives WebP,
// AVIF and JPEG XL: OK hands the switch to the settings, Cancel changes nothing.

#include <QCheckBox>
#include <QSlider>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "processing/ui/ConvertSettingsDialog.h"

using namespace quorvane;

class ConvertSettingsLosslessTest : public QObject {
  Q_OBJECT
 private slots:
  void textAndDefault();
  void okAppliesTheSwitchAndCancelLeavesIt();
};

void ConvertSettingsLosslessTest::textAndDefault() {
  ConvertSettingsDialog dlg;
  QCOMPARE(dlg.CheckBoxLossless->text(), QStringLiteral("무손실 저장"));
  QVERIFY(!dlg.CheckBoxLossless->isChecked());
  QVERIFY(!Settings().Lossless);
  // The quality's controls say how it drives the other formats.
  for (const char* name : {"WebP", "AVIF", "JPEG XL", "JPEG"})
    QVERIFY2(dlg.TrackBar1->toolTip().contains(QLatin1String(name)), name);
}

void ConvertSettingsLosslessTest::okAppliesTheSwitchAndCancelLeavesIt() {
  auto run = [](Settings& settings, bool ok) {
    ConvertSettingsDialog dlg;
    dlg.LoadFrom(settings);
    QTimer::singleShot(0, &dlg, [&] {
      QCOMPARE(dlg.CheckBoxLossless->isChecked(), settings.Lossless);
      QTest::mouseClick(dlg.CheckBoxLossless, Qt::LeftButton);
      QTest::mouseClick(ok ? dlg.OKBtn : dlg.CancelBtn, Qt::LeftButton);
    });
    QTimer::singleShot(20000, &dlg, [&] { dlg.done(99); });
    if (dlg.exec() == 1) dlg.ApplyTo(settings);
  };
  Settings settings;
  run(settings, false);
  QVERIFY(!settings.Lossless);
  run(settings, true);
  QVERIFY(settings.Lossless);
  run(settings, true);  // shown checked, clicked off
  QVERIFY(!settings.Lossless);
}

QTEST_MAIN(ConvertSettingsLosslessTest)
#include "convertsettingsdialog_lossless_qtest.moc"
