#pragma once

#include "station/tileboard.h"

#include <QFrame>

#include <optional>

class QLabel;
class QProgressBar;
class QPushButton;

// One fixture, readable from two metres: its port, a state word with an
// icon on its colour, the bar and line counts, the board, the reason for a
// failure and what to do, the job's time and the fixture's counts.
class TileWidget : public QFrame {
    Q_OBJECT
public:
    explicit TileWidget(const QString &port, QWidget *parent = nullptr);

    void draw(const FixtureTile &tile);

signals:
    void detailsAsked(); // the last job's record and trace

private:
    QLabel *m_port;
    QLabel *m_adapter;
    QLabel *m_icon;
    QLabel *m_state;
    QProgressBar *m_bar;
    QLabel *m_board;
    QLabel *m_reason;
    QLabel *m_counts;
    QPushButton *m_details;
    std::optional<FixtureTile::State> m_shownState; // its colours and icon are set
};

// A label in the station's type, scale times the usual size: plain text
// (a board's words are shown, never obeyed), wrapped, named for a screen reader.
QLabel *stationLabel(QWidget *parent, const QString &accessibleName, double scale = 1.0,
                     bool bold = false);

// The tile's colours for a state: background, then text.
QPair<QColor, QColor> stateColours(FixtureTile::State state);
