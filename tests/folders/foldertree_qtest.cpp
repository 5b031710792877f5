#include <stdio.h>
#include <unistd.h>

#include <QSignalSpy>
#include <QtTest>

#include "folders/FolderTreeFixture.h"

using namespace quorvane;
using namespace quorvane::test;

class FolderTreeTest : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase() { fixture_ = std::make_unique<FolderTreeFixture>(); }
  void cleanupTestCase() { fixture_.reset(); }
  void activationBuildsTheTopLevel();
  void optionsAndDisplayMode();
  void deepPathExpandsAndFiresOnce();
  void everyAbsolutePathCanBeSelected();
  void caseMatchesExactlyFirst();
  void createdRenamedAndDeletedFoldersFollow();
  void deletionInAnUnexpandedPartChangesNothing();
  void reloadKeepsTheSelection();
  void withoutNoticesVanishedFoldersAreFoundOnUse();
  void volumesFollowTheMountTable();
  void endSessionQuery();

 private:
  FolderTreeFixture& F() { return *fixture_; }
  std::unique_ptr<FolderTreeFixture> fixture_;
};

void FolderTreeTest::activationBuildsTheTopLevel() {
  FolderTree tree;
  tree.SetVolumeSource([v = F().volumes] { return v; });
  tree.SetFolderOptions(foNetworkNeighborhood);
  tree.SetShowHidden(true);  // the fixture's ".hidden" folder shows where it sorts
  QSignalSpy changes(&tree, &FolderTree::OnChange);
  tree.SetActive(true);
  QVERIFY(tree.Active());
  QCOMPARE(changes.count(), 1);
  QCOMPARE(changes[0][0].toString(), F().Q(F().home));
  QCOMPARE(tree.Path(), F().Q(F().home));

  FolderTreeModel* model = tree.Model();
  const FolderNode* root = model->Root();
  const FolderNode* computer = model->Special(fkComputer);
  const FolderNode* network = model->Special(fkNetwork);
  QVERIFY(tree.isExpanded(model->IndexOf(root)));
  QVERIFY(tree.isExpanded(model->IndexOf(computer)));
  QVERIFY(!network->loaded);  // read on first expansion only
  QVERIFY(!FolderTreeFixture::Child(root, "A")->loaded);
  QCOMPARE(FolderTreeFixture::Texts(tree, root),
           (QStringList{"컴퓨터", "네트워크", ".hidden", "A", "b", "Case", "case", "l1", "leaf",
                        "unexpanded", "사진 폴더"}));
  // The volumes keep the mount table's order.
  QCOMPARE(FolderTreeFixture::Texts(tree, computer),
           (QStringList{"/", "USB (" + F().Q(F().volume) + ")"}));
  QVERIFY(!model->hasChildren(model->IndexOf(FolderTreeFixture::Child(root, "leaf"))));
  QVERIFY(model->hasChildren(model->IndexOf(FolderTreeFixture::Child(root, "A"))));
  for (const FolderNode* node : std::initializer_list<const FolderNode*>{
           root, computer, network, root->children.back().get()})
    QVERIFY(!model->data(model->IndexOf(node), Qt::DecorationRole).value<QIcon>().isNull());

  // The special nodes have no path.
  tree.setCurrentIndex(model->IndexOf(computer));
  QCOMPARE(tree.Path(), QString());
  QCOMPARE(changes.count(), 2);
  QCOMPARE(changes[1][0].toString(), QString());
  tree.setCurrentIndex(model->IndexOf(network));
  QCOMPARE(tree.Path(), QString());
  tree.expand(model->IndexOf(network));
  QCOMPARE(FolderTreeFixture::Texts(tree, network), QStringList{F().Q(F().network)});
  tree.setCurrentIndex(model->IndexOf(network->children[0].get()));
  QCOMPARE(tree.Path(), F().Q(F().network));

  // A folder without folders does not stay expanded.
  const QModelIndex leaf = model->IndexOf(FolderTreeFixture::Child(root, "leaf"));
  tree.expand(leaf);
  QVERIFY(!tree.isExpanded(leaf));

  tree.SetActive(false);
  QCOMPARE(model->rowCount(), 0);
  QCOMPARE(tree.Path(), QString());
}

