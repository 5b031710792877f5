// Presets in the window: saved from the settings dialog, listed under "프리셋으로 변환",
// run on the selection through the conversion dialog and the result bar; a chain saved
// by quorvane-convert runs whole, and a damaged file is listed with its reason.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QProcess>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <functional>

#include "folders/ui/FolderDialog.h"
#include "folders/ui/FolderTree.h"
#include "imaging/BmpFile.h"
#include "processing/ConvertPreset.h"
#include "processing/PresetBatch.h"
#include "processing/ui/ConvertDialog.h"
#include "processing/ui/ConvertSettingsDialog.h"
#include "processing/ui/PresetSaveDialog.h"
#include "shell/ui/BatchResultBar.h"
#include "shell/ui/GridStatus.h"
#include "shell/ui/MainWindow.h"
#include "shell/WindowTestHelpers.h"
#include "support/TestDir.h"
#include "thumbnails/ui/ImgListView.h"

using namespace quorvane;
using namespace quorvane::test;

namespace {

QString gHome;

QAction* EntryNamed(QMenu* menu, const QString& text) {
  for (QAction* action : menu->actions())
    if (action->text() == text) return action;
  return nullptr;
}

}  // namespace

class PresetWindowTest : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase();
  void cleanupTestCase() { w.reset(); }
  void savedFromTheSettingsDialog();
  void listedWithTheDamagedOneDisabled();
  void runsOnTheSelectionThroughTheBatch();
  void aChainSavedByTheConverterRunsWhole();
  void aDamagedPresetIsSkippedWithItsReason();
  void screenshot();

 private:
  // Selects the grid's pictures, runs preset `name` from its menu entry and answers the
  // output folder with OK.
  void RunFromMenu(const QString& name);
  std::unique_ptr<MainWindow> w;
  QString photos;
  QObject watchers;
};

void PresetWindowTest::initTestCase() {
  photos = gHome + QStringLiteral("/사진");
  QVERIFY(QDir().mkpath(photos));
  WriteBmpFile((photos + QStringLiteral("/넓은.bmp")).toStdString(), PatternBitmap(90, 33));
  WriteBmpFile((photos + QStringLiteral("/작은.bmp")).toStdString(), PatternBitmap(20, 12));
  // A file that is no preset at all.
  QDir().mkpath(QString::fromStdString(PresetFolder()));
  QFile damaged(QString::fromStdString(PresetFolder()) + QStringLiteral("/망가짐.conf"));
  QVERIFY(damaged.open(QIODevice::WriteOnly));
  damaged.write("[convert]\nquality=abc\n");
  damaged.close();

  w = std::make_unique<MainWindow>();
  w->show();
  QVERIFY(QTest::qWaitForWindowExposed(w.get()));
  w->FolderTree1->SetPath(photos);
  QTRY_COMPARE_WITH_TIMEOUT(w->ImgListView1->Count(), 2, 15000);
}

