// The thumbnail grid driven as a user drives it: cells read back from its pixels,
// header clicks, find, keys, captions, folder changes and the order of thumbnails.

#include <QHeaderView>
#include <QLineEdit>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "ImgListViewTestHelpers.h"
#include "shell/Settings.h"
#include "thumbnails/ui/ImgListViewDelegate.h"
#include "thumbnails/ui/ImgListViewModel.h"

using namespace quorvane;
using namespace quorvane::test;
namespace fs = std::filesystem;

class ImgListViewTest : public QObject {
  Q_OBJECT
 private slots:
  void cellsAreLaidOutAndFramedAsSpecified();
  void headerClicksSortAndToggleDescend();
  void findWithAndWithoutWrap();
  void ctrlITwiceGivesTheSelectionBack();
  void shiftDeleteDoesNothingDeleteTrashes();
  void captionsOffLeaveNoTextInAnyStyle();
  void changeFolderFiresOncePerFolder();
  void thumbnailsArriveLastPaintedFirst();
  void lookAheadKeepsTheBudgetAndTheCellsOnScreen();
  void hostMayRefuseSelectionChanges();
  void renameInPlaceCausesNoRefill();
  void refillsWaitWhileBusy();
  void doubleClickAndEnterGoToTheHost();
  void reportOptionsAndHotTracking();
};

void ImgListViewTest::cellsAreLaidOutAndFramedAsSpecified() {
  TestDir dir;
  const RgbColor picture = RGB(30, 160, 90);
  for (int i = 0; i < 7; ++i) WritePicture(dir, "p" + std::to_string(i) + ".bmp", 94, 94, picture);
  MakeFolder(dir, "sub");

  ImgListView view;
  view.SetIconStyle(iisImage);
  view.SetMultiSelect(true);
  view.SetHideSelection(false);
  view.ViewImage().Frame().SetColor(clBlue);
  view.ViewImage().SelectFrame().SetColor(clRed);
  view.resize(640, 420);
  int loaded = 0;
  view.OnImageLoaded = [&](ImgListView&, GridItem&) { ++loaded; };
  view.OpenFolder(dir.path());
  view.show();
  QVERIFY(QTest::qWaitForWindowExposed(&view));
  QTRY_COMPARE(loaded, 7);

  // The folder comes first and gets the enlarged icon; the pictures follow.
  QCOMPARE(view.Item(0)->DisplayName(), std::string("sub"));
  QCOMPARE(view.CellMetrics().CellWidth, 100);
  QCOMPARE(view.CellMetrics().CellHeight, 100);
  const QRect first = view.CellRect(1), second = view.CellRect(2);
  QCOMPARE(first.size(), QSize(100, 100));
  QCOMPARE(second.left() - first.left(), 115);  // IconSpacing.X + cell width
  int nextRow = -1;
  for (int i = 2; i < view.Count(); ++i)
    if (view.CellRect(i).top() != view.CellRect(0).top()) {
      nextRow = i;
      break;
    }
  QVERIFY(nextRow > 0);
  QCOMPARE(view.CellRect(nextRow).top() - view.CellRect(0).top(), 132);  // Y + height

  // Focus, not selection, after the refill: no selected frame anywhere.
  QCOMPARE(view.ItemIndex(), 0);
  QVERIFY(view.SelectedIndexes().empty());

  QImage shot = Grab(view);
  const QColor background = shot.pixelColor(first.left(), first.top());
  const auto at = [&](const QRect& cell, int x, int y) {
    return shot.pixelColor(cell.left() + x, cell.top() + y);
  };
  // Unselected: a blue line of width 1, two pixels in; the image box 3 pixels in.
  for (int i : {0, 1}) QCOMPARE(at(first, i, 50), background);
  QCOMPARE(at(first, 2, 50), ColorOf(clBlue));
  QCOMPARE(at(first, 97, 50), ColorOf(clBlue));
  QCOMPARE(at(first, 50, 2), ColorOf(clBlue));
  QCOMPARE(at(first, 50, 97), ColorOf(clBlue));
  QCOMPARE(at(first, 3, 3), ColorOf(picture));
  QCOMPARE(at(first, 96, 3), ColorOf(picture));
  // The small type icon sits at the bottom-right corner, two pixels in.
  int iconPixels = 0;
  for (int y = 3 + 94 - 2 - 16; y < 3 + 94 - 2; ++y)
    for (int x = 3 + 94 - 2 - 16; x < 3 + 94 - 2; ++x)
      iconPixels += at(first, x, y) != ColorOf(picture);
  QVERIFY2(iconPixels > 30, qPrintable(QString::number(iconPixels)));
  QCOMPARE(at(first, 3 + 94 - 1, 3 + 94 - 1), ColorOf(picture));
  QCOMPARE(at(first, 3 + 94 - 2 - 17, 3 + 94 - 10), ColorOf(picture));

  // The folder's enlarged icon sits centred on white.
  const QRect folderCell = view.CellRect(0);
  QCOMPARE(at(folderCell, 4, 4), QColor(Qt::white));
  QCOMPARE(at(folderCell, 3 + 30, 3 + 30), QColor(Qt::white));  // 31 pixels of margin
  QVERIFY(at(folderCell, 3 + 47, 3 + 47) != QColor(Qt::white));

  // Selected: three red pixels at the very edge.
  view.SetItemIndex(1);
  shot = Grab(view);
  for (int i : {0, 1, 2}) {
    QCOMPARE(at(first, i, 50), ColorOf(clRed));
    QCOMPARE(at(first, 99 - i, 50), ColorOf(clRed));
    QCOMPARE(at(first, 50, i), ColorOf(clRed));
    QCOMPARE(at(first, 50, 99 - i), ColorOf(clRed));
  }
  QCOMPARE(at(first, 3, 50), ColorOf(picture));

  // With HideSelection on and no focus, a selected cell looks unselected.
  view.SetHideSelection(true);
  view.clearFocus();
  shot = Grab(view);
  QCOMPARE(at(first, 0, 50), background);
  QCOMPARE(at(first, 2, 50), ColorOf(clBlue));

  // The icon spacing is the gap between cells.
  view.View().IconSpacing().SetX(25);
  QTRY_COMPARE(view.CellRect(2).left() - view.CellRect(1).left(), 125);

  // A sunken border grows the cell by 4 in each direction.
  view.ViewImage().SetBorderStyle(bsSingle);
  QCOMPARE(view.CellMetrics().CellWidth, 104);
  QTRY_COMPARE(view.CellRect(1).size(), QSize(104, 104));
}

