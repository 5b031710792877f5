#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "shell/ui/BatchResultBar.h"

using namespace quorvane;

class BatchResultBarTest : public QObject {
  Q_OBJECT
 private slots:
  void tellsWhereTheFilesWent();
  void errorsReopenTheMemo();
  void closesByItselfOrOnAClick();
};

void BatchResultBarTest::tellsWhereTheFilesWent() {
  QWidget window;
  auto* bar = new BatchResultBar(&window);
  window.show();
  QVERIFY(!bar->isVisible());
  QStringList opened;
  bar->OpenFolder = [&](const std::string& folder) { opened << QString::fromStdString(folder); };
  bar->ShowResult(12, QStringLiteral("/home/u/사진/quorvane-conv"), 0, QString());
  QVERIFY(bar->isVisible());
  const QString text = QStringLiteral("12개 파일을 /home/u/사진/quorvane-conv 에 저장했습니다.");
  QCOMPARE(bar->Text(), text);
  QCOMPARE(bar->Message->toolTip(), text);
  // Too narrow for it, the label shows it shortened in the middle.
  bar->resize(bar->OpenFolderBtn->width() * 3, bar->height());
  QTRY_VERIFY(bar->Message->text().contains(QChar(0x2026)));
  QVERIFY(bar->Message->text().startsWith(QStringLiteral("12개")));
  QCOMPARE(bar->OpenFolderBtn->text(), QStringLiteral("폴더 열기"));
  QVERIFY(!bar->ErrorsBtn->isVisible());
  QTest::mouseClick(bar->OpenFolderBtn, Qt::LeftButton);
  QCOMPARE(opened, QStringList{QStringLiteral("/home/u/사진/quorvane-conv")});
  QVERIFY(!bar->isVisible());
}

void BatchResultBarTest::errorsReopenTheMemo() {
  QWidget window;
  auto* bar = new BatchResultBar(&window);
  window.show();
  const QString memo = QStringLiteral("* total 2File(s)\n-/a/x.png(1/2)\n파일을 읽어들일 수 없습니다.");
  bar->ShowResult(1, QStringLiteral("/a/out"), 2, memo);
  QVERIFY(bar->ErrorsBtn->isVisible());
  QCOMPARE(bar->ErrorsBtn->text(), QStringLiteral("오류 2개"));
  QVERIFY(!bar->MemoWindow());
  QTest::mouseClick(bar->ErrorsBtn, Qt::LeftButton);
  QWidget* shown = bar->MemoWindow();
  QVERIFY(shown);
  QVERIFY(shown->isVisible());
  auto* text = shown->findChild<QPlainTextEdit*>();
  QVERIFY(text);
  QCOMPARE(text->toPlainText(), memo);
  QVERIFY(text->isReadOnly());
  // Its button closes it.
  auto* close = shown->findChild<QPushButton*>();
  QCOMPARE(close->text(), QStringLiteral("닫기"));
  QTest::mouseClick(close, Qt::LeftButton);
  QTRY_VERIFY(!bar->MemoWindow());
}

void BatchResultBarTest::closesByItselfOrOnAClick() {
  QWidget window;
  auto* bar = new BatchResultBar(&window);
  window.show();
  bar->ShowResult(3, QStringLiteral("/x"), 0, QString());
  QVERIFY(bar->HideTimer->isActive());
  QCOMPARE(bar->HideTimer->interval(), 10000);
  bar->HideTimer->setInterval(50);  // the same timer, sooner
  bar->HideTimer->start();
  QTRY_VERIFY(!bar->isVisible());

  bar->ShowResult(3, QStringLiteral("/x"), 1, QString());
  QVERIFY(bar->isVisible());
  QTest::mouseClick(bar->Message, Qt::LeftButton);
  QVERIFY(!bar->isVisible());
}

QTEST_MAIN(BatchResultBarTest)
#include "batchresultbar_qtest.moc"
