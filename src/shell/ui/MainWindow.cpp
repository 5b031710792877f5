#include "shell/ui/MainWindow.h"

#include <QAction>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QIcon>
#include <QMenu>
#include <QMessageBox>
#include <QMetaObject>
#include <QScreen>
#include <QSplitter>
#include <QStyle>
#include <QThread>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <cstdio>
#include <cstdlib>
#include <future>

#include "folders/FolderNamespace.h"
#include "folders/ui/FolderTree.h"
#include "imaging/PictureLoader.h"
#include "imaging/ExifOptions.h"
#include "imaging/OpenIL.h"
#include "platform/ui/GradientCaption.h"
#include "platform/ui/WorkerThread.h"
#include "processing/ConvertParams.h"
#include "shell/Settings.h"
#include "shell/ui/BatchResultBar.h"
#include "shell/ui/DirWatch.h"
#include "shell/ui/GridStatus.h"
#include "shell/ui/SettingsFile.h"
#include "shell/ui/StartSource.h"
#include "thumbnails/FolderScan.h"
#include "thumbnails/ui/ImgListView.h"
#include "thumbnails/ui/ThumbnailTrace.h"
#include "viewer/ui/ViewerWindow.h"

namespace quorvane {

namespace {

constexpr int kSplitterWidth = 8;
constexpr int kTreeWidth = 161;
constexpr int kTreeIndent = 19;
constexpr int kToolBarHeight = 32;
// Pauses inside the scan, as the scan's worker waits on its own thread.
constexpr int kScanListedPauseMs = 5;
constexpr int kScanAppendedPauseMs = 30;

}  // namespace

void ShowStartupMessage(const QString& text) {
  const char* noModal = std::getenv("QUORVANE_NO_MODAL");
  if ((noModal && *noModal) || QGuiApplication::platformName() == QLatin1String("offscreen")) {
    std::fprintf(stderr, "%s\n", text.toUtf8().constData());
    return;
  }
  QMessageBox box;
  box.setWindowTitle(QStringLiteral("Quorvane"));
  box.setText(text);
  box.exec();
}

MainWindow::MainWindow(QWidget* parent, const StartTarget& start) : QMainWindow(parent) {
  // The codec library first: without it the program cannot run. Its helper process starts
  // on a thread of its own while the settings are read and the command line's picture is
  // shown (the client serialises a read that needs it meanwhile).
  ExtractCodecLibraries();
  std::future<bool> binding = std::async(std::launch::async, BindCodecLibrary);
  App().settings = Settings{};
  // The settings of the last session, and where its window stood.
  WindowState saved;
  QString warning;
  if (!SettingsFile().Load(App().settings, saved, warning))
    std::fprintf(stderr, "quorvane: warning: %s\n", warning.toUtf8().constData());
  const Settings& loaded = App().settings;
  SetExifOptions({loaded.AutoOrient, loaded.UseEmbeddedThumbnails, loaded.KeepMetadata});
  App().BusyFlag = false;
  App().CurrentFolder.clear();
  // The pictures named on the command line come first; the window is built behind them.
  if (!start.pictures.empty()) OpenStartViewer(start.pictures);
  if (!binding.get()) {
    UnbindCodecLibrary();
    ShowStartupMessage(QStringLiteral("devil.dll and ilu.dll and ilut.dll is not found!"));
    std::exit(1);
  }

  setWindowTitle(QStringLiteral("Quorvane"));
  Timer1 = new QTimer(this);
  Timer1->setInterval(kFolderDelayMs);
  connect(Timer1, &QTimer::timeout, this, &MainWindow::Timer1Timer);
  FindThread = new WorkerThread(this);
  FindThread->OnExecute = [this](WorkerThread* sender, WorkerExecuteThread* thread, void*&) {
    // The scan itself runs on the main thread, as one synchronised call.
    if (!thread->Terminated())
      sender->Synchronize(
          thread, [this](void*, WorkerThread*, WorkerExecuteThread* t) { SynchroFunc1(t); });
  };
  DirectoryWatch1 = new DirectoryWatch(this);
  DirectoryWatch1->SetNotifyFilters({nfSize, nfFilename, nfDirname});
  DirectoryWatch1->SetWatchSubDirs(false);
  DirectoryWatch1->OnChange = [this](DirectoryWatch&) { DirectoryWatch1Change(); };

  BuildLayout();
  BuildActions();
  BuildNavigation();
  BuildPopupMenu();
  ConfigureGrid();
  BuildSortMenu();
  SetGridSort(saved.SortType, saved.SortDescend);
  SetShowHidden(saved.ShowHidden);
  if (!saved.Geometry.isEmpty()) restoreGeometry(saved.Geometry);
  if (!saved.Splitter.isEmpty()) Splitter1->restoreState(saved.Splitter);
  FirstStart(saved.Geometry.isEmpty(), saved.Splitter.isEmpty());

  try {
    ImgListView1->SetPaused(true);
  } catch (...) {
  }
  if (!CodecInit()) {
    ShowStartupMessage(
        QStringLiteral("devil.dll or ilu.dll or ilut.dll or all functin init error!"));
    // Closing now would happen before the window is shown; close once the loop runs.
    QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
  }
  // The tree starts on the command line's folder, else on the folder shown last (the
  // home folder when it is gone, or on the first start); following it starts the first
  // scan.
  const std::string& first = start.folder.empty() ? saved.LastFolder : start.folder;
  try {
    FolderTree1->SetActive(true);
    if (!first.empty() && IsFolder(first)) FolderTree1->SetPath(first);
    // What the command line named is settled once the scan has listed this folder.
    if (!start.folder.empty() || !start.problems.empty()) startFolder_ = FolderTree1->FolderPath();
  } catch (...) {
  }
  for (const std::string& problem : start.problems)
    startProblems_ << QString::fromStdString(problem);
  if (App().CurrentFolder.empty()) FolderTree1Change(FolderTree1->Path());
  EnableTimer1();
  // The pause before the thumbnails run also serves as the folder timer's wait, so the
  // first scan is due as the window shows instead of 300 ms after it.
  try {
    pictureLoader_ = std::make_unique<PictureLoader>();
    ImgListView1->InstallPlugin(pictureLoader_.get());
    QThread::msleep(kFolderDelayMs);
    ImgListView1->SetPaused(false);
  } catch (...) {
  }
}

MainWindow::~MainWindow() { Shutdown(); }

void MainWindow::closeEvent(QCloseEvent* event) {
  QMainWindow::closeEvent(event);
  if (event->isAccepted()) Shutdown();
}

void MainWindow::Shutdown() {
  if (shutDown_) return;
  shutDown_ = true;
  if (startViewer_) {
    startViewer_->Source = nullptr;
    startViewer_->close();
  }
  SaveWindowState();
  try {
    Timer1->stop();
    DirectoryWatch1->SetActive(false);
    FindThread->Stop();
    // The grid goes before the codec: its thumbnail thread may be reading through it.
    ImgListView1->SetPaused(true);
    delete ImgListView1;
    ImgListView1 = nullptr;
  } catch (...) {
  }
  UnbindCodecLibrary();
  fileList_.clear();
  pictureLoader_.reset();
}

void MainWindow::SaveWindowState() {
  WindowState state;
  state.Geometry = saveGeometry();
  state.Splitter = Splitter1->saveState();
  state.LastFolder = App().CurrentFolder;
  state.ShowHidden = showHidden_;
  state.SortType = ImgListView1->SortType();
  state.SortDescend = ImgListView1->Descend();
  QString warning;
  if (!SettingsFile().SaveWindow(state, warning))
    std::fprintf(stderr, "quorvane: warning: %s\n", warning.toUtf8().constData());
}

// ---------------------------------------------------------------- layout

void MainWindow::BuildLayout() {
  Caption = AddGradientCaption(this);

  Splitter1 = new QSplitter(Qt::Horizontal, this);
  Splitter1->setHandleWidth(kSplitterWidth);
  Splitter1->setChildrenCollapsible(false);
  Splitter1->setAccessibleName(QStringLiteral("폴더와 그림 사이"));

  Panel1 = new QWidget(Splitter1);
  Panel1->setMinimumWidth(kMinimumPanel);
  auto* left = new QVBoxLayout(Panel1);
  left->setContentsMargins(0, 0, 0, 0);
  FolderTree1 = new FolderTree(Panel1);
  FolderTree1->setAccessibleName(QStringLiteral("폴더"));
  FolderTree1->SetFolderOptions(foNetworkNeighborhood);
  FolderTree1->setIndentation(kTreeIndent);
  left->addWidget(FolderTree1);

  Panel2 = new QWidget(Splitter1);
  Panel2->setMinimumWidth(kMinimumPanel);
  auto* right = new QVBoxLayout(Panel2);
  right->setContentsMargins(0, 0, 0, 0);
  right->setSpacing(0);
  Panel3 = new QToolBar(Panel2);
  Panel3->setFixedHeight(kToolBarHeight);
  Panel3->setMovable(false);
  Panel3->setFloatable(false);
  Panel3->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  Panel3->setIconSize(QSize(16, 16));
  Panel3->setAccessibleName(QStringLiteral("도구 모음"));
  right->addWidget(Panel3);
  ResultBar = new BatchResultBar(Panel2);
  right->addWidget(ResultBar);
  ImgListView1 = new ImgListView(Panel2);
  ImgListView1->setAccessibleName(QStringLiteral("그림 목록"));
  right->addWidget(ImgListView1, 1);
  StatusLine = new GridStatus(ImgListView1, Panel2);
  right->addWidget(StatusLine);

  Splitter1->addWidget(Panel1);
  Splitter1->addWidget(Panel2);
  Splitter1->setStretchFactor(0, 0);
  Splitter1->setStretchFactor(1, 1);
  Splitter1->setSizes({kTreeWidth, kInitialWidth - kTreeWidth - kSplitterWidth});
  setCentralWidget(Splitter1);

  // Never smaller than 300 x 300; the splitter keeps both sides at least 50 wide.
  setMinimumSize(kMinimumSize, kMinimumSize);
  resize(kInitialWidth, kInitialHeight);
  if (const QScreen* scr = screen()) {
    const QRect area = scr->availableGeometry();
    move(area.center() - QPoint(kInitialWidth / 2, kInitialHeight / 2));
  }

  connect(FolderTree1, &FolderTree::OnChange, this, &MainWindow::FolderTree1Change);
  // A drop on a folder of the tree moves or copies as a drop on a folder of the grid.
  FolderTree1->OnFileDrop = [this](const std::vector<std::string>& files, const std::string& folder,
                                   TransferMode mode) {
    if (ImgListView1) ImgListView1->TransferFiles(files, folder, mode);
  };
}

QAction* MainWindow::NewAction(const QString& text, void (MainWindow::*handler)()) {
  auto* action = new QAction(text, this);
  action->setShortcutContext(Qt::WindowShortcut);
  addAction(action);
  if (handler) connect(action, &QAction::triggered, this, handler);
  return action;
}

QAction* MainWindow::NewBatchAction(const QString& text, const char* ext, int code) {
  auto* action = new QAction(text, this);
  const std::string target = ext;
  connect(action, &QAction::triggered, this, [this, target, code] { callconv(target, code); });
  return action;
}

void MainWindow::BuildActions() {
  const auto themed = [this](const char* name, QStyle::StandardPixmap fallback) {
    return QIcon::fromTheme(QString::fromLatin1(name), style()->standardIcon(fallback));
  };

  upfolder = NewAction(QStringLiteral("상위 폴더"), &MainWindow::upfolderExecute);
  upfolder->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Backspace));
  upfolder->setIcon(themed("go-up", QStyle::SP_FileDialogToParent));
  ReloadTree = NewAction(QStringLiteral("폴더 다시읽기"), &MainWindow::ReloadTreeExecute);
  ReloadTree->setShortcut(QKeySequence(Qt::Key_F5));
  ReloadTree->setToolTip(QStringLiteral("폴더 다시읽기"));
  ReloadTree->setIcon(themed("view-refresh", QStyle::SP_BrowserReload));
  CallMenu = NewAction(QStringLiteral("기능"), &MainWindow::CallMenuExecute);
  CallMenu->setShortcut(QKeySequence(Qt::Key_F10));
  btncallAction = CallMenu;
  btncallAction->setIcon(themed("system-run", QStyle::SP_FileDialogContentsView));
  optionset = NewAction(QStringLiteral("설정"), &MainWindow::optionsetExecute);
  optionset->setShortcut(QKeySequence(Qt::Key_F12));
  optionset->setIcon(themed("preferences-system", QStyle::SP_FileDialogDetailedView));
  Babout = NewAction(QStringLiteral("이 프로그램은"), &MainWindow::BaboutExecute);
  Babout->setShortcut(QKeySequence(Qt::Key_F1));
  Babout->setIcon(themed("help-about", QStyle::SP_MessageBoxInformation));
  ShowHiddenAction = NewAction(QStringLiteral("숨긴 파일 보기"), nullptr);
  ShowHiddenAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_H));
  ShowHiddenAction->setCheckable(true);
  connect(ShowHiddenAction, &QAction::triggered, this, [this](bool on) { SetShowHidden(on); });
  stopfader = NewAction(QString(), nullptr);  // F11: kept free, does nothing
  stopfader->setShortcut(QKeySequence(Qt::Key_F11));

  Panel3->addAction(upfolder);
  Panel3->addAction(ReloadTree);
  Panel3->addAction(btncallAction);
  Panel3->addAction(optionset);
  Panel3->addAction(Babout);
  // The reload button shows its icon only; its hint and accessible name say what it does.
  if (auto* reload = qobject_cast<QToolButton*>(Panel3->widgetForAction(ReloadTree))) {
    reload->setToolButtonStyle(Qt::ToolButtonIconOnly);
    reload->setAccessibleName(ReloadTree->toolTip());
  }
  btncall = qobject_cast<QToolButton*>(Panel3->widgetForAction(btncallAction));
  // The button that shows the buttons a narrow window has no room for.
  for (QToolButton* button : Panel3->findChildren<QToolButton*>())
    if (button->inherits("QToolBarExtension"))
      button->setAccessibleName(QStringLiteral("나머지 단추"));

  ptoJPG = NewBatchAction(QStringLiteral("to &JPG"), ".jpg", opConvertOnly);
  ptoPNG = NewBatchAction(QStringLiteral("to P&NG"), ".png", opConvertOnly);
  ptoGIF = NewBatchAction(QStringLiteral("to &GIF"), ".gif", opConvertOnly);
  ptoBMP = NewBatchAction(QStringLiteral("to &BMP"), ".bmp", opConvertOnly);
  ptoTIF = NewBatchAction(QStringLiteral("to &TIF"), ".tif", opConvertOnly);
  ptoPNM = NewBatchAction(QStringLiteral("to &PNM"), ".pnm", opConvertOnly);
  ptoTGA = NewBatchAction(QStringLiteral("to TG&A"), ".tga", opConvertOnly);
  ptoSGI = NewBatchAction(QStringLiteral("to SG&I"), ".sgi", opConvertOnly);
  ptoWEBP = NewBatchAction(QStringLiteral("to &WebP"), ".webp", opConvertOnly);
  ptoAVIF = NewBatchAction(QStringLiteral("to &AVIF"), ".avif", opConvertOnly);
  ptoJXL = NewBatchAction(QStringLiteral("to JPEG &XL"), ".jxl", opConvertOnly);
  Resizecv = NewBatchAction(QStringLiteral("크기 바꾸기(Smooth)"), ".jpg", opResize);
  TrunLeft = NewBatchAction(QStringLiteral("반시계 90도 회전(&0)"), ".jpg", opTurnLeft);
  TrunRight = NewBatchAction(QStringLiteral("시계 90도 회전(&1)"), ".jpg", opTurnRight);
  FlipHor = NewBatchAction(QStringLiteral("좌우 뒤집기(&3)"), ".jpg", opFlipH);
  FlipVer = NewBatchAction(QStringLiteral("상하 뒤집기(&2)"), ".jpg", opFlipV);
  bmpcolor = NewBatchAction(QStringLiteral("색감 조절"), ".jpg", opColor);
  RotateS = NewBatchAction(QStringLiteral("부드러운 회전"), ".jpg", opRotate);
  GCorr = NewBatchAction(QStringLiteral("Gamma Correction"), ".jpg", opGamma);
  // On no menu and without a key: the watermark batch ends without work.
  AlphaBit = NewBatchAction(QStringLiteral("WaterMark"), ".jpg", opWatermark);
  Rotatecv = new QAction(QStringLiteral("Smooth Rotate"), this);  // no effect
}

