// The main window's commands on the grid's selection: batches, the viewer, the menu
// button, the settings and the About box.
#include <QMenu>
#include <QPlainTextEdit>
#include <QToolButton>

#include <cstdio>

#include "folders/ui/FolderTree.h"
#include "folders/ui/folderseldlg.h"
#include "processing/ui/bmpcolor1.h"
#include "processing/ui/convdlg.h"
#include "processing/ui/convertsetdlg.h"
#include "processing/ui/gcorrdlg.h"
#include "processing/ui/resizedlg.h"
#include "processing/ui/rotatedlg.h"
#include "processing/ui/turnFlipDlg.h"
#include "processing/OutputFolder.h"
#include "thumbnails/FolderScan.h"
#include "shell/Settings.h"
#include "shell/ui/SettingsFile.h"
#include "shell/ui/StartSource.h"
#include "shell/ui/AboutBox.h"
#include "shell/ui/BatchResultBar.h"
#include "shell/ui/GridStatus.h"
#include "shell/ui/quorvane1.h"
#include "thumbnails/ui/ImgListView.h"
#include "viewer/ui/viewDlg.h"

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

void TForm1::callconv(const std::string& ext, int code) {
  if (!ImgListView1) return;
  if (!ImgListView1->Selected()) {
    // Said in the window's status line: nothing to answer, the window stays usable.
    StatusLine->showMessage(QStringLiteral("선택된 파일이 없습니다."), kStatusMessageMs);
    return;
  }
  BeginBusy();
  try {
    TConvertDlg dlg(this);
    ConvertParams& params = dlg.Params();
    params.OutputFolder = App().CurrentFolder;
    params.TargetExt = ext;
    params.JpegQuality = App().settings.JpegQuality;
    params.Lossless = App().settings.Lossless;
    params.DitherIndex = App().settings.DitherIndex;
    params.Existing = ExistingChoice(App().settings);
    params.OpCode = code;
    params.ChangeExt = true;
    // The selected files in grid order; folders take no part.
    for (TImgListItem* item : ImgListView1->SelectedItems())
      if (item && !item->IsFolder()) params.FileList.push_back(item->ParsingName());
    if (!params.FileList.empty() && code > 0 && getEffect(code, dlg) != kModalOk)
      params.FileList.clear();
    if (!params.FileList.empty()) {
      params.OutputFolder = getfolder(App().CurrentFolder);
      if (!params.OutputFolder.empty()) {
        dlg.exec();
        if (dlg.Started())
          ResultBar->ShowResult(dlg.Engine().SavedCount(), params.OutputFolder,
                                dlg.Engine().ErrorCount(), dlg.Memo1->toPlainText());
        // New files (and maybe a new folder): the tree is reloaded and the folder
        // scanned again; the grid keeps its items, selection and scroll position
        // meanwhile.
        ReloadTreeExecute();
        EnableTimer1();
      }
    }
  } catch (...) {
  }
  EndBusy();
}

int TForm1::getEffect(int code, TConvertDlg& dlg) {
  ConvertParams& params = dlg.Params();
  if (code == opConvertOnly) return kModalOk;
  const std::string first = params.FileList.empty() ? std::string() : params.FileList.front();
  try {
    switch (code) {
      case opResize: {
        TResizedlg1 dialog(this);
        return RunOperationDialog(dialog, params);
      }
      case opTurnLeft:
      case opTurnRight:
      case opFlipH:
      case opFlipV: {
        TTurnFlipDlg1 dialog(this);
        dialog.FileName = first;
        dialog.OpCode = code;
        return RunOperationDialog(dialog, params);
      }
      case opColor: {
        TbmpColordlg dialog(this);
        dialog.FileName = first;
        return RunOperationDialog(dialog, params);
      }
      case opRotate: {
        TRotatedlg1 dialog(this);
        dialog.FileName = first;
        return RunOperationDialog(dialog, params);
      }
      case opGamma: {
        TGCorrect dialog(this);
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

std::string TForm1::getfolder(const std::string& source) {
  try {
    Tfoldersel dialog(this);
    dialog.FolderTree1->SetShowHidden(showHidden_);
    dialog.SetFolder(source);
    if (dialog.exec() != kModalOk) return {};
    return OutputFolderFor(source, dialog.ChosenPath);
  } catch (...) {
    return {};
  }
}

void TForm1::enterkey() {
  if (!ImgListView1) return;
  TImgListItem* item = ImgListView1->Selected();
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
    TStartSource source({});
    source.UseGrid(ImgListView1);
    TViewDlg1 viewer(this);
    viewer.Source = &source;
    viewer.exec();
    lastShown = viewer.CurrentIndex();
  } catch (...) {
  }
  EndBusy();
  SelectShown(lastShown);
}

void TForm1::CallMenuExecute() {
  if (!btncall) return;
  PopupMenu1->popup(btncall->mapToGlobal(QPoint(15, 10)));
}

void TForm1::optionsetExecute() {
  try {
    TConvertset dialog(this);
    dialog.LoadFrom(App().settings);
    if (dialog.exec() != kModalOk) return;
    dialog.ApplyTo(App().settings);
    QString warning;
    if (!SettingsFile().SaveSettings(App().settings, warning))
      std::fprintf(stderr, "quorvane: warning: %s\n", warning.toUtf8().constData());
  } catch (...) {
  }
}

void TForm1::BaboutExecute() {
  TAboutBox box(this);
  box.exec();
}

}  // namespace quorvane
