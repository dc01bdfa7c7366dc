#include "engine/replyaction.h"

#include <QTest>

// Every keyword against the states that change what it calls for.
class TestReplyAction : public QObject {
    Q_OBJECT
private slots:
    void eachReplyInEachState();
};

void TestReplyAction::eachReplyInEachState()
{
    using Step = ReplyAction::Step;
    using K = ReplyKeyword;
    const ReplyAction::Situation idle;
    const ReplyAction::Situation line{.answersLine = true, .downloadUnderWay = true};
    ReplyAction::Situation lastLine = line;
    lastLine.lastLineAwaited = true;
    const ReplyAction::Situation verify{
        .answersLine = true, .verifying = true, .downloadUnderWay = true};
    ReplyAction::Situation verifiedWhole = verify;
    verifiedWhole.wholeImageVerified = true;
    const std::optional<JobResult::Outcome> goesOn;
    const auto refused = std::optional(JobResult::Outcome::Refused);
    const struct {
        const char *name;
        ReplyKeyword keyword;
        ReplyAction::Situation situation;
        Step step;
        bool stopsWatch, sendsLine;
        std::optional<JobResult::Outcome> jobEnd;
    } cases[] = {
        {"VER= to the probe", K::Version, idle, Step::BoardReady, true, false, goesOn},
        {"VER= in a download: the next line", K::Version, line, Step::BoardReady, true, true,
         goesOn},
        {"VER= with the last line out", K::Version, lastLine, Step::BoardReady, true, false,
         goesOn},
        {"OK: the next line", K::Ok, line, Step::Nothing, true, true, goesOn},
        {"OK to the last line: no end", K::Ok, lastLine, Step::LastLineOk, false, false, goesOn},
        {"ERROR to a line", K::Error, line, Step::ShowRefusal, true, false, refused},
        {"ERROR to a command", K::Error, idle, Step::ShowRefusal, true, false, goesOn},
        {"FORMAT to a line", K::Format, line, Step::ClearProgress, true, false, refused},
        {"DOWNLOAD: verify begins", K::Download, lastLine, Step::StartVerify, true, true, goesOn},
        {"DOWNLOAD, verified whole", K::Download, verifiedWhole, Step::EndVerified, true, false,
         JobResult::Outcome::Verified},
        {"DOWNLOAD, verify out of step", K::Download, verify, Step::EndNotVerified, true, false,
         JobResult::Outcome::NotVerified},
        {"no keyword: the wait goes on", K::None, line, Step::Nothing, false, false, goesOn},
    };
    for (const auto &c : cases) {
        const ReplyAction action = ReplyAction::onReply(c.keyword, c.situation);
        QVERIFY2(action.step == c.step && action.stopReplyWatch == c.stopsWatch &&
                     action.sendNextLine == c.sendsLine && action.jobEnd == c.jobEnd,
                 c.name);
    }
}

QTEST_GUILESS_MAIN(TestReplyAction)
#include "tst_replyaction.moc"
