#include "fakes/testwindow.h"
#include "link/rtuframe.h"
#include "protocol/commands.h"
#include "record/recordstore.h"
#include "record/storeaddress.h"
#include "support/testfiles.h"
#include "window/colors.h"

#include <QCryptographicHash>
#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMimeData>
#include <QUrl>

#include <QTemporaryDir>
#include <QTest>

// A whole job through the real window: open, probe, load a file, download,
// verify, END, install.
class TestDownload : public QObject {
    Q_OBJECT
private slots:
    void wholeJob_data();
    void wholeJob();
    void fileLoadedWithThePortClosedSaysNothingWasSent();
    void droppedFile_data();
    void droppedFile();
    void otherFormatsGoAsIntelHexRecords_data();
    void otherFormatsGoAsIntelHexRecords();
    void everyDownloadIsRecorded_data();
    void everyDownloadIsRecorded();
    void aStoreInTheWayIsSaidOnceInABox();
};

const QList<QByteArray> firmware{":020000040000FA", ":10010000214601360121470136007EFE09D2190140",
                                 ":100110002146017E17C20001FF5F16002148011928", ":00000001FF"};

// The board's loader: what it answers to one command.
QByteArray boardReply(const QByteArray &command)
{
    if (command == Command::Query)
        return "VER=2.03";
    return command.contains("00000001FF") ? "DOWNLOAD" : "OK";
}

void TestDownload::wholeJob_data()
{
    QTest::addColumn<bool>("rtu");
    QTest::addColumn<bool>("splitReplies");
    QTest::newRow("RTU") << true << false;
    QTest::newRow("RTU, replies split over two polls") << true << true;
    QTest::newRow("plain") << false << false;
}

void TestDownload::wholeJob()
{
    QFETCH(bool, rtu);
    QFETCH(bool, splitReplies);
    TestWindow t;
    t.rtu()->setChecked(rtu);
    t.box("addressBox")->setText("7");
    const auto frame = [&](const QByteArray &text) { return rtu ? rtuFrame(7, text) : text; };
    const auto unframe = [&](const QByteArray &bytes) {
        return rtu ? bytes.mid(1, bytes.size() - 3) : bytes;
    };
    // The board answers each command within the next poll, or the two after.
    const auto answer = [&](const QByteArray &reply) {
        const QByteArray bytes = rtu ? rtuFrame(7, "B" + reply) : reply + "\r\n";
        const int half = splitReplies ? int(bytes.size() / 2) : int(bytes.size());
        t.receive(bytes.left(half));
        t.receive(bytes.mid(half));
        t.time.advance(JobTiming::PollEveryMs); // and the next poll finds the line quiet
    };

    t.engine.openPort();
    t.probeInterval();
    answer(boardReply(unframe(t.port->writes.last())));
    QCOMPARE(t.label("statusLabel")->text(), QStringLiteral("READY"));
    t.probeInterval(); // the probe is over: nothing goes out

    QTemporaryDir dir;
    t.dialog->choice = writeFile(dir, "firmware.hex", firmware.join("\r\n") + "\r\n");
    t.button("downloadButton")->click();
    QCOMPARE(t.progress()->text(), QStringLiteral("DOWNLOAD"));
    QCOMPARE(t.progress()->maximum(), firmware.size());

    for (int guard = 0; guard < 20 && t.progress()->text() != "END"; ++guard) {
        const QByteArray command = unframe(t.port->writes.last());
        if (command.startsWith("BOOT#")) {
            QCOMPARE(t.progress()->text(), QStringLiteral("VERIFY"));
        }
        answer(boardReply(command));
    }

    QCOMPARE(t.progress()->text(), QStringLiteral("END"));
    QCOMPARE(t.progress()->barColor(), Colour::toQColor(Colour::Green));
    QList<QByteArray> expected{frame("BOOTi\r\n")};
    for (const QByteArray &line : firmware)
        expected << frame("BOOT" + line + "\r\n");
    for (QByteArray line : firmware)
        expected << frame("BOOT" + line.replace(':', '#') + "\r\n");
    t.button("installButton")->click();
    expected << frame("BOOTg\r\n");
    QCOMPARE(t.port->writes, expected);
    QVERIFY(t.messages->shown.isEmpty());
    if (rtu) // the end-of-file record, byte for byte (checksum worked out independently)
        QCOMPARE(t.port->writes[4].toHex(' '),
                 QByteArray("07 42 4f 4f 54 3a 30 30 30 30 30 30 30 31 46 46 0d 0a f7 ec"));
    t.button("downloadButton")->click(); // again: green is for the job done only
    QCOMPARE(t.progress()->barColor(), Colour::toQColor(Colour::Navy));
}

