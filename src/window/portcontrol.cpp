#include "protocol/commands.h"
#include "shared/counter.h"
#include "shared/runtimeerror.h"
#include "window/colors.h"
#include "window/frmserial.h"
#include "window/lamp.h"
#include "window/portname.h"
#include "window/progressbar.h"
#include "window/timer.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

void frmSerial::openPort()
{
    state.ScanMode = Text1->text().isEmpty() ? 1 : 0;
    try {
        const std::optional<qint16> PortNumber = portNumberOfName(txt->text());
        if (!PortNumber)
            throw RuntimeError(RuntimeError::TypeMismatch,
                               QStringLiteral("Type mismatch: no port number"));
        MSComm1->setPortNumber(*PortNumber);
        MSComm1->setOpen(true);
        Pic->show();
        Colour::setColour(txt, QPalette::Base, Colour::Green);
        state.DownloadRequested = 0;
        state.ProbeCount = 1;
        if (Text1->text() != QStringLiteral("0")) // only a lone 0 keeps the probe off
            Timer3->setEnabled(true);
        Command1->setText(state.ScanMode == 1 ? QStringLiteral("Next")
                                              : QStringLiteral("Set Addr"));
        state.DownloadActive = 0;
        Label2->setText(QStringLiteral("Ready"));
        vbalProgressBar1->setPosition(0);
        vbalProgressBar1->setBarColor(Colour::toQColor(Colour::Navy));
        SwitchTags();
        state.forgetReceived();
        TMRComm->setEnabled(true);
    } catch (const std::exception &) {
        messageBox->plain(
            txt->text() +
            QStringLiteral(" Not available! Use Serial settings to setup your ports."));
        Label2->setText(QStringLiteral("Not present board"));
        Timer3->setEnabled(false);
    }
}

void frmSerial::closePort()
{
    Timer3->setEnabled(false);
    TMRComm->setEnabled(false);
    ReplyWatch->setEnabled(false);
    vbalProgressBar1->setText(QStringLiteral("NO FILE"));
    Label2->setText(QStringLiteral("Closed"));
    Text8->clear();
    state.VerifyMode = 0;
    state.DownloadActive = 0;
    MSComm1->setOpen(false);
    Colour::setColour(txt, QPalette::Base, Colour::WindowBackground);
    Pic->hide();
    SwitchTags();
    // The HEX file is never left open: the loader closes it on every path.
}

void frmSerial::portLost()
{
    closePort();
    messageBox->plain(QStringLiteral("The port %1 was lost: the device went away. "
                                     "Check the cable or adapter, then press Open Port.")
                          .arg(txt->text()));
}

void frmSerial::probeTick()
{
    // A number shows with a blank in front, where a minus sign would go.
    Label2->setText(QStringLiteral("WAIT Connect: ") + u' ' + QString::number(state.ProbeCount));
    if (state.ProbeCount == 128) {
        Timer3->setEnabled(false); // before the box: no further tick while it is up
        messageBox->plain(txt->text() + QStringLiteral(" Not connect !"));
        Label2->setText(QStringLiteral("Not present board"));
        state.ProbeCount = 1;
        return;
    }
    if (state.ScanMode == 1)
        Text1->setText(QString::number(state.ProbeCount)); // the address this probe goes to
    QByteArray probe = Command::Query;
    WriteCOM32(probe);
    increment(state.ProbeCount);
}
