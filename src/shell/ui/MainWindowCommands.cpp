// The main window's commands on the grid's selection: batches, the viewer, the menu
// button, the settings and the About box.
#include <QMenu>
#include <QPlainTextEdit>
#include <QToolButton>

#include <cstdio>

#include "folders/ui/FolderTree.h"
#include "folders/ui/FolderDialog.h"
#include "processing/ui/ColourDialog.h"
#include "processing/ui/ConvertDialog.h"
#include "processing/ui/ConvertSettingsDialog.h"
#include "processing/ui/GammaDialog.h"
#include "processing/ui/ResizeDialog.h"
#include "processing/ui/RotateDialog.h"
#include "processing/ui/TurnFlipDialog.h"
#include "processing/OutputFolder.h"
#include "thumbnails/FolderScan.h"
#include "shell/Settings.h"
#include "shell/ui/SettingsFile.h"
#include "shell/ui/StartSource.h"
#include "shell/ui/AboutBox.h"
#include "shell/ui/BatchResultBar.h"
#include "shell/ui/GridStatus.h"
#include "shell/ui/MainWindow.h"
#include "thumbnails/ui/ImgListView.h"
#include "viewer/ui/ViewerWindow.h"

namespace quorvane {

namespace {

constexpr int kModalOk = 1;
constexpr int kModalCancel = 2;

// Shows an operation dialog and, on OK, copies its answers into the batch.
template <class Dialog>
int RunOperationDialog(Dialog& dialog, ConvertParams& params) {
  const int result = dialog.exec();
  if (result == kModalOk) dialog.ApplyTo(params);
  return result;
}

}  // namespace

void MainWindow::callconv(const std::string& ext, int code) {
  if (!ImgListView1) return;
  if (!ImgListView1->Selected()) {
    // Said in the window's status line: nothing to answer, the window stays usable.
    StatusLine->showMessage(QStringLiteral("선택된 파일이 없습니다."), kStatusMessageMs);
    return;
  }
  BeginBusy();
  try {
    ConvertDialog dlg(this);
    ConvertParams& params = dlg.Params();
    params.OutputFolder = App().CurrentFolder;
    params.TargetExt = ext;
    params.JpegQuality = App().settings.JpegQuality;
    params.Lossless = App().settings.Lossless;
    params.DitherIndex = App().settings.DitherIndex;
    params.Existing = ExistingChoice(App().settings);
    params.OpCode = code;
    params.ChangeExt = true;
    params.FileList = SelectedFiles();
    if (!params.FileList.empty() && code > 0 && getEffect(code, dlg) != kModalOk)
      params.FileList.clear();
    if (!params.FileList.empty()) RunBatch(dlg);
  } catch (...) {
  }
  EndBusy();
}

std::vector<std::string> MainWindow::SelectedFiles() const {
  // The selected files in grid order; folders take no part.
  std::vector<std::string> files;
  for (GridItem* item : ImgListView1->SelectedItems())
    if (item && !item->IsFolder()) files.push_back(item->ParsingName());
  return files;
}

void MainWindow::RunBatch(ConvertDialog& dlg) {
  ConvertParams& params = dlg.Params();
  params.OutputFolder = getfolder(App().CurrentFolder);
  if (params.OutputFolder.empty()) return;
  dlg.exec();
  if (dlg.Started())
    ResultBar->ShowResult(dlg.Engine().SavedCount(), params.OutputFolder,
                          dlg.Engine().ErrorCount(), dlg.Memo1->toPlainText());
  // New files (and maybe a new folder): the tree is reloaded and the folder scanned
  // again; the grid keeps its items, selection and scroll position meanwhile.
  ReloadTreeExecute();
  EnableTimer1();
}

int MainWindow::getEffect(int code, ConvertDialog& dlg) {
  ConvertParams& params = dlg.Params();
  if (code == opConvertOnly) return kModalOk;
  const std::string first = params.FileList.empty() ? std::string() : params.FileList.front();
  try {
    switch (code) {
      case opResize: {
        ResizeDialog dialog(this);
        dialog.FileName = first;
        return RunOperationDialog(dialog, params);
      }
      case opTurnLeft:
      case opTurnRight:
      case opFlipH:
      case opFlipV: {
        TurnFlipDialog dialog(this);
        dialog.FileName = first;
        dialog.OpCode = code;
        return RunOperationDialog(dialog, params);
      }
      case opColor: {
        ColourDialog dialog(this);
        dialog.FileName = first;
        return RunOperationDialog(dialog, params);
      }
      case opRotate: {
        RotateDialog dialog(this);
        dialog.FileName = first;
        return RunOperationDialog(dialog, params);
      }
      case opGamma: {
        GammaDialog dialog(this);
        dialog.FileName = first;
        return RunOperationDialog(dialog, params);
      }
      default:
        return kModalCancel;
    }
  } catch (...) {
    return kModalCancel;
  }
}

std::string MainWindow::getfolder(const std::string& source) {
  try {
    FolderDialog dialog(this);
    dialog.FolderTree1->SetShowHidden(showHidden_);
    dialog.SetFolder(source);
    if (dialog.exec() != kModalOk) return {};
    return OutputFolderFor(source, dialog.ChosenPath);
  } catch (...) {
    return {};
  }
}

void MainWindow::enterkey() {
  if (!ImgListView1) return;
  GridItem* item = ImgListView1->Selected();
  if (!item) return;
  if (item->IsFolder()) {
    try {
      FolderTree1->SetPath(item->ParsingName());  // the name's bytes, UTF-8 or not
    } catch (...) {
    }
    return;
  }
  BeginBusy();
  int lastShown = -1;
  try {
    StartSource source({});
    source.UseGrid(ImgListView1);
    ViewerWindow viewer(this);
    viewer.Source = &source;
    viewer.Slides = {App().settings.SlideshowSeconds, App().settings.SlideshowLoop};
    viewer.exec();
    lastShown = viewer.CurrentIndex();
  } catch (...) {
  }
  EndBusy();
  SelectShown(lastShown);
}

void MainWindow::CallMenuExecute() {
  if (!btncall) return;
  PopupMenu1->popup(btncall->mapToGlobal(QPoint(15, 10)));
}

void MainWindow::optionsetExecute() {
  try {
    ConvertSettingsDialog dialog(this);
    dialog.LoadFrom(App().settings);
    if (dialog.exec() != kModalOk) return;
    dialog.ApplyTo(App().settings);
    QString warning;
    if (!SettingsFile().SaveSettings(App().settings, warning))
      std::fprintf(stderr, "quorvane: warning: %s\n", warning.toUtf8().constData());
  } catch (...) {
  }
}

void MainWindow::BaboutExecute() {
  AboutBox box(this);
  box.exec();
}

}  // namespace quorvane
