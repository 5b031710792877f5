#include <sys/stat.h>

#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <thread>

#include "cli/CliRunner.h"
#include "processing/ConvertTestHelpers.h"
#include "processing/ui/ConvertDialog.h"
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
  void windowAnswersDuringASlowFile();
  void stopCutsALongStepShort();
  void resultsMatchTheCommandLine();

 private:
  // A batch of `count` small pictures named "사진 N.png" in a fresh folder.
  static void FillBatch(ConvertDialog& dlg, const TestDir& dir, int count) {
    const std::string src = dir.file("원본");
    mkdir(src.c_str(), 0777);
    for (int i = 1; i <= count; ++i)
      dlg.Params().FileList.push_back(
          WritePicture(src + "/사진 " + std::to_string(i) + ".png", 6 + i, 5));
    dlg.Params().OutputFolder = dir.file("결과 폴더");
  }
  static QStringList MemoLines(const ConvertDialog& dlg) {
    return dlg.Memo1->toPlainText().split('\n');
  }
  // Holds the batch's thread inside the read of the file whose name ends with `name`
  // until `release` is set (or ten seconds have passed).
  static void HoldReadOf(RecordingIO& io, const std::string& name, const std::atomic<bool>& release) {
    io.beforeRead = [&release, name](const std::string& path) {
      if (!path.ends_with(name)) return;
      for (int i = 0; i < 10000 && !release.load(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    };
  }
};

void ConvertDialogTest::controlsAndTexts() {
  ConvertDialog dlg;
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
  ConvertDialog dlg(nullptr, &io);
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
  ConvertDialog dlg;
  FillBatch(dlg, dir, 2);
  dlg.Params().FileList.insert(dlg.Params().FileList.begin() + 1, dir.write("깨진.png", "garbage"));
  dlg.show();
  QTRY_COMPARE_WITH_TIMEOUT(dlg.Label4->text(), QStringLiteral("Error(s) : 1"), 20000);
  QTRY_VERIFY(!dlg.TranThread->Running());
  QVERIFY(dlg.isVisible());
  QCOMPARE(CaptionProblem(dlg), QString());
  const QStringList lines = MemoLines(dlg);
  QCOMPARE(lines.size(), 6);
  QVERIFY(lines[2].endsWith(QStringLiteral("깨진.png(2/3)")));
  QCOMPARE(lines[3], QStringLiteral("파일을 읽어들일 수 없습니다."));
  // The reason follows, as quorvane-convert words it on standard error.
  QCOMPARE(lines[4], QString::fromStdString(dir.file("깨진.png")) +
                         QStringLiteral(": not a picture the readers know, or a damaged one"));
  QVERIFY(!lines.contains(QStringLiteral("중지되었습니다.")));
  QCOMPARE(dlg.Button1->text(), QStringLiteral("닫기"));
  QVERIFY(dlg.Finished());
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
  ConvertDialog dlg(nullptr, &io);
  FillBatch(dlg, dir, 5);
  std::atomic<bool> stopped{false};
  HoldReadOf(io, "사진 2.png", stopped);
  connect(dlg.Button1, &QPushButton::clicked, &dlg, [&] { stopped = true; });
  // The click lands while the batch works on the second file.
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
  QCOMPARE(MemoLines(dlg).last(), QStringLiteral("중지되었습니다."));
  QCOMPARE(dlg.Button1->text(), QStringLiteral("닫기"));
}

void ConvertDialogTest::closingWhileRunningActsAsStop() {
  TestDir dir;
  RecordingIO io;
  ConvertDialog dlg(nullptr, &io);
  FillBatch(dlg, dir, 3);
  std::atomic<bool> closing{false};
  HoldReadOf(io, "사진 1.png", closing);
  connect(dlg.Memo1, &QPlainTextEdit::textChanged, &dlg, [&] {
    if (dlg.Memo1->toPlainText().endsWith(QStringLiteral("(1/3)")))
      QTimer::singleShot(0, &dlg, [&] {
        dlg.close();
        closing = true;
      });
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
  auto* dlg = new ConvertDialog(nullptr, &io);
  FillBatch(*dlg, dir, 1);
  QTimer::singleShot(50, dlg, [&] { QTest::mouseClick(dlg->Button1, Qt::LeftButton); });
  QCOMPARE(dlg->exec(), 2);
  QVERIFY(io.reads.empty());
  delete dlg;
}

// The batch runs beside the event loop: while a file takes its time, the dialog shows
// its line and timers keep firing.
void ConvertDialogTest::windowAnswersDuringASlowFile() {
  TestDir dir;
  RecordingIO io;
  ConvertDialog dlg(nullptr, &io);
  FillBatch(dlg, dir, 2);
  std::atomic<bool> reading{false}, release{false};
  std::atomic<int> ticksWhileReading{0};
  io.beforeRead = [&](const std::string& path) {
    if (!path.ends_with("사진 1.png")) return;
    reading = true;
    // Held until the event loop has run ten times meanwhile (ten seconds at most).
    for (int i = 0; i < 10000 && !release.load(); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    reading = false;
  };
  bool lineShownWhileReading = false;
  QTimer tick;
  tick.setInterval(5);
  connect(&tick, &QTimer::timeout, &dlg, [&] {
    if (!reading) return;
    lineShownWhileReading = lineShownWhileReading ||
                            dlg.Memo1->toPlainText().endsWith(QStringLiteral("사진 1.png(1/2)"));
    if (++ticksWhileReading >= 10) release = true;
  });
  tick.start();
  QTimer::singleShot(20000, &dlg, [&] { dlg.done(99); });
  QCOMPARE(dlg.exec(), 1);
  QVERIFY(ticksWhileReading >= 10);
  QVERIFY(lineShownWhileReading);
  QCOMPARE(FolderNames(dir.file("결과 폴더")), (std::set<std::string>{"사진 1.jpg", "사진 2.jpg"}));
}

// A pixel step that polls Stop between its rows ends as soon as Stop is clicked; the
// unfinished picture is not written and the dialog says that it was stopped.
void ConvertDialogTest::stopCutsALongStepShort() {
  class EndlessStepIO : public RecordingIO {
   public:
    std::atomic<bool> inStep{false};
    bool RunStep(Bitmap&, const ConvertParams&, const StopSource* stop,
                 const std::function<void(int)>&, bool* interrupted) override {
      inStep = true;
      // A minute of rows unless stopped.
      for (int row = 0; row < 60000; ++row) {
        if (StopRequested(stop)) {
          *interrupted = true;
          return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
      return true;
    }
  } io;
  TestDir dir;
  ConvertDialog dlg(nullptr, &io);
  FillBatch(dlg, dir, 2);
  dlg.show();
  QTRY_VERIFY_WITH_TIMEOUT(io.inStep.load(), 10000);
  QTest::mouseClick(dlg.Button1, Qt::LeftButton);
  QTRY_VERIFY_WITH_TIMEOUT(dlg.Finished(), 5000);
  const QStringList lines = MemoLines(dlg);
  QCOMPARE(lines.mid(lines.size() - 3),
           (QStringList{QStringLiteral("이미지 변환 실패"),
                        QString::fromStdString(dlg.Params().FileList[0]) +
                            QStringLiteral(": stopped before the operation finished; nothing written"),
                        QStringLiteral("중지되었습니다.")}));
  QCOMPARE(dlg.Label4->text(), QStringLiteral("Error(s) : 1"));
  QCOMPARE(dlg.Button1->text(), QStringLiteral("닫기"));
  QCOMPARE(io.reads.size(), size_t(1));
  QVERIFY(FolderNames(dir.file("결과 폴더")).empty());
  QTest::mouseClick(dlg.Button1, Qt::LeftButton);
  QVERIFY(!dlg.isVisible());
}

// The dialog's batch writes exactly the files quorvane-convert writes.
void ConvertDialogTest::resultsMatchTheCommandLine() {
  TestDir dir;
  ConvertDialog dlg;
  FillBatch(dlg, dir, 3);
  dlg.Params().FileList.push_back(dir.write("원본/깨진.png", "garbage"));
  dlg.Params().OpCode = opColor;
  dlg.Params().Contrast = 30;
  dlg.Params().Brightness = -20;
  dlg.Params().Saturation = 400;
  dlg.Params().JpegQuality = 90;
  dlg.show();
  QTRY_VERIFY_WITH_TIMEOUT(dlg.Finished(), 20000);
  std::vector<std::string> args = {"-q", "90", "--color", "30,-20,145", "-o", dir.file("cli")};
  for (const std::string& file : dlg.Params().FileList) args.push_back(file);
  const CliResult cli = RunShell(ConverterCommand(ConverterBinary(), args, "", dir.path()),
                                 dir.file("stderr.txt"));
  QCOMPARE(cli.exitCode, 1);
  const std::set<std::string> names = FolderNames(dir.file("결과 폴더"));
  QCOMPARE(names, FolderNames(dir.file("cli")));
  QCOMPARE(names.size(), size_t(3));
  for (const std::string& name : names)
    QVERIFY2(ReadFileBytes(dir.file("결과 폴더/" + name)) == ReadFileBytes(dir.file("cli/" + name)),
             name.c_str());
  // The memo holds the command line's lines, and each failure's reason as it is
  // printed on standard error.
  QStringList expected = QString::fromStdString(cli.out).trimmed().split('\n');
  const QString reason = QString::fromStdString(cli.err).trimmed();
  QVERIFY(reason.startsWith(QStringLiteral("quorvane-convert: ")));
  expected.insert(expected.indexOf(QStringLiteral("파일을 읽어들일 수 없습니다.")) + 1,
                  reason.mid(int(strlen("quorvane-convert: "))));
  expected.removeLast();  // "Error(s) : 1" is the dialog's label
  QCOMPARE(MemoLines(dlg), expected);
  QCOMPARE(dlg.Label4->text(), QStringLiteral("Error(s) : 1"));
}

QTEST_MAIN(ConvertDialogTest)
#include "convertdialog_qtest.moc"
