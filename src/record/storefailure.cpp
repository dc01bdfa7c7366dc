#include "record/storefailure.h"

#include <QStringList>

namespace {

const QString SetUp = QStringLiteral("the README's PostgreSQL set-up shows how");

QString roleOf(const StoreAddress &address)
{
    return address.user.isEmpty() ? QStringLiteral("of this login") : address.user;
}

// What to do, for the faults whose words say enough; empty when they do not.
QString nextStep(const QString &what, const StoreAddress &address, const QString &words)
{
    if (address.kind == StoreAddress::Kind::Sqlite) {
        if (words.contains(QStringLiteral("file is not a database")))
            return QStringLiteral("%1 is not a SQLite database, so not a Bootline store: give "
                                  "--log the store's file, or the name of a new one")
                .arg(address.path);
        return {};
    }
    if (words.contains(QStringLiteral("no password supplied")))
        return QStringLiteral("the server asks the role %1 for a password, and none was found: "
                              "put it in ~/.pgpass (host:port:database:user:password, chmod "
                              "600), or reach the server over its local socket as your own "
                              "role; %2")
            .arg(roleOf(address), SetUp);
    if (words.contains(QStringLiteral("password authentication failed")))
        return QStringLiteral("the password of the role %1 was refused: mend its line in "
                              "~/.pgpass")
            .arg(roleOf(address));
    if (words.contains(QStringLiteral("Connection refused")))
        return QStringLiteral("start the server, or let it take TCP connections "
                              "(listen_addresses in postgresql.conf); %1")
            .arg(SetUp);
    if (words.contains(QStringLiteral("permission denied"))) {
        if (what == QStringLiteral("read"))
            return QStringLiteral("the role %1 may not read the records: read them as a role "
                                  "with SELECT on bootline_jobs and bootline_schema, such as the "
                                  "reader; %2")
                .arg(roleOf(address), SetUp);
        return QStringLiteral("the role %1 may not add records: it needs INSERT on "
                              "bootline_jobs, USAGE on bootline_jobs_id_seq and SELECT on "
                              "bootline_schema; %2")
            .arg(roleOf(address), SetUp);
    }
    return {};
}

} // namespace

QString storeFailure(const QString &what, const StoreAddress &address, const QString &driverWords)
{
    // A driver's text may run over lines (libpq's does): one line here.
    const QString words = driverWords.simplified();
    QString text =
        QStringLiteral("could not %1 the record store %2: %3").arg(what, address.describe(), words);
    if (const QString step = nextStep(what, address, words); !step.isEmpty())
        text += QStringLiteral(". ") + step.front().toUpper() + step.mid(1);
    return text;
}
