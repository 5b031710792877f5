// A file that changes while its thumbnail is being made: the picture of the file as it
// was is dropped and the file is made again.
#include <QTest>
#include <atomic>
#include <chrono>
#include <fstream>
#include <thread>

#include "ImgListViewTestHelpers.h"

using namespace quorvane;
using namespace quorvane::test;

namespace {

// Reads "*.gate" files as a flat picture, blue when the file says "blue", else red,
// and only while its gate is open: a closed gate holds the worker inside the read.
struct GatePlugin : ImagePlugin {
  std::atomic<bool> open{true};
  std::atomic<int> entered{0};
  bool CanLoad(const std::string& name) override { return name.ends_with(".gate"); }
  bool LoadFile(const std::string& name, Bitmap& bitmap) override {
    const std::string text = ReadFileBytes(name);  // read before the wait: the old file
    ++entered;
    while (!open.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    bitmap.SetSize(40, 30);
    bitmap.Fill(text.starts_with("blue") ? clBlue : clRed);
    return true;
  }
};

}  // namespace

class ImgListViewChangesTest : public QObject {
  Q_OBJECT
 private slots:
  void aResultOfTheFileAsItWasIsDroppedAndTheFileMadeAgain() {
    TestDir dir;
    const std::string path = dir.write("x.gate", "red");
    GatePlugin gate;
    gate.open = false;
    ImgListView view;
    view.ViewImage().ImgUtil().SetCustomPlugin(&gate);
    view.SetIconStyle(iisImage);
    view.resize(400, 300);
    view.OpenFolder(dir.path());
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QTRY_COMPARE(gate.entered.load(), 1);  // the job has read the old file and waits

    {
      std::ofstream(path, std::ios::trunc) << "blue, written since";
    }
    view.Rescan();  // the change notice
    gate.open = true;
    GridItem* item = view.Item(RowOf(view, "x.gate"));
    QVERIFY(item);
    QTRY_VERIFY_WITH_TIMEOUT(item->Handled && gate.entered.load() == 2, 5000);
    Bitmap cell;
    QVERIFY(item->GetThumbnail(cell));
    QCOMPARE(cell.Pixel(cell.Width() / 2, cell.Height() / 2), clBlue);
    QTest::qWait(200);
    QCOMPARE(gate.entered.load(), 2);
  }
};

QTEST_MAIN(ImgListViewChangesTest)
#include "imglistview_changes_qtest.moc"