void ImgListViewTest::headerClicksSortAndToggleDescend() {
  TestDir dir;
  dir.write("b-large.txt", std::string(5000, 'x'));
  dir.write("a-small.txt", "x");
  dir.write("c-middle.txt", std::string(2000, 'x'));
  auto view = ShowGrid(dir.path());
  QVERIFY(view);
  view->SetViewStyle(vsReport);
  auto* header = view->findChild<QHeaderView*>();
  QVERIFY(header && header->isVisible());
  const QAbstractItemModel* model = view->model();
  const QStringList titles = {"名前", "サイズ", "ファイルの種類", "更新日時"};
  const int widths[] = {162, 69, 138, 104};
  for (int i = 0; i < 4; ++i) {
    QCOMPARE(model->headerData(i, Qt::Horizontal).toString(), titles[i]);
    QCOMPARE(header->sectionSize(i), i == 0 ? std::max(162, 101) : widths[i]);
  }
  QCOMPARE(model->headerData(1, Qt::Horizontal, Qt::TextAlignmentRole).toInt() & Qt::AlignRight,
           int(Qt::AlignRight));

  const auto names = [&] {
    std::vector<std::string> out;
    for (int i = 0; i < view->Count(); ++i) out.push_back(view->Item(i)->DisplayName());
    return out;
  };
  const auto click = [&](int section) {
    const int x = header->sectionViewportPosition(section) + header->sectionSize(section) / 2;
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x, header->height() / 2));
  };
  view->SetItemIndex(RowOf(*view, "c-middle.txt"));
  click(1);
  QCOMPARE(view->SortType(), istSize);
  QVERIFY(!view->Descend());
  QCOMPARE(names(), (std::vector<std::string>{"a-small.txt", "c-middle.txt", "b-large.txt"}));
  // The selection follows its item through the sort.
  QCOMPARE(view->Selected()->DisplayName(), std::string("c-middle.txt"));
  click(1);
  QVERIFY(view->Descend());
  QCOMPARE(names(), (std::vector<std::string>{"b-large.txt", "c-middle.txt", "a-small.txt"}));
  click(0);
  QCOMPARE(view->SortType(), istName);
  QVERIFY(view->Descend());
  QCOMPARE(names(), (std::vector<std::string>{"c-middle.txt", "b-large.txt", "a-small.txt"}));

  // Without ColumnSort a click changes nothing.
  view->DefaultExec().ColumnSort = false;
  click(1);
  QCOMPARE(view->SortType(), istName);
}