void FolderTreeTest::optionsAndDisplayMode() {
  auto tree = F().MakeTree();
  const FolderNode* root = tree->Model()->Root();
  tree->SetFolderOptions(foNetworkNeighborhood | foRecycleBin);
  QCOMPARE(FolderTreeFixture::Texts(*tree, root).mid(0, 4),
           (QStringList{"컴퓨터", "네트워크", "휴지통", ".hidden"}));
  QCOMPARE(tree->Model()->Special(fkRecycleBin)->kind, fkRecycleBin);
  tree->SetFolderOptions(foRecycleBin);
  QCOMPARE(FolderTreeFixture::Texts(*tree, root).mid(0, 3),
           (QStringList{"컴퓨터", "휴지통", ".hidden"}));
  tree->SetFolderOptions({});
  QCOMPARE(FolderTreeFixture::Texts(*tree, root).mid(0, 2), (QStringList{"컴퓨터", ".hidden"}));
  // Without "네트워크" a network mount is reached through "/".
  FolderNode* share = tree->SetPath(F().Q(F().network + "/share"));
  QVERIFY(share);
  QCOMPARE(tree->Path(), F().Q(F().network + "/share"));

  tree->SetDisplayMode(dmUppercase);
  QCOMPARE(FolderTreeFixture::Texts(*tree, root).mid(0, 4),
           (QStringList{"컴퓨터", ".HIDDEN", "A", "B"}));
  QCOMPARE(FolderTreeFixture::Texts(*tree, root).last(), QStringLiteral("사진 폴더"));
  tree->SetDisplayMode(dmLowercase);
  QCOMPARE(FolderTreeFixture::Texts(*tree, root).mid(2, 2), (QStringList{"a", "b"}));
  QCOMPARE(tree->Model()->Root()->children[2]->name, std::string("A"));  // texts only
}

void FolderTreeTest::deepPathExpandsAndFiresOnce() {
  auto tree = F().MakeTree();
  QSignalSpy changes(tree.get(), &FolderTree::OnChange);
  // Doubled and trailing separators are fine.
  const QString written = F().Q(F().home + "//l1/l2/l3/l4/l5/l6/l7/l8/");
  const FolderNode* node = tree->SetPath(written);
  QVERIFY(node);
  QCOMPARE(node->path, F().deepPath);
  QCOMPARE(tree->Path(), F().Q(F().deepPath));
  QCOMPARE(changes.count(), 1);
  QCOMPARE(changes[0][0].toString(), F().Q(F().deepPath));
  int depth = 0;
  for (const FolderNode* up = node->parent; up; up = up->parent, ++depth)
    QVERIFY(tree->isExpanded(tree->Model()->IndexOf(up)));
  QCOMPARE(depth, 8);
  QCOMPARE(tree->selectionModel()->selectedIndexes().size(), 1);

  // Selecting it again changes nothing and says nothing.
  tree->SetPath(written);
  QCOMPARE(changes.count(), 1);

  // A path that does not exist selects its deepest folder in the tree.
  node = tree->SetPath(F().Q(F().home + "/leaf/missing/more"));
  QVERIFY(node);
  QCOMPARE(tree->Path(), F().Q(F().home + "/leaf"));
  QCOMPARE(changes.count(), 2);

  // No absolute path, no node.
  QVERIFY(!tree->SetPath("relative/path"));
  QCOMPARE(tree->Path(), QString());
  QCOMPARE(changes.count(), 3);
}

