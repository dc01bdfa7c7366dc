#include "fakes/testwindow.h"

#include <QImage>
#include <QScreen>
#include <QTest>

// Paint what changed: during a download every reply touches the lamp, the
// answer box and the bar, and a window that repaints them all on every line
// spends its time painting.
class TestRepaint : public QObject {
    Q_OBJECT
private slots:
    void lampPaintsOnlyTheLastColourOfAnEvent_data();
    void lampPaintsOnlyTheLastColourOfAnEvent();
    void barRepaintsOnlyWhenTheFillMoves();
    void movingFillIsDrawnTenTimesASecondAtMost();
    void barPaintedPieceByPieceLooksAsPaintedWhole_data();
    void barPaintedPieceByPieceLooksAsPaintedWhole();
    void sameAnswerLeavesTheBoxAlone();
};

// Counts the paint events a widget gets.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(QWidget *widget) { widget->installEventFilter(this); }
    int paints = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

void settle()
{
    for (int turn = 0; turn < 3; ++turn)
        QCoreApplication::processEvents();
}

// The bar stood still long enough: what it held back is drawn.
void drawHeldFill(HandClock &time)
{
    time.advance(ProgressBar::FillRepaintMs);
    settle();
}

// What the screen holds of the bar: the window's backing store, not a fresh paint.
QImage shownOnScreen(QWidget *widget)
{
    QWidget *window = widget->window();
    const QRect onWindow(widget->mapTo(window, QPoint(0, 0)), widget->size());
    return window->screen()
        ->grabWindow(window->winId(), onWindow.x(), onWindow.y(), onWindow.width(),
                     onWindow.height())
        .toImage()
        .convertToFormat(QImage::Format_RGB32);
}

// The whole bar painted afresh.
QImage paintedWhole(QWidget *widget)
{
    widget->update();
    settle();
    return widget->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

void TestRepaint::lampPaintsOnlyTheLastColourOfAnEvent_data()
{
    QTest::addColumn<QList<QColor>>("colours"); // set within one event, the lamp showing green
    QTest::addColumn<int>("paints");
    QTest::newRow("a reply, then the next line") << QList<QColor>{Qt::red, Qt::green} << 0;
    QTest::newRow("a reply alone") << QList<QColor>{Qt::red} << 1;
    QTest::newRow("back, then away again")
        << QList<QColor>{Qt::red, Qt::green, Qt::gray, Qt::green, Qt::red} << 1;
    QTest::newRow("the same colour again") << QList<QColor>{Qt::green, Qt::green} << 0;
}

void TestRepaint::lampPaintsOnlyTheLastColourOfAnEvent()
{
    QFETCH(QList<QColor>, colours);
    QFETCH(int, paints);
    TestWindow t;
    t.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&t.window));
    Lamp *lamp = t.lamp();
    lamp->setVisible(true);
    lamp->setFillColor(Qt::green);
    settle();
    PaintCounter counter(lamp);

    for (const QColor &colour : colours)
        lamp->setFillColor(colour);
    settle();
    QCOMPARE(counter.paints, paints);
    QCOMPARE(lamp->grab().toImage().pixelColor(lamp->rect().center()), colours.last());
}

void TestRepaint::barRepaintsOnlyWhenTheFillMoves()
{
    TestWindow t;
    t.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&t.window));
    ProgressBar *bar = t.progress();
    bar->setMaximum(9000);
    bar->setText("DOWNLOAD");
    settle();
    PaintCounter counter(bar);
    for (int line = 1; line <= 9000; ++line) {
        bar->setPosition(line);
        QCoreApplication::processEvents();
    }
    // One paint for each pixel the fill grows by, at most.
    QVERIFY2(counter.paints <= bar->width(), qPrintable(QString::number(counter.paints)));
    QVERIFY(counter.paints > 0);
}

void TestRepaint::barPaintedPieceByPieceLooksAsPaintedWhole_data()
{
    QTest::addColumn<int>("maximum");
    QTest::addColumn<QList<int>>("positions");
    QTest::newRow("a long file") << 9000 << QList<int>{1, 2, 30, 31, 4500, 8999, 9000};
    QTest::newRow("a short file") << 3 << QList<int>{1, 2, 3};
    QTest::newRow("back to the start for the verify pass") << 40 << QList<int>{39, 40, 0, 1, 2};
    QTest::newRow("past the end") << 10 << QList<int>{5, 12};
    // The bar is 381 pixels wide: each strip alone, the letters' edges too.
    QList<int> everyPixel;
    for (int position = 1; position <= 379; ++position)
        everyPixel << position;
    QTest::newRow("a pixel at a time") << 379 << everyPixel;
}

void TestRepaint::barPaintedPieceByPieceLooksAsPaintedWhole()
{
    QFETCH(int, maximum);
    QFETCH(QList<int>, positions);
    TestWindow t;
    t.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&t.window));
    ProgressBar *bar = t.progress();
    bar->setMaximum(maximum);
    bar->setText("VERIFY");
    bar->setBarColor(Qt::blue);
    for (const int position : positions) {
        bar->setPosition(position);
        settle();
        drawHeldFill(t.time);
    }
    const QImage shown = shownOnScreen(bar);
    QCOMPARE(shown, paintedWhole(bar));
}

// Moves within a tenth of a second of the last drawing are held and drawn
// together: by the next move due, or once the bar stands still.
void TestRepaint::movingFillIsDrawnTenTimesASecondAtMost()
{
    HandClock time;
    QWidget window;
    window.resize(400, 40);
    auto *bar = new ProgressBar(&window);
    bar->setGeometry(8, 8, 381, 17);
    bar->setMaximum(100);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    settle();
    PaintCounter counter(bar);
    const auto moveAt = [&](qint64 atMs, int position) {
        time.advance(int(atMs - time.nowMs()));
        bar->setPosition(position);
        settle();
    };
    moveAt(1000, 10);
    QCOMPARE(counter.paints, 1);
    moveAt(1040, 20);
    moveAt(1080, 30);
    QCOMPARE(counter.paints, 1);
    moveAt(1100, 40); // draws 20 to 40 at once
    QCOMPARE(counter.paints, 2);
    QCOMPARE(shownOnScreen(bar), paintedWhole(bar));

    counter.paints = 0;
    moveAt(1150, 50);
    QCOMPARE(counter.paints, 0);
    drawHeldFill(time);
    QCOMPARE(counter.paints, 1);
    QCOMPARE(shownOnScreen(bar), paintedWhole(bar));
}

void TestRepaint::sameAnswerLeavesTheBoxAlone()
{
    TestWindow t;
    QLineEdit *answer = t.box("answerBox");
    t.rtu()->setChecked(false);
    t.box("addressBox")->setText("0"); // no probe
    t.engine.openPort();
    t.receive("OK\r\n");
    QCOMPARE(answer->text(), QStringLiteral("OK\r\n"));
    answer->setCursorPosition(1);
    t.receive("OK\r\n"); // the same reply again
    QCOMPARE(answer->cursorPosition(), 1);
    t.receive("ERROR\r\n");
    QCOMPARE(answer->text(), QStringLiteral("ERROR\r\n"));
}

QTEST_MAIN(TestRepaint)
#include "tst_repaint.moc"