void PresetWindowTest::savedFromTheSettingsDialog() {
  ConvertSettingsDialog settings;
  settings.JpegQuality = 64;
  settings.RenameExisting = true;
  settings.show();
  QVERIFY(QTest::qWaitForWindowExposed(&settings));
  QCOMPARE(settings.SavePresetBtn->text(), QStringLiteral("프리셋으로 저장…"));
  bool saved = false;
  WhenModal<PresetSaveDialog>(&watchers, [&](PresetSaveDialog& dlg) {
    // A refused value is said in the dialog, and nothing is saved.
    dlg.NameEdit->setText(QStringLiteral("웹용"));
    dlg.OperationBox->setCurrentIndex(3);  // the long side
    dlg.ValueEdit->setText(QStringLiteral("0"));
    dlg.SaveBtn->click();
    QVERIFY(dlg.isVisible());
    QVERIFY(dlg.ProblemLabel->text().contains(QStringLiteral("out of range")));
    dlg.ValueEdit->setText(QStringLiteral("40"));
    dlg.CheckShrink->setChecked(true);
    dlg.FormatBox->setCurrentIndex(1);  // PNG
    dlg.PatternEdit->setText(QStringLiteral("{name}_web"));
    dlg.SaveBtn->click();
    saved = !dlg.isVisible() && dlg.SavedName == "웹용";
  });
  QTest::mouseClick(settings.SavePresetBtn, Qt::LeftButton);
  QVERIFY(saved);
  const PresetData preset = ReadPresetFile(PresetPath("웹용"));
  QCOMPARE(preset.operations, (std::vector<std::string>{"long-side 40"}));
  const auto has = [&](const std::string& key, const std::string& value) {
    return std::find(preset.settings.begin(), preset.settings.end(), std::pair{key, value}) !=
           preset.settings.end();
  };
  QVERIFY(has("format", "png"));
  QVERIFY(has("quality", "64"));
  QVERIFY(has("on-exists", "rename"));
  QVERIFY(has("name", "{name}_web"));
  QVERIFY(has("shrink-only", "true"));

  // Saving again under the same name replaces it only at the second Save.
  WhenModal<PresetSaveDialog>(&watchers, [&](PresetSaveDialog& dlg) {
    dlg.NameEdit->setText(QStringLiteral("웹용"));
    dlg.SaveBtn->click();
    QVERIFY(dlg.isVisible());
    dlg.done(0);
  });
  QTest::mouseClick(settings.SavePresetBtn, Qt::LeftButton);
  QCOMPARE(ReadPresetFile(PresetPath("웹용")).operations, preset.operations);
  settings.done(2);
}

void PresetWindowTest::listedWithTheDamagedOneDisabled() {
  SavePresetFromOptions("회전 후 축소", {"--format", "png", "--turn-right", "--long-side", "30"});
  w->FillPresetMenu();
  QStringList names;
  for (QAction* action : w->PresetMenu->actions()) names << action->text();
  QCOMPARE(names, (QStringList{QStringLiteral("망가짐 (손상됨)"), QStringLiteral("웹용"),
                               QStringLiteral("회전 후 축소")}));
  QAction* damaged = EntryNamed(w->PresetMenu, QStringLiteral("망가짐 (손상됨)"));
  QVERIFY(!damaged->isEnabled());
  QVERIFY2(damaged->toolTip().contains(QStringLiteral("quality")), qPrintable(damaged->toolTip()));
  QVERIFY(EntryNamed(w->PresetMenu, QStringLiteral("웹용"))->isEnabled());
  // The menu is reached from "기능" (F10).
  w->CallMenu->trigger();
  QTRY_VERIFY(w->PopupMenu1->isVisible());
  QCOMPARE(w->PopupMenu1->actions().last(), w->PresetMenu->menuAction());
  QCOMPARE(w->PresetMenu->title(), QStringLiteral("프리셋으로 변환"));
  w->PopupMenu1->hide();
}

void PresetWindowTest::RunFromMenu(const QString& name) {
  ImgListView& grid = *w->ImgListView1;
  grid.selectAll();
  bool progress = false;
  QObject scope;  // the watchers end with this run
  WhenModal<FolderDialog>(&scope, [&](FolderDialog& dialog) {
    QTest::mouseClick(dialog.OKBtn, Qt::LeftButton);
    WhenModal<ConvertDialog>(&scope, [&](ConvertDialog&) { progress = true; });
  });
  w->FillPresetMenu();
  QAction* entry = EntryNamed(w->PresetMenu, name);
  QVERIFY(entry);
  entry->trigger();  // returns when the batch's dialog has closed
  QVERIFY(progress);
  QVERIFY(!QApplication::activeModalWidget());
}

