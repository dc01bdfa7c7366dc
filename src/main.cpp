#include "window/startup.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const std::unique_ptr<frmSerial> window = showMainWindow();
    if (!window)
        return 1;
    return QApplication::exec();
}
