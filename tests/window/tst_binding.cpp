#include "fakes/testwindow.h"
#include "link/rtuframe.h"
#include "support/hexrecords.h"
#include "support/hungserver.h"
#include "support/testfiles.h"
#include "window/colors.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTest>

// The window as a view: it shows what its panel says and hands
// what the operator does to the engine. Real actions on a fake port.
class TestBinding : public QObject {
    Q_OBJECT
private slots:
    void init();
    void controlsFollowThePanel();
    void panelColoursAreThoseQtPaints_data();
    void panelColoursAreThoseQtPaints();
    void openAndCloseSwapOnlyThePortControls();
    void typingReachesTheEngineAndKeepsTheCursor_data();
    void typingReachesTheEngineAndKeepsTheCursor();
    void checkBoxSetsTheFraming();
    void queryClearsWhatTheOperatorTypedAsAnswer();
    void clickRunsItsProcedure_data();
    void clickRunsItsProcedure();
    void openFileShowsTheDialogThenLoads();
    void jobGoesOnWhileTheFileDialogIsOpen();
    void messagesAndErrorsComeUpAsBoxes();
    void probeIsOffWhileNotConnectIsUp();
    void aServerThatNeverAnswersLeavesTheWindowFree();

private:
    QTemporaryDir m_dir;
};

void TestBinding::init()
{
    QVERIFY(m_dir.isValid());
}

// Each panel item as the window holds it, and as its control shows it.
QStringList panelOf(const WindowUnderTest &t)
{
    const Panel &p = t.window.panel();
    const Engine &e = t.engine;
    const auto colour = [](quint32 bgr) { return Colour::toQColor(bgr).name(); };
    return {"status " + p.status(),
            "answer " + p.answer(),
            "address " + e.address(),
            "bar text " + p.progressText(),
            "bar colour " + colour(p.barColour()),
            "bar position " + QString::number(p.progressPosition()),
            "bar maximum " + QString::number(p.progressMaximum()),
            QStringLiteral("lamp shown ") + (p.lampShown() ? "yes" : "no"),
            "lamp colour " + colour(p.lampColour()),
            "port box " + colour(p.portBoxColour()),
            "setAddressButton " + p.addressButtonCaption()};
}

QStringList shownBy(const TestWindow &t)
{
    return {"status " + t.label("statusLabel")->text(),
            "answer " + t.box("answerBox")->text(),
            "address " + t.box("addressBox")->text(),
            "bar text " + t.progress()->text(),
            "bar colour " + t.progress()->barColor().name(),
            "bar position " + QString::number(t.progress()->position()),
            "bar maximum " + QString::number(t.progress()->maximum()),
            QStringLiteral("lamp shown ") + (t.lamp()->isVisibleTo(&t.window) ? "yes" : "no"),
            "lamp colour " + t.lamp()->fillColor().name(),
            "port box " + t.box("portBox")->palette().color(QPalette::Base).name(),
            "setAddressButton " + t.button("setAddressButton")->text()};
}

void TestBinding::controlsFollowThePanel()
{
    TestWindow t;
    const QString file =
        writeFile(m_dir, "two.hex", dataRecord(0x0100, 1) + "\r\n" + EndOfFileRecord + "\r\n");
    const auto reply = [&](const QByteArray &text) { t.receive(rtuFrame(1, "B" + text)); };
    const QList<std::pair<QString, std::function<void()>>> steps{
        {"open, scanning", [&] { t.engine.openPort(); }},
        {"probe", [&] { t.probeInterval(); }},
        {"VER= reply", [&] { reply("VER=1"); }},
        {"load", [&] { t.engine.loadFirmwareFile(file); }},
        {"ERROR reply", [&] { reply("ERROR"); }},
        {"close", [&] { t.engine.closePort(); }},
    };
    const QStringList before = shownBy(t);
    QCOMPARE(before, panelOf(t));
    QStringList unchanged = before; // an item that never changes proves no binding
    for (const auto &[name, step] : steps) {
        step();
        const QStringList shown = shownBy(t);
        QVERIFY2(shown == panelOf(t), qPrintable(name + ": shown " + shown.join(", ") + "; panel " +
                                                 panelOf(t).join(", ")));
        for (qsizetype item = 0; item < shown.size(); ++item) {
            if (shown[item] != before[item])
                unchanged.removeAll(before[item]);
        }
    }
    QCOMPARE(unchanged, QStringList());
}

