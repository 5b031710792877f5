#pragma once
// The main window: the folder tree on the left, the thumbnail grid of the chosen folder
// on the right under a tool bar, and the commands that turn the grid's selection into a
// batch or show it in the viewer.
//
// The grid lists the folder's sub-folders itself; the window's folder scan (Timer1,
// FindThread, SynchroFunc1) appends the folder's picture files after it, and
// DirectoryWatch1 rescans when the folder changes on disk. While a batch or the viewer
// runs, BusyFlag is set and the thumbnails are paused; rescans wait until that ends.

#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <memory>
#include <string>
#include <vector>

#include "shell/FolderHistory.h"
#include "shell/StartArguments.h"

class QAction;
class QMenu;
class QSplitter;
class QTimer;
class QToolBar;
class QToolButton;

namespace quorvane {

class BatchResultBar;
class ConvertDialog;
class DirectoryWatch;
class FolderTree;
class GradientCaption;
class GridStatus;
class ImgListView;
class LocationField;
class StartSource;
class ViewerWindow;
class PictureLoader;
class FreedesktopThumbnails;
class WorkerExecuteThread;
class WorkerThread;

class MainWindow : public QMainWindow {
  Q_OBJECT
 public:
  static constexpr int kInitialWidth = 544;
  static constexpr int kInitialHeight = 375;
  static constexpr int kMinimumSize = 300;  // the window, both ways
  static constexpr int kMinimumPanel = 50;  // each side of the splitter
  static constexpr int kFolderDelayMs = 300;
  static constexpr int kStatusMessageMs = 5000;  // how long a status message stays

  // Binds the codec library first: when it is missing the program shows a message
  // and ends with exit code 1. When its initialisation fails the window closes itself
  // as soon as the event loop runs. `start` is what the command line named: the window
  // opens on its folder, and its pictures show in the viewer before the window is built.
  explicit MainWindow(QWidget* parent = nullptr, const StartTarget& start = {});
  ~MainWindow() override;

  // ---- controls ----
  GradientCaption* Caption;
  QSplitter* Splitter1;
  QWidget* Panel1;
  FolderTree* FolderTree1;
  QWidget* Panel2;
  QToolBar* Panel3;
  ImgListView* ImgListView1;
  BatchResultBar* ResultBar;  // above the grid after a batch
  GridStatus* StatusLine;  // under the grid
  QToolBar* NavigationBar;  // under the tool bar: back, forward and the location
  LocationField* Location;  // the folder shown, or one typed
  QToolButton* btncall;  // the "기능" button under which the menu opens
  QMenu* PopupMenu1;
  QTimer* Timer1;
  WorkerThread* FindThread;
  DirectoryWatch* DirectoryWatch1;

  // ---- actions ----
  QAction* upfolder;
  QAction* GoBack;     // Alt+Left: the folder visited before
  QAction* GoForward;  // Alt+Right: the folder gone back from
  QAction* ReloadTree;
  QAction* btncallAction;  // "기능": runs CallMenu
  QAction* optionset;
  QAction* Babout;
  QAction* stopfader;
  QAction* ShowHiddenAction;  // Ctrl+H: hidden folders and files in the tree and the grid
  QAction* CallMenu;
  QAction* ptoJPG;
  QAction* ptoPNG;
  QAction* ptoGIF;
  QAction* ptoBMP;
  QAction* ptoTIF;
  QAction* ptoPNM;
  QAction* ptoTGA;
  QAction* ptoSGI;
  QAction* ptoWEBP;
  QAction* ptoAVIF;
  QAction* ptoJXL;
  QAction* Resizecv;
  QAction* TrunLeft;
  QAction* TrunRight;
  QAction* FlipHor;
  QAction* FlipVer;
  QAction* bmpcolor;
  QAction* RotateS;
  QAction* GCorr;
  QAction* AlphaBit;
  QAction* Rotatecv;
  // "프리셋으로 변환": one entry per saved preset, filled on opening; the last entry of
  // PopupMenu1 while any preset is saved.
  QMenu* PresetMenu;

