#include "record/storeaddress.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QUrl>
#include <QUrlQuery>

namespace {

const QString Usage =
    QStringLiteral("give a SQLite file, postgresql://user@host:port/database[?sslmode=require] "
                   "over TCP, postgresql://user@/database[?host=/var/run/postgresql] over the "
                   "server's local socket, or none");

// After "?", host= names the folder of the server's local socket, as libpq
// takes a host that begins with /; a server on the network goes after the @.
const QString SocketFolder = QStringLiteral("host");

// The connection parameters of libpq that a bench may need; a secret (such
// as sslpassword) never goes in a URL that is shown.
const QStringList PassedParameters{"sslmode",
                                   "sslrootcert",
                                   "sslcert",
                                   "sslkey",
                                   "sslcrl",
                                   "connect_timeout",
                                   "application_name",
                                   "target_session_attrs",
                                   "keepalives",
                                   "keepalives_idle",
                                   "keepalives_interval",
                                   "keepalives_count",
                                   "tcp_user_timeout",
                                   "gssencmode",
                                   "channel_binding",
                                   "passfile"};

// Qt's driver takes the parameters as one text with ; between them.
bool fitsConnectOptions(const QString &value)
{
    return !value.isEmpty() && !value.contains(u';');
}

// Reads the parameters after "?"; what is wrong with them, if anything.
QString readParameters(const QUrl &url, StoreAddress &address)
{
    const QUrlQuery query(url);
    for (const auto &[key, value] : query.queryItems(QUrl::FullyDecoded)) {
        if (key == SocketFolder) {
            if (!url.host().isEmpty() || !address.host.isEmpty())
                return QStringLiteral("it names its host twice: give a server after the @, or "
                                      "a socket folder as host=, not both");
            if (!value.startsWith(u'/') || !fitsConnectOptions(value)) {
                return QStringLiteral("host=%1 is not a socket folder: after ? host names the "
                                      "folder of the server's local socket, an absolute path "
                                      "such as /var/run/postgresql; a server on the network "
                                      "goes after the @, as in postgresql://user@HOST/database")
                    .arg(value);
            }
            address.host = value;
            continue;
        }
        if (!PassedParameters.contains(key)) {
            return QStringLiteral("%1 is not a parameter Bootline passes on; it takes %2, %3")
                .arg(key, SocketFolder, PassedParameters.join(QStringLiteral(", ")));
        }
        if (!fitsConnectOptions(value)) {
            return QStringLiteral("%1 needs a value, without a ;").arg(key);
        }
        address.parameters.append({key, value});
    }
    return {};
}

std::variant<StoreAddress, QString> parsePostgres(const QString &text)
{
    const QUrl url(text, QUrl::StrictMode);
    // QUrl's own error quotes the whole text, password and all.
    if (!url.isValid()) {
        return QStringLiteral("cannot read the record store's URL: the port is a number, and "
                              "@ : / in a name or password are written %40 %3A %2F; ") +
               Usage;
    }
    const QString refused = QStringLiteral("cannot use the record store %1: %2");
    const QString shown = withoutPassword(text);
    const QString database = url.path().mid(1);
    if (database.isEmpty() || database.contains(u'/')) {
        return refused.arg(shown,
                           QStringLiteral("it names no database, one name after the host (or "
                                          "after the @ alone, for the local socket): ") +
                               Usage);
    }
    if (url.hasFragment())
        return refused.arg(shown, QStringLiteral("nothing is taken after #: ") + Usage);

    StoreAddress address;
    if (const QString error = readParameters(url, address); !error.isEmpty())
        return refused.arg(shown, error);
    address.kind = StoreAddress::Kind::Postgres;
    // No host at all: libpq's own default, the local socket.
    if (address.host.isEmpty())
        address.host = url.host();
    address.port = url.port(-1);
    address.user = url.userName();
    address.password = url.password();
    address.database = database;
    return address;
}

} // namespace

QString defaultStorePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/bootline/history.sqlite");
}

std::variant<StoreAddress, QString> parseStoreAddress(const QString &given)
{
    const QString text = given.trimmed();
    StoreAddress address;
    if (text.isEmpty()) {
        address.path = defaultStorePath();
        return address;
    }
    if (text.compare(QStringLiteral("none"), Qt::CaseInsensitive) == 0) {
        address.kind = StoreAddress::Kind::None;
        return address;
    }
    // Any other scheme:// is a store we do not have, not a file of that name.
    // Two letters at least, so that C:/ stays a path.
    static const QRegularExpression scheme(QStringLiteral("^([A-Za-z][A-Za-z0-9+.-]+)://"));
    const QRegularExpressionMatch match = scheme.match(text);
    if (match.hasMatch()) {
        const QString name = match.captured(1).toLower();
        if (name == QStringLiteral("postgresql") || name == QStringLiteral("postgres"))
            return parsePostgres(text);
        return QStringLiteral("cannot use the record store %1: %2:// is not a kind of store "
                              "Bootline knows; %3")
            .arg(withoutPassword(text), name, Usage);
    }
    QString path = text;
    if (path.startsWith(QStringLiteral("~/")))
        path = QDir::homePath() + path.mid(1);
    address.path = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    return address;
}

QString StoreAddress::describe() const
{
    switch (kind) {
    case Kind::None:
        return QStringLiteral("none");
    case Kind::Sqlite:
        return path;
    case Kind::Postgres:
        break;
    }
    // A socket folder is shown as it is given, after "?".
    const bool socketFolder = host.startsWith(u'/');
    QUrl url;
    url.setScheme(QStringLiteral("postgresql"));
    url.setUserName(user);
    if (!password.isEmpty())
        url.setPassword(QStringLiteral("***"));
    url.setHost(socketFolder ? QString() : host);
    url.setPort(port);
    url.setPath(u'/' + database);
    if (socketFolder) {
        url.setQuery(SocketFolder + u'=' + QString::fromLatin1(QUrl::toPercentEncoding(host, "/")),
                     QUrl::StrictMode);
    }
    // With no user, host or port, QUrl leaves out the // that says "no host".
    // Spaces encoded, so that it reads back as it is shown.
    QString text = url.toString(QUrl::EncodeSpaces);
    if (url.authority().isEmpty())
        return QStringLiteral("postgresql://") + text.mid(text.indexOf(u':') + 1);
    return text;
}

QString withoutPassword(const QString &given)
{
    // Whatever stands between "user:" and the last "@" of a URL, so that a
    // password with a stray @ or / in it is hidden whole too.
    const qsizetype scheme = given.indexOf(QStringLiteral("://"));
    const qsizetype at = given.lastIndexOf(u'@');
    if (scheme < 0 || at < scheme)
        return given;
    const qsizetype colon = given.indexOf(u':', scheme + 3);
    if (colon < 0 || colon > at)
        return given;
    return given.left(colon + 1) + QStringLiteral("***") + given.mid(at);
}

QString passwordFileExposure(const QString &settingsFile)
{
    const QFileDevice::Permissions others = QFileDevice::ReadGroup | QFileDevice::ReadOther;
    if (!(QFileInfo(settingsFile).permissions() & others))
        return {};
    return QStringLiteral("the settings file %1 holds a database password and other users can "
                          "read it: run chmod 600 %1, or keep the password in ~/.pgpass")
        .arg(settingsFile);
}