void MainWindow::BuildPopupMenu() {
  PopupMenu1 = new QMenu(this);
  QMenu* convert = PopupMenu1->addMenu(QStringLiteral("이미지 변환"));
  convert->addActions(
      {ptoJPG, ptoPNG, ptoGIF, ptoBMP, ptoTIF, ptoPNM, ptoTGA, ptoSGI, ptoWEBP, ptoAVIF, ptoJXL});
  PopupMenu1->addAction(Resizecv);
  QMenu* turn = PopupMenu1->addMenu(QStringLiteral("회전시키기"));
  turn->addActions({TrunLeft, TrunRight});
  QMenu* flip = PopupMenu1->addMenu(QStringLiteral("뒤집기"));
  flip->addActions({FlipHor, FlipVer});
  PopupMenu1->addAction(RotateS);
  PopupMenu1->addAction(bmpcolor);
  PopupMenu1->addAction(GCorr);
  PresetMenu = new QMenu(QStringLiteral("프리셋으로 변환"), PopupMenu1);
  connect(PopupMenu1, &QMenu::aboutToShow, this, &MainWindow::OfferPresetMenu);
  connect(PresetMenu, &QMenu::aboutToShow, this, &MainWindow::FillPresetMenu);
}

void MainWindow::ConfigureGrid() {
  ImgListView& grid = *ImgListView1;
  grid.SetMultiSelect(true);
  grid.SetFlatScrollBars(true);
  grid.IsBusy = [] { return App().BusyFlag.load(); };
  // The grid's timing on stderr, for the benchmarks.
  if (const char* trace = std::getenv("QUORVANE_TRACE_THUMBNAILS"); trace && *trace)
    grid.SetObserver(std::make_unique<ThumbnailTrace>());
  ThumbnailContext& viewImage = grid.ViewImage();
  viewImage.ImgUtil().SetQuality(80);
  viewImage.ImgUtil().SetGetType(igtPreview);
  grid.JobQueue().SetThreadCount(App().settings.ThumbnailThreads);
  // The workers' helpers start while the window is built, not with the first thumbnail.
  grid.JobQueue().StartHelpers();
  if (App().settings.SharedThumbnailCache) {
    sharedThumbnails_ = std::make_unique<FreedesktopThumbnails>();
    viewImage.ImgUtil().SetSharedCache(sharedThumbnails_.get());
    viewImage.SetLookAhead(App().settings.LookAhead);
  }
  viewImage.SetDispImage({iitDir, iitCustom});
  viewImage.Frame().SetColor(clInactiveBorder);
  viewImage.Frame().SetWidth(1);
  viewImage.SelectFrame().SetColor(clRed);
  viewImage.SelectFrame().SetWidth(3);
  grid.SetIconStyle(iisImage);
  grid.DefaultExec().DblClick = false;
  // The grid lists folders only; the scan appends the picture files.
  DisplayFilter& types = grid.View().DispTypes();
  types.SetNonFolders(false);
  types.SetHidden(false);
  types.SetExt("*.*");
  // Picture files that appear later join the grid by themselves.
  grid.AcceptFile = [this](const std::string& name) {
    return IsPictureFileName(name, showHidden_);
  };
  grid.ShellChangeNotification().SetNotifyTypes({intCreation, intDirName, intSize, intFileName});
  grid.ImgPopupMenu().PopupMenu = PopupMenu1;

  grid.OnChanging = [this](ImgListView&, int index, bool& allow) {
    ImgListView1Changing(index, allow);
  };
  grid.OnChangeFolder = [this](ImgListView&) { ImgListView1ChangeFolder(); };
  grid.OnDblClick = [this](ImgListView&) { enterkey(); };
  grid.OnKeyPress = [this](ImgListView&, char16_t& key) {
    if (key == 13) {
      key = 0;
      enterkey();
    }
  };
}

