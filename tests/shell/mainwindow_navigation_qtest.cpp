// Getting around in the main window on a temporary home folder: the first start's size
// and folder pane, the location field (typed, `~`, relative, Tab, an unknown path),
// the parent keys and back and forward through the folders visited.
#include <QApplication>
#include <QDir>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QToolBar>
#include <QtTest>

#include "folders/ui/FolderTree.h"
#include "shell/Settings.h"
#include "shell/ui/GridStatus.h"
#include "shell/ui/LocationField.h"
#include "shell/ui/MainWindow.h"
#include "thumbnails/ui/ImgListView.h"

using namespace quorvane;

namespace {

QString gHome;  // the temporary home folder, set before the application starts
const QString kLongName = QStringLiteral("2024년 여름 제주도 가족 여행 사진 모음 (정리 끝낸 것)");

QString Home(const QString& name = QString()) {
  return name.isEmpty() ? gHome : gHome + QLatin1Char('/') + name;
}

// Types `text` as the keyboard would (QTest types Latin-1 only).
void Type(QWidget* to, const QString& text) {
  for (const QChar c : text) {
    QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
    QApplication::sendEvent(to, &press);
  }
}

}  // namespace

class NavigationTest : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase();
  void cleanupTestCase() { w.reset(); }
  void firstStartFitsTheScreenAndTheFolderNames();
  void locationFieldTakesTypedPaths();
  void parentAndHistoryKeys();

 private:
  void Key(QWidget* to, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    w->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w.get()));
    QTest::keyClick(to, key, modifiers);
  }
  std::unique_ptr<MainWindow> w;
};

void NavigationTest::initTestCase() {
  for (const QString& folder : {QStringLiteral("사진/2024 여름/바다"), QStringLiteral("사진/2023"),
                                QStringLiteral("문서"), kLongName})
    QVERIFY(QDir().mkpath(Home(folder)));
  w = std::make_unique<MainWindow>();
  w->show();
  w->activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(w.get()));
}

void NavigationTest::firstStartFitsTheScreenAndTheFolderNames() {
  // Nothing saved: about two thirds of the screen, centred.
  const QRect area = w->screen()->availableGeometry();
  const QSize expected(std::max(area.width() * 2 / 3, int(MainWindow::kInitialWidth)),
                       std::max(area.height() * 2 / 3, int(MainWindow::kInitialHeight)));
  QCOMPARE(w->size(), expected);
  QVERIFY(std::abs(w->frameGeometry().center().x() - area.center().x()) <= 2);
  QVERIFY(std::abs(w->frameGeometry().center().y() - area.center().y()) <= 2);
  // The folder pane is wide enough for the long name the home folder shows, within a
  // third of the window.
  const int nameWidth = w->FolderTree1->fontMetrics().horizontalAdvance(kLongName);
  QTRY_VERIFY(w->Panel1->width() > 161);
  QVERIFY(w->Panel1->width() >= std::min(nameWidth, w->width() / 3));
  QVERIFY(w->Panel1->width() <= w->width() / 3);
}

void NavigationTest::locationFieldTakesTypedPaths() {
  LocationField& field = *w->Location;
  QTRY_COMPARE(field.text(), Home());
  // A relative path, completed with Tab.
  field.setFocus();
  field.selectAll();
  Type(&field, QStringLiteral("사"));
  Key(&field, Qt::Key_Tab);
  QCOMPARE(field.text(), QStringLiteral("사진/"));
  QVERIFY(field.hasFocus());
  Type(&field, QStringLiteral("2024"));
  Key(&field, Qt::Key_Tab);
  QCOMPARE(field.text(), QStringLiteral("사진/2024 여름/"));
  Key(&field, Qt::Key_Return);
  QCOMPARE(w->FolderTree1->Path(), Home(QStringLiteral("사진/2024 여름")));
  QCOMPARE(field.text(), Home(QStringLiteral("사진/2024 여름")));
  QCOMPARE(QString::fromStdString(App().CurrentFolder), Home(QStringLiteral("사진/2024 여름")));
  // An unknown path keeps the grid where it is and says why.
  field.setFocus();
  field.selectAll();
  Type(&field, QStringLiteral("../없는 폴더"));
  Key(&field, Qt::Key_Return);
  QCOMPARE(w->FolderTree1->Path(), Home(QStringLiteral("사진/2024 여름")));
  QCOMPARE(w->StatusLine->currentMessage(),
           QStringLiteral("없는 폴더입니다: ") + Home(QStringLiteral("사진/없는 폴더")));
  // `~` is the home folder; an absolute path goes where it says.
  field.selectAll();
  Type(&field, QStringLiteral("~"));
  Key(&field, Qt::Key_Return);
  QCOMPARE(w->FolderTree1->Path(), Home());
  field.setFocus();
  field.selectAll();
  Type(&field, Home(QStringLiteral("문서")));
  Key(&field, Qt::Key_Return);
  QCOMPARE(w->FolderTree1->Path(), Home(QStringLiteral("문서")));
}

