#pragma once

#include "cli/options.h"
#include "line/operatorquestions.h"
#include "station/tileboard.h"

#include <QList>
#include <QSet>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>
#include <variant>

class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class StationRun;
class TileWidget;

// bootline-station's window: the product line on top, a tile for each
// fixture, the question bar, and the station's counts with Start, Stop and
// History. The options come from the command line and the settings file
// only: the operator starts and stops the station and answers questions.
class StationWindow : public QWidget, public OperatorDesk {
    Q_OBJECT
public:
    // Refused options are said on the window, which opens with the station stopped.
    explicit StationWindow(std::variant<CliOptions, QString> options, QWidget *parent = nullptr);
    ~StationWindow() override;

    // Asked before boards at work are stopped; true: stop them. A box by default.
    void setStopConfirmation(std::function<bool(const QString &question)> confirm);

    void startStation();
    void stopStation(); // asks first when boards are at work
    bool isRunning() const { return m_run != nullptr; }
    bool canStart() const { return m_options && !m_run; }
    const TileBoard &tiles() const { return m_tiles; }

    // At the operator's desk: the question bar.
    void put(const QString &question) override;
    void leaveUnanswered() override;
    void refuse(const QString &line) override;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void say(const QString &notice); // in the window, and in a box
    void addTile(int index);
    void followTheTiles();
    void tileChanged(int index);
    void redraw();
    void showTile(int index);
    void tick();
    void showTally();
    void showProduct(const RunInfo &info);
    void runEnded();
    void answer();
    void showDetails(int index);
    void showHistory();
    bool confirmStop();

    std::optional<CliOptions> m_options;
    TileBoard m_tiles;
    std::unique_ptr<StationRun> m_run;
    bool m_closeWhenStopped = false;
    std::function<bool(const QString &)> m_confirmStop;

    QLabel *m_product;
    QLabel *m_notice;
    QGridLayout *m_grid;
    QList<TileWidget *> m_tileWidgets;
    QLabel *m_question;
    QLineEdit *m_answer;
    QLabel *m_tally;
    QPushButton *m_start;
    QPushButton *m_stop;
    QPushButton *m_history;
    QTimer m_clock;
    QSet<int> m_changed; // tiles to draw anew at the next redraw
    QTimer m_redraw;
};