// ---------------------------------------------------------------- folder scan

void MainWindow::EnableTimer1() {
  // An enabled timer keeps running: changes that arrive meanwhile share its scan.
  if (!Timer1->isActive()) Timer1->start();
}

void MainWindow::Timer1Timer() {
  Timer1->stop();
  if (App().BusyFlag) {
    // A batch or the viewer owns the grid: scan once it is done.
    rescanPending_ = true;
    return;
  }
  FindThread->Start();
}

void MainWindow::SynchroFunc1(WorkerExecuteThread* thread) {
  if (thread->Terminated() || shutDown_) return;
  if (App().BusyFlag) {
    // Served inside a batch's or the viewer's event loop: wait for its end.
    rescanPending_ = true;
    return;
  }
  // Whatever the grid reports while the scan fills it is the scan's own doing.
  struct Opening {
    bool& flag;
    explicit Opening(bool& f) : flag(f) { flag = true; }
    ~Opening() { flag = false; }
  } opening(scanOpening_);
  fileList_.clear();
  const bool reloadAsked = reloadAsked_;
  reloadAsked_ = false;
  try {
    App().CurrentFolder = FolderTree1->FolderPath();
    if (App().CurrentFolder.empty()) {
      // "컴퓨터" or "네트워크": no folder, nothing to show.
      ImgListView1->Clear();
      return;
    }
    firstScanDone_ = true;
    if (ImgListView1->FolderPath() == App().CurrentFolder && ImgListView1->Count() > 0) {
      // The folder is shown already: changes are merged, the user's place stays. Once the
      // scan has filled the grid, the grid merges what its own watch reports; F5 reads
      // the folder in any case.
      const FolderChangeNotifier& watch = ImgListView1->ShellChangeNotification();
      if (reloadAsked || filledFolder_ != App().CurrentFolder || !watch.Watching() ||
          watch.WatchedFolder() != App().CurrentFolder)
        ImgListView1->Rescan();
      filledFolder_ = App().CurrentFolder;
      return;
    }
    ImgListView1->OpenFolder(App().CurrentFolder);
  } catch (...) {
  }
  try {
    fileList_ = ListImageFiles(App().CurrentFolder, thread, showHidden_);
  } catch (...) {
  }
  QThread::msleep(kScanListedPauseMs);
  if (thread->Terminated()) return;
  try {
    // A grid emptied after a batch is filled again even when no picture is left.
    if (!fileList_.empty() || ImgListView1->Count() == 0) {
      ImgListView1->Refresh();
      ImgListView1->AppendPaths(fileList_);
      filledFolder_ = App().CurrentFolder;
      QThread::msleep(kScanAppendedPauseMs);
    }
    if (!startFolder_.empty() && startFolder_ == App().CurrentFolder) StartListed();
  } catch (...) {
  }
}

