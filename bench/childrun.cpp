#include "childrun.h"

#include <QElapsedTimer>

#include <cerrno>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

double cpuSecondsOf(const rusage &usage)
{
    const auto seconds = [](const timeval &time) {
        return double(time.tv_sec) + time.tv_usec / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

const ChildRun::Line *ChildRun::find(const QByteArray &prefix) const
{
    for (const Line &line : lines) {
        if (line.text.startsWith(prefix))
            return &line;
    }
    return nullptr;
}

double ChildRun::value(const QByteArray &key) const
{
    const Line *line = find(key + '=');
    return line ? line->text.mid(key.size() + 1).toDouble() : -1;
}

ChildRun runChild(const QString &program, const QStringList &arguments)
{
    ChildRun run;
    int out[2];
    if (::pipe(out) != 0)
        return run;
    QList<QByteArray> texts{program.toLocal8Bit()};
    for (const QString &argument : arguments)
        texts << argument.toLocal8Bit();
    QList<char *> argv;
    for (QByteArray &text : texts)
        argv << text.data();
    argv << nullptr;

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    QElapsedTimer clock;
    clock.start();
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    if (spawned != 0) {
        ::close(out[0]);
        return run;
    }

    // Lines are stamped as they come, so the child's output is its clock.
    QByteArray pending;
    char chunk[4096];
    for (;;) {
        const ssize_t got = ::read(out[0], chunk, sizeof chunk);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        const double at = double(clock.nsecsElapsed()) / 1e9;
        pending.append(chunk, got);
        for (qsizetype end = pending.indexOf('\n'); end >= 0; end = pending.indexOf('\n')) {
            run.lines.append({at, pending.left(end)});
            pending.remove(0, end + 1);
        }
    }
    ::close(out[0]);

    int status = 0;
    rusage usage{};
    while (::wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    run.wallSeconds = double(clock.nsecsElapsed()) / 1e9;
    run.cpuSeconds = cpuSecondsOf(usage);
    run.peakRssMiB = double(usage.ru_maxrss) / 1024.0; // kilobytes on Linux
    if (WIFEXITED(status))
        run.exitCode = WEXITSTATUS(status);
    return run;
}
