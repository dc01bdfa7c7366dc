#pragma once

#include <QList>
#include <QString>

#include <cstdio>
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

    // The next port's slot, from 0.
    int addPort();

    bool isTerminal() const { return m_terminal; }
    bool hasSeveralPorts() const { return m_severalPorts; }

    // The port's live line, on a terminal; empty takes it away.
    void show(int port, const QString &text);
    // A whole line, without its line end.
    void write(int port, std::FILE *stream, const QString &text);
    // Piped with several ports: the lines held for the port go out now, together.
    void release(int port);
    // The live lines go, before the run's last words.
    void runEnded();

private:
    void eraseLive();
    void drawLive();

    bool m_terminal;
    bool m_severalPorts;
    QList<QString> m_live;                                // per port
    QList<QList<std::pair<std::FILE *, QString>>> m_held; // per port, while piped
    bool m_liveShown = false;
};
