// Many whole jobs against bootline-sim with every fault it can make mixed
// in, an RTU board and a plain one side by side, and a table of what came of
// them. Run by `make soak`; too long for `make test`.

#include "e2e/simulatedboard.h"
#include "fakes/testwindow.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cstdio>
#include <memory>

namespace {

const QString Blink = QStringLiteral(BOOTLINE_SOURCE_DIR "/examples/blink.hex");
constexpr int LinesPerJob = 2 * 43; // blink.hex, downloaded and verified
constexpr int JobsPerOpen = 10;     // then the port is closed and opened again, probe and all
constexpr int QuietLimitMs = 10000; // no progress for this long, nothing shown: a silent stall

QStringList faultsFor(bool rtu, int seed)
{
    QStringList faults{"--quiet",    "--seed",     QString::number(seed),
                       "--garbage",  "random:3",   "--split",
                       "random:5",   "--split-at", "random",
                       "--trailing", "random:3",   "--garbage-run",
                       "random:0.3", "--late",     "random:1",
                       "--late-ms",  "1500",       "--silent",
                       "random:0.03"};
    if (rtu)
        faults << "--bad-crc"
               << "random:3";
    else
        faults << "--plain";
    return faults;
}

// One board and one window, going through job after job.
class Lane {
public:
    Lane(const QString &name, bool rtu, int com, int seed)
        : name(name), m_rtu(rtu), m_com(com),
          m_board(std::make_unique<SimulatedBoard>(faultsFor(rtu, seed), com)),
          m_window(std::make_unique<WindowUnderTest>(nullptr))
    {
        m_window->rtu()->setChecked(rtu);
        m_window->box("txt")->setText(QStringLiteral("COM%1").arg(com));
        m_window->box("Text1")->setText(QStringLiteral("1"));
    }

    bool isReady() const { return m_board->isReady(); }

    // Called every few milliseconds: acts as a patient operator would.
    void look(int linesWanted)
    {
        WindowUnderTest &t = *m_window;
        if (done)
            return;
        if (!t.button("BTNCloseCom")->isEnabled()) {
            t.button("BTNOpenCom")->click();
            m_jobStarted = false;
            m_sinceProgress.start();
            return;
        }
        if (!m_jobStarted) {
            if (t.label("Label2")->text() != "READY")
                return notice(); // the probe is still at it
            start();
            return;
        }
        const QString answer = t.box("Text8")->text();
        const QString progress = t.progress()->text();
        if (answer.startsWith("No reply to") && answer != m_lastAnswer) {
            ++stallsShown; // a dropped reply: start the file again, as the README says
            m_lastAnswer = answer;
            start();
            return;
        }
        m_lastAnswer = answer;
        if (progress == "END") {
            ++jobs;
            if (linesEnded() >= linesWanted) {
                done = true;
                return;
            }
            if (jobs % JobsPerOpen == 0) {
                t.button("BTNCloseCom")->click();
                return;
            }
            start();
            return;
        }
        if (progress == "ERROR" || progress.isEmpty()) {
            ++failures; // the board refused a line: never on a sound line
            start();
            return;
        }
        notice();
    }

    int linesEnded() const { return jobs * LinesPerJob; } // in jobs that reached END

    // Stops the board and reads its summary.
    void finish()
    {
        m_board->stop();
        const QString output = m_board->output();
        const auto number = [&](const char *pattern) {
            const QRegularExpressionMatch match = QRegularExpression(pattern).match(output);
            return match.hasMatch() ? match.captured(1).toInt() : -1;
        };
        boardReceived = number("lines received (\\d+)");
        boardVerified = number("lines verified (\\d+)");
        mismatches = number("mismatches (\\d+)");
        dropped = number("replies to lines dropped (\\d+)");
    }

    const QString name;
    int jobs = 0;
    int stallsShown = 0;
    int silentStalls = 0;
    int failures = 0;
    int boardReceived = -1;
    int boardVerified = -1;
    int mismatches = -1;
    int dropped = -1;
    bool done = false;

private:
    void start()
    {
        m_window->dialog->choice = Blink;
        m_window->button("Command3")->click();
        m_jobStarted = true;
        m_lastPosition = -1;
        m_sinceProgress.start();
    }

    // Progress, or a silent stall when there has been none for too long.
    void notice()
    {
        const int position =
            m_window->progress()->position() + 10000 * m_window->engine.state.VerifyMode;
        if (position != m_lastPosition) {
            m_lastPosition = position;
            m_sinceProgress.start();
        } else if (m_sinceProgress.elapsed() > QuietLimitMs) {
            ++silentStalls;
            m_window->button("BTNCloseCom")->click();
        }
    }

    bool m_rtu;
    int m_com;
    std::unique_ptr<SimulatedBoard> m_board;
    std::unique_ptr<WindowUnderTest> m_window;
    bool m_jobStarted = false;
    int m_lastPosition = -1;
    QString m_lastAnswer;
    QElapsedTimer m_sinceProgress;
};

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Soaks Bootline in whole jobs on a faulty line."));
    parser.addHelpOption();
    parser.addOptions({
        {QStringLiteral("lines"), QStringLiteral("Lines to send in all (default 20000)."),
         QStringLiteral("n"), QStringLiteral("20000")},
        {QStringLiteral("seed"), QStringLiteral("Seed for the faults (default 1)."),
         QStringLiteral("n"), QStringLiteral("1")},
    });
    parser.process(app);
    const int linesWanted = parser.value(QStringLiteral("lines")).toInt();
    const int seed = parser.value(QStringLiteral("seed")).toInt();

    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    std::vector<std::unique_ptr<Lane>> lanes;
    lanes.push_back(std::make_unique<Lane>(QStringLiteral("RTU"), true, 3, seed));
    lanes.push_back(std::make_unique<Lane>(QStringLiteral("plain"), false, 4, seed + 1));
    for (const auto &lane : lanes) {
        if (!lane->isReady()) {
            std::fprintf(stderr, "soak: the simulated board for %s did not start\n",
                         qPrintable(lane->name));
            return 1;
        }
    }

    QElapsedTimer clock;
    clock.start();
    QTimer operatorEye;
    QObject::connect(&operatorEye, &QTimer::timeout, [&] {
        bool allDone = true;
        for (const auto &lane : lanes) {
            lane->look(linesWanted / int(lanes.size()));
            allDone = allDone && lane->done;
        }
        if (allDone)
            app.quit();
    });
    operatorEye.start(5);
    app.exec();
    const double seconds = clock.elapsed() / 1000.0;

    std::printf("| lane | jobs | lines sent | lines verified | mismatches | replies dropped | "
                "stalls shown | silent stalls | refused lines | seconds |\n"
                "|---|---|---|---|---|---|---|---|---|---|\n");
    bool sound = true;
    for (const auto &lane : lanes) {
        lane->finish();
        std::printf("| %s | %d | %d | %d | %d | %d | %d | %d | %d | %.0f |\n",
                    qPrintable(lane->name), lane->jobs, lane->boardReceived + lane->boardVerified,
                    lane->boardVerified, lane->mismatches, lane->dropped, lane->stallsShown,
                    lane->silentStalls, lane->failures, seconds);
        sound = sound && lane->mismatches == 0 && lane->silentStalls == 0 && lane->failures == 0 &&
                lane->stallsShown == lane->dropped;
    }
    std::printf("%s\n", sound ? "soak: sound" : "soak: FAULTS FOUND");
    return sound ? 0 : 1;
}
