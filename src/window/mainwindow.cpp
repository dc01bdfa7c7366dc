#include "window/mainwindow.h"

#include "engine/engine.h"
#include "image/firmwarefile.h"
#include "window/colors.h"
#include "window/lamp.h"
#include "window/panel.h"
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
#include <QTextDocument>

MainWindow::MainWindow(OutsideComponents components, QWidget *parent)
    : QWidget(parent), m_engine(new Engine(std::move(components.serialPort), this)),
      m_panel(new Panel(*m_engine, this)), m_fileDialog(std::move(components.fileDialog)),
      m_messageBox(std::move(components.messageBox))
{
    if (!m_fileDialog)
        m_fileDialog = std::make_unique<QtFileDialog>(this);
    if (!m_messageBox)
        m_messageBox = std::make_unique<QtMessageBox>(this);
    createControls();
    setKeyboardOrder();
    showPanel();
    bindPanel();
    connectEvents();
    setAcceptDrops(true);
}

MainWindow::~MainWindow() = default;

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

// The controls as the panel stands now.
void MainWindow::showPanel()
{
    portBox->setText(m_engine->portName());
    addressBox->setText(m_engine->address());
    newAddressBox->setText(m_engine->newAddress());
    rtuCheckBox->setChecked(m_engine->rtu());
    const Panel &panel = *m_panel;
    statusLabel->setText(panel.status());
    answerBox->setText(panel.answer());
    progressBar->setText(panel.progressText());
    progressBar->setBarColor(Colour::toQColor(panel.barColour()));
    progressBar->setPosition(panel.progressPosition());
    progressBar->setMaximum(panel.progressMaximum());
    linkLamp->setVisible(panel.lampShown());
    linkLamp->setFillColor(Colour::toQColor(panel.lampColour()));
    Colour::setColour(portBox, QPalette::Base, panel.portBoxColour());
    setAddressButton->setText(panel.addressButtonCaption());
    sendButton->setEnabled(panel.sendEnabled());
}

// From here on each control follows its panel item, and each box the
// operator types in goes to the engine.
void MainWindow::bindPanel()
{
    Engine *engine = m_engine;
    const Panel *panel = m_panel;
    connect(panel, &Panel::statusChanged, statusLabel, &QLabel::setText);
    // Every reply sets the answer, mostly to what it shows already; a line
    // edit lays its text out again even then, so that is left out.
    connect(panel, &Panel::answerChanged, answerBox, [this](const QString &answer) {
        if (answerBox->text() != answer)
            answerBox->setText(answer);
    });
    connect(engine, &Engine::addressChanged, addressBox, &QLineEdit::setText);
    connect(panel, &Panel::progressTextChanged, progressBar, &ProgressBar::setText);
    connect(panel, &Panel::barColourChanged, progressBar,
            [this](quint32 colour) { progressBar->setBarColor(Colour::toQColor(colour)); });
    connect(panel, &Panel::progressPositionChanged, progressBar, &ProgressBar::setPosition);
    connect(panel, &Panel::progressMaximumChanged, progressBar, &ProgressBar::setMaximum);
    new ProgressTip(progressBar, *engine); // how far the job is, from its events
    connect(panel, &Panel::lampShownChanged, linkLamp, &Lamp::setVisible);
    connect(panel, &Panel::lampColourChanged, linkLamp,
            [this](quint32 colour) { linkLamp->setFillColor(Colour::toQColor(colour)); });
    connect(panel, &Panel::portBoxColourChanged, portBox,
            [this](quint32 colour) { Colour::setColour(portBox, QPalette::Base, colour); });
    connect(panel, &Panel::addressButtonCaptionChanged, setAddressButton, &QPushButton::setText);
    connect(panel, &Panel::sendEnabledChanged, sendButton, &QPushButton::setEnabled);
    connect(engine, &Engine::portButtonsSwapped, this, &MainWindow::swapPortButtons);
    connect(engine, &Engine::message, this,
            [this](const QString &text) { m_messageBox->plain(text); });
    connect(engine, &Engine::errorReported, this, [this](int number, const QString &description) {
        m_messageBox->critical(QStringLiteral("Error#%1").arg(number), description);
    });

    connect(portBox, &QLineEdit::textChanged, engine, &Engine::setPortName);
    connect(addressBox, &QLineEdit::textChanged, engine, &Engine::setAddress);
    connect(newAddressBox, &QLineEdit::textChanged, engine, &Engine::setNewAddress);
    connect(rtuCheckBox, &QCheckBox::toggled, engine,
            [engine](bool checked) { engine->setRtu(checked); });
}

void MainWindow::connectEvents()
{
    Engine *engine = m_engine;
    const auto onClick = [engine](QPushButton *button, void (Engine::*procedure)()) {
        connect(button, &QPushButton::clicked, engine, [engine, procedure] {
            engine->run([engine, procedure] { (engine->*procedure)(); });
        });
    };
    onClick(openPortButton, &Engine::openPort);
    onClick(closePortButton, &Engine::closePort);
    onClick(sendButton, &Engine::sendNextLine);
    onClick(setAddressButton, &Engine::setAddressOrScanNext);
    onClick(queryButton, &Engine::queryBoard);
    onClick(installButton, &Engine::installFirmware);
    connect(downloadButton, &QPushButton::clicked, this, &MainWindow::chooseHexFile);
}

void MainWindow::chooseHexFile()
{
    m_engine->run([this] {
        // The loader finds the format from the content; the filters only help to find the file.
        m_fileDialog->setFilter(QStringLiteral(
            "HEX files (*.hex)|*.hex|"
            "S-record files (*.srec;*.s19;*.s28;*.s37;*.mot)|*.srec;*.s19;*.s28;*.s37;*.mot|"
            "ELF files (*.elf;*.axf;*.out)|*.elf;*.axf;*.out|"
            "Binary images (*.bin)|*.bin|"
            "All files (*)|*"));
        m_fileDialog->showOpen();
        loadFirmware(m_fileDialog->fileName());
    });
}

// A raw binary image is loaded at the address the operator gives; a cancelled
// question is a cancelled dialog.
void MainWindow::loadFirmware(const QString &fileName)
{
    if (fileName.isEmpty() || !FirmwareFile::isRawBinary(fileName)) {
        m_engine->loadFirmwareFile(fileName);
        return;
    }
    const std::optional<quint32> base = m_fileDialog->askBaseAddress(fileName);
    m_engine->loadFirmwareFile(base ? fileName : QString(), base);
}

void MainWindow::dragEnterEvent(QDragEnterEvent *event)
{
    if (!droppedFile(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent *event)
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

void MainWindow::keepRecords(const StoreAddress &store, int timeoutMs, const RecordTags &tags)
{
    m_recorder = std::make_unique<JobRecorder>(*m_engine, store, timeoutMs, *m_messageBox, tags);
    // Plain text made safe for the tooltip: a path may hold '<'.
    connect(m_recorder.get(), &JobRecorder::notStoredNotice, answerBox,
            [this](const QString &notice) {
                answerBox->setToolTip(Qt::convertFromPlainText(notice, Qt::WhiteSpaceNormal));
            });
}

void MainWindow::swapPortButtons()
{
    for (QWidget *control :
         std::initializer_list<QWidget *>{portBox, openPortButton, closePortButton})
        control->setEnabled(!control->isEnabled());
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    m_engine->run([this] { m_engine->unload(); });
    event->accept();
}
