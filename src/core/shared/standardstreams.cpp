#include "shared/standardstreams.h"

#include <QCoreApplication>
#include <QtGlobal>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>
#endif

void guardStandardStreams()
{
#ifdef Q_OS_UNIX
    for (const int stream : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
        if (::fcntl(stream, F_GETFD) != -1 || errno != EBADF)
            continue;
        // open() takes the lowest free number, and the ones below this are open by now.
        const int opened = ::open("/dev/null", stream == STDIN_FILENO ? O_RDONLY : O_WRONLY);
        // Without /dev/null there is no safe place for our output, and no way left to say so.
        if (opened != stream)
            std::_Exit(EXIT_FAILURE);
    }
#endif
}

void printTo(std::FILE *stream, const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
}

void warnOnStderr(const QString &text)
{
    printTo(stderr, QCoreApplication::applicationName() + QStringLiteral(": ") + text + u'\n');
}
