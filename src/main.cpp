#include "window/frmserial.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Bootline"));
    QApplication::setApplicationVersion(QStringLiteral("1.4"));
    frmSerial window;
    window.show();
    return QApplication::exec();
}
