// The slideshow's settings: "슬라이드 쇼 간격(초)" (1..60, default 4) and "반복" in the
// settings dialog, kept in the settings file, and handed to the viewer by the window.
#include <QCheckBox>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>

#include "processing/ui/ConvertSettingsDialog.h"
#include "shell/ui/SettingsFile.h"

using namespace quorvane;

class SlideshowSettingsTest : public QObject {
  Q_OBJECT
 private slots:
  void dialogShowsAndAppliesThem();
  void theSettingsFileKeepsThemWithinRange();
};

void SlideshowSettingsTest::dialogShowsAndAppliesThem() {
  Settings settings;
  QCOMPARE(settings.SlideshowSeconds, 4);
  QVERIFY(!settings.SlideshowLoop);
  settings.SlideshowSeconds = 9;
  ConvertSettingsDialog dlg;
  dlg.LoadFrom(settings);
  dlg.show();
  QVERIFY(QTest::qWaitForWindowExposed(&dlg));
  QCOMPARE(dlg.SlideSeconds->prefix().trimmed(), QStringLiteral("슬라이드 쇼 간격(초)"));
  QCOMPARE(dlg.SlideSeconds->minimum(), 1);
  QCOMPARE(dlg.SlideSeconds->maximum(), 60);
  QCOMPARE(dlg.SlideSeconds->value(), 9);
  QCOMPARE(dlg.CheckBoxLoop->text(), QStringLiteral("반복"));
  QVERIFY(!dlg.CheckBoxLoop->isChecked());
  dlg.SlideSeconds->setValue(75);  // beyond the range: the highest
  dlg.CheckBoxLoop->setChecked(true);
  dlg.ApplyTo(settings);
  QCOMPARE(settings.SlideshowSeconds, 60);
  QVERIFY(settings.SlideshowLoop);
}

void SlideshowSettingsTest::theSettingsFileKeepsThemWithinRange() {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("quorvane.conf"));
  Settings saved;
  saved.SlideshowSeconds = 12;
  saved.SlideshowLoop = true;
  QString warning;
  QVERIFY(SettingsFile(path).SaveSettings(saved, warning));
  Settings loaded;
  WindowState window;
  QVERIFY(SettingsFile(path).Load(loaded, window, warning));
  QCOMPARE(loaded.SlideshowSeconds, 12);
  QVERIFY(loaded.SlideshowLoop);
  // A value out of range in the file gives the default.
  QFile file(path);
  QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  file.write("[Settings]\nSlideshowSeconds=0\n");
  file.close();
  Settings fallback;
  QVERIFY(SettingsFile(path).Load(fallback, window, warning));
  QCOMPARE(fallback.SlideshowSeconds, 4);
}

QTEST_MAIN(SlideshowSettingsTest)
#include "slideshow_settings_qtest.moc"
