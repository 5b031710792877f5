// The main window's "프리셋으로 변환" menu: the saved presets of quorvane-convert, run on
// the grid's selection.
#include <QMenu>

#include "processing/ConvertPreset.h"
#include "processing/PresetBatch.h"
#include "processing/ui/ConvertDialog.h"
#include "shell/ui/GridStatus.h"
#include "shell/ui/MainWindow.h"
#include "thumbnails/ui/ImgListView.h"

namespace quorvane {

void MainWindow::OfferPresetMenu() {
  QAction* entry = PresetMenu->menuAction();
  const bool any = !ListPresets().empty();
  if (any && !PopupMenu1->actions().contains(entry)) PopupMenu1->addAction(entry);
  if (!any) PopupMenu1->removeAction(entry);
}

void MainWindow::FillPresetMenu() {
  PresetMenu->clear();
  const std::vector<PresetEntry> presets = ListPresetEntries();
  if (presets.empty()) {
    PresetMenu->addAction(QStringLiteral("(저장된 프리셋 없음)"))->setEnabled(false);
    return;
  }
  PresetMenu->setToolTipsVisible(true);
  for (const PresetEntry& preset : presets) {
    const QString name = QString::fromStdString(preset.Name);
    if (!preset.Problem.empty()) {
      QAction* entry = PresetMenu->addAction(name + QStringLiteral(" (손상됨)"));
      entry->setEnabled(false);
      entry->setToolTip(QString::fromStdString(preset.Problem));
      continue;
    }
    const std::string chosen = preset.Name;
    QAction* entry = PresetMenu->addAction(name);
    connect(entry, &QAction::triggered, this, [this, chosen] { RunPreset(chosen); });
  }
}

void MainWindow::RunPreset(const std::string& name) {
  if (!ImgListView1) return;
  if (!ImgListView1->Selected()) {
    StatusLine->showMessage(QStringLiteral("선택된 파일이 없습니다."), kStatusMessageMs);
    return;
  }
  const std::vector<std::string> files = SelectedFiles();
  if (files.empty()) return;
  BeginBusy();
  try {
    ConvertDialog dlg(this);
    try {
      dlg.Params() = PresetBatch(name, files);
    } catch (const std::exception& e) {
      StatusLine->showMessage(QStringLiteral("프리셋 \"%1\"을(를) 건너뜁니다: %2")
                                  .arg(QString::fromStdString(name), QString::fromUtf8(e.what())),
                              kStatusMessageMs);
      EndBusy();
      return;
    }
    RunBatch(dlg);
  } catch (...) {
  }
  EndBusy();
}

}  // namespace quorvane
