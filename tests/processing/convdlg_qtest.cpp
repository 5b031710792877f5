#include <sys/stat.h>

#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "processing/ConvertTestHelpers.h"
#include "processing/ui/convdlg.h"
#include "platform/ui/WorkerThread.h"
#include "support/CaptionCheck.h"

using namespace quorvane;
using namespace quorvane::test;

class ConvertDialogTest : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase() { QVERIFY(CodecReady()); }
  void controlsAndTexts();
  void allSucceededClosesWithOk();
  void failureKeepsTheDialogOpen();
  void stopDuringSecondOfFive();
  void closingWhileRunningActsAsStop();
  void stopBeforeTheBatchStartsCloses();

 private:
  // A batch of `count` small pictures named "사진 N.png" in a fresh folder.
  static void FillBatch(TConvertDlg& dlg, const TestDir& dir, int count) {
    const std::string src = dir.file("원본");
    mkdir(src.c_str(), 0777);
    for (int i = 1; i <= count; ++i)
      dlg.Params().FileList.push_back(
          WritePicture(src + "/사진 " + std::to_string(i) + ".png", 6 + i, 5));
    dlg.Params().OutputFolder = dir.file("결과 폴더");
  }
  static QStringList MemoLines(const TConvertDlg& dlg) {
    return dlg.Memo1->toPlainText().split('\n');
  }
};

void ConvertDialogTest::controlsAndTexts() {
  TConvertDlg dlg;
  QCOMPARE(dlg.windowTitle(), QStringLiteral("변환"));
  QCOMPARE(dlg.Label1->text(), QStringLiteral("Convert to "));
  QCOMPARE(dlg.Label4->text(), QStringLiteral("Errors : "));
  QCOMPARE(dlg.Button1->text(), QStringLiteral("중지(&S)"));
  QVERIFY(dlg.Memo1->isReadOnly());
  QCOMPARE(dlg.Memo1->palette().color(QPalette::Base), QColor(255, 255, 0));
  QVERIFY(dlg.OKBtn->isHidden());
  QVERIFY(dlg.CancelBtn->isHidden());
  QCOMPARE(dlg.Timer1->interval(), 400);
  QVERIFY(!dlg.Timer1->isActive());
  QVERIFY(dlg.Params().ChangeExt);
  QVERIFY(!dlg.TranThread->Running());
}

void ConvertDialogTest::allSucceededClosesWithOk() {
  TestDir dir;
  RecordingIO io;
  TConvertDlg dlg(nullptr, &io);
  FillBatch(dlg, dir, 3);
  dlg.Params().TargetExt = ".gif";
  QTimer::singleShot(20000, &dlg, [&] { dlg.done(99); });  // a hung batch fails the test
  const int result = dlg.exec();
  QCOMPARE(result, 1);
  QCOMPARE(dlg.Label1->text(), QStringLiteral("Convert to .gif"));
  QCOMPARE(dlg.PrBar1->maximum(), 3);
  QCOMPARE(dlg.PrBar1->value(), 3);
  const QStringList lines = MemoLines(dlg);
  QCOMPARE(lines.size(), 4);
  QCOMPARE(lines[0], QStringLiteral("* total 3File(s)"));
  QVERIFY(lines[3].endsWith(QStringLiteral("사진 3.png(3/3)")));
  QCOMPARE(FolderNames(dir.file("결과 폴더")),
           (std::set<std::string>{"사진 1.gif", "사진 2.gif", "사진 3.gif"}));
}

void ConvertDialogTest::failureKeepsTheDialogOpen() {
  TestDir dir;
  TConvertDlg dlg;
  FillBatch(dlg, dir, 2);
  dlg.Params().FileList.insert(dlg.Params().FileList.begin() + 1, dir.write("깨진.png", "garbage"));
  dlg.show();
  QTRY_COMPARE_WITH_TIMEOUT(dlg.Label4->text(), QStringLiteral("Error(s) : 1"), 20000);
  QTRY_VERIFY(!dlg.TranThread->Running());
  QVERIFY(dlg.isVisible());
  QCOMPARE(CaptionProblem(dlg), QString());
  const QStringList lines = MemoLines(dlg);
  QCOMPARE(lines.size(), 5);
  QVERIFY(lines[2].endsWith(QStringLiteral("깨진.png(2/3)")));
  QCOMPARE(lines[3], QStringLiteral("파일을 읽어들일 수 없습니다."));
  if (const char* shots = getenv("QUORVANE_SCREENSHOT_DIR"))
    dlg.grab().save(QString::fromUtf8(shots) + "/convdlg.png");
  // Stop now closes the dialog with Cancel.
  QTest::mouseClick(dlg.Button1, Qt::LeftButton);
  QVERIFY(!dlg.isVisible());
  QCOMPARE(dlg.result(), 2);
}

void ConvertDialogTest::stopDuringSecondOfFive() {
  TestDir dir;
  RecordingIO io;
  TConvertDlg dlg(nullptr, &io);
  FillBatch(dlg, dir, 5);
  // The click lands while the loop pumps events during the second file.
  connect(dlg.Memo1, &QPlainTextEdit::textChanged, &dlg, [&] {
    if (dlg.Memo1->toPlainText().endsWith(QStringLiteral("(2/5)")))
      QTimer::singleShot(0, &dlg, [&] { QTest::mouseClick(dlg.Button1, Qt::LeftButton); });
  });
  dlg.show();
  QTRY_COMPARE_WITH_TIMEOUT(dlg.Label4->text(), QStringLiteral("Error(s) : 0"), 20000);
  QTRY_VERIFY(!dlg.TranThread->Running());
  QVERIFY(dlg.isVisible());
  QCOMPARE(io.reads.size(), size_t(2));
  QCOMPARE(FolderNames(dir.file("결과 폴더")), (std::set<std::string>{"사진 1.jpg", "사진 2.jpg"}));
  QVERIFY(!dlg.Memo1->toPlainText().contains(QStringLiteral("(3/5)")));
  QCOMPARE(dlg.PrBar1->value(), 2);
}

void ConvertDialogTest::closingWhileRunningActsAsStop() {
  TestDir dir;
  RecordingIO io;
  TConvertDlg dlg(nullptr, &io);
  FillBatch(dlg, dir, 3);
  connect(dlg.Memo1, &QPlainTextEdit::textChanged, &dlg, [&] {
    if (dlg.Memo1->toPlainText().endsWith(QStringLiteral("(1/3)")))
      QTimer::singleShot(0, &dlg, [&] { dlg.close(); });
  });
  dlg.show();
  QTRY_COMPARE_WITH_TIMEOUT(dlg.Label4->text(), QStringLiteral("Error(s) : 0"), 20000);
  QTRY_VERIFY(!dlg.TranThread->Running());
  QVERIFY(dlg.isVisible());
  QCOMPARE(io.reads.size(), size_t(1));
  // Once the batch has ended, closing closes.
  dlg.close();
  QVERIFY(!dlg.isVisible());
  QCOMPARE(dlg.result(), 2);
}

void ConvertDialogTest::stopBeforeTheBatchStartsCloses() {
  TestDir dir;
  RecordingIO io;
  auto* dlg = new TConvertDlg(nullptr, &io);
  FillBatch(*dlg, dir, 1);
  QTimer::singleShot(50, dlg, [&] { QTest::mouseClick(dlg->Button1, Qt::LeftButton); });
  QCOMPARE(dlg->exec(), 2);
  QVERIFY(io.reads.empty());
  delete dlg;
}

QTEST_MAIN(ConvertDialogTest)
#include "convdlg_qtest.moc"
