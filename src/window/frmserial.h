#pragma once

#include "window/filedialog.h"
#include "window/messagebox.h"
#include "window/serialport.h"
#include "window/windowstate.h"

#include <QWidget>
#include <memory>

class Lamp;
class ProgressBar;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class RuntimeError;
class Timer;

// The components the window hosts but does not implement. Leave one empty to
// get the real one; tests pass fakes.
struct OutsideComponents {
    std::unique_ptr<SerialPort> serialPort;
    std::unique_ptr<FileDialog> fileDialog;
    std::unique_ptr<MessageBox> messageBox;
};

// Bootline's one window: its controls, the state that all its procedures
// share, and the procedures themselves. Each procedure is defined in the
// folder of its subsystem: window/, link/ or protocol/.
class frmSerial : public QWidget {
    Q_OBJECT
public:
    explicit frmSerial(OutsideComponents components = {}, QWidget *parent = nullptr);
    ~frmSerial() override;

    // Read and written by every procedure; public so that tests can set up a situation.
    WindowState state;

    // Loader window (window/)
    void SwitchTags(); // flips the enabled state of every control with a tag
    void unload();     // the window closing: closes an open port
    void openPort();   // click on "Open Port"
    void closePort();  // click on "Close Port"
    void probeTick();  // tick of Timer3: "BOOTi" until the board answers
    void portLost();   // the device went away: close as Close Port does, and say so

    // Serial link (link/)
    qint16 WriteCOM32(QByteArray &COMString); // frames and sends one command
    void receivePollTick();                   // tick of TMRComm: takes in the board's replies
    void replyOverdue();                      // tick of ReplyWatch: a line has gone unanswered

    // Boot protocol and download (protocol/)
    void Com_Parser();           // acts on the reply in state.RxText
    void sendNextLine();         // click on "Send": the next line of the file
    void loadHexFile();          // click on "Open File and  Download"
    void setAddressOrScanNext(); // click on "Set Addr" / "Next"
    void queryBoard();           // click on "?"
    void installFirmware();      // click on "Install "

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    // window/layout.cpp
    void createControls();
    void setKeyboardOrder();

    // window/frmserial.cpp
    void connectEvents();
    void runEvent(void (frmSerial::*procedure)()); // no failure gets past an event
    void showError(const RuntimeError &error);
    int Check1Value() const; // 1 checked, 0 not

    // link/receivepoller.cpp
    void blinkLamp();
    void takeRtuReply();

    // Controls, by container, in creation order. Each carries its name as its object name.
    QGroupBox *Frame2;
    QLabel *Label1;
    QLineEdit *txt; // the port name
    Lamp *Pic;
    QPushButton *BTNOpenCom;
    QPushButton *BTNCloseCom;
    QLabel *Label2;        // the status line
    QPushButton *Command3; // open file and download
    QPushButton *Command6; // install
    QPushButton *Command4; // query
    QGroupBox *Frame4;
    QCheckBox *Check1; // Modbus RTU framing
    QLabel *Label5;
    QLineEdit *Text1;      // the board's address; empty means scan
    QLineEdit *Text2;      // the new address
    QPushButton *Command1; // set address, or next in scan mode
    QGroupBox *Frame3;
    ProgressBar *vbalProgressBar1;
    QLabel *Label3;
    QLineEdit *Text8;      // the board's answer
    QPushButton *Command5; // send the next line; below the visible area
    Timer *Timer3;         // connection probe, 200 ms
    Timer *TMRComm;        // receive poll, 20 ms
    Timer *ReplyWatch;     // the reply to a line is overdue, 3 s after it went out

    std::unique_ptr<SerialPort> MSComm1;
    std::unique_ptr<FileDialog> CommonDialog1;
    std::unique_ptr<MessageBox> messageBox;
};
