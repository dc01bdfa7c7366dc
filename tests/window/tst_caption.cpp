#include "engine/panelcolours.h"
#include "window/colors.h"
#include "window/progressbar.h"

#include <QImage>
#include <QTest>

// The bar's caption can be read wherever the fill has got to: its letters
// over the fill stand out from it, over the empty part they stay black.
class TestCaption : public QObject {
    Q_OBJECT
private slots:
    void lettersStandOutFromTheFill_data();
    void lettersStandOutFromTheFill();
};

// The colours a strip of the bar holds, inside its border.
QSet<QRgb> coloursIn(const QImage &image, int fromX, int toX)
{
    QSet<QRgb> colours;
    for (int y = 1; y < image.height() - 1; ++y) {
        for (int x = fromX; x <= toX; ++x)
            colours.insert(image.pixel(x, y) | 0xFF000000);
    }
    return colours;
}

void TestCaption::lettersStandOutFromTheFill_data()
{
    QTest::addColumn<quint32>("barColour");
    QTest::addColumn<QColor>("onFill"); // the letters' colour over the fill
    QTest::newRow("navy") << Colour::Navy << QColor(Qt::white);
    QTest::newRow("dark blue") << Colour::DarkBlue << QColor(Qt::white);
    QTest::newRow("blue") << Colour::Blue << QColor(Qt::white);
    QTest::newRow("red") << Colour::Red << QColor(Qt::white);
    QTest::newRow("green") << Colour::Green << QColor(Qt::black);
    QTest::newRow("grey") << Colour::Grey << QColor(Qt::black);
}

void TestCaption::lettersStandOutFromTheFill()
{
    QFETCH(quint32, barColour);
    QFETCH(QColor, onFill);
    QWidget window;
    window.resize(400, 40);
    auto *bar = new ProgressBar(&window);
    bar->setGeometry(8, 8, 381, 17);
    QPalette palette = bar->palette();
    palette.setColor(QPalette::Base, Qt::white);
    bar->setPalette(palette);
    bar->setText(QStringLiteral("DOWNLOAD"));
    bar->setBarColor(Colour::toQColor(barColour));
    bar->setMaximum(2);
    bar->setPosition(1); // the fill's edge splits the caption in two

    const QImage image = bar->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const int edge = bar->width() / 2;
    const QSet<QRgb> overFill = coloursIn(image, 1, edge - 2);
    const QSet<QRgb> overEmpty = coloursIn(image, edge + 1, bar->width() - 2);
    const QColor offFill = onFill == Qt::white ? QColor(Qt::black) : QColor(Qt::white);

    QVERIFY(overFill.contains(onFill.rgb()));
    if (offFill != Colour::toQColor(barColour))
        QVERIFY(!overFill.contains(offFill.rgb())); // nothing of the black letters of before
    QVERIFY(overEmpty.contains(QColor(Qt::black).rgb()));
    QVERIFY(!overEmpty.contains(Colour::toQColor(barColour).rgb()));

    // Filled all the way, no letter is black unless black stands out.
    bar->setPosition(2);
    const QSet<QRgb> full =
        coloursIn(bar->grab().toImage().convertToFormat(QImage::Format_RGB32), 1, bar->width() - 2);
    QCOMPARE(full.contains(QColor(Qt::black).rgb()), onFill == Qt::black);
    QVERIFY(full.contains(onFill.rgb()));
}

QTEST_MAIN(TestCaption)
#include "tst_caption.moc"
