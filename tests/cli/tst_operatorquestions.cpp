#include "cli/operatorquestions.h"

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
    void type(const QByteArray &text)
    {
        QVERIFY(::write(m_pipe[1], text.data(), size_t(text.size())) == text.size());
    }
    QString prompts(); // everything written to the operator so far
    int m_pipe[2] = {-1, -1};
    std::FILE *m_prompts = nullptr;
};

void TestOperatorQuestions::init()
{
    QVERIFY(::pipe(m_pipe) == 0);
    m_prompts = std::tmpfile();
    QVERIFY(m_prompts);
}

void TestOperatorQuestions::cleanup()
{
    for (int &end : m_pipe) {
        if (end >= 0)
            ::close(end);
        end = -1;
    }
    std::fclose(m_prompts);
}

QString TestOperatorQuestions::prompts()
{
    std::fflush(m_prompts);
    QFile file;
    if (!file.open(::dup(fileno(m_prompts)), QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
        return {};
    file.seek(0);
    return QString::fromUtf8(file.readAll());
}

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
    QTest::addColumn<QString>("first");        // the first board's tags
    QTest::addColumn<QString>("second");
    QTest::newRow("each answer its own")
        << QByteArrayList{"SN-1\n", "L7\n", "SN-2\n", "L8\n"} << "lot=L7 serial=SN-1"
        << "lot=L8 serial=SN-2";
    QTest::newRow("an empty answer records none")
        << QByteArrayList{"\n", "L7\n", "SN-2\n", "L8\n"} << "lot=L7"
        << "lot=L8 serial=SN-2";
    QTest::newRow("a scanner's CR LF ends one line")
        << QByteArrayList{"SN-1\r\n", "L7\r\n", "SN-2\r", "L8\r"} << "lot=L7 serial=SN-1"
        << "lot=L8 serial=SN-2";
    QTest::newRow("blanks around an answer are not kept")
        << QByteArrayList{" SN 1\t\n", "L7 \n", "SN-2\n", "L8\n"} << "lot=L7 serial=SN 1"
        << "lot=L8 serial=SN-2";
}

void TestOperatorQuestions::answersGoToTheBoardAsked()
{
    QFETCH(QByteArrayList, typed);
    QFETCH(QString, first);
    QFETCH(QString, second);
    OperatorQuestions questions({"serial", "lot"}, m_pipe[0], m_prompts);
    QStringList answered;
    questions.ask("COM1", "1", [&](const RecordTags &tags) { answered << tagsText(tags); });
    questions.ask("COM2", "scan", [&](const RecordTags &tags) { answered << tagsText(tags); });
    const QStringList asked{"COM1 board 1: serial? ", "COM1 board 1: lot? ",
                            "COM2 board scan: serial? ", "COM2 board scan: lot? "};
    for (int answer = 0; answer < typed.size(); ++answer) {
        // The next question only once the one before is answered.
        QTRY_COMPARE(prompts(), asked.mid(0, answer + 1).join(QString()));
        type(typed[answer]);
    }
    QTRY_COMPARE(answered.size(), 2);
    QCOMPARE(answered, QStringList({first, second}));
}

void TestOperatorQuestions::aWithdrawnBoardGivesWayToTheNext()
{
    OperatorQuestions questions({"serial"}, m_pipe[0], m_prompts);
    QSignalSpy waiting(&questions, &OperatorQuestions::waitingChanged);
    QStringList answered;
    const int first = questions.ask("COM1", "1", [&](const RecordTags &) { answered << "first"; });
    questions.ask("COM2", "1", [&](const RecordTags &tags) { answered << tagsText(tags); });
    QCOMPARE(prompts(), QStringLiteral("COM1 board 1: serial? "));
    questions.withdraw(first);
    QTRY_COMPARE(prompts(), QStringLiteral("COM1 board 1: serial? \nCOM2 board 1: serial? "));
    type("SN-2\n");
    QTRY_COMPARE(answered, QStringList{"serial=SN-2"});
    // Nothing is drawn over a question, and the rest may be once it is answered.
    QCOMPARE(waiting.first().first().toBool(), true);
    QCOMPARE(waiting.last().first().toBool(), false);

    // A line typed with no question waiting is nobody's answer.
    type("SN-3\n");
    QTRY_VERIFY(prompts().endsWith("no question was asked: \"SN-3\" is not taken\n"));
    questions.ask("COM1", "2", [&](const RecordTags &tags) { answered << tagsText(tags); });
    QCoreApplication::processEvents();
    QVERIFY(prompts().endsWith("COM1 board 2: serial? "));
    QCOMPARE(answered.size(), 1);
}

void TestOperatorQuestions::endOfInputWhileAQuestionWaits()
{
    OperatorQuestions questions({"serial"}, m_pipe[0], m_prompts);
    QSignalSpy closed(&questions, &OperatorQuestions::inputClosed);
    bool answered = false;
    questions.ask("COM1", "1", [&](const RecordTags &) { answered = true; });
    type("SN-"); // never ended
    ::close(m_pipe[1]);
    m_pipe[1] = -1;
    QTRY_COMPARE(closed.size(), 1);
    QCOMPARE(closed.first().first().toString(), QStringLiteral("COM1 board 1: serial?"));
    QVERIFY(!answered);
}

QTEST_GUILESS_MAIN(TestOperatorQuestions)
#include "tst_operatorquestions.moc"
