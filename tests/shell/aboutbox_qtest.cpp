// The About box and the gradient caption every window carries.
#include <QBoxLayout>
#include <QLabel>
#include <QMainWindow>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include "platform/ui/GradientCaption.h"
#include "shell/ui/AboutBox.h"

using namespace quorvane;

class AboutBoxTest : public QObject {
  Q_OBJECT
 private slots:
  void listsTheFormatsAndClosesWithOk() {
    AboutBox box;
    QCOMPARE(box.windowTitle(), QStringLiteral("이 프로그램은"));
    QVERIFY(box.ProgramName->text().startsWith(QStringLiteral("Quorvane ")));
    const QStringList reads = box.ReadFormats->text().split(QStringLiteral(", "));
    QCOMPARE(reads.size(), 19);
    QCOMPARE(reads.first(), QStringLiteral("PNM"));
    QVERIFY(reads.contains(QStringLiteral("TIFF")));
    QVERIFY(reads.contains(QStringLiteral("RGBA")));
    QCOMPARE(reads.last(), QStringLiteral("GIF"));
    QCOMPARE(box.WriteFormats->text(),
             QStringLiteral("JPG, PNG, TIF, BMP, PNM, GIF(RLE), TGA, SGI, WebP, AVIF, JPEG XL"));
    QVERIFY(box.findChild<GradientCaption*>());
    QTimer::singleShot(0, &box, [&] { QTest::mouseClick(box.OKBtn, Qt::LeftButton); });
    QTimer::singleShot(5000, &box, [&] { box.done(99); });
    QCOMPARE(box.exec(), 1);
  }

  void listsTheNewerFormatsUnderTheOldOnes() {
    AboutBox box;
    const QStringList more = box.MoreReadFormats->text().split(QStringLiteral(", "));
    QCOMPARE(more.first(), QStringLiteral("PPM"));
    for (const char* name : {"HEIC", "AVIF", "WEBP", "JXL", "DNG", "CR3", "NEF"})
      QVERIFY2(more.contains(QString::fromLatin1(name)), name);
    QVERIFY(!more.contains(QStringLiteral("GIF")));
  }

  void everyTextIsShownWhole() {
    AboutBox box;
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    const QList<QLabel*> labels = box.findChildren<QLabel*>();
    QVERIFY(labels.size() >= 6);
    for (QLabel* label : labels) {
      if (!label->isVisible() || label->text().isEmpty()) continue;
      const QRect at(label->mapTo(&box, QPoint(0, 0)), label->size());
      QVERIFY2(box.rect().contains(at), qPrintable(label->text()));
      if (label->wordWrap())
        QVERIFY2(label->heightForWidth(label->width()) <= label->height(), qPrintable(label->text()));
      else
        QVERIFY2(label->sizeHint().width() <= label->width() &&
                     label->sizeHint().height() <= label->height(),
                 qPrintable(label->text()));
    }
  }

  void captionSpansTheTopAndFollowsTheTitle() {
    QDialog dialog;
    dialog.setWindowTitle(QStringLiteral("폴더 선택"));
    auto* layout = new QVBoxLayout(&dialog);
    auto* field = new QLabel(QStringLiteral("내용"), &dialog);
    layout->addWidget(field);
    const int topBefore = layout->contentsMargins().top();
    GradientCaption* caption = AddGradientCaption(&dialog);
    dialog.resize(300, 200);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QCOMPARE(caption->geometry(), QRect(0, 0, 300, GradientCaption::kDefaultHeight));
    QCOMPARE(layout->contentsMargins().top(), topBefore + GradientCaption::kDefaultHeight);
    QVERIFY(field->geometry().top() >= caption->geometry().bottom());
    QCOMPARE(caption->Text(), QStringLiteral("폴더 선택"));
    dialog.setWindowTitle(QStringLiteral("그림보기"));
    QCOMPARE(caption->accessibleName(), QStringLiteral("그림보기"));
    dialog.resize(420, 200);
    QTRY_COMPARE(caption->width(), 420);
    // The strip is painted: its left end carries the gradient, not the window colour.
    const QImage strip = caption->grab().toImage();
    QVERIFY(strip.pixelColor(2, caption->height() / 2) != dialog.palette().color(QPalette::Window));

    // A fixed-size dialog with hand-placed controls: they move down, the dialog grows.
    QDialog fixed;
    fixed.setFixedSize(313, 214);
    auto* button = new QPushButton(QStringLiteral("확인"), &fixed);
    button->setGeometry(150, 180, 75, 25);
    AddGradientCaption(&fixed);
    QCOMPARE(fixed.size(), QSize(313, 214 + GradientCaption::kDefaultHeight));
    QCOMPARE(button->geometry(), QRect(150, 180 + GradientCaption::kDefaultHeight, 75, 25));

    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Quorvane"));
    GradientCaption* top = AddGradientCaption(&window);
    QCOMPARE(window.menuWidget(), top);
  }
};

QTEST_MAIN(AboutBoxTest)
#include "aboutbox_qtest.moc"
