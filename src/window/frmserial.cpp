#include "window/frmserial.h"

#include "engine/engine.h"
#include "image/firmwarefile.h"
#include "window/colors.h"
#include "window/lamp.h"
#include "window/progressbar.h"
#include "window/progresstip.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>

frmSerial::frmSerial(OutsideComponents components, QWidget *parent)
    : QWidget(parent), m_engine(new Engine(std::move(components.serialPort), this)),
      CommonDialog1(std::move(components.fileDialog)), messageBox(std::move(components.messageBox))
{
    if (!CommonDialog1)
        CommonDialog1 = std::make_unique<QtFileDialog>(this);
    if (!messageBox)
        messageBox = std::make_unique<QtMessageBox>(this);
    createControls();
    setKeyboardOrder();
    showPanel();
    bindPanel();
    connectEvents();
    setAcceptDrops(true);
}

frmSerial::~frmSerial() = default;

namespace {

// The file a drop carries, if it is one file on this machine; else empty.
QString droppedFile(const QMimeData *data)
{
    if (!data || !data->hasUrls())
        return {};
    const QList<QUrl> urls = data->urls();
    if (urls.size() != 1 || !urls.first().isLocalFile())
        return {};
    return urls.first().toLocalFile();
}

} // namespace

// The controls as the engine's panel stands now.
void frmSerial::showPanel()
{
    txt->setText(m_engine->portName());
    Text1->setText(m_engine->address());
    Text2->setText(m_engine->newAddress());
    Check1->setChecked(m_engine->rtu() == 1);
    Label2->setText(m_engine->status());
    Text8->setText(m_engine->answer());
    vbalProgressBar1->setText(m_engine->progressText());
    vbalProgressBar1->setBarColor(Colour::toQColor(m_engine->barColour()));
    vbalProgressBar1->setPosition(m_engine->progressPosition());
    vbalProgressBar1->setMaximum(m_engine->progressMaximum());
    Pic->setVisible(m_engine->lampShown());
    Pic->setFillColor(Colour::toQColor(m_engine->lampColour()));
    Colour::setColour(txt, QPalette::Base, m_engine->portBoxColour());
    Command1->setText(m_engine->command1Caption());
    Command5->setEnabled(m_engine->sendEnabled());
}

// From here on each control follows its panel item, and each box the
// operator types in goes to the engine.
void frmSerial::bindPanel()
{
    Engine *engine = m_engine;
    connect(engine, &Engine::statusChanged, Label2, &QLabel::setText);
    // Every reply sets the answer, mostly to what it shows already; a line
    // edit lays its text out again even then, so that is left out.
    connect(engine, &Engine::answerChanged, Text8, [this](const QString &answer) {
        if (Text8->text() != answer)
            Text8->setText(answer);
    });
    connect(engine, &Engine::addressChanged, Text1, &QLineEdit::setText);
    connect(engine, &Engine::progressTextChanged, vbalProgressBar1, &ProgressBar::setText);
    connect(engine, &Engine::barColourChanged, vbalProgressBar1,
            [this](quint32 colour) { vbalProgressBar1->setBarColor(Colour::toQColor(colour)); });
    connect(engine, &Engine::progressPositionChanged, vbalProgressBar1, &ProgressBar::setPosition);
    connect(engine, &Engine::progressMaximumChanged, vbalProgressBar1, &ProgressBar::setMaximum);
    new ProgressTip(vbalProgressBar1, *engine); // how far the job is, from its events
    connect(engine, &Engine::lampShownChanged, Pic, &Lamp::setVisible);
    connect(engine, &Engine::lampColourChanged, Pic,
            [this](quint32 colour) { Pic->setFillColor(Colour::toQColor(colour)); });
    connect(engine, &Engine::portBoxColourChanged, txt,
            [this](quint32 colour) { Colour::setColour(txt, QPalette::Base, colour); });
    connect(engine, &Engine::command1CaptionChanged, Command1, &QPushButton::setText);
    connect(engine, &Engine::sendEnabledChanged, Command5, &QPushButton::setEnabled);
    connect(engine, &Engine::tagsSwitched, this, &frmSerial::SwitchTags);
    connect(engine, &Engine::message, this,
            [this](const QString &text) { messageBox->plain(text); });
    connect(engine, &Engine::errorReported, this, [this](int number, const QString &description) {
        messageBox->critical(QStringLiteral("Error#%1").arg(number), description);
    });

    connect(txt, &QLineEdit::textChanged, engine, &Engine::setPortName);
    connect(Text1, &QLineEdit::textChanged, engine, &Engine::setAddress);
    connect(Text2, &QLineEdit::textChanged, engine, &Engine::setNewAddress);
    connect(Check1, &QCheckBox::toggled, engine,
            [engine](bool checked) { engine->setRtu(checked ? 1 : 0); });
}