void FolderTreeTest::everyAbsolutePathCanBeSelected() {
  auto tree = F().MakeTree();
  const FolderNode* computer = tree->Model()->Special(fkComputer);
  const FolderNode* slash = tree->SetPath("/");
  QVERIFY(slash);
  QCOMPARE(slash->parent, computer);
  QCOMPARE(tree->Path(), QStringLiteral("/"));
  const FolderNode* tmp = tree->SetPath("/tmp/");
  QVERIFY(tmp);
  QCOMPARE(tmp->parent, slash);
  QCOMPARE(tree->Path(), QStringLiteral("/tmp"));
  // A path on a volume is found from the volume with the longest matching mount point.
  const FolderNode* deeper = tree->SetPath(F().Q(F().volume + "/sub/deeper"));
  QVERIFY(deeper);
  QCOMPARE(deeper->parent->parent->path, F().volume);
  QCOMPARE(deeper->parent->parent->parent, computer);
  // A network mount is found under "네트워크".
  const FolderNode* share = tree->SetPath(F().Q(F().network + "/share"));
  QVERIFY(share);
  QCOMPARE(share->parent->kind, fkMachine);
}

void FolderTreeTest::caseMatchesExactlyFirst() {
  auto tree = F().MakeTree();
  QCOMPARE(tree->SetPath(F().Q(F().home + "/case"))->name, std::string("case"));
  QCOMPARE(tree->SetPath(F().Q(F().home + "/Case"))->name, std::string("Case"));
  // Without an exact match a name matches without regard to case.
  tree->SetPath(F().Q(F().home + "/UNEXPANDED/SUB"));
  QCOMPARE(tree->Path(), F().Q(F().home + "/unexpanded/sub"));
  tree->SetPath(F().Q(F().home + "/a/INNER"));
  QCOMPARE(tree->Path(), F().Q(F().home + "/A/inner"));
}

void FolderTreeTest::createdRenamedAndDeletedFoldersFollow() {
  auto tree = F().MakeTree();
  if (!tree->LiveUpdates()) QSKIP("no inotify here");
  FolderTreeModel* model = tree->Model();
  const FolderNode* a = tree->SetPath(F().Q(F().home + "/A"));
  QVERIFY(a);
  tree->expand(model->IndexOf(a));
  QVERIFY(a->loaded);
  const FolderNode* inner = FolderTreeFixture::Child(a, "inner");

  FolderTreeFixture::Make(F().home + "/A/새 폴더");
  QTRY_COMPARE(FolderTreeFixture::Texts(*tree, a), (QStringList{"inner", "새 폴더"}));
  QCOMPARE(FolderTreeFixture::Child(a, "inner"), inner);  // the rest stays as it was
  QVERIFY(tree->isExpanded(model->IndexOf(a)));

  QCOMPARE(rename((F().home + "/A/새 폴더").c_str(), (F().home + "/A/Renamed").c_str()), 0);
  QTRY_COMPARE(FolderTreeFixture::Texts(*tree, a), (QStringList{"inner", "Renamed"}));

  // A new folder in the home folder takes its place in the order.
  FolderTreeFixture::Make(F().home + "/kite");
  QTRY_VERIFY(FolderTreeFixture::Child(model->Root(), "kite"));
  QCOMPARE(FolderTreeFixture::Texts(*tree, model->Root()).indexOf("kite"),
           FolderTreeFixture::Texts(*tree, model->Root()).indexOf("l1") - 1);

  // The selected folder deleted: its parent takes the selection, and says so.
  tree->SetPath(F().Q(F().home + "/A/Renamed"));
  QSignalSpy changes(tree.get(), &FolderTree::OnChange);
  QCOMPARE(rmdir((F().home + "/A/Renamed").c_str()), 0);
  QTRY_COMPARE(FolderTreeFixture::Texts(*tree, a), QStringList{"inner"});
  QCOMPARE(tree->Path(), F().Q(F().home + "/A"));
  QCOMPARE(changes.count(), 1);
  QCOMPARE(changes[0][0].toString(), F().Q(F().home + "/A"));

  // A link to a folder is a folder, and goes as a file.
  QCOMPARE(symlink((F().home + "/leaf").c_str(), (F().home + "/A/to leaf").c_str()), 0);
  QTRY_COMPARE(FolderTreeFixture::Texts(*tree, a), (QStringList{"inner", "to leaf"}));
  QVERIFY(FolderTreeFixture::Child(a, "to leaf")->isLink);
  QCOMPARE(unlink((F().home + "/A/to leaf").c_str()), 0);
  QTRY_COMPARE(FolderTreeFixture::Texts(*tree, a), QStringList{"inner"});

  // Files come and go unnoticed.
  QSignalSpy inserted(model, &QAbstractItemModel::rowsInserted);
  F().dir.write("home/A/note.txt", "x");
  QTest::qWait(200);
  QCOMPARE(inserted.count(), 0);
  QCOMPARE(unlink((F().home + "/A/note.txt").c_str()), 0);
  QCOMPARE(rmdir((F().home + "/kite").c_str()), 0);
  QTRY_VERIFY(!FolderTreeFixture::Child(model->Root(), "kite"));
}