void ImgListViewTest::findWithAndWithoutWrap() {
  TestDir dir;
  for (const char* name :
       {"a0.txt", "a1.txt", "a2-Xyz.txt", "a3.txt", "a4.txt", "a5.txt", "a6.txt"})
    dir.write(name, "x");
  auto view = ShowGrid(dir.path());
  QVERIFY(view);
  QCOMPARE(RowOf(*view, "a2-Xyz.txt"), 2);
  QCOMPARE(view->FindItem(ifkPartial, "xYZ", 5, true), 2);
  QCOMPARE(view->FindItem(ifkPartial, "xYZ", 5, false), -1);
  QCOMPARE(view->FindItem(ifkPartial, "xyz", 1, false), 2);
  QCOMPARE(view->FindItem(ifkExact, "A2-X", 5, true), 2);
  QCOMPARE(view->FindItem(ifkExact, "XYZ", 0, true), -1);  // exact means "begins with"
  QCOMPARE(view->FindItem(ifkPartial, "nothing", 3, true), -1);

  // Typing finds incrementally from the focused item.
  view->setFocus();
  QTest::keyClicks(view.get(), "a4");
  QCOMPARE(view->ItemIndex(), 4);
  QTest::qWait(QApplication::keyboardInputInterval() + 50);
  QTest::keyClicks(view.get(), "xy");  // no name begins with it: one containing it
  QCOMPARE(view->ItemIndex(), 2);
}

void ImgListViewTest::ctrlITwiceGivesTheSelectionBack() {
  TestDir dir;
  for (int i = 0; i < 6; ++i) dir.write("f" + std::to_string(i) + ".txt", "x");
  auto view = ShowGrid(dir.path());
  QVERIFY(view);
  view->setFocus();
  view->selectionModel()->select(view->model()->index(1, 0), QItemSelectionModel::Select);
  view->selectionModel()->select(view->model()->index(3, 0), QItemSelectionModel::Select);
  QTest::keyClick(view.get(), Qt::Key_I, Qt::ControlModifier);
  QCOMPARE(view->SelectedIndexes(), (std::vector<int>{0, 2, 4, 5}));
  QTest::keyClick(view.get(), Qt::Key_I, Qt::ControlModifier | Qt::ShiftModifier);
  QCOMPARE(view->SelectedIndexes(), (std::vector<int>{1, 3}));
  QTest::keyClick(view.get(), Qt::Key_A, Qt::ControlModifier);
  QCOMPARE(int(view->SelectedIndexes().size()), 6);
}

