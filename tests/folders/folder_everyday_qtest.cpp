// The folder tree and the folder dialog as a Linux user expects them: a stream of changes
// still shows, hidden folders stay out of the way, typed paths mean what they mean.
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include "folders/FolderTreeFixture.h"
#include "folders/ui/FolderDialog.h"

using namespace quorvane;
using namespace quorvane::test;

class FolderEverydayTest : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase() { fixture_ = std::make_unique<FolderTreeFixture>(); }
  void cleanupTestCase() { fixture_.reset(); }
  void aStreamOfChangesStillShows();
  void hiddenFoldersAreLeftOutByDefault();
  void typedPathsMeanWhatALinuxUserMeans();
  void dialogMakesMissingFoldersOrSaysWhy();

 private:
  FolderTreeFixture& F() { return *fixture_; }
  std::unique_ptr<FolderTreeFixture> fixture_;
};

void FolderEverydayTest::aStreamOfChangesStillShows() {
  auto tree = F().MakeTree();
  if (!tree->LiveUpdates()) QSKIP("no inotify here");
  const FolderNode* leaf = tree->SetPath(F().home + "/A");
  QVERIFY(leaf);
  tree->expand(tree->Model()->IndexOf(leaf));
  QVERIFY(leaf->loaded);
  // A build writes into the folder every 20 ms for two seconds; a folder made at its
  // start shows while the stream still runs.
  int made = 0;
  QTimer stream;
  QObject::connect(&stream, &QTimer::timeout, [&] {
    FolderTreeFixture::Make(F().home + "/A/build" + std::to_string(made++));
  });
  stream.start(20);
  QElapsedTimer clock;
  clock.start();
  QTRY_VERIFY_WITH_TIMEOUT(FolderTreeFixture::Child(leaf, "build0"), 1000);
  QVERIFY(stream.isActive());
  QVERIFY2(clock.elapsed() < 1500, "the tree waited for the end of the stream");
  stream.stop();
  QTRY_COMPARE(int(leaf->children.size()), made + 1);  // and "inner"
}

void FolderEverydayTest::hiddenFoldersAreLeftOutByDefault() {
  FolderTree tree;
  tree.SetVolumeSource([v = F().volumes] { return v; });
  tree.SetActive(true);
  const FolderNode* root = tree.Model()->Root();
  QVERIFY(!tree.ShowHidden());
  QVERIFY(!FolderTreeFixture::Child(root, ".hidden"));
  QVERIFY(FolderTreeFixture::Child(root, "A"));
  tree.SetShowHidden(true);
  QVERIFY(FolderTreeFixture::Child(tree.Model()->Root(), ".hidden"));
  // A hidden folder shown when asked for by its path.
  QVERIFY(tree.SetPath(F().home + "/.hidden"));
  QCOMPARE(tree.FolderPath(), F().home + "/.hidden");
}

void FolderEverydayTest::typedPathsMeanWhatALinuxUserMeans() {
  const std::string home = F().home;
  const std::string base = home + "/A";
  const QString shown = F().Q(base);
  QCOMPARE(FolderDialog::ResolveTyped("~", base, shown, base), home);
  QCOMPARE(FolderDialog::ResolveTyped("~/Pictures/2024 ", base, shown, base),
           home + "/Pictures/2024");
  QCOMPARE(FolderDialog::ResolveTyped("Exports/july", base, shown, base), base + "/Exports/july");
  QCOMPARE(FolderDialog::ResolveTyped("/tmp/x", base, shown, base), std::string("/tmp/x"));
  QCOMPARE(FolderDialog::ResolveTyped("", base, shown, base), std::string());
  // The tree's own folder keeps its bytes even where its text cannot hold them.
  const std::string odd = home + "/\xC5r";
  QCOMPARE(FolderDialog::ResolveTyped(F().Q(odd), base, F().Q(odd), odd), odd);
}

void FolderEverydayTest::dialogMakesMissingFoldersOrSaysWhy() {
  FolderDialog dlg;
  dlg.SetFolder(F().home + "/A");
  QVERIFY(dlg.Hint->text().contains(QStringLiteral("quorvane-conv")));
  int result = 0;
  QTimer::singleShot(0, &dlg, [&] {
    // Resizable, opened at its stated size.
    QVERIFY(dlg.minimumSize() != dlg.maximumSize());
    dlg.resize(500, 400);
    QCOMPARE(dlg.FolderTree1->FolderPath(), F().home + "/A");
    dlg.Edit1->setText(QStringLiteral("Exports/2024/july"));
    QTest::mouseClick(dlg.OKBtn, Qt::LeftButton);
  });
  QTimer::singleShot(10000, &dlg, [&] { dlg.done(99); });
  result = dlg.exec();
  QCOMPARE(result, 1);
  QCOMPARE(dlg.ChosenPath, F().home + "/A/Exports/2024/july");
  QVERIFY(IsFolder(dlg.ChosenPath));

  // A path that cannot be made: the message names the folder and the reason, and the
  // dialog stays open.
  FolderDialog second;
  second.SetFolder(F().home);
  QString message;
  QTimer::singleShot(0, &second, [&] {
    second.Edit1->setText(QStringLiteral("/proc/no such place/x"));
    QTimer::singleShot(0, &second, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box) {
        message = box->text();
        box->done(0);
      }
      QTimer::singleShot(0, &second, [&] { second.done(2); });
    });
    QTest::mouseClick(second.OKBtn, Qt::LeftButton);
  });
  QTimer::singleShot(10000, &second, [&] { second.done(99); });
  QCOMPARE(second.exec(), 2);
  QVERIFY2(message.startsWith(QStringLiteral("폴더를 생성할 수 없습니다.")), qPrintable(message));
  QVERIFY(message.contains(QStringLiteral("/proc/no such place/x")));
  QCOMPARE(message.count('\n'), 2);  // the reason on its own line
}

QTEST_MAIN(FolderEverydayTest)
#include "folder_everyday_qtest.moc"
