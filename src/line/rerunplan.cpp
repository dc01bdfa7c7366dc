#include "line/rerunplan.h"

#include <QHash>

#include <algorithm>
#include <iterator>

namespace {

// Where a board stands after the jobs read so far.
struct BoardSoFar {
    QString port;
    QString board;
    int highestAttempt = 0;
    QString latestResult;
};

} // namespace

RerunPlan planRerun(QList<JobRecord> records)
{
    // Oldest first, so a board's place is where it was first tried, and a
    // later record of the same attempt (a job's end after its start) wins.
    std::stable_sort(records.begin(), records.end(),
                     [](const JobRecord &a, const JobRecord &b) { return a.started < b.started; });
    RerunPlan plan;
    QList<BoardSoFar> boards;
    QStringList ports;
    for (const JobRecord &record : std::as_const(records)) {
        if (!ports.contains(record.port))
            ports << record.port;
        auto board = std::find_if(boards.begin(), boards.end(), [&](const BoardSoFar &b) {
            return b.port == record.port && b.board == record.board;
        });
        if (board == boards.end()) {
            boards.append(BoardSoFar{});
            board = std::prev(boards.end());
            board->port = record.port;
            board->board = record.board;
        }
        if (record.attempt >= board->highestAttempt) {
            board->highestAttempt = record.attempt;
            board->latestResult = record.result;
        }
        if (!record.file.isEmpty()) {
            plan.file = record.file;
            plan.sha256 = record.sha256.toLatin1();
        }
    }
    for (const QString &port : std::as_const(ports)) {
        PortPlan portPlan{.port = port, .addresses = {}};
        for (const BoardSoFar &board : std::as_const(boards)) {
            if (board.port != port)
                continue;
            if (board.latestResult == QStringLiteral("done")) {
                ++plan.boardsDone;
                continue;
            }
            // A scan is recorded as "scan": it scans again.
            const QString address = board.board == QStringLiteral("scan") ? QString() : board.board;
            portPlan.addresses << address;
            plan.attempts.insert(boardKey(port, address), board.highestAttempt + 1);
        }
        if (!portPlan.addresses.isEmpty())
            plan.ports << portPlan;
    }
    return plan;
}

QList<JobRecord> withWaitingRecords(QList<JobRecord> stored, const QList<JobRecord> &waiting,
                                    const QString &runId)
{
    QHash<QString, qsizetype> placeOfJob;
    for (qsizetype place = 0; place < stored.size(); ++place)
        placeOfJob.insert(stored[place].jobId, place);
    for (const JobRecord &record : waiting) {
        if (record.runId != runId || record.jobId.isEmpty())
            continue;
        const auto place = placeOfJob.constFind(record.jobId);
        if (place == placeOfJob.constEnd()) {
            placeOfJob.insert(record.jobId, stored.size());
            stored.append(record);
        } else if (stored[*place].result == QStringLiteral("started")) {
            stored[*place] = record; // its end, or the same start again
        }
    }
    return stored;
}