void ImgListViewTest::shiftDeleteDoesNothingDeleteTrashes() {
  TestDir dir, data;
  qputenv("XDG_DATA_HOME", QByteArray::fromStdString(data.path()));
  const std::string kept = dir.write("keep me.txt", "x");
  auto view = ShowGrid(dir.path());
  QVERIFY(view);
  view->setFocus();
  view->SetItemIndex(0);
  QTest::keyClick(view.get(), Qt::Key_Delete, Qt::ShiftModifier);
  QTest::qWait(100);
  QVERIFY(fs::exists(kept));
  QVERIFY(!fs::exists(data.file("Trash/files/keep me.txt")));
  QTest::keyClick(view.get(), Qt::Key_Delete);
  QVERIFY(!fs::exists(kept));
  QVERIFY(fs::exists(data.file("Trash/files/keep me.txt")));
  QTRY_COMPARE(view->Count(), 0);  // the change notice refills the view

  // Without a usable trash, Delete says so and deletes nothing.
  const std::string second = dir.write("second.txt", "x");
  QTRY_COMPARE(view->Count(), 1);
  data.write("plain", "");
  qputenv("XDG_DATA_HOME", QByteArray::fromStdString(data.file("plain/below")));
  QString error;
  view->OnFileError = [&](ImgListView&, const QString& message) { error = message; };
  view->SetItemIndex(0);
  QTest::keyClick(view.get(), Qt::Key_Delete);
  QVERIFY(error.contains("second.txt"));
  QVERIFY(fs::exists(second));
  qunsetenv("XDG_DATA_HOME");
}

void ImgListViewTest::captionsOffLeaveNoTextInAnyStyle() {
  TestDir dir;
  dir.write("WWWWWWWW.txt", "x");
  auto view = ShowGrid(dir.path());
  QVERIFY(view);
  auto* delegate = static_cast<ImgListDelegate*>(view->itemDelegate());
  const auto textPixels = [&] {
    const QImage shot = Grab(*view);
    const QRect text =
        delegate->TextRect(view->visualRect(view->model()->index(0, 0))).intersected(shot.rect());
    const QColor base = view->palette().color(QPalette::Base);
    int n = 0;
    for (int y = text.top(); y <= text.bottom(); ++y)
      for (int x = text.left(); x <= text.right(); ++x) n += shot.pixelColor(x, y) != base;
    return n;
  };
  for (ViewStyleKind style : {vsIcon, vsSmallIcon, vsList, vsReport}) {
    view->SetViewStyle(style);
    view->View().SetShowCaptions(true);
    QTRY_VERIFY2(textPixels() > 20, qPrintable(QString::number(style)));
    view->View().SetShowCaptions(false);
    QTRY_COMPARE(textPixels(), 0);
    QCOMPARE(view->model()->index(0, 0).data().toString(), QString());
  }
}

void ImgListViewTest::changeFolderFiresOncePerFolder() {
  TestDir dir;
  MakeFolder(dir, "a");
  MakeFolder(dir, "b");
  ImgListView view;
  int fired = 0;
  view.OnChangeFolder = [&](ImgListView&) { ++fired; };
  QVERIFY(view.OpenFolder(dir.file("a")));
  QCOMPARE(fired, 1);
  QVERIFY(!view.OpenFolder(dir.file("a")));
  view.Refresh();
  QCOMPARE(fired, 1);
  // A change on disk refills the view without telling the host of a new folder.
  dir.write("a/new.txt", "x");
  QTRY_COMPARE(view.Count(), 1);
  QCOMPARE(fired, 1);
  QVERIFY(view.OpenFolder(dir.file("b")));
  QCOMPARE(fired, 2);
  QVERIFY(view.UpOneLevel());
  QCOMPARE(fired, 3);
  QCOMPARE(view.FolderPath(), dir.path());
}

