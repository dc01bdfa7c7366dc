#include "shared/standardstreams.h"
#include "window/startup.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    guardStandardStreams();
    QApplication app(argc, argv);
    const std::unique_ptr<frmSerial> window = showMainWindow();
    if (!window)
        return 1;
    return QApplication::exec();
}