void FolderTreeTest::deletionInAnUnexpandedPartChangesNothing() {
  auto tree = F().MakeTree();
  FolderTreeModel* model = tree->Model();
  const FolderNode* unexpanded = FolderTreeFixture::Child(model->Root(), "unexpanded");
  QVERIFY(unexpanded && !unexpanded->loaded);
  QSignalSpy removed(model, &QAbstractItemModel::rowsRemoved);
  QSignalSpy inserted(model, &QAbstractItemModel::rowsInserted);
  QSignalSpy changes(tree.get(), &FolderTree::OnChange);
  QCOMPARE(rmdir((F().home + "/unexpanded/sub/gone").c_str()), 0);
  QTest::qWait(300);
  tree->ProcessNotices();
  QCOMPARE(removed.count(), 0);
  QCOMPARE(inserted.count(), 0);
  QCOMPARE(changes.count(), 0);
  QVERIFY(!unexpanded->loaded);
  FolderTreeFixture::Make(F().home + "/unexpanded/sub/gone");
}

void FolderTreeTest::reloadKeepsTheSelection() {
  auto tree = F().MakeTree();
  const FolderNode* before = tree->SetPath(F().Q(F().deepPath));
  QVERIFY(before);
  QSignalSpy changes(tree.get(), &FolderTree::OnChange);
  tree->Reload();
  QCOMPARE(tree->Path(), F().Q(F().deepPath));
  QVERIFY(tree->Selected()->parent);
  QVERIFY(tree->isExpanded(tree->Model()->IndexOf(tree->Selected()->parent)));
  QCOMPARE(changes.count(), 0);  // the same folder: nothing to tell

  // A special node stays selected too.
  tree->setCurrentIndex(tree->Model()->IndexOf(tree->Model()->Special(fkComputer)));
  tree->Reload();
  QCOMPARE(tree->Selected(), tree->Model()->Special(fkComputer));

  // Nothing selected stays so.
  tree->SetPath(QString());
  tree->Reload();
  QVERIFY(!tree->Selected());
  QCOMPARE(tree->Path(), QString());
}