void TestBinding::panelColoursAreThoseQtPaints_data()
{
    QTest::addColumn<quint32>("bgr");
    QTest::addColumn<QColor>("painted");
    QTest::newRow("open port box") << Colour::Green << QColor(0, 0xFF, 0);
    QTest::newRow("bar while open") << Colour::Navy << QColor(0, 0, 0x80);
    QTest::newRow("lamp sending") << Colour::SendGreen << QColor(0, 0xC0, 0);
    QTest::newRow("lamp receiving") << Colour::Red << QColor(0xFF, 0, 0);
    QTest::newRow("lamp idle") << Colour::Grey << QColor(0x80, 0x80, 0x80);
    QTest::newRow("closed port box")
        << Colour::WindowBackground << QApplication::palette().color(QPalette::Base);
}

void TestBinding::panelColoursAreThoseQtPaints()
{
    QFETCH(quint32, bgr);
    QFETCH(QColor, painted);
    QCOMPARE(Colour::toQColor(bgr), painted);
}

// The named controls that are enabled.
QStringList enabledControls(const TestWindow &t)
{
    QStringList names;
    for (const QWidget *control : t.window.findChildren<QWidget *>()) {
        if (control->isEnabled() && !control->objectName().isEmpty())
            names << control->objectName();
    }
    return names;
}

// The controls enabled in one list and not the other.
QStringList flipped(const QStringList &before, const QStringList &after)
{
    QStringList names;
    for (const QString &name : before + after) {
        if (before.contains(name) != after.contains(name))
            names << name;
    }
    names.sort();
    return names;
}

void TestBinding::openAndCloseSwapOnlyThePortControls()
{
    TestWindow t;
    const QStringList portControls{"closePortButton", "openPortButton", "portBox"};
    QStringList before = enabledControls(t);
    t.engine.openPort();
    QCOMPARE(flipped(before, enabledControls(t)), portControls);
    QVERIFY(t.button("closePortButton")->isEnabled());

    before = enabledControls(t);
    t.engine.closePort();
    QCOMPARE(flipped(before, enabledControls(t)), portControls);
    QVERIFY(t.button("openPortButton")->isEnabled());

    before = enabledControls(t);
    t.port->refuseOpen = true;
    t.engine.openPort();
    QCOMPARE(flipped(before, enabledControls(t)), QStringList());
}

void TestBinding::typingReachesTheEngineAndKeepsTheCursor_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("typed"); // after the first character
    QTest::addColumn<QString>("text");
    QTest::newRow("port name") << "portBox"
                               << "C3"
                               << "OM1"
                               << "COM13";
    QTest::newRow("address") << "addressBox"
                             << "15"
                             << "2"
                             << "125";
    QTest::newRow("new address") << "newAddressBox"
                                 << "10"
                                 << "5"
                                 << "150";
}

void TestBinding::typingReachesTheEngineAndKeepsTheCursor()
{
    QFETCH(QString, box);
    QFETCH(QString, before);
    QFETCH(QString, typed);
    QFETCH(QString, text);
    TestWindow t;
    t.window.show();
    QLineEdit *edit = t.box(qPrintable(box));
    edit->setText(before);
    edit->setCursorPosition(1);
    QTest::keyClicks(edit, typed);
    QCOMPARE(edit->text(), text);
    QCOMPARE(edit->cursorPosition(), 1 + typed.size());
    const QString seen = box == "portBox"      ? t.engine.portName()
                         : box == "addressBox" ? t.engine.address()
                                               : t.engine.newAddress();
    QCOMPARE(seen, text);
}

