#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <cstdio>
#include <functional>
#include <utility>

// Where a run's words for a person go. With one port: lines as they come and,
// on a terminal, one line redrawn in place. With several ports (or a station,
// whose ports come and go): on a terminal, one live line per port below the
// lines; piped, each board's lines are held and written together when it
// ends, so two boards never mix.
class Console {
public:
    static constexpr int RunLine = -1; // a line of the run, not of one port

    Console(bool terminal, bool severalPorts);

    // The terminal's height in rows, 0 when unknown, asked at each drawing
    // (the window may be resized); and where the live lines go. Tests give
    // their own.
    void setScreen(std::function<int()> rows, std::FILE *live);

    // The next port's slot, from 0.
    int addPort();

    bool isTerminal() const { return m_terminal; }
    bool hasSeveralPorts() const { return m_severalPorts; }

    // The port's live line, on a terminal; empty takes it away. state: a
    // word or two for where the port stands ("download", "waiting for a
    // board"), for a summary when the lines outnumber the terminal's rows.
    void show(int port, const QString &text, const QString &state = {});
    // A whole line, without its line end.
    void write(int port, std::FILE *stream, const QString &text);
    // Piped with several ports: the lines held for the port go out now, together.
    void release(int port);
    // The live lines go, before the run's last words.
    void runEnded();
    // A question waits on the terminal (--ask): nothing is drawn or written
    // over it; what comes meanwhile follows once it is answered.
    void hold(bool on);

private:
    void emitLine(std::FILE *stream, const QString &line);
    void eraseLive();
    void drawLive();
    QStringList liveBlock(int rows) const;

    bool m_terminal;
    bool m_severalPorts;
    QList<QString> m_live;                                // per port
    QList<QString> m_state;                               // per port
    QList<QList<std::pair<std::FILE *, QString>>> m_held; // per port, while piped
    bool m_liveShown = false;
    int m_liveLines = 0; // in the block drawn
    std::function<int()> m_rows;
    std::FILE *m_liveStream = stdout;
    bool m_holding = false;
    QList<std::pair<std::FILE *, QString>> m_heldForQuestion;
};
