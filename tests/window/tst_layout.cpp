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
    void switchTagsFlipsOnlyTaggedControls();
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
    row("Frame2", "frmSerial", {0, 0, 4395, 855}, "Comm's");
    row("Label1", "Frame2", {120, 240, 795, 255}, "Port: (1-9)");
    row("txt", "Frame2", {60, 480, 855, 315}, "COM3");
    row("Pic", "Frame2", {720, 0, 195, 255}, "");
    row("BTNOpenCom", "Frame2", {960, 120, 975, 255}, "Open Port");
    row("BTNCloseCom", "Frame2", {960, 480, 975, 255}, "Close Port");
    row("Label2", "Frame2", {1980, 120, 1635, 255}, "No info");
    row("Command3", "Frame2", {1980, 480, 2055, 255}, "Open File and  Download");
    row("Command6", "Frame2", {3660, 120, 675, 255}, "Install ");
    row("Command4", "Frame2", {4080, 480, 255, 255}, "?");
    row("Frame4", "frmSerial", {4440, 0, 1515, 855}, "Modbus RTU");
    row("Check1", "Frame4", {1200, 0, 255, 255}, "Check1");
    row("Label5", "Frame4", {60, 240, 915, 255}, "Addr Device");
    row("Text1", "Frame4", {1020, 240, 435, 285}, "");
    row("Text2", "Frame4", {120, 480, 435, 285}, "10");
    row("Command1", "Frame4", {600, 520, 795, 255}, "Set Addr");
    row("Frame3", "frmSerial", {0, 840, 5955, 975}, "Status");
    row("vbalProgressBar1", "Frame3", {120, 240, 5715, 255}, "NO FILE");
    row("Label3", "Frame3", {120, 600, 735, 255}, "Answer:");
    row("Text8", "frmSerial", {720, 1410, 5115, 285}, "");
    row("Command5", "frmSerial", {1800, 2760, 855, 255}, "Send");
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
                 ? QStringLiteral("frmSerial")
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

    QStringList tagged;
    for (QWidget *control : t.window.findChildren<QWidget *>()) {
        const QString tag = control->property("tag").toString();
        if (!tag.isEmpty())
            tagged << control->objectName() + '=' + tag;
        QCOMPARE(control->isEnabled(), control->objectName() != "BTNCloseCom");
        QCOMPARE(control->isVisible(), control->objectName() != "Pic");
    }
    tagged.sort();
    QCOMPARE(tagged, QStringList({"BTNCloseCom=NC", "BTNOpenCom=NO", "txt=NO"}));

    QVERIFY(!t.window.rect().intersects(t.button("Command5")->geometry()));
    QCOMPARE(t.timer("Timer3")->interval(), 200);
    QCOMPARE(t.timer("TMRComm")->interval(), 20);
    QVERIFY(!t.timer("Timer3")->isEnabled());
    QVERIFY(!t.timer("TMRComm")->isEnabled());
    QVERIFY(t.rtu()->isChecked());
    QCOMPARE(t.control<QGroupBox>("Frame2")->palette().color(QPalette::WindowText),
             QColor(0, 0, 0xC0));
    QCOMPARE(t.label("Label2")->palette().color(QPalette::WindowText), QColor(Qt::black));
    QCOMPARE(t.progress()->barColor(), QColor(0, 0, 0xFF));
    QVERIFY(!t.port->isOpen());

    const WindowState &s = t.inside.state;
    QCOMPARE(s.LineCount + s.LineIndex + s.VerifyMode + s.DownloadRequested + s.DownloadActive +
                 s.ProbeCount + s.ScanMode + s.BlinkTicks,
             0);
    QVERIFY(s.RxText.isEmpty() && s.RxBuffer.bytes().isEmpty() && s.HexLines[1].isEmpty());
}

void TestLayout::keyboardFocusFollowsTheTabOrder()
{
    TestWindow t;
    t.window.show();
    QCOMPARE(t.window.focusWidget(), t.box("txt"));
    QStringList order;
    QWidget *at = t.box("txt");
    do {
        if (at->focusPolicy() & Qt::TabFocus)
            order << at->objectName();
        at = at->nextInFocusChain();
    } while (at != t.box("txt"));
    QCOMPARE(order,
             QStringList({"txt", "BTNOpenCom", "BTNCloseCom", "Command3", "Command4", "Command5",
                          "Command6", "Text8", "Check1", "Text1", "Text2", "Command1"}));
}

void TestLayout::switchTagsFlipsOnlyTaggedControls()
{
    TestWindow t;
    t.button("Command3")->setEnabled(false); // untagged: left alone
    t.inside.SwitchTags();
    QVERIFY(!t.button("BTNOpenCom")->isEnabled());
    QVERIFY(!t.box("txt")->isEnabled());
    QVERIFY(t.button("BTNCloseCom")->isEnabled());
    QVERIFY(!t.button("Command3")->isEnabled());
    QVERIFY(t.button("Command4")->isEnabled());
    t.inside.SwitchTags();
    QVERIFY(t.button("BTNOpenCom")->isEnabled());
    QVERIFY(t.box("txt")->isEnabled());
    QVERIFY(!t.button("BTNCloseCom")->isEnabled());
    QVERIFY(!t.button("Command3")->isEnabled());
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
