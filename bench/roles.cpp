#include "roles.h"

#include "childrun.h"
#include "engine/jobpolicy.h"
#include "engine/timer.h"
#include "fakes/testwindow.h"
#include "image/hexfile.h"
#include "link/portname.h"
#include "link/rtuframe.h"
#include "protocol/commands.h"
#include "window/startup.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QSerialPort>
#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr int ReadyTimeoutMs = 10000;

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return cpuSecondsOf(usage);
}

void report(const char *key, double value)
{
    std::printf("%s=%.6f\n", key, value);
    std::fflush(stdout);
}

// Runs the event loop until the engine sends the event, or until timeoutMs;
// says whether it came.
template <typename... Args>
bool waitFor(Engine &engine, void (Engine::*event)(Args...), int timeoutMs)
{
    bool seen = false;
    QEventLoop loop;
    QObject::connect(&engine, event, &loop, [&] {
        seen = true;
        loop.quit();
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    loop.exec();
    return seen;
}

// A window shown offscreen, on the real port, its board found.
struct ShownWindow : WindowUnderTest {
    ShownWindow(const QString &port, Engine::Pace pace) : WindowUnderTest(nullptr)
    {
        rtu()->setChecked(true);
        box("portBox")->setText(port);
        box("addressBox")->setText(QStringLiteral("1"));
        engine.setPace(pace);
        window.show();
        button("openPortButton")->click();
    }
    bool ready() { return waitFor(engine, &Engine::boardFound, ReadyTimeoutMs); }
};

} // namespace

int runWindowJob(const QString &port, Engine::Pace pace, const QString &file)
{
    ShownWindow shown(port, pace);
    if (!shown.ready())
        return 2;
    // Timed from the first line out, as the bare loop is.
    int frames = 0;
    QElapsedTimer clock;
    QObject::connect(&shown.engine, &Engine::frameWritten, [&frames, &clock] {
        if (frames++ == 0)
            clock.start();
    });
    const double cpuBefore = cpuSeconds();
    QElapsedTimer loading;
    loading.start();
    shown.dialog->choice = file;
    shown.button("downloadButton")->click(); // loads the file, then the first line goes out
    report("load_ms", double(loading.nsecsElapsed()) / 1e6);
    const int lines = int(HexFile::read(file).size());
    bool verified = false;
    QObject::connect(&shown.engine, &Engine::jobEnded,
                     [&verified](const JobResult &job) { verified = job.verified(); });
    waitFor(shown.engine, &Engine::jobEnded, 30000 + lines * 200);
    report("job_seconds", double(clock.nsecsElapsed()) / 1e9);
    report("job_cpu_seconds", cpuSeconds() - cpuBefore);
    report("frames", frames);
    return verified ? 0 : 3;
}

int runWindowIdle(const QString &port, Engine::Pace pace, int seconds)
{
    ShownWindow shown(port, pace);
    if (!shown.ready())
        return 2;
    const double cpuBefore = cpuSeconds();
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
    loop.exec();
    report("idle_cpu_percent", 100 * (cpuSeconds() - cpuBefore) / (double(clock.elapsed()) / 1000));
    return 0;
}

int runBareLoop(const QString &port, const QString &file)
{
    QList<QByteArray> frames;
    const QList<QByteArray> lines = HexFile::read(file);
    for (const Command::LineForm form : {Command::LineForm::Download, Command::LineForm::Verify}) {
        for (const QByteArray &line : lines)
            frames << rtuFrame(1, Command::line(line, form));
    }
    QSerialPort serial(deviceForPortNumber(portNumberOfName(port).value_or(0)));
    serial.setBaudRate(115200);
    if (!serial.open(QIODevice::ReadWrite))
        return 2;
    QTimer poll;
    poll.setSingleShot(true);
    poll.setTimerType(Qt::PreciseTimer);
    poll.setInterval(20);
    qsizetype sent = 0;
    QEventLoop loop;
    const auto writeNext = [&] {
        if (sent == frames.size())
            return loop.quit();
        serial.write(frames[sent++]);
        poll.start();
    };
    QObject::connect(&poll, &QTimer::timeout, [&] {
        serial.readAll(); // the replies, as a poll takes them
        writeNext();
    });
    QElapsedTimer clock;
    clock.start();
    const double cpuBefore = cpuSeconds();
    writeNext();
    loop.exec();
    report("job_seconds", double(clock.nsecsElapsed()) / 1e9);
    report("job_cpu_seconds", cpuSeconds() - cpuBefore);
    report("frames", double(frames.size()));
    return 0;
}

int runPollLateness(int rounds)
{
    int pipeEnds[2];
    if (::pipe(pipeEnds) != 0)
        return 2;
    QSocketNotifier reply(pipeEnds[0], QSocketNotifier::Read);
    QObject::connect(&reply, &QSocketNotifier::activated, [&] {
        char byte = 0;
        if (::read(pipeEnds[0], &byte, 1) != 1)
            std::perror("bootline-bench: reading the reply pipe");
    });
    constexpr int PollMs = JobTiming::PollEveryMs;
    Timer poll(PollMs, nullptr, Timer::Accuracy::OnTime);
    poll.setSingleShot(true);
    QElapsedTimer sinceStart;
    QList<double> latenessMs;
    QEventLoop loop;
    QObject::connect(&poll, &Timer::timeout, [&] {
        latenessMs << sinceStart.nsecsElapsed() / 1e6 - PollMs;
        loop.quit();
    });
    QTimer guard; // against a tick that never comes
    guard.setSingleShot(true);
    guard.setInterval(1000);
    QObject::connect(&guard, &QTimer::timeout, &loop, &QEventLoop::quit);
    for (int round = 0; round < rounds; ++round) {
        sinceStart.start();
        poll.start();
        std::thread board([&] {
            std::this_thread::sleep_for(std::chrono::microseconds(500));
            if (::write(pipeEnds[1], "k", 1) != 1)
                std::perror("bootline-bench: writing the reply pipe");
        });
        guard.start();
        loop.exec();
        board.join();
    }
    ::close(pipeEnds[0]);
    ::close(pipeEnds[1]);
    if (latenessMs.size() != rounds)
        return 3; // a tick never came
    std::sort(latenessMs.begin(), latenessMs.end());
    report("lateness_median_ms", latenessMs.at(latenessMs.size() / 2));
    report("lateness_earliest_ms", latenessMs.first());
    return 0;
}

int runFirstPaint(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const std::unique_ptr<MainWindow> window = showMainWindow();
    if (!window)
        return 1;
    // Said once the paint is done, not as it starts.
    class FirstPaint : public QObject {
    public:
        bool eventFilter(QObject *, QEvent *event) override
        {
            if (event->type() == QEvent::Paint && !m_seen) {
                m_seen = true;
                QTimer::singleShot(0, [] {
                    std::puts("painted");
                    std::fflush(stdout);
                    QCoreApplication::exit(0);
                });
            }
            return false;
        }

    private:
        bool m_seen = false;
    } firstPaint;
    window->installEventFilter(&firstPaint);
    return QApplication::exec();
}