void FolderTreeTest::withoutNoticesVanishedFoldersAreFoundOnUse() {
  for (const char* folder : {"/stale", "/vanish", "/vanish/sub", "/dbl"})
    FolderTreeFixture::Make(F().home + folder);
  auto tree = F().MakeTree();
  FolderTreeModel* model = tree->Model();
  QVERIFY(tree->QueryEndSession());  // ends the notices
  QVERIFY(!tree->LiveUpdates());

  // Writing a path whose folder has vanished reads its volume again: no node.
  QCOMPARE(rmdir((F().home + "/stale").c_str()), 0);
  QVERIFY(FolderTreeFixture::Child(model->Root(), "stale"));
  QVERIFY(!tree->SetPath(F().Q(F().home + "/stale")));
  QVERIFY(!FolderTreeFixture::Child(model->Root(), "stale"));
  QCOMPARE(tree->Path(), F().Q(F().home));

  // A folder that cannot be read keeps its expander and does not expand.
  const FolderNode* vanish = FolderTreeFixture::Child(model->Root(), "vanish");
  QVERIFY(model->hasChildren(model->IndexOf(vanish)));
  QCOMPARE(rmdir((F().home + "/vanish/sub").c_str()), 0);
  QCOMPARE(rmdir((F().home + "/vanish").c_str()), 0);
  tree->expand(model->IndexOf(vanish));
  QVERIFY(!tree->isExpanded(model->IndexOf(vanish)));
  QVERIFY(model->hasChildren(model->IndexOf(vanish)));
  QVERIFY(!vanish->loaded);

  // A left double click checks the selection.
  const FolderNode* dbl = tree->SetPath(F().Q(F().home + "/dbl"));
  QVERIFY(dbl);
  QCOMPARE(rmdir((F().home + "/dbl").c_str()), 0);
  tree->show();
  QVERIFY(QTest::qWaitForWindowExposed(tree.get()));
  const QRect cell = tree->visualRect(model->IndexOf(dbl));
  QVERIFY(cell.isValid());
  QSignalSpy changes(tree.get(), &FolderTree::OnChange);
  QTest::mouseDClick(tree->viewport(), Qt::LeftButton, {}, cell.center());
  QVERIFY(!FolderTreeFixture::Child(model->Root(), "dbl"));
  QVERIFY(!FolderTreeFixture::Child(model->Root(), "vanish"));
  QCOMPARE(tree->Path(), F().Q(F().home));
  QCOMPARE(changes.count(), 1);

  // A double click on a volume without children gives it its expander back.
  const FolderNode* computer = model->Special(fkComputer);
  tree->setCurrentIndex(model->IndexOf(computer));
  tree->CheckSelection();
  QVERIFY(computer->loaded);  // has children: left alone
}

void FolderTreeTest::volumesFollowTheMountTable() {
  auto tree = F().MakeTree();
  FolderTreeModel* model = tree->Model();
  const FolderNode* computer = model->Special(fkComputer);
  const std::string second = F().dir.file("second disk");
  FolderTreeFixture::Make(second);
  std::vector<Volume> volumes = F().volumes;
  volumes.insert(volumes.begin() + 1, Volume{second, "/dev/sdc1", "ext4", "", false});
  tree->SetVolumeSource([&volumes] { return volumes; });
  tree->CheckVolumes();
  QCOMPARE(FolderTreeFixture::Texts(*tree, computer),
           (QStringList{"/", F().Q(second), "USB (" + F().Q(F().volume) + ")"}));

  // Another medium in the same place: the new label, read afresh.
  tree->SetPath(F().Q(F().volume + "/sub"));
  const FolderNode* usb = computer->children[2].get();
  QVERIFY(usb->loaded);
  volumes[2].label = "사진 카드";
  QSignalSpy changes(tree.get(), &FolderTree::OnChange);
  tree->CheckVolumes();
  QCOMPARE(model->TextOf(usb), "사진 카드 (" + F().Q(F().volume) + ")");
  QCOMPARE(tree->Path(), F().Q(F().volume));
  QCOMPARE(changes.count(), 1);

  // Unmounted: the node goes, and the selection with it to "컴퓨터".
  volumes.erase(volumes.begin() + 2);
  tree->CheckVolumes();
  QCOMPARE(FolderTreeFixture::Texts(*tree, computer), (QStringList{"/", F().Q(second)}));
  QCOMPARE(tree->Selected(), computer);
  QCOMPARE(tree->Path(), QString());
  QCOMPARE(changes.count(), 2);
}

void FolderTreeTest::endSessionQuery() {
  auto tree = F().MakeTree();
  int asked = 0;
  tree->OnEndSessionQuery = [&](FolderTree& sender, bool& canEnd) {
    QCOMPARE(&sender, tree.get());
    ++asked;
    canEnd = false;
  };
  const bool live = tree->LiveUpdates();
  QVERIFY(!tree->QueryEndSession());
  QCOMPARE(asked, 1);
  QCOMPARE(tree->LiveUpdates(), live);  // refused: the notices go on
}

QTEST_MAIN(FolderTreeTest)
#include "foldertree_qtest.moc"