void ImgListViewTest::thumbnailsArriveLastPaintedFirst() {
  TestDir dir;
  for (int i = 0; i < 12; ++i)
    WritePicture(dir, "img" + std::to_string(i) + ".bmp", 300, 200, RGB(uint8_t(i * 20), 90, 40));
  ImgListView view;
  view.SetIconStyle(iisImage);
  view.resize(760, 560);  // every cell shows
  // A focus change repaints the focused cell, which would rightly move it to the front
  // of the line; this test looks at the order of one paint alone.
  view.setFocusPolicy(Qt::NoFocus);
  std::vector<std::string> order;
  view.OnImageLoad = [&](ImgThreads&, GridItem& item) { order.push_back(item.DisplayName()); };
  view.OpenFolder(dir.path());
  view.show();
  QVERIFY(QTest::qWaitForWindowExposed(&view));
  QTRY_COMPARE(int(order.size()), 12);
  std::vector<std::string> expected;
  for (int i = 11; i >= 0; --i) expected.push_back("img" + std::to_string(i) + ".bmp");
  QCOMPARE(order, expected);
  QTRY_VERIFY(view.Item(0)->ThumbnailIndex >= 0);
  QCOMPARE(view.Item(0)->SourceWidth, 300);
  QCOMPARE(view.Item(0)->SourceHeight, 200);

  // A cell that scrolls into sight is decoded before those queued earlier.
  view.resize(260, 160);
  view.Refresh();
  order.clear();
  view.SetPaused(true);
  view.verticalScrollBar()->setValue(view.verticalScrollBar()->maximum());
  QTest::qWait(50);
  view.SetPaused(false);
  QTRY_VERIFY(!order.empty());
  int last = -1;
  for (int i = 0; i < view.Count(); ++i)
    if (view.visualRect(view.model()->index(i, 0)).intersects(view.viewport()->rect())) last = i;
  QVERIFY(last > 0);
  QCOMPARE(order.front(), view.Item(last)->DisplayName());
}

void ImgListViewTest::lookAheadKeepsTheBudgetAndTheCellsOnScreen() {
  TestDir dir;
  for (int i = 0; i < 40; ++i)
    WritePicture(dir, "img" + std::to_string(i) + ".bmp", 60, 40, RGB(uint8_t(i * 6), 90, 40));
  ImgListView view;
  view.SetIconStyle(iisImage);
  view.ViewImage().SetLookAhead(true);
  view.resize(400, 300);
  std::vector<int32_t> started;
  view.OnImageLoad = [&](ImgThreads&, GridItem& item) { started.push_back(item.Number()); };
  view.SetPaused(true);  // until the budget is set
  view.OpenFolder(dir.path());
  view.show();
  QVERIFY(QTest::qWaitForWindowExposed(&view));
  std::vector<GridItem*> onScreen;
  for (int i = 0; i < view.Count(); ++i)
    if (view.visualRect(view.model()->index(i, 0)).intersects(view.viewport()->rect()))
      onScreen.push_back(view.Item(i));
  QVERIFY(onScreen.size() > 2 && onScreen.size() < 20);
  // Room for the cells on screen and four more.
  PictureStore& store = view.FolderView().Thumbnails();
  const int room = int(onScreen.size()) + 4;
  store.SetBudget(size_t(store.CellWidth()) * store.CellHeight() * 3 * size_t(room));
  view.SetPaused(false);
  QTRY_COMPARE(int(started.size()), 40);  // every file, by look-ahead
  QTRY_VERIFY(!view.JobQueue().Busy());
  QTest::qWait(100);  // a repaint would queue a cell whose picture was pushed out
  QCOMPARE(int(started.size()), 40);  // none made twice
  QCOMPARE(store.Count(), room);
  for (GridItem* item : onScreen) QVERIFY(item->Handled && item->ThumbnailIndex >= 0);
  int waiting = 0;
  for (int i = 0; i < view.Count(); ++i) {
    GridItem* item = view.Item(i);
    QVERIFY(item->Handled != item->LookedAhead);
    waiting += item->LookedAhead;
  }
  QCOMPARE(waiting, 40 - room);

  // Scrolled to the end: the cells shown now are made again and kept.
  view.verticalScrollBar()->setValue(view.verticalScrollBar()->maximum());
  QTRY_VERIFY(view.Item(39)->Handled && view.Item(39)->ThumbnailIndex >= 0);
  QCOMPARE(store.Count(), room);
}

