#include "e2e/clirun.h"
#include "e2e/examplefiles.h"
#include "e2e/simulatedboard.h"
#include "record/postgresserver.h"
#include "support/testpaths.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

// The README's PostgreSQL set-up as it is written, on a server of the test's
// own: the owner makes the tables over the local socket, a bench records a
// board over TCP with its password in a .pgpass, a reader reads the history.
class TestPostgresSetup : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void asTheReadmeSays();

private:
    QString path(const QString &name) const { return m_dir.filePath(name); }
    QString overTcp(const QString &role) const
    {
        return QStringLiteral("postgresql://%1@127.0.0.1:%2/bootline")
            .arg(role)
            .arg(m_server.port());
    }
    QTemporaryDir m_dir;
    PostgresServer m_server;
};

// The statements the README feeds to psql, between <<'SQL' and SQL.
QString readmeStatements()
{
    QFile readme(TestPaths::sourceDir() + QStringLiteral("/README.md"));
    if (!readme.open(QIODevice::ReadOnly))
        return {};
    static const QRegularExpression block(QStringLiteral("<<'SQL'\n(.*?)\nSQL\n"),
                                          QRegularExpression::DotMatchesEverythingOption);
    return block.match(QString::fromUtf8(readme.readAll())).captured(1);
}

void TestPostgresSetup::initTestCase()
{
    QVERIFY(m_dir.isValid());
    qputenv("XDG_CONFIG_HOME", path("config").toLocal8Bit());
    qputenv("XDG_DATA_HOME", path("data").toLocal8Bit());
    const QString error = m_server.start(PostgresServer::Tcp::Password);
    QVERIFY2(error.isEmpty(), qPrintable(error));
}

void TestPostgresSetup::asTheReadmeSays()
{
    // sudo -u postgres createuser "$USER"; sudo -u postgres createdb -O "$USER" bootline
    QCOMPARE(m_server.client("createuser", {"ana"}), QString());
    QCOMPARE(m_server.client("createdb", {"-O", "ana", "bootline"}), QString());

    // The owner over the socket: the folder in the URL, its port from PGPORT
    // (the README's server takes libpq's default of both).
    qputenv("PGPORT", QByteArray::number(m_server.port()));
    const QString owner = "postgresql://ana@/bootline?host=" + m_server.socketFolder();
    const Cli create({"--create-store", "--log", owner});
    QVERIFY2(create.exitCode == 0, qPrintable(create.all()));

    const QString statements = readmeStatements();
    QVERIFY2(statements.contains("GRANT"), "no <<'SQL' block in README.md");
    QCOMPARE(
        m_server.client("psql", {"-q", "-v", "ON_ERROR_STOP=1", "bootline"}, statements.toUtf8()),
        QString());

    // Each role's password in a .pgpass, as host:port:database:user:password.
    QFile pgpass(path("pgpass"));
    QVERIFY(pgpass.open(QIODevice::WriteOnly));
    pgpass.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    static const QRegularExpression role(
        QStringLiteral("CREATE ROLE (\\w+) LOGIN PASSWORD '([^']+)'"));
    QStringList roles;
    for (const QRegularExpressionMatch &match : role.globalMatch(statements)) {
        roles << match.captured(1);
        pgpass.write(QStringLiteral("127.0.0.1:%1:bootline:%2:%3\n")
                         .arg(m_server.port())
                         .arg(match.captured(1), match.captured(2))
                         .toUtf8());
    }
    pgpass.close();
    QCOMPARE(roles, QStringList({"line", "reader"}));
    qputenv("PGPASSFILE", pgpass.fileName().toLocal8Bit());

    // A bench: log= in its settings file.
    QVERIFY(QDir().mkpath(path("config/bootline")));
    QFile settings(path("config/bootline/bootline.conf"));
    QVERIFY(settings.open(QIODevice::WriteOnly));
    settings.write(("log=" + overTcp("line") + "\n").toUtf8());
    settings.close();
    SimulatedBoard sim({"--quiet"});
    QVERIFY(sim.isReady());
    const Cli bench({"-a", "1", "--pace", "reply", exampleFile("blink.hex")});
    QVERIFY2(bench.exitCode == 0, qPrintable(bench.all()));

    const Cli history({"--history", "--json", "--log", overTcp("reader")});
    QVERIFY2(history.exitCode == 0, qPrintable(history.all()));
    const QList<QJsonObject> records = jsonLines(history.out);
    QCOMPARE(records.size(), 1);
    QCOMPARE(records[0]["result"].toString(), QStringLiteral("done"));

    // Over TCP the server lets no one in without the password.
    qputenv("PGPASSFILE", path("no-such-file").toLocal8Bit());
    const Cli locked({"--history", "--log", overTcp("reader")});
    QCOMPARE(locked.exitCode, 7);
    QVERIFY2(locked.err.contains("no password supplied"), qPrintable(locked.err));
}

QTEST_GUILESS_MAIN(TestPostgresSetup)
#include "tst_postgressetup.moc"
