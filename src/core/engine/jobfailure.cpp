#include "engine/jobfailure.h"

namespace {

QString board(int rtu, const QString &address)
{
    return rtu == 1 ? QStringLiteral("board %1").arg(address) : QStringLiteral("the board");
}

} // namespace

QString extraReplyFailure(int rtu, const QString &address)
{
    const QString where =
        rtu == 1 ? QStringLiteral("at address %1").arg(address) : QStringLiteral("on the line");
    return QStringLiteral("more replies than lines sent: two boards may answer %1, or the line "
                          "echoes; the image is not verified")
        .arg(where);
}

QString restartFailure(int rtu, const QString &address, Pass pass, qint16 line)
{
    return QStringLiteral("%1 restarted during %2line %3 (it answered VER=): check its power "
                          "supply and reset line, then run again")
        .arg(board(rtu, address), pass == Pass::Verify ? QStringLiteral("verify ") : QString())
        .arg(line);
}

QString notVerifiedFailure(qint16 verifiedInStep, qint16 lines)
{
    return QStringLiteral("the verify pass ended with %1 of %2 lines answered in step: a reply "
                          "came twice or late, or a line went out by hand; the image is not "
                          "known to be whole")
        .arg(verifiedInStep)
        .arg(lines);
}
