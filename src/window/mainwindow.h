#pragma once

#include "link/serialport.h"
#include "window/filedialog.h"
#include "window/jobrecorder.h"
#include "window/messagebox.h"

#include <QWidget>
#include <memory>

class Engine;
class Lamp;
class Panel;
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
// the controls, shows the job's panel on them, hands clicks and box texts
// to the engine, and shows the file dialog and the message boxes.
class MainWindow : public QWidget {
    Q_OBJECT
public:
    explicit MainWindow(OutsideComponents components = {}, QWidget *parent = nullptr);
    ~MainWindow() override;

    Engine &engine() const { return *m_engine; }
    const Panel &panel() const { return *m_panel; } // what the controls show of the job

    // From now on, a record of every download goes to the store, with these tags.
    void keepRecords(const StoreAddress &store, int timeoutMs, const RecordTags &tags = {});

    // Open Port and the port box trade their enabled state with Close Port.
    void swapPortButtons();

protected:
    void closeEvent(QCloseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override; // a file dropped: as if picked in the dialog

private:
    // layout.cpp
    void createControls();
    void nameControls();
    void setKeyboardOrder();

    // mainwindow.cpp
    void showPanel();
    void bindPanel();
    void connectEvents();
    void chooseHexFile(); // click on "Open File and  Download": the dialog, then the engine
    void loadFirmware(const QString &fileName); // picked or dropped; asks a binary's address

    Engine *m_engine;
    Panel *m_panel; // follows the engine from its first event on

    // Controls, by container, in creation order. Each carries its name as its object name.
    QGroupBox *portGroup;
    QLabel *portLabel;
    QLineEdit *portBox;
    Lamp *linkLamp;
    QPushButton *openPortButton;
    QPushButton *closePortButton;
    QLabel *statusLabel;
    QPushButton *downloadButton; // "Open File and  Download"
    QPushButton *installButton;
    QPushButton *queryButton; // "?": asks the board for its version
    QGroupBox *rtuGroup;
    QCheckBox *rtuCheckBox; // Modbus RTU framing
    QLabel *addressLabel;
    QLineEdit *addressBox; // the board's address; empty means scan
    QLineEdit *newAddressBox;
    QPushButton *setAddressButton; // set address, or next in scan mode
    QGroupBox *statusGroup;
    ProgressBar *progressBar;
    QLabel *answerLabel;
    QLineEdit *answerBox;
    QPushButton *sendButton; // the next line; below the visible area

    std::unique_ptr<FileDialog> m_fileDialog;
    std::unique_ptr<MessageBox> m_messageBox;
    std::unique_ptr<JobRecorder> m_recorder;
};