void frmSerial::connectEvents()
{
    Engine *engine = m_engine;
    const auto onClick = [engine](QPushButton *button, void (Engine::*procedure)()) {
        connect(button, &QPushButton::clicked, engine, [engine, procedure] {
            engine->run([engine, procedure] { (engine->*procedure)(); });
        });
    };
    onClick(BTNOpenCom, &Engine::openPort);
    onClick(BTNCloseCom, &Engine::closePort);
    onClick(Command5, &Engine::sendNextLine);
    onClick(Command1, &Engine::setAddressOrScanNext);
    onClick(Command4, &Engine::queryBoard);
    onClick(Command6, &Engine::installFirmware);
    connect(Command3, &QPushButton::clicked, this, &frmSerial::chooseHexFile);
}

void frmSerial::chooseHexFile()
{
    m_engine->run([this] {
        // The loader finds the format from the content; the filters only help to find the file.
        CommonDialog1->setFilter(QStringLiteral(
            "HEX files (*.hex)|*.hex|"
            "S-record files (*.srec;*.s19;*.s28;*.s37;*.mot)|*.srec;*.s19;*.s28;*.s37;*.mot|"
            "ELF files (*.elf;*.axf;*.out)|*.elf;*.axf;*.out|"
            "Binary images (*.bin)|*.bin|"
            "All files (*)|*"));
        CommonDialog1->showOpen();
        loadFirmware(CommonDialog1->fileName());
    });
}

// A raw binary image is loaded at the address the operator gives; a cancelled
// question is a cancelled dialog.
void frmSerial::loadFirmware(const QString &fileName)
{
    if (fileName.isEmpty() || !FirmwareFile::isRawBinary(fileName)) {
        m_engine->loadHexFile(fileName);
        return;
    }
    const std::optional<quint32> base = CommonDialog1->askBaseAddress(fileName);
    m_engine->loadHexFile(base ? fileName : QString(), base);
}

void frmSerial::dragEnterEvent(QDragEnterEvent *event)
{
    if (!droppedFile(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void frmSerial::dropEvent(QDropEvent *event)
{
    const QString fileName = droppedFile(event->mimeData());
    if (fileName.isEmpty())
        return;
    event->acceptProposedAction();
    // Once the drop is over: a message box the load brings up would
    // otherwise hold the program the file came from.
    QMetaObject::invokeMethod(
        this, [this, fileName] { m_engine->run([this, fileName] { loadFirmware(fileName); }); },
        Qt::QueuedConnection);
}

void frmSerial::keepRecords(const StoreAddress &store, int timeoutMs)
{
    m_recorder = std::make_unique<JobRecorder>(*m_engine, store, timeoutMs, *messageBox);
}

void frmSerial::SwitchTags()
{
    for (QWidget *control : findChildren<QWidget *>()) {
        if (!control->property("tag").toString().isEmpty())
            control->setEnabled(!control->isEnabled());
    }
}

void frmSerial::closeEvent(QCloseEvent *event)
{
    m_engine->run([this] { m_engine->unload(); });
    event->accept();
}
