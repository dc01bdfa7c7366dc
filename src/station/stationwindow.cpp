#include "station/stationwindow.h"

#include "line/runfirmware.h"
#include "line/tracefolder.h"
#include "link/portlist.h"
#include "shared/readable.h"
#include "station/historyview.h"
#include "station/jobdetails.h"
#include "station/stationrun.h"
#include "station/tilewidget.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollArea>
#include <QUuid>
#include <QVBoxLayout>

#include <utility>

namespace {

constexpr int TileColumns = 3;
// A tile is drawn anew at most this often: a download tells of every line,
// hundreds a second over a station, and nobody reads faster than this.
constexpr int RedrawMs = 100;

// What the system calls the adapter a port leads to, when it is there now.
QString adapterOf(const QString &port)
{
    const QString device = QFileInfo(port).canonicalFilePath();
    for (const PresentPort &present : presentPorts()) {
        if (present.device == port || present.device == device || present.aliases.contains(port))
            return present.description;
    }
    return {};
}

} // namespace

StationWindow::StationWindow(std::variant<CliOptions, QString> options, QWidget *parent)
    : QWidget(parent), m_tiles(adapterOf),
      m_product(stationLabel(this, QStringLiteral("Product"), 1.3)),
      m_notice(stationLabel(this, QStringLiteral("Notice"), 1.2)), m_grid(new QGridLayout),
      m_question(stationLabel(this, QStringLiteral("Question"), 1.4)),
      m_answer(new QLineEdit(this)),
      m_tally(stationLabel(this, QStringLiteral("Station counts"), 1.6)),
      m_start(new QPushButton(QStringLiteral("Start"), this)),
      m_stop(new QPushButton(QStringLiteral("Stop"), this)),
      m_history(new QPushButton(QStringLiteral("History"), this))
{
    setWindowTitle(QStringLiteral("Bootline station"));
    m_notice->setStyleSheet(QStringLiteral("color: #b71c1c"));
    m_answer->setAccessibleName(QStringLiteral("Answer"));
    m_answer->setPlaceholderText(QStringLiteral("Scan or type the answer, then Enter"));
    m_answer->setEnabled(false);
    QFont answerFont = m_answer->font();
    answerFont.setPointSizeF(answerFont.pointSizeF() * 1.4);
    m_answer->setFont(answerFont);
    for (QPushButton *button : {m_start, m_stop, m_history}) {
        button->setAccessibleName(button->text());
        button->setFont(answerFont);
    }
    m_question->setText(QStringLiteral("No question waits."));

    auto *tileArea = new QWidget;
    tileArea->setLayout(m_grid);
    auto *scroll = new QScrollArea(this);
    scroll->setAccessibleName(QStringLiteral("Fixtures"));
    scroll->setWidgetResizable(true);
    scroll->setWidget(tileArea);
    auto *questionRow = new QHBoxLayout;
    questionRow->addWidget(m_question, 1);
    questionRow->addWidget(m_answer, 1);
    auto *bottomRow = new QHBoxLayout;
    bottomRow->addWidget(m_tally, 1);
    bottomRow->addWidget(m_start);
    bottomRow->addWidget(m_stop);
    bottomRow->addWidget(m_history);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_product);
    layout->addWidget(m_notice);
    layout->addWidget(scroll, 1);
    layout->addLayout(questionRow);
    layout->addLayout(bottomRow);
    resize(1000, 700);

    connect(&m_tiles, &TileBoard::tileAdded, this, &StationWindow::addTile);
    connect(&m_tiles, &TileBoard::tileChanged, this, &StationWindow::tileChanged);
    connect(&m_tiles, &TileBoard::tallyChanged, this, &StationWindow::showTally);
    connect(m_answer, &QLineEdit::returnPressed, this, &StationWindow::answer);
    connect(m_start, &QPushButton::clicked, this, &StationWindow::startStation);
    connect(m_stop, &QPushButton::clicked, this, &StationWindow::stopStation);
    connect(m_history, &QPushButton::clicked, this, &StationWindow::showHistory);
    m_clock.setInterval(1000);
    connect(&m_clock, &QTimer::timeout, this, &StationWindow::tick);
    m_clock.start();
    m_redraw.setSingleShot(true);
    m_redraw.setInterval(RedrawMs);
    connect(&m_redraw, &QTimer::timeout, this, &StationWindow::redraw);

    if (const QString *refusal = std::get_if<QString>(&options))
        say(*refusal);
    else
        m_options = std::get<CliOptions>(options);
    m_start->setEnabled(m_options.has_value());
    m_stop->setEnabled(false);
    m_history->setEnabled(m_options && m_options->log.kind != StoreAddress::Kind::None);
    const bool asks = m_options && !m_options->ask.isEmpty();
    m_question->setVisible(asks);
    m_answer->setVisible(asks);
    if (m_options)
        showProduct(runInfoOf(*m_options, QString(), {}));
    showTally();
}

StationWindow::~StationWindow() = default;

void StationWindow::setStopConfirmation(std::function<bool(const QString &)> confirm)
{
    m_confirmStop = std::move(confirm);
}