void NavigationTest::parentAndHistoryKeys() {
  w->FolderTree1->SetPath(Home(QStringLiteral("사진/2024 여름/바다")).toStdString());
  QCOMPARE(w->FolderTree1->Path(), Home(QStringLiteral("사진/2024 여름/바다")));
  QTRY_COMPARE(QString::fromStdString(w->ImgListView1->FolderPath()),
               Home(QStringLiteral("사진/2024 여름/바다")));
  // Alt+Up, then Backspace in the grid, go up.
  Key(w.get(), Qt::Key_Up, Qt::AltModifier);
  QCOMPARE(w->FolderTree1->Path(), Home(QStringLiteral("사진/2024 여름")));
  QTRY_COMPARE(QString::fromStdString(w->ImgListView1->FolderPath()),
               Home(QStringLiteral("사진/2024 여름")));
  w->ImgListView1->setFocus();
  Key(w->ImgListView1, Qt::Key_Backspace);
  QCOMPARE(w->FolderTree1->Path(), Home(QStringLiteral("사진")));
  // Back and forward through what was visited.
  QVERIFY(w->GoBack->isEnabled());
  QVERIFY(!w->GoForward->isEnabled());
  Key(w.get(), Qt::Key_Left, Qt::AltModifier);
  QCOMPARE(w->FolderTree1->Path(), Home(QStringLiteral("사진/2024 여름")));
  Key(w.get(), Qt::Key_Left, Qt::AltModifier);
  QCOMPARE(w->FolderTree1->Path(), Home(QStringLiteral("사진/2024 여름/바다")));
  QVERIFY(w->GoForward->isEnabled());
  Key(w.get(), Qt::Key_Right, Qt::AltModifier);
  QCOMPARE(w->FolderTree1->Path(), Home(QStringLiteral("사진/2024 여름")));
  QCOMPARE(w->Location->text(), Home(QStringLiteral("사진/2024 여름")));
  // A new folder drops what was ahead.
  w->FolderTree1->SetPath(Home(QStringLiteral("사진/2023")).toStdString());
  QVERIFY(!w->GoForward->isEnabled());
  Key(w.get(), Qt::Key_Right, Qt::AltModifier);
  QCOMPARE(w->FolderTree1->Path(), Home(QStringLiteral("사진/2023")));
  // A visited folder that is gone is passed over with a word, the grid stays.
  QVERIFY(QDir(Home(QStringLiteral("사진/2024 여름/바다"))).removeRecursively());
  QVERIFY(QDir(Home(QStringLiteral("사진/2024 여름"))).removeRecursively());
  Key(w.get(), Qt::Key_Left, Qt::AltModifier);
  QCOMPARE(w->StatusLine->currentMessage(),
           QStringLiteral("없는 폴더입니다: ") + Home(QStringLiteral("사진/2024 여름")));
  QCOMPARE(w->FolderTree1->Path(), Home(QStringLiteral("사진/2023")));
}

int main(int argc, char** argv) {
  QTemporaryDir home;
  if (!home.isValid()) return 1;
  gHome = QDir(home.path()).canonicalPath();
  qputenv("HOME", gHome.toUtf8());
  qputenv("XDG_CACHE_HOME", (gHome + "/.cache").toUtf8());
  qputenv("XDG_CONFIG_HOME", (gHome + "/.config").toUtf8());
  QApplication app(argc, argv);
  NavigationTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "mainwindow_navigation_qtest.moc"