void ImgListViewTest::hostMayRefuseSelectionChanges() {
  TestDir dir;
  for (int i = 0; i < 3; ++i) dir.write("f" + std::to_string(i) + ".txt", "x");
  auto view = ShowGrid(dir.path());
  QVERIFY(view);
  bool refuse = true;
  int asked = 0;
  view->OnChanging = [&](ImgListView&, int, bool& allow) {
    ++asked;
    allow = !refuse;
  };
  const QPoint second = view->visualRect(view->model()->index(1, 0)).center();
  QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, second);
  QVERIFY(asked > 0);
  QVERIFY(view->SelectedIndexes().empty());
  QCOMPARE(view->ItemIndex(), 0);
  refuse = false;
  QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, second);
  QCOMPARE(view->SelectedIndexes(), std::vector<int>{1});
}

void ImgListViewTest::renameInPlaceCausesNoRefill() {
  TestDir dir;
  dir.write("old name.txt", "x");
  dir.write("other.txt", "y");
  auto view = ShowGrid(dir.path());
  QVERIFY(view);
  QTRY_VERIFY(view->ShellChangeNotification().Watching());
  view->setFocus();
  view->SetItemIndex(0);
  GridItem* before = view->Item(0);
  QTest::keyClick(view.get(), Qt::Key_F2);
  auto* editor = view->viewport()->findChild<QLineEdit*>();
  QVERIFY(editor);
  QCOMPARE(editor->text(), QString("old name.txt"));
  editor->setText(QString::fromUtf8("새 이름.txt"));
  QTest::keyClick(editor, Qt::Key_Return);
  QTRY_VERIFY(fs::exists(dir.file("새 이름.txt")));
  QVERIFY(!fs::exists(dir.file("old name.txt")));
  QTest::qWait(300);
  QCOMPARE(view->Item(0), before);  // the same item: no refill
  QCOMPARE(before->DisplayName(), std::string("새 이름.txt"));
  QVERIFY(view->ShellChangeNotification().Watching());

  // Renaming onto an existing name keeps both files as they are.
  QString error;
  view->OnFileError = [&](ImgListView&, const QString& message) { error = message; };
  QVERIFY(!view->RenameItem(0, "other.txt"));
  QVERIFY(!error.isEmpty());
  QVERIFY(fs::exists(dir.file("새 이름.txt")));
  QCOMPARE(ReadFileBytes(dir.file("other.txt")), std::string("y"));
  // Read-only: F2 opens no editor.
  view->SetReadOnly(true);
  QTest::keyClick(view.get(), Qt::Key_F2);
  QVERIFY(!view->viewport()->findChild<QLineEdit*>() ||
          !view->viewport()->findChild<QLineEdit*>()->isVisible());
}

void ImgListViewTest::refillsWaitWhileBusy() {
  TestDir dir;
  dir.write("one.txt", "x");
  auto view = ShowGrid(dir.path());
  QVERIFY(view);
  QCOMPARE(view->Count(), 1);
  bool busy = true;
  view->IsBusy = [&] { return busy; };
  dir.write("two.txt", "x");
  QTest::qWait(400);
  QCOMPARE(view->Count(), 1);
  busy = false;
  QTRY_COMPARE(view->Count(), 2);
}

