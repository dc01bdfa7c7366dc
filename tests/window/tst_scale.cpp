#include "fakes/testwindow.h"

#include <QApplication>
#include <QTest>

// The window under QT_SCALE_FACTOR (CTest runs this at 1 and at 2): the
// layout is in twips, so it keeps its logical geometry and is painted at
// the scale as a whole.
class TestScale : public QObject {
    Q_OBJECT
private slots:
    void runsAtTheScaleAsked();
    void logicalGeometryStaysTheSame_data();
    void logicalGeometryStaysTheSame();
    void pictureIsScaledAsAWhole();
};

qreal scaleAsked()
{
    return qEnvironmentVariable("QT_SCALE_FACTOR", QStringLiteral("1")).toDouble();
}

void TestScale::runsAtTheScaleAsked()
{
    TestWindow t;
    t.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&t.window));
    QCOMPARE(t.window.devicePixelRatio(), scaleAsked());
}

void TestScale::logicalGeometryStaysTheSame_data()
{
    QTest::addColumn<QRect>("geometry");
    QTest::newRow("portGroup") << QRect(0, 0, 293, 57);
    QTest::newRow("portBox") << QRect(4, 32, 57, 21);
    QTest::newRow("openPortButton") << QRect(64, 8, 65, 17);
    QTest::newRow("rtuGroup") << QRect(296, 0, 101, 57);
    QTest::newRow("progressBar") << QRect(8, 16, 381, 17);
    QTest::newRow("answerBox") << QRect(48, 94, 341, 19);
}

void TestScale::logicalGeometryStaysTheSame()
{
    QFETCH(QRect, geometry);
    TestWindow t;
    t.window.show();
    QCOMPARE(t.window.size(), QSize(397, 122));
    QCOMPARE(t.control<QWidget>(QTest::currentDataTag())->geometry(), geometry);
}

void TestScale::pictureIsScaledAsAWhole()
{
    const qreal scale = scaleAsked();
    TestWindow t;
    t.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&t.window));
    const QImage picture = t.window.grab().toImage();
    QCOMPARE(picture.size(), QSize(397, 122) * scale);

    // The bar's top frame line lies where its logical place says, times the scale.
    ProgressBar *bar = t.progress();
    const QPoint topLeft = bar->mapTo(&t.window, QPoint(0, 0));
    const int column = qRound((topLeft.x() + bar->width() / 4) * scale);
    const QRgb frame = bar->palette().color(QPalette::Mid).rgb();
    int row = qRound((topLeft.y() - 4) * scale);
    while (row < picture.height() && picture.pixel(column, row) != frame)
        ++row;
    QVERIFY2(row >= topLeft.y() * scale && row < (topLeft.y() + 1) * scale,
             qPrintable(QStringLiteral("frame line at device row %1").arg(row)));

    const QString name = QStringLiteral("window-%1.png").arg(qRound(scale * 100));
    QVERIFY(picture.save(QDir::current().filePath(name)));
    qInfo() << "window saved as" << QDir::current().filePath(name);
}

QTEST_MAIN(TestScale)
#include "tst_scale.moc"
