#include "bootline-sim/board.h"
#include "fakes/testengine.h"
#include "link/rtuframe.h"
#include "support/hexrecords.h"

#include <QTest>

// Every reply counts once. A whole job on the engine against the simulator's
// loader; at one line of one pass the board's answer is any reply, and a
// stray frame (an echo, a copy, a second board) comes in the same read, in
// front of it or behind it. Whatever comes, a job that ends verified ends so
// on a board that holds the whole file and never refused a line; any other
// job fails where the operator sees it.
namespace {

constexpr quint8 Address = 5;
const QByteArray Version = "VER=1.0 SIM";
const QList<QByteArray> File = hexFileRecords(4);
constexpr qint16 MiddleLine = 2;

enum class Face { Window, Cli };

struct Case {
    bool rtu;
    Face face;
    Pass pass;
    QByteArray answer; // what the board says to the line; "garbage": noise instead
    QByteArray stray;  // empty: none
    bool strayBehind;
};

QByteArray framed(bool rtu, const QByteArray &text)
{
    return rtu ? rtuFrame(Address, "B" + text) : text + "\r\n";
}

// The command text in a frame the engine wrote.
QByteArray commandIn(bool rtu, const QByteArray &frame)
{
    return rtu ? frame.mid(1, frame.size() - 5) : frame.chopped(2);
}

// What the board holds and says, as the job sees it end.
struct BoardTruth {
    bool holdsTheFileVerified = false;
    bool refused = false;
};

// Runs the job: the board answers each frame as it goes out, the chosen line
// as the case says; when nothing more goes out, the wait for a reply runs out.
class JobRun {
public:
    explicit JobRun(const Case &c) : m_case(c)
    {
        if (c.face == Face::Cli)
            t.engine.setPolicy(JobPolicy::unattended(3000, 1));
        t.engine.setRtu(c.rtu);
        t.engine.setAddress(QString::number(Address));
        QObject::connect(&t.engine, &Engine::jobEnded, &t.engine, [this](const JobResult &job) {
            ended = job;
            truth = {m_board.lastVerifyPass().whole() && m_board.image() == File, m_refused};
            barAtTheEnd = t.panel.progressText();
        });
        QObject::connect(&t.engine, &Engine::boardFound, &t.engine,
                         [this] { t.engine.startDownload(File); });
        t.engine.openPort();
        t.probeInterval();
        int overdue = 0; // an answer held for a line sent twice waits two timeouts more
        for (int frame = 0; !ended && overdue < 5;) {
            if (frame < t.port->writes.size()) {
                answer(t.port->writes[frame++]);
                continue;
            }
            t.time.advance(JobTiming::ReplyTimeoutMs);
            ++overdue;
        }
    }

    TestEngine t;
    std::optional<JobResult> ended;
    BoardTruth truth;
    QString barAtTheEnd;

private:
    void answer(const QByteArray &frame)
    {
        const QByteArray command = commandIn(m_case.rtu, frame);
        const QByteArray form = m_case.pass == Pass::Download ? "BOOT:" : "BOOT#";
        const qint16 line = m_case.answer == "DOWNLOAD" ? qint16(File.size()) : MiddleLine;
        const bool chosen = !m_done && command.startsWith(form) &&
                            command.mid(4) == QByteArray(File[line - 1]).replace(':', form[4]);
        if (!chosen) {
            reply(m_board.handle(command).value_or(QByteArray()));
            return;
        }
        m_done = true;
        QByteArray bytes;
        if (m_case.answer == "VER=") {
            m_board = Board(Address, Version); // restarted: the image is gone
            bytes = framed(m_case.rtu, Version);
        } else {
            const std::optional<QByteArray> natural = m_board.handle(command);
            if (m_case.answer == "garbage")
                bytes = m_case.rtu ? QByteArray::fromHex("00FF00A55A") : "\x01\x7F~\r\n";
            else
                bytes = framed(m_case.rtu, m_case.answer == natural ? *natural : m_case.answer);
            m_refused = m_case.answer == "ERROR" || m_case.answer == "FORMAT";
        }
        if (!m_case.stray.isEmpty()) {
            const QByteArray stray = framed(m_case.rtu, m_case.stray);
            bytes = m_case.strayBehind ? bytes + stray : stray + bytes;
        }
        t.arrive(bytes);
    }

    void reply(const QByteArray &text)
    {
        if (!text.isEmpty())
            t.arrive(framed(m_case.rtu, text));
        m_refused = m_refused || text == "ERROR" || text == "FORMAT";
    }

    const Case m_case;
    Board m_board{Address, Version};
    bool m_done = false;
    bool m_refused = false;
};

} // namespace

Q_DECLARE_METATYPE(Case)

class TestReplyAccounting : public QObject {
    Q_OBJECT
private slots:
    void aJobEndsVerifiedOnlyWhenItIs_data();
    void aJobEndsVerifiedOnlyWhenItIs();
};

void TestReplyAccounting::aJobEndsVerifiedOnlyWhenItIs_data()
{
    QTest::addColumn<Case>("job");
    const QList<std::pair<QByteArray, bool>> strays{
        {"", false},        {"OK", false},    {"OK", true},   {"DOWNLOAD", false},
        {"DOWNLOAD", true}, {Version, false}, {Version, true}};
    for (const bool rtu : {true, false}) {
        for (const Face face : {Face::Window, Face::Cli}) {
            for (const Pass pass : {Pass::Download, Pass::Verify}) {
                for (const QByteArray answer :
                     {"OK", "ERROR", "DOWNLOAD", "FORMAT", "VER=", "garbage"}) {
                    for (const auto &[stray, behind] : strays) {
                        QTest::addRow("%s %s %s: %s, %s%s", rtu ? "RTU" : "plain",
                                      face == Face::Window ? "window" : "cli",
                                      pass == Pass::Download ? "download" : "verify",
                                      answer.constData(),
                                      stray.isEmpty() ? "alone" : stray.constData(),
                                      stray.isEmpty() ? ""
                                      : behind        ? " behind"
                                                      : " in front")
                            << Case{rtu, face, pass, answer, stray, behind};
                    }
                }
            }
        }
    }
}

void TestReplyAccounting::aJobEndsVerifiedOnlyWhenItIs()
{
    QFETCH(Case, job);
    const JobRun run(job);
    const bool verified = run.ended && run.ended->verified();
    if (verified) {
        QVERIFY2(run.truth.holdsTheFileVerified, "done, and the board does not hold the file");
        QVERIFY2(!run.truth.refused, "done, and the board refused a line");
    }
    // A sound board that said the right thing alone: done.
    const bool sound = job.answer == "OK" || job.answer == "DOWNLOAD";
    if (sound && job.stray.isEmpty())
        QVERIFY(verified);
    // A copy of an answer read with the real one answers nothing: the job fails.
    if (sound && (job.stray == "OK" || job.stray == "DOWNLOAD"))
        QVERIFY2(!verified, "a surplus reply was taken for an answer");
    // Failing, the job fails loudly: an end of its own, or a stall the window shows.
    if (!run.ended) {
        QCOMPARE(job.face, Face::Window);
        QVERIFY2(run.t.panel.answer().startsWith("No reply to"), qPrintable(run.t.panel.answer()));
    } else if (job.face == Face::Window) {
        QCOMPARE(run.barAtTheEnd == QStringLiteral("END"), verified);
    }
}

QTEST_GUILESS_MAIN(TestReplyAccounting)
#include "tst_replyaccounting.moc"
