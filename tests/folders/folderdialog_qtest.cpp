#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include "folders/FolderTreeFixture.h"
#include "folders/ui/FolderDialog.h"
#include "support/CaptionCheck.h"

using namespace quorvane;
using namespace quorvane::test;

class FolderSelectTest : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase() { fixture_ = std::make_unique<FolderTreeFixture>(); }
  void cleanupTestCase() { fixture_.reset(); }
  void formAndControls();
  void showingSelectsThePathAndOkReturnsTheEditedText();
  void computerGivesAnEmptyPath();
  void cancelEndsWithTwo();

 private:
  // Runs the dialog with `during` called once it is showing; a dialog that does not end
  // within ten seconds ends with 99.
  static int Run(FolderDialog& dlg, std::function<void()> during) {
    QTimer::singleShot(0, &dlg, std::move(during));
    QTimer::singleShot(10000, &dlg, [&dlg] { dlg.done(99); });
    return dlg.exec();
  }
  std::unique_ptr<FolderTreeFixture> fixture_;
};

void FolderSelectTest::formAndControls() {
  FolderDialog dlg;
  QCOMPARE(dlg.windowTitle(), QStringLiteral("폴더 선택"));
  // The client area of 313 x 214 lies below the caption strip.
  const int strip = GradientCaption::kDefaultHeight;
  QCOMPARE(dlg.size(), QSize(313, 214 + strip));
  QCOMPARE(dlg.Panel1->geometry(), QRect(0, strip, 313, 169));
  QCOMPARE(dlg.OKBtn->text(), QStringLiteral("확인"));
  QCOMPARE(dlg.CancelBtn->text(), QStringLiteral("취소"));
  QVERIFY(dlg.OKBtn->isDefault());
  QVERIFY(dlg.FolderTree1->Active());
  QCOMPARE(dlg.FolderTree1->FolderOptions(), SFolderOption(foNetworkNeighborhood));
  QCOMPARE(dlg.FolderTree1->indentation(), 19);
  QVERIFY(dlg.Edit1->geometry().bottom() < dlg.FolderTree1->geometry().top());
  QVERIFY(dlg.OKBtn->geometry().top() >= strip + 169);
  QCOMPARE(CaptionProblem(dlg), QString());
}

void FolderSelectTest::showingSelectsThePathAndOkReturnsTheEditedText() {
  FolderDialog dlg;
  const QString wanted = fixture_->Q(fixture_->home + "/l1/l2/l3");
  dlg.FolderPath = wanted + "/";
  const QString typed = wanted + "/아직 없는 폴더/x y";
  const int result = Run(dlg, [&] {
    QCOMPARE(dlg.Edit1->text(), wanted);
    QCOMPARE(dlg.FolderTree1->Path(), wanted);
    QVERIFY(dlg.FolderTree1->isExpanded(
        dlg.FolderTree1->Model()->IndexOf(dlg.FolderTree1->Selected()->parent)));
    // The edit box follows the tree.
    dlg.FolderTree1->SetPath(fixture_->Q(fixture_->home + "/leaf"));
    QCOMPARE(dlg.Edit1->text(), fixture_->Q(fixture_->home + "/leaf"));
    QCOMPARE(dlg.FolderPath, fixture_->Q(fixture_->home + "/leaf"));
    dlg.Edit1->setText(wanted + "/아직 없는 폴더");
    dlg.Edit1->setFocus();
    dlg.Edit1->end(false);
    QTest::keyClicks(dlg.Edit1, "/x y");
    QTest::mouseClick(dlg.OKBtn, Qt::LeftButton);
  });
  QCOMPARE(result, 1);
  QCOMPARE(dlg.FolderPath, typed);
}

void FolderSelectTest::computerGivesAnEmptyPath() {
  FolderDialog dlg;
  dlg.FolderPath = fixture_->Q(fixture_->home);
  const int result = Run(dlg, [&] {
    FolderTree* tree = dlg.FolderTree1;
    const QRect cell = tree->visualRect(tree->Model()->IndexOf(tree->Model()->Special(fkComputer)));
    QVERIFY(cell.isValid());
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, cell.center());
    QCOMPARE(dlg.Edit1->text(), QString());
    QTest::keyClick(dlg.Edit1, Qt::Key_Return);  // OK is the default button
  });
  QCOMPARE(result, 1);
  QCOMPARE(dlg.FolderPath, QString());
}

void FolderSelectTest::cancelEndsWithTwo() {
  FolderDialog dlg;
  dlg.FolderPath = fixture_->Q(fixture_->home + "/A");
  const int result = Run(dlg, [&] {
    dlg.Edit1->setText("/somewhere/else");
    QTest::mouseClick(dlg.CancelBtn, Qt::LeftButton);
  });
  QCOMPARE(result, 2);
  QCOMPARE(dlg.FolderPath, fixture_->Q(fixture_->home + "/A"));  // the tree's last path
}

QTEST_MAIN(FolderSelectTest)
#include "folderdialog_qtest.moc"