  // ---- commands (public so that tests and other windows can run them) ----
  // Starts a batch on the selected files: the operation's dialog for codes above 0,
  // the output folder, then the conversion dialog. With nothing selected the status line
  // says so; silent when only folders are selected or a dialog is cancelled.
  void callconv(const std::string& ext, int code);
  // Shows the operation's dialog for `code` and copies its answers into the batch's
  // parameters; answers its modal result (1 OK; 2 Cancel, also for unknown codes).
  int getEffect(int code, ConvertDialog& dlg);
  // Runs saved preset `name` on the selected files (PresetBatch.h): the output folder,
  // then the conversion dialog and the result bar, as callconv. A preset that cannot
  // be read is named in the status line with the reason, and nothing runs.
  void RunPreset(const std::string& name);
  // Puts PresetMenu at the end of PopupMenu1 while any preset is saved, and takes it
  // away while none is (run as PopupMenu1 opens).
  void OfferPresetMenu();
  // Fills PresetMenu with the saved presets; one that cannot be run is a disabled
  // entry whose tip says why.
  void FillPresetMenu();
  // Asks for the output folder, preset with `source`; "" when cancelled.
  std::string getfolder(const std::string& source);
  // Opens the selected item: a folder in the tree, a file in the viewer.
  void enterkey();
  void CallMenuExecute();
  void optionsetExecute();
  void upfolderExecute();
  // The location field's Enter: the grid goes to the typed folder (absolute, `~` or
  // relative to the folder shown); the status line says why when it cannot.
  void GoToLocation(const QString& typed);
  void GoBackExecute();
  void GoForwardExecute();
  const FolderHistory& History() const { return history_; }
  void ReloadTreeExecute();
  void BaboutExecute();
  // Shows or hides the folders and files whose names begin with "." in the tree and the
  // grid together.
  void SetShowHidden(bool show);
  bool ShowHidden() const { return showHidden_; }
  // The grid's order (MainWindowSort.cpp): the "정렬" button's menu, kept with the
  // window's state.
  QMenu* SortMenu = nullptr;
  void SetGridSort(int kind, bool descend);

  // Whether the window's own scan has a rescan waiting for the busy state to end.
  bool RescanPending() const { return rescanPending_; }
  // The viewer opened on the command line's pictures, until it closes.
  ViewerWindow* StartViewer() const;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildSortMenu();
  void BuildLayout();
  void BuildActions();
  void BuildPopupMenu();
  void ConfigureGrid();
  // The location field, the back and forward actions and the parent keys.
  void BuildNavigation();
  // With nothing saved, about two thirds of the screen, centred, and a folder pane
  // wide enough for the folder names shown.
  void FirstStart(bool noGeometry, bool noSplitter);
  void FitTreeWidth();
  // The folder shown changed: the location field and the history follow.
  void FolderShown();
  void GoToVisited(const std::string& folder);
  QAction* NewAction(const QString& text, void (MainWindow::*handler)());
  QAction* NewBatchAction(const QString& text, const char* ext, int code);
  // The selected files (not folders), in grid order.
  std::vector<std::string> SelectedFiles() const;
  // Asks for the output folder, runs the batch `dlg` holds and shows its result.
  void RunBatch(ConvertDialog& dlg);

  // The folder scan.
  void EnableTimer1();
  void Timer1Timer();
  void SynchroFunc1(WorkerExecuteThread* thread);
  // Folder following.
  void FolderTree1Change(const QString& path);
  void ImgListView1ChangeFolder();
  void DirectoryWatch1Change();
  void ImgListView1Changing(int index, bool& allowChange);
  // The busy state around a batch or the viewer: thumbnails paused, BusyFlag set; at its
  // end a rescan that waited runs.
  void BeginBusy();
  void EndBusy();
  void Shutdown();
  // Keeps the window's place and size, the splitter and the folder for the next start.
  void SaveWindowState();
  // Back in the grid on item `index` (the picture the viewer showed last).
  void SelectShown(int index);
  // The command line's pictures: the viewer on them at once, stepping through the grid
  // once the scan has listed the folder; on closing, the grid selects the last shown.
  void OpenStartViewer(const std::vector<std::string>& pictures);
  void StartListed();
  void StartViewerClosed();

  std::vector<std::string> fileList_;  // the folder scan's picture files
  std::unique_ptr<PictureLoader> pictureLoader_;
  std::unique_ptr<FreedesktopThumbnails> sharedThumbnails_;
  bool rescanPending_ = false;
  bool reloadAsked_ = false;    // F5: the next scan reads the shown folder in any case
  std::string filledFolder_;    // the folder whose pictures the scan last put in the grid
  bool firstScanDone_ = false;  // the grid shows the tree's folder since the first scan
  bool scanOpening_ = false;    // the scan itself is opening the grid's folder
  bool shutDown_ = false;
  bool showHidden_ = false;
  std::string startFolder_;  // the command line's folder, until the scan has listed it
  QStringList startProblems_;  // what the command line named that did not open
  std::unique_ptr<StartSource> startSource_;
  QPointer<ViewerWindow> startViewer_;
  FolderHistory history_;
};

// Shows a start-up failure to the user: a message box, or, when no one can answer a
// box (QUORVANE_NO_MODAL set, or the offscreen platform), a line on standard error.
void ShowStartupMessage(const QString& text);

}  // namespace quorvane