void PresetWindowTest::runsOnTheSelectionThroughTheBatch() {
  RunFromMenu(QStringLiteral("웹용"));
  const QString out = photos + QStringLiteral("/quorvane-conv/");
  QCOMPARE(Identify(out + QStringLiteral("넓은_web.png")), QStringLiteral("PNG 40 15"));
  QCOMPARE(Identify(out + QStringLiteral("작은_web.png")), QStringLiteral("PNG 20 12"));
  QVERIFY(w->ResultBar->isVisible());
  QVERIFY(w->ResultBar->Message->text().contains(QStringLiteral("2")));
  // The preset's "rename" choice: a second run keeps the first results.
  RunFromMenu(QStringLiteral("웹용"));
  QCOMPARE(Identify(out + QStringLiteral("넓은_web (1).png")), QStringLiteral("PNG 40 15"));
}

void PresetWindowTest::aChainSavedByTheConverterRunsWhole() {
  RunFromMenu(QStringLiteral("회전 후 축소"));
  const QString out = photos + QStringLiteral("/quorvane-conv/");
  // Turned to 33 x 90, then brought to 30 on the long side.
  QCOMPARE(Identify(out + QStringLiteral("넓은.png")), QStringLiteral("PNG 11 30"));
  QCOMPARE(Identify(out + QStringLiteral("작은.png")), QStringLiteral("PNG 18 30"));
}

void PresetWindowTest::aDamagedPresetIsSkippedWithItsReason() {
  w->ImgListView1->selectAll();
  w->RunPreset("망가짐");
  QVERIFY(!QApplication::activeModalWidget());
  const QString said = w->StatusLine->currentMessage();
  QVERIFY2(said.contains(QStringLiteral("망가짐")) && said.contains(QStringLiteral("quality")),
           qPrintable(said));
}

// The "기능" menu with its preset submenu open, into $QUORVANE_SCREENSHOT_DIR.
void PresetWindowTest::screenshot() {
  const QString dir = qEnvironmentVariable("QUORVANE_SCREENSHOT_DIR");
  if (dir.isEmpty()) QSKIP("QUORVANE_SCREENSHOT_DIR is not set");
  QMenu* menu = w->PopupMenu1;
  w->CallMenu->trigger();  // F10
  QTRY_VERIFY(menu->isVisible());
  w->PresetMenu->popup(menu->geometry().topRight() +
                       QPoint(0, menu->actionGeometry(w->PresetMenu->menuAction()).top()));
  QTRY_VERIFY(w->PresetMenu->isVisible());
  QTest::qWait(300);
  // Both menus as they stand on the screen.
  const QRect both = menu->geometry().united(w->PresetMenu->geometry());
  QPixmap shot(both.size());
  shot.fill(Qt::white);
  QPainter painter(&shot);
  painter.drawPixmap(menu->geometry().topLeft() - both.topLeft(), menu->grab());
  painter.drawPixmap(w->PresetMenu->geometry().topLeft() - both.topLeft(), w->PresetMenu->grab());
  painter.end();
  QVERIFY(shot.save(dir + QStringLiteral("/preset-menu.png")));
  w->PresetMenu->hide();
  menu->hide();

  PresetSaveDialog save;
  save.NameEdit->setText(QStringLiteral("웹용"));
  save.OperationBox->setCurrentIndex(3);
  save.ValueEdit->setText(QStringLiteral("2048"));
  save.CheckShrink->setChecked(true);
  save.FormatBox->setCurrentIndex(8);  // WebP
  save.PatternEdit->setText(QStringLiteral("{name}_web"));
  save.show();
  QVERIFY(QTest::qWaitForWindowExposed(&save));
  QVERIFY(save.grab().save(dir + QStringLiteral("/dialog-preset-save.png")));
}

int main(int argc, char** argv) {
  QTemporaryDir home;
  if (!home.isValid()) return 1;
  gHome = QDir(home.path()).canonicalPath();
  qputenv("HOME", gHome.toUtf8());
  qputenv("XDG_CACHE_HOME", (gHome + "/.cache").toUtf8());
  qputenv("XDG_CONFIG_HOME", (gHome + "/.config").toUtf8());
  QApplication app(argc, argv);
  PresetWindowTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "mainwindow_presets_qtest.moc"