void TestBinding::checkBoxSetsTheFraming()
{
    TestWindow t;
    t.box("addressBox")->setText("4");
    t.engine.openPort();
    QVERIFY(t.rtu()->isChecked());
    t.rtu()->click();
    t.engine.queryBoard();
    t.rtu()->click();
    t.engine.queryBoard();
    QCOMPARE(t.port->writes, (QList<QByteArray>{"BOOTi\r\n", rtuFrame(4, "BOOTi\r\n")}));
}

void TestBinding::queryClearsWhatTheOperatorTypedAsAnswer()
{
    TestWindow t;
    t.window.show();
    QTest::keyClicks(t.box("answerBox"), "typed");
    t.button("queryButton")->click();
    QVERIFY(t.box("answerBox")->text().isEmpty());
}

void TestBinding::clickRunsItsProcedure_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QList<QByteArray>>("sent");
    QTest::addColumn<bool>("open"); // the port after the click
    using Sent = QList<QByteArray>;
    QTest::newRow("Open Port") << "openPortButton" << Sent() << true;
    QTest::newRow("Close Port") << "closePortButton" << Sent() << false;
    QTest::newRow("Send: the next line") << "sendButton" << Sent{"BOOT\r\n"} << true;
    QTest::newRow("Set Addr") << "setAddressButton" << Sent{"BOOT$0A\r\n"} << true;
    QTest::newRow("?") << "queryButton" << Sent{"BOOTi\r\n"} << true;
    QTest::newRow("Install") << "installButton" << Sent{"BOOTg\r\n"} << true;
    QTest::newRow("Open File and Download")
        << "downloadButton" << Sent{"BOOT" + dataRecord(0x0100, 1) + "\r\n"} << true;
}

void TestBinding::clickRunsItsProcedure()
{
    QFETCH(QString, button);
    QFETCH(QList<QByteArray>, sent);
    QFETCH(bool, open);
    TestWindow t;
    t.rtu()->setChecked(false);
    t.box("addressBox")->setText("0"); // no probe to get in the way
    t.dialog->choice =
        writeFile(m_dir, "two.hex", dataRecord(0x0100, 1) + "\r\n" + EndOfFileRecord + "\r\n");
    if (button != "openPortButton")
        t.engine.openPort();
    t.button(qPrintable(button))->click();
    QCOMPARE(t.port->writes, sent);
    QCOMPARE(t.port->isOpen(), open);
    QCOMPARE(t.dialog->shown, button == "downloadButton" ? 1 : 0);
    QVERIFY(t.messages->shown.isEmpty());
}

void TestBinding::openFileShowsTheDialogThenLoads()
{
    TestWindow t;
    t.button("sendButton")->setEnabled(false);
    t.button("downloadButton")->click();
    QVERIFY(t.dialog->filter.startsWith(QStringLiteral("HEX files (*.hex)|*.hex|")));
    for (const char *pattern : {"*.srec;*.s19;*.s28;*.s37;*.mot", "*.elf", "*.bin"})
        QVERIFY2(t.dialog->filter.contains(pattern), qPrintable(t.dialog->filter));
    QCOMPARE(t.messages->shown.size(), 1);
    QCOMPARE(t.messages->shown[0].critical, false);
    QCOMPARE(t.messages->shown[0].text, QStringLiteral("Cancel"));
    QVERIFY(!t.button("sendButton")->isEnabled());

    t.dialog->choice =
        writeFile(m_dir, "two.hex", dataRecord(0x0100, 1) + "\r\n" + EndOfFileRecord + "\r\n");
    t.button("downloadButton")->click();
    QCOMPARE(t.messages->shown.size(), 2); // loaded, but the port is closed: nothing went out
    QVERIFY(t.messages->shown[1].text.contains("nothing was sent"));
    QCOMPARE(t.progress()->maximum(), 2);
    QVERIFY(t.button("sendButton")->isEnabled());
}

