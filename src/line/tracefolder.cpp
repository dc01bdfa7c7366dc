#include "line/tracefolder.h"

#include "line/trace.h"
#include "shared/makefolder.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryFile>

namespace {

// More jobs than a station flashes in a millisecond on one port and board.
constexpr int MostNamesTried = 1000;

QString fileNamePart(QString text)
{
    static const QRegularExpression others(QStringLiteral("[^A-Za-z0-9._-]"));
    while (text.startsWith(u'/'))
        text.remove(0, 1);
    return text.replace(others, QStringLiteral("-"));
}

} // namespace

QString prepareTraceFolder(const QString &folder)
{
    if (const QString reason = makeFolder(folder); !reason.isEmpty())
        return QStringLiteral("--trace-dir %1: the folder cannot be made (%2): give a folder that "
                              "you may write in")
            .arg(folder, reason);
    // The one sure way to know a file can be made there.
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral(".bootline-XXXXXX")));
    if (!probe.open())
        return QStringLiteral("--trace-dir %1: no file can be written in the folder: %2")
            .arg(folder, probe.errorString());
    return {};
}

QString traceFileName(const QDateTime &started, const QString &port, const QString &board)
{
    return QStringLiteral("%1_%2_board-%3.trace")
        .arg(started.toUTC().toString(QStringLiteral("yyyyMMdd'T'HHmmss.zzz'Z'")),
             fileNamePart(port), fileNamePart(board));
}

std::unique_ptr<Trace> openJobTrace(const QString &folder, const QString &fileName, QString *path,
                                    QString *error)
{
    const QDir dir(folder);
    const QString stem = fileName.chopped(QStringLiteral(".trace").size());
    auto trace = std::make_unique<Trace>();
    for (int count = 1; count <= MostNamesTried; ++count) {
        const QString name =
            count == 1 ? fileName : QStringLiteral("%1-%2.trace").arg(stem).arg(count);
        *path = QFileInfo(dir.filePath(name)).absoluteFilePath();
        if (QFileInfo::exists(*path) || QFileInfo(*path).isSymLink())
            continue;
        if (trace->openNew(*path, error))
            return trace;
        if (!QFileInfo::exists(*path)) // not taken meanwhile: it cannot be made
            return nullptr;
    }
    *error = QStringLiteral("%1 names are taken").arg(MostNamesTried);
    return nullptr;
}
