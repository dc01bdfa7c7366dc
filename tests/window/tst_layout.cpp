#include "fakes/testwindow.h"

#include <QGroupBox>
#include <QTest>

class TestLayout : public QObject {
    Q_OBJECT
private slots:
    void controlsSitInTheirFrames_data();
    void controlsSitInTheirFrames();
    void windowStartsClosed();
    void keyboardFocusFollowsTheTabOrder();
    void swapPortButtonsFlipsOnlyThePortControls();
    void closingTheWindowClosesThePort();
    void savesAPicture();
};

// Every control and its frame.
void TestLayout::controlsSitInTheirFrames_data()
{
    QTest::addColumn<QString>("frame");
    const auto row = [](const char *name, const char *frame) {
        QTest::newRow(name) << QString::fromLatin1(frame);
    };
    row("portGroup", "MainWindow");
    row("portLabel", "portGroup");
    row("portBox", "portGroup");
    row("linkLamp", "portGroup");
    row("openPortButton", "portGroup");
    row("closePortButton", "portGroup");
    row("statusLabel", "portGroup");
    row("downloadButton", "portGroup");
    row("installButton", "portGroup");
    row("queryButton", "portGroup");
    row("rtuGroup", "MainWindow");
    row("rtuCheckBox", "rtuGroup");
    row("addressLabel", "rtuGroup");
    row("addressBox", "rtuGroup");
    row("newAddressBox", "rtuGroup");
    row("setAddressButton", "rtuGroup");
    row("statusGroup", "MainWindow");
    row("progressBar", "statusGroup");
    row("answerLabel", "statusGroup");
    row("answerBox", "MainWindow");
    row("sendButton", "MainWindow");
}

// Rows of the form are 240 twips apart and controls 255 high: a control shares
// at most an edge line (a pixel) with those made before it, or lies wholly on
// one and is drawn above it, as the answer box on the status frame.
void TestLayout::controlsSitInTheirFrames()
{
    QFETCH(QString, frame);
    TestWindow t;
    t.window.show();
    auto *control = t.control<QWidget>(QTest::currentDataTag());
    QWidget *parent = control->parentWidget();
    QCOMPARE(parent == &t.window ? QStringLiteral("MainWindow") : parent->objectName(), frame);
    const QRect place = control->geometry();
    // The send button's click is the line sender: it is never to be seen.
    QVERIFY(control->objectName() == "sendButton" ? !t.window.rect().intersects(place)
                                                  : parent->rect().contains(place));
    const QObjectList made = parent->children();
    for (QObject *before : made.first(made.indexOf(control))) {
        auto *other = qobject_cast<QWidget *>(before);
        const QRect both = other ? place & other->geometry() : QRect();
        QVERIFY2(qMin(both.width(), both.height()) <= 1 || other->geometry().contains(place),
                 qPrintable(before->objectName()));
    }
}

void TestLayout::windowStartsClosed()
{
    TestWindow t;
    t.window.show();
    QCOMPARE(t.window.windowTitle(), QStringLiteral("Bootline  v1.4"));
    QCOMPARE(t.window.size(), QSize(397, 122));
    QCOMPARE(t.window.windowIcon().pixmap(24, 24).size(), QSize(24, 24));

    for (QWidget *control : t.window.findChildren<QWidget *>()) {
        QCOMPARE(control->isEnabled(), control->objectName() != "closePortButton");
        QCOMPARE(control->isVisible(), control->objectName() != "linkLamp");
    }

    QVERIFY(t.rtu()->isChecked());
    QCOMPARE(t.control<QGroupBox>("portGroup")->palette().color(QPalette::WindowText),
             QColor(0, 0, 0xC0));
    QCOMPARE(t.label("statusLabel")->palette().color(QPalette::WindowText), QColor(Qt::black));
    QCOMPARE(t.progress()->barColor(), QColor(0, 0, 0xFF));
    QVERIFY(!t.port->isOpen());

    // Nothing runs until the port opens; then the probe goes out every 200 ms.
    t.time.advance(10'000);
    QVERIFY(t.port->writes.isEmpty());
    t.engine.openPort();
    t.time.advance(199);
    QVERIFY(t.port->writes.isEmpty());
    t.time.advance(1);
    QCOMPARE(t.port->writes.size(), 1);
}

void TestLayout::keyboardFocusFollowsTheTabOrder()
{
    TestWindow t;
    t.window.show();
    QCOMPARE(t.window.focusWidget(), t.box("portBox"));
    QStringList order;
    QWidget *at = t.box("portBox");
    do {
        if (at->focusPolicy() & Qt::TabFocus)
            order << at->objectName();
        at = at->nextInFocusChain();
    } while (at != t.box("portBox"));
    QCOMPARE(order,
             QStringList({"portBox", "openPortButton", "closePortButton", "downloadButton",
                          "queryButton", "sendButton", "installButton", "answerBox", "rtuCheckBox",
                          "addressBox", "newAddressBox", "setAddressButton"}));
}

void TestLayout::swapPortButtonsFlipsOnlyThePortControls()
{
    TestWindow t;
    t.button("downloadButton")->setEnabled(false); // not a port button: left alone
    t.window.swapPortButtons();
    QVERIFY(!t.button("openPortButton")->isEnabled());
    QVERIFY(!t.box("portBox")->isEnabled());
    QVERIFY(t.button("closePortButton")->isEnabled());
    QVERIFY(!t.button("downloadButton")->isEnabled());
    QVERIFY(t.button("queryButton")->isEnabled());
    t.window.swapPortButtons();
    QVERIFY(t.button("openPortButton")->isEnabled());
    QVERIFY(t.box("portBox")->isEnabled());
    QVERIFY(!t.button("closePortButton")->isEnabled());
    QVERIFY(!t.button("downloadButton")->isEnabled());
}

void TestLayout::closingTheWindowClosesThePort()
{
    TestWindow t;
    t.window.show();
    t.port->setOpen(true);
    t.window.close();
    QVERIFY(!t.port->isOpen());
}

void TestLayout::savesAPicture()
{
    TestWindow t;
    t.window.show();
    const QString path = QDir::current().filePath("window.png");
    QVERIFY(t.window.grab().save(path));
    qInfo() << "window saved as" << path;
}

QTEST_MAIN(TestLayout)
#include "tst_layout.moc"
