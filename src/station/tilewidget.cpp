#include "station/tilewidget.h"

#include "shared/readable.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace {

QStyle::StandardPixmap stateIcon(FixtureTile::State state)
{
    switch (state) {
    case FixtureTile::State::Passed:
        return QStyle::SP_DialogApplyButton;
    case FixtureTile::State::Failed:
        return QStyle::SP_MessageBoxCritical;
    case FixtureTile::State::Unreachable:
        return QStyle::SP_MessageBoxWarning;
    case FixtureTile::State::Downloading:
    case FixtureTile::State::Verifying:
        return QStyle::SP_ArrowDown;
    case FixtureTile::State::Probing:
    case FixtureTile::State::Settling:
        return QStyle::SP_BrowserReload;
    case FixtureTile::State::Waiting:
        break;
    }
    return QStyle::SP_MessageBoxInformation;
}

QString tagsText(const RecordTags &tags)
{
    QStringList pairs;
    for (auto tag = tags.begin(); tag != tags.end(); ++tag)
        pairs << tag.key() + u'=' + tag.value();
    return visibleText(pairs.join(QStringLiteral(", ")));
}

} // namespace

QLabel *stationLabel(QWidget *parent, const QString &accessibleName, double scale, bool bold)
{
    auto *made = new QLabel(parent);
    made->setAccessibleName(accessibleName);
    made->setWordWrap(true);
    made->setTextFormat(Qt::PlainText); // a board's words are shown, never obeyed
    QFont font = made->font();
    font.setPointSizeF(font.pointSizeF() * scale);
    font.setBold(bold);
    made->setFont(font);
    return made;
}

QPair<QColor, QColor> stateColours(FixtureTile::State state)
{
    switch (state) {
    case FixtureTile::State::Passed:
        return {QColor(0x1b, 0x7a, 0x2e), Qt::white};
    case FixtureTile::State::Failed:
        return {QColor(0xb7, 0x1c, 0x1c), Qt::white};
    case FixtureTile::State::Unreachable:
        return {QColor(0xe6, 0x8a, 0x00), Qt::black};
    case FixtureTile::State::Downloading:
    case FixtureTile::State::Verifying:
        return {QColor(0x15, 0x65, 0xc0), Qt::white};
    case FixtureTile::State::Probing:
    case FixtureTile::State::Settling:
        return {QColor(0xff, 0xf1, 0x76), Qt::black};
    case FixtureTile::State::Waiting:
        break;
    }
    return {QColor(0xe0, 0xe0, 0xe0), Qt::black};
}

TileWidget::TileWidget(const QString &port, QWidget *parent)
    : QFrame(parent), m_port(stationLabel(this, QStringLiteral("Port %1").arg(port), 1.6, true)),
      m_adapter(stationLabel(this, QStringLiteral("Adapter of %1").arg(port))),
      m_icon(new QLabel(this)),
      m_state(stationLabel(this, QStringLiteral("State of %1").arg(port), 2.6, true)),
      m_bar(new QProgressBar(this)),
      m_board(stationLabel(this, QStringLiteral("Board on %1").arg(port), 1.2)),
      m_reason(stationLabel(this, QStringLiteral("Reason on %1").arg(port), 1.2)),
      m_counts(stationLabel(this, QStringLiteral("Counts of %1").arg(port), 1.2)),
      m_details(new QPushButton(QStringLiteral("Details"), this))
{
    setObjectName(QStringLiteral("Tile"));
    setAccessibleName(QStringLiteral("Fixture %1").arg(port));
    setFrameShape(QFrame::Box);
    setAutoFillBackground(true);
    setMinimumWidth(260);
    m_port->setText(visibleText(port));
    m_bar->setAccessibleName(QStringLiteral("Progress on %1").arg(port));
    m_bar->setTextVisible(true);
    m_details->setAccessibleName(QStringLiteral("Details of %1").arg(port));
    m_details->setEnabled(false);
    setFocusProxy(m_details); // the tab order goes from tile to tile
    connect(m_details, &QPushButton::clicked, this, &TileWidget::detailsAsked);
    auto *stateRow = new QHBoxLayout;
    stateRow->addWidget(m_icon);
    stateRow->addWidget(m_state, 1);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_port);
    layout->addWidget(m_adapter);
    layout->addLayout(stateRow);
    layout->addWidget(m_bar);
    layout->addWidget(m_board);
    layout->addWidget(m_reason);
    layout->addStretch(1);
    layout->addWidget(m_counts);
    layout->addWidget(m_details, 0, Qt::AlignLeft);
}

void TileWidget::draw(const FixtureTile &tile)
{
    setVisible(tile.present);
    if (!m_shownState || *m_shownState != tile.state) {
        m_shownState = tile.state;
        const auto [background, text] = stateColours(tile.state);
        QPalette colours = palette();
        colours.setColor(QPalette::Window, background);
        colours.setColor(QPalette::WindowText, text);
        setPalette(colours);
        const int iconSize = m_state->fontMetrics().height();
        m_icon->setPixmap(style()->standardIcon(stateIcon(tile.state)).pixmap(iconSize, iconSize));
        m_state->setText(stateWord(tile.state));
    }
    m_adapter->setText(visibleText(tile.adapter));
    m_adapter->setVisible(!tile.adapter.isEmpty());
    const bool passing = tile.state == FixtureTile::State::Downloading ||
                         tile.state == FixtureTile::State::Verifying;
    m_bar->setVisible(passing);
    m_bar->setRange(0, qMax(tile.lines, 1));
    m_bar->setValue(qMin(tile.line, qMax(tile.lines, 1)));
    m_bar->setFormat(QStringLiteral("line %1 of %2").arg(tile.line).arg(tile.lines));
    QStringList board;
    if (!tile.board.isEmpty())
        board << QStringLiteral("board %1").arg(visibleText(tile.board));
    if (!tile.version.isEmpty())
        board << readable(tile.version);
    if (!tile.last.tags.isEmpty() && !tile.atWork())
        board << tagsText(tile.last.tags);
    if (tile.atWork() && tile.jobStarted.isValid())
        board << QStringLiteral("%1 s").arg(
            tile.jobStarted.secsTo(QDateTime::currentDateTimeUtc()));
    else if (tile.last.seconds > 0)
        board << QStringLiteral("%1 s").arg(tile.last.seconds, 0, 'f', 1);
    m_board->setText(board.join(QStringLiteral(" · ")));
    QString reason;
    if (tile.state == FixtureTile::State::Failed)
        reason = visibleText(tile.last.failure);
    else if (tile.state == FixtureTile::State::Unreachable)
        reason = QStringLiteral("The device server takes no connection: is it on, and is the "
                                "address right? Tried again at each look.");
    if (tile.takeBoardOff)
        reason += (reason.isEmpty() ? QString() : QStringLiteral("\n")) +
                  QStringLiteral("Take the board off.");
    m_reason->setText(reason);
    m_counts->setText(QStringLiteral("%1, %2 done, %3 failed")
                          .arg(counted(tile.boards, QStringLiteral("board")))
                          .arg(tile.done)
                          .arg(tile.failed));
    m_details->setEnabled(!tile.last.jobId.isEmpty());
}