void StationWindow::say(const QString &notice)
{
    m_notice->setText(visibleText(notice));
    auto *box = new QMessageBox(QMessageBox::Warning, windowTitle(), visibleText(notice),
                                QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open(); // the window goes on behind it
}

// The file is read anew at each start, and refused as a run would refuse it.
void StationWindow::startStation()
{
    if (m_run || !m_options)
        return;
    auto read = readRunImage(*m_options);
    if (const QString *refusal = std::get_if<QString>(&read))
        return say(*refusal);
    if (!m_options->traceDir.isEmpty()) {
        if (const QString error = prepareTraceFolder(m_options->traceDir); !error.isEmpty())
            return say(error);
    }
    const auto &image = std::get<FirmwareFile::Image>(read);
    const RunInfo info =
        runInfoOf(*m_options, QUuid::createUuid().toString(QUuid::WithoutBraces), image);
    m_notice->clear();
    showProduct(info);
    m_run = std::make_unique<StationRun>(*m_options, image.entries, info, m_tiles, *this);
    connect(m_run.get(), &StationRun::finished, this, &StationWindow::runEnded,
            Qt::QueuedConnection);
    m_tiles.startCounting(QDateTime::currentDateTimeUtc());
    m_start->setEnabled(false);
    m_stop->setEnabled(true);
    m_run->start();
}

void StationWindow::stopStation()
{
    if (m_run && confirmStop())
        m_run->stop();
}

bool StationWindow::confirmStop()
{
    const int atWork = m_tiles.boardsAtWork();
    if (atWork == 0)
        return true;
    const QString question =
        QStringLiteral("%1 board(s) are being flashed. Stop them now? Each is recorded as "
                       "interrupted, and must be flashed again.")
            .arg(atWork);
    if (m_confirmStop)
        return m_confirmStop(question);
    return QMessageBox::question(this, windowTitle(), question) == QMessageBox::Yes;
}

void StationWindow::runEnded()
{
    m_run.reset();
    leaveUnanswered();
    m_start->setEnabled(true);
    m_stop->setEnabled(false);
    if (m_closeWhenStopped)
        close();
}

// Closing stops the station first, as Stop does, and closes once it has ended.
void StationWindow::closeEvent(QCloseEvent *event)
{
    if (!m_run)
        return event->accept();
    event->ignore();
    if (m_closeWhenStopped || !confirmStop())
        return;
    m_closeWhenStopped = true;
    m_run->stop();
}

void StationWindow::addTile(int index)
{
    auto *tile = new TileWidget(m_tiles.tile(index).port);
    m_grid->addWidget(tile, index / TileColumns, index % TileColumns);
    m_tileWidgets.append(tile);
    connect(tile, &TileWidget::detailsAsked, this, [this, index] { showDetails(index); });
    showTile(index);
    followTheTiles();
}

// Tab goes through the tiles in their order, then the question bar and the buttons.
void StationWindow::followTheTiles()
{
    QList<QWidget *> order(m_tileWidgets.begin(), m_tileWidgets.end());
    order << m_answer << m_start << m_stop << m_history;
    for (qsizetype index = 1; index < order.size(); ++index)
        QWidget::setTabOrder(order.at(index - 1), order.at(index));
}

void StationWindow::tileChanged(int index)
{
    m_changed.insert(index);
    if (!m_redraw.isActive())
        m_redraw.start();
}

void StationWindow::redraw()
{
    for (const int index : std::exchange(m_changed, {}))
        showTile(index);
}

void StationWindow::showTile(int index)
{
    m_tileWidgets.at(index)->draw(m_tiles.tile(index));
}

// The jobs' times and the boards per hour move on with the clock.
void StationWindow::tick()
{
    for (int index = 0; index < m_tileWidgets.size(); ++index) {
        if (m_tiles.tile(index).atWork())
            showTile(index);
    }
    showTally();
}

void StationWindow::showTally()
{
    const StationTally &tally = m_tiles.tally();
    m_tally->setText(
        QStringLiteral("Boards %1 · Done %2 · Failed %3 · First-pass yield %4 % · %5 boards/h")
            .arg(tally.boards)
            .arg(tally.done)
            .arg(tally.failed)
            .arg(tally.firstPassYield(), 0, 'f', 1)
            .arg(tally.boardsPerHour(QDateTime::currentDateTimeUtc()), 0, 'f', 0));
}

void StationWindow::showProduct(const RunInfo &info)
{
    QStringList parts{QFileInfo(info.file).fileName()};
    if (!info.sha256.isEmpty())
        parts << QStringLiteral("SHA-256 %1").arg(QString::fromLatin1(info.sha256.left(12)));
    parts << (m_options->pin.isSet() ? QStringLiteral("pinned") : QStringLiteral("not pinned"));
    parts << QStringLiteral("store %1").arg(m_options->log.describe());
    for (auto tag = info.tags.begin(); tag != info.tags.end(); ++tag)
        parts << tag.key() + u'=' + tag.value();
    if (!info.runId.isEmpty())
        parts << QStringLiteral("run %1").arg(info.runId);
    m_product->setText(visibleText(parts.join(QStringLiteral(" · "))));
}

void StationWindow::put(const QString &question)
{
    m_question->setText(question);
    m_answer->clear();
    m_answer->setEnabled(true);
    m_answer->setFocus(); // a scanner types into whatever has the focus
}

void StationWindow::leaveUnanswered()
{
    m_question->setText(QStringLiteral("No question waits."));
    m_answer->clear();
    m_answer->setEnabled(false);
}

void StationWindow::refuse(const QString &line)
{
    m_notice->setText(QStringLiteral("\"%1\" was typed while no question waited: it answers "
                                     "nothing.")
                          .arg(visibleText(line)));
}

void StationWindow::answer()
{
    if (!m_run || !m_run->questions())
        return;
    const QString line = m_answer->text().trimmed();
    leaveUnanswered(); // answered: the bar waits for the next question, if one comes
    m_run->questions()->take(line);
}

void StationWindow::showDetails(int index)
{
    showJobDetails(m_tiles.tile(index), this);
}

void StationWindow::showHistory()
{
    if (m_options)
        showStationHistory(*m_options, this);
}
