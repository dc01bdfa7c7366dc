#include "shared/standardstreams.h"
#include "window/helpversion.h"
#include "window/startup.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    guardStandardStreams();
    nameApplication();
    // Before QApplication: --help and --version need no display.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    if (const QString text = helpOrVersionText(arguments); !text.isEmpty()) {
        std::fputs(qPrintable(text), stdout);
        return 0;
    }
    QApplication app(argc, argv);
    const std::unique_ptr<MainWindow> window = showMainWindow();
    if (!window)
        return 1;
    return QApplication::exec();
}