// The file is read and checked as ever, but the operator is told that nothing
// went out, rather than left looking at "DOWNLOAD" forever.
void TestDownload::fileLoadedWithThePortClosedSaysNothingWasSent()
{
    TestWindow t;
    QTemporaryDir dir;
    t.dialog->choice = writeFile(dir, "firmware.hex", firmware.join("\r\n") + "\r\n");
    t.button("downloadButton")->click();
    QVERIFY(t.port->writes.isEmpty());
    QCOMPARE(t.progress()->maximum(), firmware.size());
    QCOMPARE(t.messages->shown.size(), 1);
    QVERIFY2(t.messages->shown.first().text.contains("the port is closed: nothing was sent"),
             qPrintable(t.messages->shown.first().text));
}

void TestDownload::droppedFile_data()
{
    QTest::addColumn<QStringList>("urls"); // %1: the firmware file's folder
    QTest::addColumn<bool>("loaded");
    QTest::newRow("one file") << QStringList{"file://%1/firmware.hex"} << true;
    QTest::newRow("one file of another name") << QStringList{"file://%1/firmware.txt"} << true;
    QTest::newRow("two files") << QStringList{"file://%1/firmware.hex", "file://%1/firmware.txt"}
                               << false;
    QTest::newRow("a web address") << QStringList{"https://example.com/firmware.hex"} << false;
    QTest::newRow("no address") << QStringList{} << false;
}

// A file dropped on the window goes as if picked in the dialog: the job
// starts; anything but one file here is turned away and nothing goes out.
void TestDownload::droppedFile()
{
    QFETCH(QStringList, urls);
    QFETCH(bool, loaded);
    TestWindow t;
    t.openWithPlainBoard();
    QCOMPARE(t.label("statusLabel")->text(), QStringLiteral("READY"));
    const qsizetype writesBefore = t.port->writes.size();
    const QString textBefore = t.progress()->text();

    QTemporaryDir dir;
    const QByteArray content = firmware.join("\r\n") + "\r\n";
    writeFile(dir, "firmware.hex", content);
    writeFile(dir, "firmware.txt", content);
    QMimeData data;
    if (urls.isEmpty())
        data.setText(dir.filePath("firmware.hex"));
    else {
        QList<QUrl> list;
        for (const QString &url : urls)
            list << QUrl(QString(url).replace("%1", dir.path()));
        data.setUrls(list);
    }

    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&t.window, &enter);
    QCOMPARE(enter.isAccepted(), loaded);
    // A drop the window turned away still must not load anything.
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&t.window, &drop);
    QCOMPARE(drop.isAccepted(), loaded);
    QCoreApplication::processEvents();

    QCOMPARE(t.dialog->shown, 0);
    if (!loaded) {
        QCOMPARE(t.port->writes.size(), writesBefore);
        QCOMPARE(t.progress()->text(), textBefore);
        return;
    }
    QCOMPARE(t.progress()->text(), QStringLiteral("DOWNLOAD"));
    QCOMPARE(t.progress()->maximum(), firmware.size());
    QCOMPARE(t.port->writes.last(), "BOOT" + firmware.first() + "\r\n");
    QVERIFY(t.messages->shown.isEmpty());
}

void TestDownload::otherFormatsGoAsIntelHexRecords_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<std::optional<quint32>>("base"); // the operator's answer; empty: cancel
    QTest::addColumn<bool>("asked");

    // The data of the two data records above, at 0x0100.
    const QByteArray data = QByteArray::fromHex(firmware[1].mid(9, 32) + firmware[2].mid(9, 32));
    QTest::newRow("S-records: no question")
        << QByteArray("S1130100214601360121470136007EFE09D219013C\r\n"
                      "S11301102146017E17C20001FF5F16002148011924\r\nS9030000FC\r\n")
        << std::optional<quint32>() << false;
    QTest::newRow("binary at the address given") << data << std::optional<quint32>(0x0100) << true;
    QTest::newRow("binary, the question cancelled") << data << std::optional<quint32>() << true;
}

