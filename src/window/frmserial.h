#pragma once

#include "link/serialport.h"
#include "window/filedialog.h"
#include "window/jobrecorder.h"
#include "window/messagebox.h"

#include <QWidget>
#include <memory>

class Engine;
class Lamp;
class ProgressBar;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The components the window hosts but does not implement. Leave one empty to
// get the real one; tests pass fakes.
struct OutsideComponents {
    std::unique_ptr<SerialPort> serialPort;
    std::unique_ptr<FileDialog> fileDialog;
    std::unique_ptr<MessageBox> messageBox;
};

// Bootline's one window: a view of the engine that does the job. It lays out
// the controls, shows the engine's panel on them, hands clicks and box texts
// to the engine, and shows the file dialog and the message boxes.
class frmSerial : public QWidget {
    Q_OBJECT
public:
    explicit frmSerial(OutsideComponents components = {}, QWidget *parent = nullptr);
    ~frmSerial() override;

    Engine &engine() const { return *m_engine; }

    // From now on, a record of every download goes to the store.
    void keepRecords(const StoreAddress &store, int timeoutMs);

    // Flips the enabled state of every control that carries a tag.
    void SwitchTags();

protected:
    void closeEvent(QCloseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override; // a file dropped: as if picked in the dialog

private:
    // layout.cpp
    void createControls();
    void nameControls();
    void setKeyboardOrder();

    // frmserial.cpp
    void showPanel();
    void bindPanel();
    void connectEvents();
    void chooseHexFile(); // click on "Open File and  Download": the dialog, then the engine
    void loadFirmware(const QString &fileName); // picked or dropped; asks a binary's address

    Engine *m_engine;

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

    std::unique_ptr<FileDialog> CommonDialog1;
    std::unique_ptr<MessageBox> messageBox;
    std::unique_ptr<JobRecorder> m_recorder;
};
