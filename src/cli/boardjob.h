#pragma once

#include "cli/boardresult.h"
#include "cli/options.h"
#include "cli/report.h"
#include "protocol/replykeyword.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QTimer>
#include <optional>

class Engine;

// One board's job, done by the engine as an operator would do it in the
// window: Open Port and the probe, then what the options ask for in this
// order: the version, the download with its verify pass, the new address,
// the install command; then Close Port. Only watches and decides: every
// step is the engine's.
class BoardJob : public QObject {
    Q_OBJECT
public:
    // address: the address box text, as CliOptions gives it; image: the HEX
    // file's lines, read once for all the boards of a run.
    BoardJob(Engine &engine, const CliOptions &options, const QString &address,
             const QList<QByteArray> &image, Report &report);

    void start();
    void interrupt(ExitCode code = Interrupted); // a signal: close the port and end

signals:
    void finished(const BoardResult &result);

private:
    enum class Step { Open, Probe, Download, NewAddress, Install, Ended };

    void probed();
    void downloaded();
    void addressed();

    void onReply(const QByteArray &reply, ReplyKeyword keyword);
    void onVerifyPassEnded(bool wholeImageVerified);
    void verifyPassEnded(bool wholeImageVerified);
    void onStatus(const QString &status);
    void onLineUnanswered(qint16 line);
    void onReplyTimeout();

    QString lineName(qint16 line) const;
    void awaitReply();
    void fail(ExitCode code, const QString &failure, const QByteArray &reply = {});
    void end(ExitCode code);

    Engine &m_engine;
    const CliOptions &m_options;
    const QList<QByteArray> &m_image;
    Report &m_report;
    Step m_step = Step::Open;
    BoardResult m_result;
    QElapsedTimer m_clock;
    QTimer m_replyTimer; // for the replies the engine does not watch: to "BOOT$", "BOOTg"
    int m_attempts = 0;  // the awaited line sent again so many times
    Report::Pass m_pass = Report::Pass::Download; // of the line sent last
    bool m_portOpened = false;
    ReplyKeyword m_lastKeyword = ReplyKeyword::None;
    std::optional<bool> m_verifyPassEnd; // heard, not yet acted on
};
