#include "fakes/testwindow.h"
#include "image/firmwarepin.h"
#include "support/testfiles.h"

#include <QCryptographicHash>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

// The window with expect-sha256= in its settings: only that file goes to a board.
class TestFirmwarePin : public QObject {
    Q_OBJECT
private slots:
    void onlyThePinnedFileGoes_data();
    void onlyThePinnedFileGoes();
};

const QByteArray released = ":020000040000FA\r\n:0400000001020304F2\r\n:00000001FF\r\n";
const QByteArray other = ":020000040000FA\r\n:0400000005060708E2\r\n:00000001FF\r\n";

QByteArray sha256Of(const QByteArray &content)
{
    return QCryptographicHash::hash(content, QCryptographicHash::Sha256).toHex();
}

// The pin as startup.cpp reads it from this settings text.
FirmwarePin pinOf(const QTemporaryDir &dir, const QByteArray &settings)
{
    const QString path = writeFile(dir, "bootline.conf", settings);
    return firmwarePinSetting(QSettings(path, QSettings::IniFormat));
}

void TestFirmwarePin::onlyThePinnedFileGoes_data()
{
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<QString>("box"); // empty: the download begins
    QTest::newRow("no pin") << QByteArray() << QString();
    QTest::newRow("the pin, in capitals")
        << "expect-sha256=" + sha256Of(released).toUpper() << QString();
    QTest::newRow("another file's hash")
        << "expect-sha256=" + sha256Of(other)
        << QStringLiteral("firmware.hex has SHA-256 %1, not the %2 that expect-sha256 in "
                          "SETTINGS asks for: it is not the released firmware; nothing was sent.")
               .arg(QString::fromLatin1(sha256Of(released)), QString::fromLatin1(sha256Of(other)));
    // A typo must not turn the check off.
    QTest::newRow("a setting that is no hash")
        << QByteArray("expect-sha256=a2c740ec")
        << QStringLiteral("SETTINGS: expect-sha256=a2c740ec: expect-sha256 takes a SHA-256 of 64 "
                          "hex digits: no file is loaded until the setting is put right.");
}

void TestFirmwarePin::onlyThePinnedFileGoes()
{
    QFETCH(QByteArray, settings);
    QFETCH(QString, box);
    QTemporaryDir dir;
    TestWindow t;
    t.engine.setFirmwarePin(pinOf(dir, settings));
    t.openWithPlainBoard();
    const qsizetype probeWrites = t.port->writes.size();
    t.dialog->choice = writeFile(dir, "firmware.hex", released);
    t.button("downloadButton")->click();
    if (box.isEmpty()) {
        QVERIFY(t.messages->shown.isEmpty());
        QCOMPARE(t.port->writes.last(), QByteArray("BOOT:020000040000FA\r\n"));
        return;
    }
    box.replace(QStringLiteral("SETTINGS"), dir.filePath("bootline.conf"));
    box.replace(QStringLiteral("firmware.hex"), t.dialog->choice);
    QCOMPARE(t.messages->shown.size(), 1);
    QCOMPARE(t.messages->shown.first().text, box);
    QCOMPARE(t.port->writes.size(), probeWrites);
}

QTEST_MAIN(TestFirmwarePin)
#include "tst_firmwarepin.moc"