// ---------------------------------------------------------------- folder following

void MainWindow::FolderTree1Change(const QString& path) {
  // The shown text may have lost bytes that are no UTF-8: the folder itself is read from
  // the tree.
  const std::string folder = FolderTree1->FolderPath();
  // Only a real change of folder cancels and restarts a scan that is about to run.
  const bool changed = folder != App().CurrentFolder;
  if (changed) Timer1->stop();
  App().CurrentFolder = folder;
  try {
    DirectoryWatch1->SetActive(false);
    DirectoryWatch1->SetDirectory(folder);
    if (!folder.empty()) DirectoryWatch1->SetActive(true);
  } catch (...) {
  }
  // "네트워크" shows its own name.
  const FolderNode* node = FolderTree1->Selected();
  const QString shown =
      folder.empty() && node && node->kind == fkNetwork ? FolderTree1->Model()->TextOf(node) : path;
  setWindowTitle(QStringLiteral("Quorvane - ") + shown);
  if (changed)
    Timer1->start();
  else
    EnableTimer1();
}

void MainWindow::ImgListView1ChangeFolder() {
  // The grid's first folder of its own (the root, when it is first shown) and the
  // folders the scan opens are no moves of the user's.
  if (!firstScanDone_ || scanOpening_) return;
  const std::string folder = ImgListView1->FolderPath();
  if (folder == App().CurrentFolder) return;
  // The grid went elsewhere by itself (a folder opened from its menu): the tree follows,
  // and following the tree scans the new folder.
  Timer1->stop();
  App().CurrentFolder = folder;
  try {
    FolderTree1->SetPath(folder);
  } catch (...) {
  }
}

