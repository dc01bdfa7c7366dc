#include "window/colors.h"
#include "window/lamp.h"
#include "window/mainwindow.h"
#include "window/porttooltip.h"
#include "window/progressbar.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>

// The window is laid out in twips (1/1440 inch); 15 twips are one pixel at 96 DPI.

namespace {

int fromTwips(int twips)
{
    return qRound(twips / 15.0);
}

template <typename Control>
Control *place(Control *control, const char *name, int left, int top, int width, int height)
{
    control->setObjectName(QString::fromLatin1(name));
    control->setGeometry(fromTwips(left), fromTwips(top), fromTwips(width), fromTwips(height));
    return control;
}

// A chip with a green arrow going into it.
QIcon bootlineIcon()
{
    QPixmap pixmap(24, 24);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x30, 0x30, 0x40));
    painter.drawRoundedRect(QRectF(3, 9, 18, 13), 2, 2);
    painter.setBrush(QColor(0xB0, 0xB0, 0xB8));
    for (int x = 5; x <= 17; x += 4) {
        painter.drawRect(QRectF(x, 7, 2, 2));
        painter.drawRect(QRectF(x, 22, 2, 2));
    }
    painter.setBrush(QColor(0x00, 0xC0, 0x00));
    painter.drawPolygon(QPolygonF({{9, 0}, {15, 0}, {15, 7}, {19, 7}, {12, 15}, {5, 7}, {9, 7}}));
    return QIcon(pixmap);
}

} // namespace

// Texts and states that follow the job come from the panel (showPanel).
void MainWindow::createControls()
{
    setWindowTitle(QStringLiteral("Bootline  v1.4"));
    setWindowIcon(bootlineIcon());
    setFixedSize(fromTwips(5955), fromTwips(1830));
    QFont smallFont = font();
    smallFont.setPointSizeF(7.5);
    setFont(smallFont);

    portGroup = place(new QGroupBox(QStringLiteral("Comm's"), this), "portGroup", 0, 0, 4395, 855);
    Colour::setColour(portGroup, QPalette::WindowText, Colour::DarkBlue);
    portLabel = place(new QLabel(QStringLiteral("Port: (1-9)"), portGroup), "portLabel", 120, 240,
                      795, 255);
    portBox = place(new QLineEdit(portGroup), "portBox", 60, 480, 855, 315);
    new PortTooltip(portBox);
    linkLamp = place(new Lamp(portGroup), "linkLamp", 720, 0, 195, 255);
    openPortButton = place(new QPushButton(QStringLiteral("Open Port"), portGroup),
                           "openPortButton", 960, 120, 975, 255);
    closePortButton = place(new QPushButton(QStringLiteral("Close Port"), portGroup),
                            "closePortButton", 960, 480, 975, 255);
    closePortButton->setEnabled(false);
    statusLabel = place(new QLabel(portGroup), "statusLabel", 1980, 120, 1635, 255);
    downloadButton = place(new QPushButton(QStringLiteral("Open File and  Download"), portGroup),
                           "downloadButton", 1980, 480, 2055, 255);
    installButton = place(new QPushButton(QStringLiteral("Install "), portGroup), "installButton",
                          3660, 120, 675, 255);
    queryButton =
        place(new QPushButton(QStringLiteral("?"), portGroup), "queryButton", 4080, 480, 255, 255);
    // The frame's caption colour is for the caption only.
    for (QLabel *label : {portLabel, statusLabel})
        Colour::setColour(label, QPalette::WindowText, Colour::Black);

    rtuGroup =
        place(new QGroupBox(QStringLiteral("Modbus RTU"), this), "rtuGroup", 4440, 0, 1515, 855);
    rtuCheckBox =
        place(new QCheckBox(QStringLiteral("Check1"), rtuGroup), "rtuCheckBox", 1200, 0, 255, 255);
    addressLabel = place(new QLabel(QStringLiteral("Addr Device"), rtuGroup), "addressLabel", 60,
                         240, 915, 255);
    addressBox = place(new QLineEdit(rtuGroup), "addressBox", 1020, 240, 435, 285);
    newAddressBox = place(new QLineEdit(rtuGroup), "newAddressBox", 120, 480, 435, 285);
    setAddressButton = place(new QPushButton(rtuGroup), "setAddressButton", 600, 520, 795, 255);

    statusGroup =
        place(new QGroupBox(QStringLiteral("Status"), this), "statusGroup", 0, 840, 5955, 975);
    progressBar = place(new ProgressBar(statusGroup), "progressBar", 120, 240, 5715, 255);
    QFont barFont(QStringLiteral("MS Sans Serif"));
    barFont.setPointSizeF(8.25);
    progressBar->setFont(barFont);
    answerLabel = place(new QLabel(QStringLiteral("Answer:"), statusGroup), "answerLabel", 120, 600,
                        735, 255);

    // Created after the status frame, so it is drawn above it.
    answerBox = place(new QLineEdit(this), "answerBox", 720, 1410, 5115, 285);
    // Below the client area: never seen, but its click is the line sender.
    sendButton =
        place(new QPushButton(QStringLiteral("Send"), this), "sendButton", 1800, 2760, 855, 255);
    nameControls();
}

// Names for screen readers and UI automation. Buttons, labels and frames
// go by their captions; these say what they hold instead.
void MainWindow::nameControls()
{
    portBox->setAccessibleName(QStringLiteral("Port"));
    linkLamp->setAccessibleName(QStringLiteral("Link lamp"));
    rtuCheckBox->setAccessibleName(QStringLiteral("Modbus RTU"));
    addressBox->setAccessibleName(QStringLiteral("Device address"));
    newAddressBox->setAccessibleName(QStringLiteral("New address"));
    progressBar->setAccessibleName(QStringLiteral("Progress"));
    answerBox->setAccessibleName(QStringLiteral("Answer"));
    queryButton->setAccessibleDescription(QStringLiteral("Ask the board for its version"));
}

void MainWindow::setKeyboardOrder()
{
    for (QWidget *takesNoFocus :
         std::initializer_list<QWidget *>{portGroup, portLabel, linkLamp, statusLabel, rtuGroup,
                                          addressLabel, statusGroup, progressBar, answerLabel})
        takesNoFocus->setFocusPolicy(Qt::NoFocus);
    const QList<QWidget *> order{portBox,     openPortButton, closePortButton, downloadButton,
                                 queryButton, sendButton,     installButton,   answerBox,
                                 rtuCheckBox, addressBox,     newAddressBox,   setAddressButton};
    for (qsizetype i = 0; i + 1 < order.size(); ++i)
        QWidget::setTabOrder(order[i], order[i + 1]);
    portBox->setFocus();
}
