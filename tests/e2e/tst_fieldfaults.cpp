#include "e2e/openwindow.h"
#include "e2e/simulatedboard.h"

#include <QTemporaryDir>
#include <QTest>

// The everyday glitches of a real line, made by bootline-sim on a pty, and
// what the window makes of them: the job still ends right, or says why not.
class TestFieldFaults : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void noisyRepliesStillEndTheJob_data();
    void noisyRepliesStillEndTheJob();
    void cancelledLoadDuringVerifyLeavesTheJobGoing();
    void refusedFileDuringAJobLeavesItGoing();
    void unansweredLineIsShown_data();
    void unansweredLineIsShown();
    void aReplyTooManyStopsTheJob_data();
    void aReplyTooManyStopsTheJob();
    void fileThatIsNoHexFileSendsNothing_data();
    void fileThatIsNoHexFileSendsNothing();
    void hugeAddressSendsNothing();

private:
    QString write(const QString &name, const QByteArray &content);
    QByteArray recorded() const;
    QTemporaryDir m_dir;
};

const QString blink = exampleFile("blink.hex");

void TestFieldFaults::initTestCase()
{
    QVERIFY(m_dir.isValid());
    qputenv("XDG_CONFIG_HOME", m_dir.filePath("config").toLocal8Bit());
}