void TestBinding::jobGoesOnWhileTheFileDialogIsOpen()
{
    TestWindow t;
    const QByteArray line1 = dataRecord(0x0100, 1), line2 = EndOfFileRecord;
    t.rtu()->setChecked(false);
    t.box("addressBox")->setText("0");
    t.engine.openPort();
    t.engine.loadFirmwareFile(writeFile(m_dir, "two.hex", line1 + "\r\n" + line2 + "\r\n"));
    for (const QByteArray reply : {"OK\r\n", "DOWNLOAD\r\n"}) // the verify pass begins
        t.receive(reply);
    t.port->writes.clear();
    t.dialog->whileShown = [&] { t.receive("OK\r\n"); };
    t.button("downloadButton")->click(); // then cancelled
    QCOMPARE(t.port->writes,
             QList<QByteArray>{"BOOT" + QByteArray(line2).replace(':', '#') + "\r\n"});
    QCOMPARE(t.progress()->text(), QStringLiteral("VERIFY"));
}

void TestBinding::messagesAndErrorsComeUpAsBoxes()
{
    TestWindow t;
    t.box("portBox")->setText("COMX");
    t.button("openPortButton")->click();
    t.dialog->choice = writeFile(m_dir, "9001.hex", hexFileRecords(9001).join("\n"));
    t.button("downloadButton")->click();
    QCOMPARE(t.messages->shown.size(), 2);
    QCOMPARE(t.messages->shown[0].critical, false);
    QCOMPARE(t.messages->shown[0].text,
             QStringLiteral("COMX Not available! Use Serial settings to setup your ports."));
    QVERIFY(t.messages->shown[1].critical);
    QCOMPARE(t.messages->shown[1].title, QStringLiteral("Error#9"));
    QVERIFY(t.messages->shown[1].text.startsWith("Subscript out of range"));

    // The window goes on: the next file loads, and Send moves on through it.
    t.dialog->choice = writeFile(m_dir, "three.hex", hexFileRecords(3).join("\n"));
    t.button("downloadButton")->click();
    t.button("sendButton")->click();
    QCOMPARE(t.messages->shown.size(), 3); // loaded, but the port is closed
    QCOMPARE(t.progress()->position(), 2);
}

void TestBinding::probeIsOffWhileNotConnectIsUp()
{
    TestWindow t;
    t.button("openPortButton")->click();
    bool timerOffWhileShown = false;
    QString statusWhileShown;
    t.messages->whileShown = [&] {
        const qsizetype probes = t.port->writes.size();
        t.probeInterval(); // as the box stands, time goes on
        timerOffWhileShown = t.port->writes.size() == probes;
        statusWhileShown = t.label("statusLabel")->text();
    };
    for (int tick = 1; tick <= 128; ++tick)
        t.probeInterval();
    QCOMPARE(t.messages->shown.size(), 1);
    QCOMPARE(t.messages->shown[0].text, QStringLiteral("COM3 Not connect !"));
    QVERIFY(timerOffWhileShown);
    QCOMPARE(statusWhileShown, QStringLiteral("WAIT Connect:  128"));
    QCOMPARE(t.label("statusLabel")->text(), QStringLiteral("Not present board"));
}

// On the real port, a device server whose connect hangs: Open Port returns at
// once, the status says what it waits for, typing goes on, and Close Port
// gives the connect up.
void TestBinding::aServerThatNeverAnswersLeavesTheWindowFree()
{
    HungServer dead(HungServer::Connects::Never);
    QVERIFY(dead.port() != 0);
    WindowUnderTest t({});
    const QString server = QStringLiteral("socket://127.0.0.1:%1").arg(dead.port());
    t.box("portBox")->setText(server);
    QTest::mouseClick(t.button("openPortButton"), Qt::LeftButton);
    QCOMPARE(t.label("statusLabel")->text(), "Connecting to " + server);
    QTest::keyClicks(t.box("addressBox"), "12");
    QCOMPARE(t.engine.address(), QStringLiteral("12"));
    QVERIFY(t.button("closePortButton")->isEnabled());
    QTest::mouseClick(t.button("closePortButton"), Qt::LeftButton);
    QCOMPARE(t.label("statusLabel")->text(), QStringLiteral("Closed"));
    QVERIFY(t.button("openPortButton")->isEnabled());
    QVERIFY(t.messages->shown.isEmpty());
}

QTEST_MAIN(TestBinding)
#include "tst_binding.moc"