// The dialog's other formats go as the records the board takes; for a raw
// binary the window asks where it goes, and a cancelled question sends nothing.
void TestDownload::otherFormatsGoAsIntelHexRecords()
{
    QFETCH(QByteArray, content);
    QFETCH(std::optional<quint32>, base);
    QFETCH(bool, asked);
    TestWindow t;
    t.openWithPlainBoard();
    const qsizetype writesBefore = t.port->writes.size();

    QTemporaryDir dir;
    t.dialog->choice = writeFile(dir, "firmware.img", content);
    t.dialog->base = base;
    t.button("downloadButton")->click();
    QCOMPARE(t.dialog->askedBase, asked ? QStringList{t.dialog->choice} : QStringList{});
    if (asked && !base) {
        QCOMPARE(t.port->writes.size(), writesBefore);
        QCOMPARE(t.messages->shown.size(), 1);
        QCOMPARE(t.messages->shown.first().text, QStringLiteral("Cancel"));
        return;
    }
    QVERIFY(t.messages->shown.isEmpty());
    // The two data records, the S-records' start address (0), the end-of-file record.
    QCOMPARE(t.progress()->maximum(), asked ? 3 : 4);
    QCOMPARE(t.port->writes.last(), "BOOT" + firmware[1] + "\r\n");
}

void TestDownload::everyDownloadIsRecorded_data()
{
    QTest::addColumn<QByteArray>("replyToLine2");
    QTest::addColumn<bool>("storeWritable");
    QTest::addColumn<QString>("record");   // result, exit code, error
    QTest::addColumn<QStringList>("tags"); // the settings' tag. lines, as KEY=VALUE
    QTest::newRow("verified") << QByteArray("OK") << true << "done 0 " << QStringList{};
    QTest::newRow("refused") << QByteArray("ERROR") << true
                             << "failed 5 the board refused line 2 of 4" << QStringList{};
    QTest::newRow("verified, the store in the way")
        << QByteArray("OK") << false << "done 0 " << QStringList{};
    QTest::newRow("verified, with the settings' tags")
        << QByteArray("OK") << true << "done 0 " << QStringList{"operator=ana", "order=WO-1182"};
}

