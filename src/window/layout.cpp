#include "window/colors.h"
#include "window/frmserial.h"
#include "window/lamp.h"
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

// Texts and states that the engine sets come from its panel (showPanel).
void frmSerial::createControls()
{
    setWindowTitle(QStringLiteral("Bootline  v1.4"));
    setWindowIcon(bootlineIcon());
    setFixedSize(fromTwips(5955), fromTwips(1830));
    QFont smallFont = font();
    smallFont.setPointSizeF(7.5);
    setFont(smallFont);

    Frame2 = place(new QGroupBox(QStringLiteral("Comm's"), this), "Frame2", 0, 0, 4395, 855);
    Colour::setColour(Frame2, QPalette::WindowText, Colour::DarkBlue);
    Label1 = place(new QLabel(QStringLiteral("Port: (1-9)"), Frame2), "Label1", 120, 240, 795, 255);
    txt = place(new QLineEdit(Frame2), "txt", 60, 480, 855, 315);
    txt->setProperty("tag", QStringLiteral("NO"));
    new PortTooltip(txt);
    Pic = place(new Lamp(Frame2), "Pic", 720, 0, 195, 255);
    BTNOpenCom = place(new QPushButton(QStringLiteral("Open Port"), Frame2), "BTNOpenCom", 960, 120,
                       975, 255);
    BTNOpenCom->setProperty("tag", QStringLiteral("NO"));
    BTNCloseCom = place(new QPushButton(QStringLiteral("Close Port"), Frame2), "BTNCloseCom", 960,
                        480, 975, 255);
    BTNCloseCom->setProperty("tag", QStringLiteral("NC"));
    BTNCloseCom->setEnabled(false);
    Label2 = place(new QLabel(Frame2), "Label2", 1980, 120, 1635, 255);
    Command3 = place(new QPushButton(QStringLiteral("Open File and  Download"), Frame2), "Command3",
                     1980, 480, 2055, 255);
    Command6 =
        place(new QPushButton(QStringLiteral("Install "), Frame2), "Command6", 3660, 120, 675, 255);
    Command4 = place(new QPushButton(QStringLiteral("?"), Frame2), "Command4", 4080, 480, 255, 255);
    // The frame's caption colour is for the caption only.
    for (QLabel *label : {Label1, Label2})
        Colour::setColour(label, QPalette::WindowText, Colour::Black);

    Frame4 = place(new QGroupBox(QStringLiteral("Modbus RTU"), this), "Frame4", 4440, 0, 1515, 855);
    Check1 = place(new QCheckBox(QStringLiteral("Check1"), Frame4), "Check1", 1200, 0, 255, 255);
    Label5 = place(new QLabel(QStringLiteral("Addr Device"), Frame4), "Label5", 60, 240, 915, 255);
    Text1 = place(new QLineEdit(Frame4), "Text1", 1020, 240, 435, 285);
    Text2 = place(new QLineEdit(Frame4), "Text2", 120, 480, 435, 285);
    Command1 = place(new QPushButton(Frame4), "Command1", 600, 520, 795, 255);

    Frame3 = place(new QGroupBox(QStringLiteral("Status"), this), "Frame3", 0, 840, 5955, 975);
    vbalProgressBar1 = place(new ProgressBar(Frame3), "vbalProgressBar1", 120, 240, 5715, 255);
    QFont barFont(QStringLiteral("MS Sans Serif"));
    barFont.setPointSizeF(8.25);
    vbalProgressBar1->setFont(barFont);
    Label3 = place(new QLabel(QStringLiteral("Answer:"), Frame3), "Label3", 120, 600, 735, 255);

    // Created after the status frame, so it is drawn above it.
    Text8 = place(new QLineEdit(this), "Text8", 720, 1410, 5115, 285);
    // Below the client area: never seen, but its click is the line sender.
    Command5 =
        place(new QPushButton(QStringLiteral("Send"), this), "Command5", 1800, 2760, 855, 255);
    nameControls();
}

// Names for screen readers and UI automation. Buttons, labels and frames
// go by their captions; these say what they hold instead.
void frmSerial::nameControls()
{
    txt->setAccessibleName(QStringLiteral("Port"));
    Pic->setAccessibleName(QStringLiteral("Link lamp"));
    Check1->setAccessibleName(QStringLiteral("Modbus RTU"));
    Text1->setAccessibleName(QStringLiteral("Device address"));
    Text2->setAccessibleName(QStringLiteral("New address"));
    vbalProgressBar1->setAccessibleName(QStringLiteral("Progress"));
    Text8->setAccessibleName(QStringLiteral("Answer"));
    Command4->setAccessibleDescription(QStringLiteral("Ask the board for its version"));
}

void frmSerial::setKeyboardOrder()
{
    for (QWidget *takesNoFocus : std::initializer_list<QWidget *>{
             Frame2, Label1, Pic, Label2, Frame4, Label5, Frame3, vbalProgressBar1, Label3})
        takesNoFocus->setFocusPolicy(Qt::NoFocus);
    const QList<QWidget *> order{txt,      BTNOpenCom, BTNCloseCom, Command3, Command4, Command5,
                                 Command6, Text8,      Check1,      Text1,    Text2,    Command1};
    for (qsizetype i = 0; i + 1 < order.size(); ++i)
        QWidget::setTabOrder(order[i], order[i + 1]);
    txt->setFocus();
}
