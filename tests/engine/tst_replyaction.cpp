#include "engine/replyaction.h"

#include <QTest>

// Every keyword against the states that change what it calls for.
class TestReplyAction : public QObject {
    Q_OBJECT
private slots:
    void aReply_data();
    void aReply();
};

using Step = ReplyAction::Step;
using Outcome = JobResult::Outcome;
using Situation = ReplyAction::Situation;
Q_DECLARE_METATYPE(Situation)
Q_DECLARE_METATYPE(std::optional<Outcome>)

void TestReplyAction::aReply_data()
{
    QTest::addColumn<ReplyKeyword>("keyword");
    QTest::addColumn<Situation>("situation");
    QTest::addColumn<Step>("step");
    QTest::addColumn<bool>("stopsWatch");
    QTest::addColumn<bool>("sendsLine");
    QTest::addColumn<std::optional<Outcome>>("jobEnd");
    const Situation idle;
    const Situation line{.answersLine = true, .downloadUnderWay = true};
    const Situation lastLine{
        .answersLine = true, .downloadUnderWay = true, .lastLineAwaited = true};
    const Situation verify{.answersLine = true, .verifying = true, .downloadUnderWay = true};
    Situation verifiedWhole = verify;
    verifiedWhole.wholeImageVerified = true;
    const std::optional<Outcome> none;

    QTest::newRow("VER= to the probe")
        << ReplyKeyword::Version << idle << Step::BoardReady << true << false << none;
    QTest::newRow("VER= in a download: the next line")
        << ReplyKeyword::Version << line << Step::BoardReady << true << true << none;
    QTest::newRow("VER= with the last line out: nothing more")
        << ReplyKeyword::Version << lastLine << Step::BoardReady << true << false << none;
    QTest::newRow("OK: the next line")
        << ReplyKeyword::Ok << line << Step::Nothing << true << true << none;
    QTest::newRow("OK to the last line: no end, the watch runs on")
        << ReplyKeyword::Ok << lastLine << Step::LastLineOk << false << false << none;
    QTest::newRow("ERROR to a line ends the job")
        << ReplyKeyword::Error << line << Step::ShowRefusal << true << false
        << std::optional(Outcome::Refused);
    QTest::newRow("ERROR to a command shows, ends nothing")
        << ReplyKeyword::Error << idle << Step::ShowRefusal << true << false << none;
    QTest::newRow("FORMAT to a line ends the job")
        << ReplyKeyword::Format << line << Step::ClearProgress << true << false
        << std::optional(Outcome::Refused);
    QTest::newRow("DOWNLOAD: the verify pass begins")
        << ReplyKeyword::Download << lastLine << Step::StartVerify << true << true << none;
    QTest::newRow("DOWNLOAD after every verify line in step")
        << ReplyKeyword::Download << verifiedWhole << Step::EndVerified << true << false
        << std::optional(Outcome::Verified);
    QTest::newRow("DOWNLOAD with verify lines out of step")
        << ReplyKeyword::Download << verify << Step::EndNotVerified << true << false
        << std::optional(Outcome::NotVerified);
    QTest::newRow("no keyword: nothing, the wait goes on")
        << ReplyKeyword::None << line << Step::Nothing << false << false << none;
}

void TestReplyAction::aReply()
{
    QFETCH(ReplyKeyword, keyword);
    QFETCH(Situation, situation);
    QFETCH(Step, step);
    QFETCH(bool, stopsWatch);
    QFETCH(bool, sendsLine);
    QFETCH(std::optional<Outcome>, jobEnd);
    const ReplyAction action = ReplyAction::onReply(keyword, situation);
    QCOMPARE(action.step, step);
    QCOMPARE(action.stopReplyWatch, stopsWatch);
    QCOMPARE(action.sendNextLine, sendsLine);
    QCOMPARE(action.jobEnd, jobEnd);
}

QTEST_GUILESS_MAIN(TestReplyAction)
#include "tst_replyaction.moc"