// Each download the window runs leaves a record of the same form as the
// terminal face's, or says where it went when the store would not take it.
void TestDownload::everyDownloadIsRecorded()
{
    QFETCH(QByteArray, replyToLine2);
    QFETCH(bool, storeWritable);
    QFETCH(QString, record);
    QFETCH(QStringList, tags);
    RecordTags given;
    for (const QString &tag : tags)
        given.insert(tag.section(u'=', 0, 0), tag.section(u'=', 1));
    QTemporaryDir dir;
    const QString storePath = dir.filePath("records/history.sqlite");
    if (!storeWritable)
        QVERIFY(QDir().mkpath(storePath)); // a folder where the file would be
    const StoreAddress store = std::get<StoreAddress>(parseStoreAddress(storePath));
    TestWindow t;
    t.window.keepRecords(store, DefaultStoreTimeoutMs, given);
    t.box("addressBox")->setText("7");
    const auto answer = [&](const QByteArray &reply) {
        t.receive(rtuFrame(7, "B" + reply));
        t.time.advance(JobTiming::PollEveryMs);
    };
    t.engine.openPort();
    t.probeInterval();
    answer("VER=2.03");
    const QByteArray file = firmware.join("\r\n") + "\r\n";
    t.dialog->choice = writeFile(dir, "firmware.hex", file);
    t.button("downloadButton")->click();
    for (int guard = 0; guard < 20 && t.progress()->text() != "END" && t.port->isOpen(); ++guard) {
        const QByteArray command = t.port->writes.last().mid(1, t.port->writes.last().size() - 3);
        answer(command == "BOOT" + firmware[1] + "\r\n" ? replyToLine2
                                                        : boardReply(command.mid(4).trimmed()));
        if (replyToLine2 == "ERROR" && t.progress()->text() == "ERROR")
            break;
    }

    JobRecord kept;
    if (storeWritable) {
        // Kept on a thread of its own: there once the outcome is back.
        RecordStore records(store);
        QString error;
        std::optional<QList<JobRecord>> read;
        QTRY_VERIFY((read = records.read({}, &error)) && read->size() == 1);
        kept = read->first();
        QVERIFY(t.messages->shown.isEmpty());
    } else {
        QTRY_COMPARE(t.messages->shown.size(), 1);
        QVERIFY2(t.messages->shown.first().text.contains("not in the store"),
                 qPrintable(t.messages->shown.first().text));
        QFile fallback(dir.filePath("records/unrecorded.jsonl"));
        QVERIFY(fallback.open(QIODevice::ReadOnly));
        // Its "started" line first, then the end.
        const QJsonObject line =
            QJsonDocument::fromJson(fallback.readAll().trimmed().split('\n').last()).object();
        kept.result = line["result"].toString();
        kept.exitCode = line["exit"].toInt();
        kept.face = line["face"].toString();
        kept.sha256 = line["sha256"].toString();
    }
    QCOMPARE(QStringLiteral("%1 %2 %3").arg(kept.result).arg(kept.exitCode).arg(kept.error),
             record);
    QCOMPARE(kept.face, QStringLiteral("window"));
    QCOMPARE(kept.sha256, QString::fromLatin1(
                              QCryptographicHash::hash(file, QCryptographicHash::Sha256).toHex()));
    if (storeWritable) {
        QCOMPARE(kept.port, QStringLiteral("COM3"));
        QCOMPARE(kept.board, QStringLiteral("7"));
        QCOMPARE(kept.version, QStringLiteral("VER=2.03"));
        QCOMPARE(kept.file, QDir(dir.path()).filePath("firmware.hex"));
        QCOMPARE(kept.fileLines, 4);
        QCOMPARE(kept.tags, given);
        QVERIFY(kept.started.isValid() && kept.started <= kept.ended);
    }
}

// A store that stays in the way gets one box in a run, not one after every
// job; each record it did not take is still counted in the answer box's tooltip.
void TestDownload::aStoreInTheWayIsSaidOnceInABox()
{
    QTemporaryDir dir;
    const QString storePath = dir.filePath("records/history.sqlite");
    QVERIFY(QDir().mkpath(storePath)); // a folder where the file would be
    TestWindow t;
    t.window.keepRecords(std::get<StoreAddress>(parseStoreAddress(storePath)),
                         DefaultStoreTimeoutMs);
    t.rtu()->setChecked(false);
    t.engine.openPort();
    t.dialog->choice = writeFile(dir, "firmware.hex", firmware.join("\r\n") + "\r\n");
    const auto downloadToTheEnd = [&] {
        t.button("downloadButton")->click();
        for (int guard = 0; guard < 20 && t.progress()->text() != "END"; ++guard) {
            t.receive(boardReply(t.port->writes.last().mid(4).trimmed()) + "\r\n");
        }
        QCOMPARE(t.progress()->text(), QStringLiteral("END"));
    };
    QLineEdit *answerBox = t.box("answerBox");

    downloadToTheEnd();
    QTRY_COMPARE(t.messages->shown.size(), 1);
    QVERIFY2(t.messages->shown[0].text.contains("not in the store") &&
                 t.messages->shown[0].text.contains("tooltip"),
             qPrintable(t.messages->shown[0].text));
    QVERIFY2(answerBox->toolTip().contains("since the window opened: 1,"),
             qPrintable(answerBox->toolTip()));

    downloadToTheEnd();
    QTRY_VERIFY2(answerBox->toolTip().contains("since the window opened: 2,"),
                 qPrintable(answerBox->toolTip()));
    QVERIFY(answerBox->toolTip().contains("unrecorded.jsonl")); // where the record went
    QCOMPARE(t.messages->shown.size(), 1);
}

QTEST_MAIN(TestDownload)
#include "tst_download.moc"
