#include "fakes/testwindow.h"

#include <QGroupBox>
#include <QTest>

class TestLayout : public QObject {
    Q_OBJECT
private slots:
    void controlsSitWhereTheyShould_data();
    void controlsSitWhereTheyShould();
    void windowStartsClosed();
    void keyboardFocusFollowsTheTabOrder();
    void swapPortButtonsFlipsOnlyThePortControls();
    void closingTheWindowClosesThePort();
    void savesAPicture();
};

void TestLayout::controlsSitWhereTheyShould_data()
{
    QTest::addColumn<QString>("container");
    QTest::addColumn<QRect>("twips");
    QTest::addColumn<QString>("caption");
    const auto row = [](const char *name, const char *container, QRect twips, const char *caption) {
        QTest::newRow(name) << QString::fromLatin1(container) << twips
                            << QString::fromLatin1(caption);
    };
    row("portGroup", "MainWindow", {0, 0, 4395, 855}, "Comm's");
    row("portLabel", "portGroup", {120, 240, 795, 255}, "Port: (1-9)");
    row("portBox", "portGroup", {60, 480, 855, 315}, "COM3");
    row("linkLamp", "portGroup", {720, 0, 195, 255}, "");
    row("openPortButton", "portGroup", {960, 120, 975, 255}, "Open Port");
    row("closePortButton", "portGroup", {960, 480, 975, 255}, "Close Port");
    row("statusLabel", "portGroup", {1980, 120, 1635, 255}, "No info");
    row("downloadButton", "portGroup", {1980, 480, 2055, 255}, "Open File and  Download");
    row("installButton", "portGroup", {3660, 120, 675, 255}, "Install ");
    row("queryButton", "portGroup", {4080, 480, 255, 255}, "?");
    row("rtuGroup", "MainWindow", {4440, 0, 1515, 855}, "Modbus RTU");
    row("rtuCheckBox", "rtuGroup", {1200, 0, 255, 255}, "Check1");
    row("addressLabel", "rtuGroup", {60, 240, 915, 255}, "Addr Device");
    row("addressBox", "rtuGroup", {1020, 240, 435, 285}, "");
    row("newAddressBox", "rtuGroup", {120, 480, 435, 285}, "10");
    row("setAddressButton", "rtuGroup", {600, 520, 795, 255}, "Set Addr");
    row("statusGroup", "MainWindow", {0, 840, 5955, 975}, "Status");
    row("progressBar", "statusGroup", {120, 240, 5715, 255}, "NO FILE");
    row("answerLabel", "statusGroup", {120, 600, 735, 255}, "Answer:");
    row("answerBox", "MainWindow", {720, 1410, 5115, 285}, "");
    row("sendButton", "MainWindow", {1800, 2760, 855, 255}, "Send");
}

QString captionOf(QWidget *control)
{
    if (auto *label = qobject_cast<QLabel *>(control))
        return label->text();
    if (auto *button = qobject_cast<QAbstractButton *>(control))
        return button->text();
    if (auto *box = qobject_cast<QLineEdit *>(control))
        return box->text();
    if (auto *frame = qobject_cast<QGroupBox *>(control))
        return frame->title();
    if (auto *bar = qobject_cast<ProgressBar *>(control))
        return bar->text();
    return {};
}

void TestLayout::controlsSitWhereTheyShould()
{
    QFETCH(QString, container);
    QFETCH(QRect, twips);
    QFETCH(QString, caption);
    TestWindow t;
    auto *control = t.control<QWidget>(QTest::currentDataTag());
    QVERIFY(control);
    QCOMPARE(control->parentWidget()->objectName().isEmpty()
                 ? QStringLiteral("MainWindow")
                 : control->parentWidget()->objectName(),
             container);
    const auto pixels = [](int twips) { return qRound(twips / 15.0); };
    QCOMPARE(control->geometry(), QRect(pixels(twips.x()), pixels(twips.y()), pixels(twips.width()),
                                        pixels(twips.height())));
    QCOMPARE(captionOf(control), caption);
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

    QVERIFY(!t.window.rect().intersects(t.button("sendButton")->geometry()));
    QCOMPARE(t.timer("ProbeTimer")->interval(), 200);
    QCOMPARE(t.timer("PollTimer")->interval(), 20);
    QVERIFY(!t.timer("ProbeTimer")->isEnabled());
    QVERIFY(!t.timer("PollTimer")->isEnabled());
    QVERIFY(t.rtu()->isChecked());
    QCOMPARE(t.control<QGroupBox>("portGroup")->palette().color(QPalette::WindowText),
             QColor(0, 0, 0xC0));
    QCOMPARE(t.label("statusLabel")->palette().color(QPalette::WindowText), QColor(Qt::black));
    QCOMPARE(t.progress()->barColor(), QColor(0, 0, 0xFF));
    QVERIFY(!t.port->isOpen());

    const EngineState &s = t.inside.state;
    QCOMPARE(s.lineCount + s.lineIndex + s.verifying + s.downloadRequested + s.downloading +
                 s.probeCount + s.scanning + s.blinkTicks,
             0);
    QVERIFY(s.reply.isEmpty() && s.rtuReplies.bytes().isEmpty() && s.lines[1].isEmpty());
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
    t.inside.swapPortButtons();
    QVERIFY(!t.button("openPortButton")->isEnabled());
    QVERIFY(!t.box("portBox")->isEnabled());
    QVERIFY(t.button("closePortButton")->isEnabled());
    QVERIFY(!t.button("downloadButton")->isEnabled());
    QVERIFY(t.button("queryButton")->isEnabled());
    t.inside.swapPortButtons();
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
