#include "line/trace.h"

#include "fakes/testengine.h"
#include "support/testfiles.h"

#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

class TestTrace : public QObject {
    Q_OBJECT
private slots:
    void replacesOnlyWhatItWrote_data();
    void replacesOnlyWhatItWrote();
    void aFailedWriteIsToldOnceAndTheJobGoesOn();
};

namespace {

QByteArray contentOf(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", qPrintable(path));
    return file.readAll();
}

// What was told on a stream that stands in for standard error.
QByteArray toldOn(std::FILE *stream)
{
    std::fflush(stream);
    std::rewind(stream);
    QByteArray told;
    char chunk[256];
    while (const size_t n = std::fread(chunk, 1, sizeof chunk, stream))
        told.append(chunk, qsizetype(n));
    return told;
}

// The probe for the board at address 1, as RTU puts it on the wire less its checksum.
const QByteArray probe = QByteArray(1, '\x01') + "BOOTi\r\n";

} // namespace

void TestTrace::replacesOnlyWhatItWrote_data()
{
    QTest::addColumn<bool>("exists");
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<bool>("replaced");
    QTest::addColumn<QString>("says");
    QTest::newRow("new file") << false << QByteArray() << true << QString();
    QTest::newRow("empty file") << true << QByteArray() << true << QString();
    QTest::newRow("an earlier trace")
        << true
        << QByteArray("# bootline-cli trace 1.4, started 2026-01-01T00:00:00.000Z\n"
                      "      3 > 01 42  \\x01B\n")
        << true << QString();
    QTest::newRow("the HEX file, named by mistake")
        << true << QByteArray(":020000040000FA\n:00000001FF\n") << false << "looks like a HEX file";
    QTest::newRow("someone's notes") << true << QByteArray("notes\n") << false << "is not a trace";
    QTest::newRow("the mark cut short")
        << true << QByteArray("# bootline") << false << "is not a trace";
}

void TestTrace::replacesOnlyWhatItWrote()
{
    QFETCH(bool, exists);
    QFETCH(QByteArray, before);
    QFETCH(bool, replaced);
    QFETCH(QString, says);
    QTemporaryDir dir;
    const QString path = exists ? writeFile(dir, "trace.txt", before) : dir.filePath("trace.txt");
    TestEngine test;
    Trace trace;
    QString error;
    QCOMPARE(trace.open(path, &error), replaced);
    if (!replaced) {
        QVERIFY2(error.contains(says) && error.contains(path), qPrintable(error));
        QCOMPARE(contentOf(path), before);
        return;
    }
    trace.follow(test.engine, QStringLiteral("COM3"));
    emit test.engine.frameWritten(probe);
    const QList<QByteArray> lines = contentOf(path).split('\n');
    QCOMPARE(lines.size(), 3); // the mark, the frame, and nothing after the last newline
    QVERIFY2(lines[0].startsWith(Trace::firstLineMark().toUtf8()), lines[0]);
    QVERIFY2(lines[1].contains("> 01 42 4F 4F 54 69 0D 0A"), lines[1]);
}

void TestTrace::aFailedWriteIsToldOnceAndTheJobGoesOn()
{
    if (!QFile::exists("/dev/full"))
        QSKIP("no /dev/full here");
    std::FILE *warnings = std::tmpfile();
    QVERIFY(warnings);
    TestEngine test;
    Trace trace(warnings);
    QString error;
    QVERIFY2(trace.open("/dev/full", &error), qPrintable(error));
    trace.follow(test.engine, QStringLiteral("COM3"));
    emit test.engine.frameWritten(probe);
    emit test.engine.bytesReceived(probe);
    const QByteArray told = toldOn(warnings);
    std::fclose(warnings);
    QCOMPARE(told.count('\n'), 1);
    QVERIFY2(told.contains("/dev/full") && told.contains("goes on"), told);
}

QTEST_APPLESS_MAIN(TestTrace)
#include "tst_trace.moc"