void MainWindow::upfolderExecute() {
  if (!ImgListView1) return;
  try {
    if (App().CurrentFolder.empty()) {
      // "컴퓨터" or "네트워크": up is the folder they sit under in the tree.
      if (const FolderNode* node = FolderTree1->Selected(); node && node->parent)
        FolderTree1->SetPath(node->parent->path);
      return;
    }
    ImgListView1->UpOneLevel();
    App().CurrentFolder = ImgListView1->FolderPath();
    FolderTree1->SetPath(App().CurrentFolder);
  } catch (...) {
  }
}

void MainWindow::DirectoryWatch1Change() { EnableTimer1(); }

void MainWindow::ImgListView1Changing(int, bool& allowChange) {
  if (App().BusyFlag) allowChange = false;
}

void MainWindow::SetShowHidden(bool show) {
  showHidden_ = show;
  ShowHiddenAction->setChecked(show);
  try {
    FolderTree1->SetShowHidden(show);
    ImgListView1->View().DispTypes().SetHidden(show);
  } catch (...) {
  }
  // The scan merges the folder again, with or without the hidden files.
  reloadAsked_ = true;
  if (firstScanDone_) EnableTimer1();
}

void MainWindow::ReloadTreeExecute() {
  try {
    FolderTree1->Reload();
  } catch (...) {
  }
  // The folder is read again too: the only way to see changes that no notice reports
  // (a network folder changed elsewhere).
  reloadAsked_ = true;
  EnableTimer1();
}

// ---------------------------------------------------------------- busy state

void MainWindow::BeginBusy() {
  try {
    ImgListView1->SetPaused(true);
  } catch (...) {
  }
  App().BusyFlag = true;
}

void MainWindow::EndBusy() {
  try {
    ImgListView1->SetPaused(false);
  } catch (...) {
  }
  App().BusyFlag = false;
  if (rescanPending_) {
    rescanPending_ = false;
    EnableTimer1();
  }
}

}  // namespace quorvane
