#include "record/storeaddress.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

// How a store address is read and shown: never its password.
class TestStoreAddress : public QObject {
    Q_OBJECT
private slots:
    void passwordsAreHidden_data();
    void passwordsAreHidden();
    void connectionParameters_data();
    void connectionParameters();
    void aPasswordIsForTheOwnerAlone_data();
    void aPasswordIsForTheOwnerAlone();
};

void TestStoreAddress::passwordsAreHidden_data()
{
    QTest::addColumn<QString>("given");
    QTest::addColumn<QString>("shown");
    QTest::newRow("a password") << "postgresql://line:S3cr3t@db/x"
                                << "postgresql://line:***@db/x";
    QTest::newRow("an @ in it, unencoded") << "postgresql://line:a@b/c@db:5432/x"
                                           << "postgresql://line:***@db:5432/x";
    QTest::newRow("a port that is not one") << "postgresql://line:S3cr3t@db:notaport/x"
                                            << "postgresql://line:***@db:notaport/x";
    QTest::newRow("no password") << "postgresql://line@db/x"
                                 << "postgresql://line@db/x";
    QTest::newRow("a file") << "/var/lib/a:b@c.sqlite"
                            << "/var/lib/a:b@c.sqlite";
}

void TestStoreAddress::passwordsAreHidden()
{
    QFETCH(QString, given);
    QFETCH(QString, shown);
    QCOMPARE(withoutPassword(given), shown);
    const auto parsed = parseStoreAddress(given);
    const QString said = std::holds_alternative<QString>(parsed)
                             ? std::get<QString>(parsed)
                             : std::get<StoreAddress>(parsed).describe();
    QVERIFY2(!said.contains("S3cr3t") && !said.contains("a@b/c"), qPrintable(said));
}

void TestStoreAddress::connectionParameters_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<QString>("passed"); // or what the refusal says
    QTest::newRow("TLS") << "sslmode=verify-full&sslrootcert=/etc/bench/ca.pem"
                         << "sslmode=verify-full sslrootcert=/etc/bench/ca.pem";
    QTest::newRow("timeout and name") << "connect_timeout=3&application_name=bench%207"
                                      << "connect_timeout=3 application_name=bench 7";
    QTest::newRow("unknown") << "sslmode=require&host=evil"
                             << "host is not a parameter";
    QTest::newRow("no value") << "sslmode="
                              << "needs a value";
    QTest::newRow("a second option smuggled in") << "sslmode=require%3Bhost%3Devil"
                                                 << "without a ;";
}

void TestStoreAddress::connectionParameters()
{
    QFETCH(QString, query);
    QFETCH(QString, passed);
    const auto parsed = parseStoreAddress("postgresql://line:pw@db/x?" + query);
    if (const QString *error = std::get_if<QString>(&parsed)) {
        QVERIFY2(error->contains(passed), qPrintable(*error));
        QVERIFY2(!error->contains(":pw@"), qPrintable(*error));
    } else {
        QStringList given;
        for (const auto &[key, value] : std::get<StoreAddress>(parsed).parameters)
            given << key + u'=' + value;
        QCOMPARE(given.join(u' '), passed);
    }
}

void TestStoreAddress::aPasswordIsForTheOwnerAlone_data()
{
    QTest::addColumn<int>("permissions");
    QTest::addColumn<bool>("refused");
    const int owner = int(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    QTest::newRow("600") << owner << false;
    QTest::newRow("640") << (owner | int(QFileDevice::ReadGroup)) << true;
    QTest::newRow("604") << (owner | int(QFileDevice::ReadOther)) << true;
}

void TestStoreAddress::aPasswordIsForTheOwnerAlone()
{
    QFETCH(int, permissions);
    QFETCH(bool, refused);
    QTemporaryDir dir;
    QFile file(dir.filePath("bootline.conf"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    QVERIFY(file.setPermissions(QFileDevice::Permissions(permissions)));
    const QString why = passwordFileExposure(file.fileName());
    QCOMPARE(!why.isEmpty(), refused);
    if (refused)
        QVERIFY2(why.contains(file.fileName()) && why.contains("chmod 600"), qPrintable(why));
}

QTEST_APPLESS_MAIN(TestStoreAddress)
#include "tst_storeaddress.moc"
