#include "station/tileboard.h"

#include <utility>

class TileBoard::TileReport : public Report {
public:
    TileReport(TileBoard &board, int index, FixtureTile tile)
        : m_board(board), m_index(index), tile(std::move(tile))
    {
    }

    void boardStarted(const QString &board) override
    {
        tile.state = FixtureTile::State::Probing;
        tile.takeBoardOff = false;
        tile.board = board;
        tile.version.clear();
        tile.line = tile.lines = 0;
        tile.jobStarted = QDateTime::currentDateTimeUtc();
        ++tile.boards;
        ++m_board.m_tally.boards;
        changed();
        emit m_board.tallyChanged();
    }
    void probing(const QString &board, int /*attempt*/, int /*attempts*/) override
    {
        tile.board = board;
        changed();
    }
    void connected(const QString &board, const QByteArray &version) override
    {
        tile.board = board;
        tile.version = version;
        changed();
    }
    void progress(Pass pass, int line, int total) override
    {
        tile.state =
            pass == Pass::Verify ? FixtureTile::State::Verifying : FixtureTile::State::Downloading;
        tile.line = line;
        tile.lines = total;
        changed();
    }
    void resent(int /*line*/, int /*attempt*/) override {}
    void replied(const QString & /*board*/, const QByteArray & /*reply*/) override {}
    void jobEnded(const BoardResult &result) override
    {
        if (result.untried)
            return; // never begun: no board of this fixture
        m_board.ended(tile, result);
        changed();
    }
    void recorded(const BoardResult &result) override
    {
        if (result.jobId == tile.last.jobId) { // where its record went, for the details
            tile.last.notRecorded = result.notRecorded;
            changed();
        }
    }
    void watching(Watch state) override
    {
        tile.present = state != Watch::Gone;
        switch (state) {
        case Watch::Appeared:
            tile.state = FixtureTile::State::Settling;
            break;
        case Watch::AwaitingBoard:
            if (tile.state != FixtureTile::State::Passed &&
                tile.state != FixtureTile::State::Failed)
                tile.state = FixtureTile::State::Waiting;
            tile.takeBoardOff = false; // the last result stays until the next board
            break;
        case Watch::AwaitingLeave:
            tile.takeBoardOff = true;
            break;
        case Watch::Gone:
            tile.takeBoardOff = false;
            break;
        case Watch::Unreachable:
            tile.state = FixtureTile::State::Unreachable;
            break;
        }
        changed();
    }

    void changed() { emit m_board.tileChanged(m_index); }

private:
    TileBoard &m_board;
    int m_index;

public:
    FixtureTile tile;
};

TileBoard::TileBoard(std::function<QString(const QString &)> adapterName)
    : m_adapterName(std::move(adapterName))
{
}

TileBoard::~TileBoard() = default;

const FixtureTile &TileBoard::tile(qsizetype index) const
{
    return m_tiles[size_t(index)]->tile;
}

qsizetype TileBoard::tileCount() const
{
    return qsizetype(m_tiles.size());
}

int TileBoard::boardsAtWork() const
{
    int atWork = 0;
    for (const auto &each : m_tiles)
        atWork += each->tile.atWork() ? 1 : 0;
    return atWork;
}

void TileBoard::startCounting(const QDateTime &now)
{
    if (!m_tally.since.isValid())
        m_tally.since = now;
    emit tallyChanged();
}

// A port seen before, in an earlier start of the station, keeps its tile.
Report &TileBoard::addPort(const QString &port)
{
    for (const auto &each : m_tiles) {
        if (each->tile.port == port)
            return *each;
    }
    FixtureTile tile;
    tile.port = port;
    if (m_adapterName)
        tile.adapter = m_adapterName(port);
    const int index = int(m_tiles.size());
    m_tiles.push_back(std::make_unique<TileReport>(*this, index, std::move(tile)));
    emit tileAdded(index);
    return *m_tiles.back();
}

void TileBoard::ended(FixtureTile &tile, const BoardResult &result)
{
    const bool done = result.exitCode == Done;
    tile.state = done ? FixtureTile::State::Passed : FixtureTile::State::Failed;
    tile.seconds = result.seconds;
    tile.last = result;
    if (!result.versionReply.isEmpty())
        tile.version = result.versionReply;
    ++(done ? tile.done : tile.failed);
    ++(done ? m_tally.done : m_tally.failed);
    if (result.attempt == 1) {
        ++m_tally.firstTries;
        m_tally.firstTriesDone += done ? 1 : 0;
    }
    emit tallyChanged();
}

// Every board stopped has been told as ended (interrupted); a tile still at
// work had only begun to probe, and its board was never a job.
void TileBoard::allFinished(const QList<BoardResult> & /*results*/, ExitCode /*exitCode*/)
{
    for (const auto &each : m_tiles) {
        if (each->tile.atWork()) {
            each->tile.state = FixtureTile::State::Waiting;
            each->changed();
        }
    }
    emit stationEnded();
}

void TileBoard::questionWaiting(bool waiting)
{
    emit questionWaitingChanged(waiting);
}

double StationTally::firstPassYield() const
{
    return firstTries == 0 ? 0 : 100.0 * firstTriesDone / firstTries;
}

double StationTally::boardsPerHour(const QDateTime &now) const
{
    if (!since.isValid())
        return 0;
    const double hours = double(since.msecsTo(now)) / 3600000.0;
    return hours <= 0 ? 0 : boards / hours;
}

QString stateWord(FixtureTile::State state)
{
    switch (state) {
    case FixtureTile::State::Waiting:
        return QStringLiteral("WAITING");
    case FixtureTile::State::Settling:
        return QStringLiteral("SETTLING");
    case FixtureTile::State::Probing:
        return QStringLiteral("PROBING");
    case FixtureTile::State::Downloading:
        return QStringLiteral("DOWNLOADING");
    case FixtureTile::State::Verifying:
        return QStringLiteral("VERIFYING");
    case FixtureTile::State::Passed:
        return QStringLiteral("PASS");
    case FixtureTile::State::Failed:
        return QStringLiteral("FAIL");
    case FixtureTile::State::Unreachable:
        return QStringLiteral("UNREACHABLE");
    }
    return {};
}
