#include "window/colors.h"
#include "window/panelcolours.h"
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
    void contrastIsReckonedAsWcagDoes_data();
    void contrastIsReckonedAsWcagDoes();
    void captionReadsOnEveryFill_data();
    void captionReadsOnEveryFill();
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
    QTest::newRow("red") << Colour::Red << QColor(Qt::black);
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

void TestCaption::contrastIsReckonedAsWcagDoes_data()
{
    QTest::addColumn<QColor>("one");
    QTest::addColumn<QColor>("other");
    QTest::addColumn<double>("ratio");
    QTest::newRow("black on white") << QColor(Qt::black) << QColor(Qt::white) << 21.0;
    QTest::newRow("either way round") << QColor(Qt::white) << QColor(Qt::black) << 21.0;
    QTest::newRow("a colour on itself") << QColor(Qt::red) << QColor(Qt::red) << 1.0;
    QTest::newRow("red on white") << QColor(Qt::red) << QColor(Qt::white) << 3.998;
    QTest::newRow("blue on white") << QColor(Qt::blue) << QColor(Qt::white) << 8.592;
    // Just short of 4.5: the grey that fails where a plain luma threshold would pass it.
    QTest::newRow("#777777 on white") << QColor(0x77, 0x77, 0x77) << QColor(Qt::white) << 4.478;
}

void TestCaption::contrastIsReckonedAsWcagDoes()
{
    QFETCH(QColor, one);
    QFETCH(QColor, other);
    QFETCH(double, ratio);
    QVERIFY2(qAbs(Colour::contrastRatio(one, other) - ratio) < 0.001,
             qPrintable(QString::number(Colour::contrastRatio(one, other))));
}

// Over every colour the bar is filled with, and over its empty part, the
// caption has the higher contrast of black and white, and reads (4.5:1)
// wherever one of them can.
void TestCaption::captionReadsOnEveryFill_data()
{
    QTest::addColumn<QColor>("under");
    QTest::addColumn<QColor>("caption");
    QTest::newRow("empty part") << QColor(Qt::white) << QColor(Qt::black);
    QTest::newRow("NO FILE, blue") << Colour::toQColor(Colour::Blue) << QColor(Qt::white);
    QTest::newRow("port open, navy") << Colour::toQColor(Colour::Navy) << QColor(Qt::white);
    QTest::newRow("dark blue") << Colour::toQColor(Colour::DarkBlue) << QColor(Qt::white);
    QTest::newRow("ERROR, red") << Colour::toQColor(Colour::Red) << QColor(Qt::black);
    QTest::newRow("END, green") << Colour::toQColor(Colour::Green) << QColor(Qt::black);
    QTest::newRow("grey") << Colour::toQColor(Colour::Grey) << QColor(Qt::black);
}

void TestCaption::captionReadsOnEveryFill()
{
    QFETCH(QColor, under);
    QFETCH(QColor, caption);
    const QColor chosen = ProgressBar::textColorOn(under);
    QCOMPARE(chosen, caption);
    const double ratio = Colour::contrastRatio(chosen, under);
    const double best =
        qMax(Colour::contrastRatio(Qt::black, under), Colour::contrastRatio(Qt::white, under));
    QCOMPARE(ratio, best);
    QVERIFY2(ratio >= 4.5, qPrintable(QStringLiteral("%1:1").arg(ratio)));
}

QTEST_MAIN(TestCaption)
#include "tst_caption.moc"
