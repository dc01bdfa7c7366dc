#include "window/frmserial.h"

#include "shared/runtimeerror.h"
#include "window/filedialog.h"
#include "window/messagebox.h"
#include "window/qtserialport.h"
#include "window/timer.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QPushButton>

frmSerial::frmSerial(OutsideComponents components, QWidget *parent)
    : QWidget(parent), MSComm1(std::move(components.serialPort)),
      CommonDialog1(std::move(components.fileDialog)), messageBox(std::move(components.messageBox))
{
    if (!MSComm1)
        MSComm1 = std::make_unique<QtSerialPort>();
    if (!CommonDialog1)
        CommonDialog1 = std::make_unique<QtFileDialog>(this);
    if (!messageBox)
        messageBox = std::make_unique<QtMessageBox>(this);
    createControls();
    setKeyboardOrder();
    connectEvents();
}

frmSerial::~frmSerial() = default;

void frmSerial::connectEvents()
{
    connect(BTNOpenCom, &QPushButton::clicked, this, [this] { runEvent(&frmSerial::openPort); });
    connect(BTNCloseCom, &QPushButton::clicked, this, [this] { runEvent(&frmSerial::closePort); });
    connect(Command3, &QPushButton::clicked, this, [this] { runEvent(&frmSerial::loadHexFile); });
    connect(Command5, &QPushButton::clicked, this, [this] { runEvent(&frmSerial::sendNextLine); });
    connect(Command1, &QPushButton::clicked, this,
            [this] { runEvent(&frmSerial::setAddressOrScanNext); });
    connect(Command4, &QPushButton::clicked, this, [this] { runEvent(&frmSerial::queryBoard); });
    connect(Command6, &QPushButton::clicked, this,
            [this] { runEvent(&frmSerial::installFirmware); });
    connect(Timer3, &QTimer::timeout, this, [this] { runEvent(&frmSerial::probeTick); });
    connect(TMRComm, &QTimer::timeout, this, [this] { runEvent(&frmSerial::receivePollTick); });
    connect(ReplyWatch, &QTimer::timeout, this, [this] { runEvent(&frmSerial::replyOverdue); });
}

void frmSerial::runEvent(void (frmSerial::*procedure)())
{
    try {
        (this->*procedure)();
    } catch (const RuntimeError &error) {
        showError(error);
    } catch (const std::bad_alloc &) {
        showError(RuntimeError(RuntimeError::OutOfMemory, QStringLiteral("Out of memory.")));
    } catch (const std::exception &error) {
        showError(RuntimeError(
            RuntimeError::InternalError,
            QStringLiteral("Internal error: %1").arg(QString::fromLocal8Bit(error.what()))));
    }
}

void frmSerial::showError(const RuntimeError &error)
{
    messageBox->critical(QStringLiteral("Error#%1").arg(error.number()), error.description());
}

int frmSerial::Check1Value() const
{
    return Check1->isChecked() ? 1 : 0;
}

void frmSerial::SwitchTags()
{
    for (QWidget *control : findChildren<QWidget *>()) {
        if (!control->property("tag").toString().isEmpty())
            control->setEnabled(!control->isEnabled());
    }
}

void frmSerial::unload()
{
    if (MSComm1->isOpen())
        MSComm1->setOpen(false);
}

void frmSerial::closeEvent(QCloseEvent *event)
{
    runEvent(&frmSerial::unload);
    event->accept();
}