void ImgListViewTest::reportOptionsAndHotTracking() {
  TestDir dir;
  for (const char* name : {"a.txt", "b.txt", "c.txt"}) dir.write(name, "x");
  auto view = ShowGrid(dir.path());
  QVERIFY(view);
  view->SetViewStyle(vsReport);
  view->SetHideSelection(false);
  view->SetItemIndex(1);
  QHeaderView* header = view->Header();
  QTRY_VERIFY(header->isVisible());

  const QRgb base = view->palette().color(QPalette::Base).rgb();
  const QRgb highlight = view->palette().color(QPalette::Active, QPalette::Highlight).rgb();
  const QRgb line = view->palette().color(QPalette::Mid).rgb();
  // Just inside the type column, left of its text.
  const int typeX = header->sectionViewportPosition(2) + 1;
  const auto pixel = [&](int x, int y) { return Grab(*view).pixel(x, y); };
  const QRect row0 = view->visualRect(view->model()->index(0, 0));
  const QRect row1 = view->visualRect(view->model()->index(1, 0));

  // The selected row is highlighted beyond its name only with RowSelect.
  QCOMPARE(pixel(typeX, row1.center().y()), base);
  view->SetRowSelect(true);
  QTRY_COMPARE(pixel(typeX, row1.center().y()), highlight);
  // Lines between rows only with GridLines.
  QCOMPARE(pixel(typeX, row0.bottom()), base);
  view->SetGridLines(true);
  QTRY_COMPARE(pixel(typeX, row0.bottom()), line);

  // Without column headers the rows start at the top of the control.
  const int withHeader = view->viewport()->geometry().top();
  view->SetShowColumnHeaders(false);
  QVERIFY(!header->isVisible());
  QVERIFY(view->viewport()->geometry().top() < withHeader);

  // Hot tracking: the caption under the pointer is drawn in the highlight colour
  // (underlined); leaving the control ends it.
  const QRect row2 = view->visualRect(view->model()->index(2, 0));
  const QRect name = view->visualRect(view->model()->index(2, 0)).adjusted(20, 0, -120, 0);
  const auto hotPixels = [&] {
    const QImage image = Grab(*view);
    int n = 0;
    for (int y = name.top(); y <= name.bottom(); ++y)
      for (int x = name.left(); x <= name.right(); ++x) n += image.pixel(x, y) == highlight;
    return n;
  };
  const auto moveTo = [&](QPoint at) {
    QMouseEvent move(QEvent::MouseMove, at, view->viewport()->mapToGlobal(at), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(view->viewport(), &move);
  };
  moveTo(row2.center());
  QCOMPARE(view->HotItem(), -1);  // off by default
  QCOMPARE(hotPixels(), 0);
  view->SetHotTrack(true);
  moveTo(row2.center() + QPoint(1, 0));
  QCOMPARE(view->HotItem(), 2);
  QTRY_VERIFY(hotPixels() > 3);
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(view.get(), &leave);
  QCOMPARE(view->HotItem(), -1);
  QTRY_COMPARE(hotPixels(), 0);
}

void ImgListViewTest::doubleClickAndEnterGoToTheHost() {
  TestDir dir;
  MakeFolder(dir, "inside");
  dir.write("skip.tmp", "x");
  dir.write("keep.txt", "x");
  ImgListView view;
  view.SetIconStyle(iisImage);
  view.OnImgItemAdd = [](ImgListView&, GridItem& item, bool& allow) {
    allow = item.DisplayName() != "skip.tmp";
  };
  view.resize(500, 300);
  view.OpenFolder(dir.path());
  view.show();
  QVERIFY(QTest::qWaitForWindowExposed(&view));
  QCOMPARE(view.Count(), 2);  // the host dropped one item

  int clicks = 0;
  std::vector<char16_t> keys;
  view.OnDblClick = [&](ImgListView&) { ++clicks; };
  view.OnKeyPress = [&](ImgListView&, char16_t& key) { keys.push_back(key); };
  view.DefaultExec().DblClick = false;
  const QPoint folderCell = view.CellRect(0).center();
  QTest::mouseDClick(view.viewport(), Qt::LeftButton, {}, folderCell);
  QCOMPARE(clicks, 1);
  view.setFocus();
  view.SetItemIndex(0);
  QTest::keyClick(&view, Qt::Key_Return);
  QCOMPARE(keys, std::vector<char16_t>{13});
  QCOMPARE(view.FolderPath(), dir.path());  // nothing opened

  // With DblClick on, a double click opens the folder, and Enter does too.
  view.DefaultExec().DblClick = true;
  QTest::mouseDClick(view.viewport(), Qt::LeftButton, {}, folderCell);
  QCOMPARE(view.FolderPath(), dir.file("inside"));
  QVERIFY(view.UpOneLevel());
  view.SetItemIndex(RowOf(view, "inside"));
  QTest::keyClick(&view, Qt::Key_Enter);
  QCOMPARE(view.FolderPath(), dir.file("inside"));
}

QTEST_MAIN(ImgListViewTest)
#include "imglistview_qtest.moc"
