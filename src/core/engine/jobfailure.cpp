#include "engine/jobfailure.h"

#include "protocol/replykeyword.h"

namespace {

QString board(bool rtu, const QString &address)
{
    return rtu ? QStringLiteral("board %1").arg(address) : QStringLiteral("the board");
}

} // namespace

QString extraReplyFailure(bool rtu, const QString &address)
{
    const QString where =
        rtu ? QStringLiteral("at address %1").arg(address) : QStringLiteral("on the line");
    return QStringLiteral("more replies than lines sent: two boards may answer %1, or the line "
                          "echoes; the image is not verified")
        .arg(where);
}

QString twoAnswersFailure(Pass pass, qint16 lines, const QByteArray &secondReply)
{
    return QStringLiteral(
               "%1, the last, got two answers, OK and then %2; the image is not verified")
        .arg(lineName(pass, lines, lines),
             QString::fromLatin1(replyKeywordText(firstReplyKeyword(secondReply))));
}

QString restartFailure(bool rtu, const QString &address, Pass pass, qint16 line)
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

QString lineName(Pass pass, qint16 line, qint16 lines)
{
    return QStringLiteral("%1line %2 of %3")
        .arg(pass == Pass::Verify ? QStringLiteral("verify ") : QString())
        .arg(line)
        .arg(lines);
}

QString resultWord(ExitCode code)
{
    if (code == Done)
        return QStringLiteral("done");
    return isStopBySignal(code) ? QStringLiteral("interrupted") : QStringLiteral("failed");
}

JobVerdict jobVerdict(const JobResult &job, bool rtu, const QString &address)
{
    const QString where = lineName(job.pass, job.line, job.lines);
    const auto verdict = [](ExitCode code, const QString &error) {
        return JobVerdict{resultWord(code), code, error};
    };
    switch (job.outcome) {
    case JobResult::Outcome::Verified:
        return verdict(Done, {});
    case JobResult::Outcome::NotVerified:
        return verdict(NoReply, notVerifiedFailure(job.verifiedInStep, job.lines));
    case JobResult::Outcome::ExtraReply: // after an OK to the last line, it was that line's
        return verdict(ExtraReplies, job.answeredOkNotDownload
                                         ? twoAnswersFailure(job.pass, job.lines, job.reply)
                                         : extraReplyFailure(rtu, address));
    case JobResult::Outcome::Restarted:
        return verdict(BoardRestarted, restartFailure(rtu, address, job.pass, job.line));
    case JobResult::Outcome::Refused:
        return verdict(BoardRefused, QStringLiteral("the board refused %1").arg(where));
    case JobResult::Outcome::Unanswered:
        return verdict(NoReply, QStringLiteral("no reply to %1").arg(where));
    case JobResult::Outcome::DeviceLost:
        return verdict(PortFailed, QStringLiteral("the port was lost at %1").arg(where));
    case JobResult::Outcome::Stopped: // as Ctrl-C ends bootline-cli
        return verdict(Interrupted, QStringLiteral("the port was closed at %1").arg(where));
    case JobResult::Outcome::Replaced:
        return verdict(Interrupted, QStringLiteral("another file was loaded at %1").arg(where));
    }
    return verdict(NoReply, {});
}