QString TestFieldFaults::write(const QString &name, const QByteArray &content)
{
    QFile file(m_dir.filePath(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        qFatal("cannot write %s", qPrintable(file.fileName()));
    return file.fileName();
}

// What the board was sent, as the simulator recorded it.
QByteArray TestFieldFaults::recorded() const
{
    QFile record(m_dir.filePath("record"));
    return record.open(QIODevice::ReadOnly) ? record.readAll() : QByteArray();
}

// A board that checks every verify line and tells, with --exit-on-mismatch,
// whether any was wrong.
QStringList checking(const QStringList &faults)
{
    return QStringList{"--quiet", "--exit-on-mismatch", "--seed", "7"} + faults;
}

void TestFieldFaults::noisyRepliesStillEndTheJob_data()
{
    QTest::addColumn<bool>("rtu");
    QTest::addColumn<QStringList>("faults");
    QTest::newRow("plain, cut after one byte")
        << false << QStringList{"--split", "all", "--split-at", "1"};
    QTest::newRow("plain, DOWNL + OAD")
        << false << QStringList{"--split", "all", "--split-at", "5"};
    QTest::newRow("plain, cut anywhere")
        << false << QStringList{"--split", "all", "--split-at", "random"};
    QTest::newRow("RTU, a stray 00 after each reply") << true << QStringList{"--trailing", "all"};
    QTest::newRow("RTU, a stray FF after each reply")
        << true << QStringList{"--trailing", "all", "--trailing-bytes", "FF"};
    QTest::newRow("RTU, garbage ending on our address, the rest in the next poll")
        << true << QStringList{"--garbage", "all", "--split", "all", "--split-at", "1"};
    QTest::newRow("RTU, more than a bufferful of noise before replies")
        << true << QStringList{"--garbage-run", "random:15", "--garbage-length", "1500"};
    QTest::newRow("RTU, everything at once")
        << true << QStringList{"--garbage",  "random:20", "--split",       "random:20",
                               "--split-at", "random",    "--trailing",    "random:20",
                               "--bad-crc",  "random:20", "--garbage-run", "random:5"};
}

void TestFieldFaults::noisyRepliesStillEndTheJob()
{
    QFETCH(bool, rtu);
    QFETCH(QStringList, faults);
    SimulatedBoard board(checking(faults) + (rtu ? QStringList() : QStringList{"--plain"}));
    QVERIFY(board.isReady());
    OpenWindow t("1", rtu);
    QVERIFY(t.ready());
    QVERIFY(t.download(blink, 30000));
    QCOMPARE(t.box("answerBox")->text().trimmed(),
             QStringLiteral("DOWNLOAD")); // no stray byte in it
    QVERIFY(t.messages->shown.isEmpty());
    QVERIFY(board.stop());
}

void TestFieldFaults::cancelledLoadDuringVerifyLeavesTheJobGoing()
{
    SimulatedBoard board(checking({}));
    QVERIFY(board.isReady());
    OpenWindow t("1");
    QVERIFY(t.ready());
    t.startDownload(blink);
    QVERIFY(QTest::qWaitFor([&] { return t.passes.contains(Pass::Verify); }, 10000));
    int sentWhileOpen = 0;
    t.dialog->whileShown = [&] { // the operator looks for a file while replies come in
        const int before = t.progress()->position();
        QTest::qWait(300);
        sentWhileOpen = t.progress()->position() - before;
    };
    t.dialog->choice.clear();
    t.button("downloadButton")->click();
    QVERIFY(sentWhileOpen > 3);
    QCOMPARE(t.messages->shown.size(), 1);
    QCOMPARE(t.messages->shown[0].text, QStringLiteral("Cancel"));
    QVERIFY(t.finished(10000));
    QVERIFY(board.stop()); // no mismatch: every verify line went out in verify form
}

void TestFieldFaults::refusedFileDuringAJobLeavesItGoing()
{
    SimulatedBoard board(checking({}));
    QVERIFY(board.isReady());
    OpenWindow t("1");
    QVERIFY(t.ready());
    t.startDownload(blink);
    QVERIFY(QTest::qWaitFor([&] { return t.linesSent >= 10; }, 5000));
    t.startDownload(write("nul.hex", QByteArray(100, '\0')));
    QCOMPARE(t.messages->shown.size(), 1);
    QCOMPARE(t.messages->shown[0].title, QStringLiteral("Error#321"));
    QCOMPARE(t.progress()->text(), QStringLiteral("DOWNLOAD"));
    QVERIFY(t.finished(10000));
    QVERIFY(board.stop());
}

void TestFieldFaults::unansweredLineIsShown_data()
{
    // Reply 1 answers the probe, so reply 5 is the one to line 4.
    QTest::addColumn<QStringList>("fault");
    QTest::addColumn<bool>("reload");
    QTest::newRow("a dropped reply: the operator starts the file again")
        << QStringList{"--silent", "5"} << true;
    QTest::newRow("a late reply carries the job on")
        << QStringList{"--late", "5", "--late-ms", "3500"} << false;
}

void TestFieldFaults::unansweredLineIsShown()
{
    QFETCH(QStringList, fault);
    QFETCH(bool, reload);
    SimulatedBoard board(checking(fault));
    QVERIFY(board.isReady());
    OpenWindow t("1");
    QVERIFY(t.ready());
    t.startDownload(blink);
    QVERIFY(t.answered("No reply to line 4 of 43 for 3 s", 5000));
    QCOMPARE(t.progress()->position(), 4);
    if (reload)
        t.startDownload(blink);
    QVERIFY(t.finished(10000));
    QVERIFY(board.stop());
}

void TestFieldFaults::aReplyTooManyStopsTheJob_data()
{
    QTest::addColumn<QStringList>("fault");
    QTest::newRow("a second board at the address") << QStringList{"--twin", "5"};
    // Reply 44 is the DOWNLOAD to the last line; its copy comes once verify line 1 is out.
    QTest::newRow("a DOWNLOAD doubled 19 ms after the first")
        << QStringList{"--doubled", "44", "--doubled-ms", "19"};
}

// No END: the bar says ERROR and a box says why.
void TestFieldFaults::aReplyTooManyStopsTheJob()
{
    QFETCH(QStringList, fault);
    SimulatedBoard board(QStringList{"--quiet"} + fault);
    QVERIFY(board.isReady());
    OpenWindow t("1");
    QVERIFY(t.ready());
    t.startDownload(blink);
    QVERIFY(QTest::qWaitFor([&] { return !t.jobs.isEmpty(); }, 10000));
    QCOMPARE(t.jobs.last().outcome, JobResult::Outcome::ExtraReply);
    QCOMPARE(t.progress()->text(), QStringLiteral("ERROR"));
    QCOMPARE(t.messages->shown.size(), 1);
    QCOMPARE(t.messages->shown[0].text,
             QStringLiteral("More replies than lines sent: two boards may answer at address 1, "
                            "or the line echoes; the image is not verified."));
    QVERIFY(board.stop());
}

void TestFieldFaults::fileThatIsNoHexFileSendsNothing_data()
{
    QTest::addColumn<QByteArray>("content");
    QByteArray utf16("\xFF\xFE", 2);
    for (const char c : QByteArray(":00000001FF\r\n"))
        utf16 += QByteArray(1, c) + QByteArray(1, '\0');
    QTest::newRow("NUL bytes") << QByteArray(500, '\0');
    QTest::newRow("UTF-16") << utf16;
    QTest::newRow("a bad record last") << QByteArray(":00000001FF\r\n:00000001FE\r\n");
}

void TestFieldFaults::fileThatIsNoHexFileSendsNothing()
{
    QFETCH(QByteArray, content);
    QFile::remove(m_dir.filePath("record"));
    SimulatedBoard board({"--quiet", "--record", m_dir.filePath("record")});
    QVERIFY(board.isReady());
    OpenWindow t("0"); // opened without a probe: nothing goes out unless the file does
    t.startDownload(write("bad.hex", content));
    QCOMPARE(t.messages->shown.size(), 1);
    QCOMPARE(t.messages->shown[0].title, QStringLiteral("Error#321"));
    QTest::qWait(100);
    QVERIFY(board.stop());
    QCOMPARE(recorded(), QByteArray());
}

void TestFieldFaults::hugeAddressSendsNothing()
{
    QFile::remove(m_dir.filePath("record"));
    SimulatedBoard board({"--quiet", "--record", m_dir.filePath("record")});
    QVERIFY(board.isReady());
    OpenWindow t("1" + QString(400, u'0') + "e-10"); // no address 0 in disguise
    QTest::qWait(500);
    QVERIFY(t.button("closePortButton")->isEnabled());
    QVERIFY(board.stop());
    QCOMPARE(recorded(), QByteArray());
}

QTEST_MAIN(TestFieldFaults)
#include "tst_fieldfaults.moc"
