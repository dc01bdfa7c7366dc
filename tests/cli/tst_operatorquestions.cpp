#include "cli/terminaldesk.h"
#include "line/operatorquestions.h"

#include <QCoreApplication>
#include <QFile>
#include <QSignalSpy>
#include <QTest>

#include <cstdio>
#include <unistd.h>

// The operator's answers on a pipe standing in for the terminal: one question
// at a time, each board's keys in turn, and the answers to the board asked.
class TestOperatorQuestions : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void answersGoToTheBoardAsked_data();
    void answersGoToTheBoardAsked();
    void aWithdrawnBoardGivesWayToTheNext();
    void endOfInputWhileAQuestionWaits();

private:
    void type(const QByteArray &text) { QVERIFY(::write(m_pipe[1], text, text.size()) > 0); }
    QString prompts(); // all that the operator was told so far
    int m_pipe[2] = {-1, -1};
    std::FILE *m_prompts = nullptr;
};

void TestOperatorQuestions::init()
{
    QVERIFY(::pipe(m_pipe) == 0);
    QVERIFY((m_prompts = std::tmpfile()));
}

void TestOperatorQuestions::cleanup()
{
    for (const int end : m_pipe)
        ::close(end);
    m_pipe[0] = m_pipe[1] = -1;
    std::fclose(m_prompts);
}

QString TestOperatorQuestions::prompts()
{
    QFile file;
    if (!file.open(::dup(fileno(m_prompts)), QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
        return {};
    file.seek(0);
    return QString::fromUtf8(file.readAll());
}

// The questions at a desk on the test's pipe, as bootline-cli puts them.
struct AtTheTerminal {
    TerminalDesk desk;
    OperatorQuestions questions;

    AtTheTerminal(const QStringList &keys, int input, std::FILE *prompts)
        : desk(input, prompts), questions(keys, desk)
    {
        desk.serve(questions);
    }
};

QString tagsText(const RecordTags &tags)
{
    QStringList each;
    for (auto tag = tags.cbegin(); tag != tags.cend(); ++tag)
        each << tag.key() + u'=' + tag.value();
    return each.join(u' ');
}

void TestOperatorQuestions::answersGoToTheBoardAsked_data()
{
    QTest::addColumn<QByteArrayList>("typed"); // after each question, in turn
    QTest::addColumn<QStringList>("tags");     // each board's
    QTest::newRow("each answer its own, blanks around left out")
        << QByteArrayList{" SN 1\t\n", "L7\n", "SN-2\n", "L8\n"}
        << QStringList{"lot=L7 serial=SN 1", "lot=L8 serial=SN-2"};
    QTest::newRow("an empty answer records none") << QByteArrayList{"\n", "L7\n", "SN-2\n", "L8\n"}
                                                  << QStringList{"lot=L7", "lot=L8 serial=SN-2"};
    QTest::newRow("a scanner's CR LF ends one line")
        << QByteArrayList{"SN-1\r\n", "L7\r\n", "SN-2\r", "L8\r"}
        << QStringList{"lot=L7 serial=SN-1", "lot=L8 serial=SN-2"};
}

void TestOperatorQuestions::answersGoToTheBoardAsked()
{
    QFETCH(QByteArrayList, typed);
    QFETCH(QStringList, tags);
    AtTheTerminal terminal({"serial", "lot"}, m_pipe[0], m_prompts);
    OperatorQuestions &questions = terminal.questions;
    QStringList answered;
    questions.ask("COM1", "1", [&](const RecordTags &given) { answered << tagsText(given); });
    questions.ask("COM2", "scan", [&](const RecordTags &given) { answered << tagsText(given); });
    const QStringList asked{"COM1 board 1: serial? ", "COM1 board 1: lot? ",
                            "COM2 board scan: serial? ", "COM2 board scan: lot? "};
    for (int answer = 0; answer < typed.size(); ++answer) {
        // The next question only once the one before is answered.
        QTRY_COMPARE(prompts(), asked.mid(0, answer + 1).join(QString()));
        type(typed[answer]);
    }
    QTRY_COMPARE(answered, tags);
}

void TestOperatorQuestions::aWithdrawnBoardGivesWayToTheNext()
{
    AtTheTerminal terminal({"serial"}, m_pipe[0], m_prompts);
    OperatorQuestions &questions = terminal.questions;
    QSignalSpy waiting(&questions, &OperatorQuestions::waitingChanged);
    QStringList answered;
    const auto keep = [&](const RecordTags &tags) { answered << tagsText(tags); };
    questions.withdraw(questions.ask("COM1", "1", keep));
    questions.ask("COM2", "1", keep);
    QTRY_COMPARE(prompts(), QStringLiteral("COM1 board 1: serial? \nCOM2 board 1: serial? "));
    type("SN-2\n");
    QTRY_COMPARE(answered, QStringList{"serial=SN-2"});
    // The report holds its lines while a question waits, and no longer.
    QCOMPARE(waiting.first().first().toBool(), true);
    QCOMPARE(waiting.last().first().toBool(), false);

    // A line typed with no question waiting is nobody's answer.
    type("SN-3\n");
    QTRY_VERIFY(prompts().endsWith("no question was asked: \"SN-3\" is not taken\n"));
    questions.ask("COM1", "2", keep);
    QCoreApplication::processEvents();
    QVERIFY(prompts().endsWith("COM1 board 2: serial? "));
    QCOMPARE(answered.size(), 1);
}

void TestOperatorQuestions::endOfInputWhileAQuestionWaits()
{
    AtTheTerminal terminal({"serial"}, m_pipe[0], m_prompts);
    OperatorQuestions &questions = terminal.questions;
    QSignalSpy closed(&questions, &OperatorQuestions::inputClosed);
    bool answered = false;
    questions.ask("COM1", "1", [&](const RecordTags &) { answered = true; });
    type("SN-"); // never ended
    ::close(std::exchange(m_pipe[1], -1));
    QTRY_COMPARE(closed.size(), 1);
    QCOMPARE(closed.first().first().toString(), QStringLiteral("COM1 board 1: serial?"));
    QVERIFY(!answered);
}

QTEST_GUILESS_MAIN(TestOperatorQuestions)
#include "tst_operatorquestions.moc"
