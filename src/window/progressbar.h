#pragma once

#include "engine/msclock.h"
#include "engine/timer.h"

#include <QColor>
#include <QStaticText>
#include <QWidget>

#include <optional>

// A progress bar filled in its bar colour up to position / maximum, with a
// text drawn centred over it, black or white, whichever reads better on
// what lies under each part of it: black on the empty part and on light
// fills, white on dark ones.
class ProgressBar : public QWidget {
    Q_OBJECT
public:
    // A moving fill is drawn at most this often: ten times a second looks
    // smooth, and a fast job does not spend its time painting.
    static constexpr int FillRepaintMs = 100;

    explicit ProgressBar(QWidget *parent);

    QString text() const { return m_text; }
    void setText(const QString &text);
    QColor barColor() const { return m_barColor; }
    void setBarColor(const QColor &color);
    int position() const { return m_position; }
    void setPosition(int position);
    int maximum() const { return m_maximum; }
    void setMaximum(int maximum);

    // The letters' colour over the colour under them: black or white,
    // whichever has the higher contrast with it.
    static QColor textColorOn(const QColor &under);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    int filledWidth() const; // in pixels, inside the border
    void repaintFill(int before, int after);
    void paintHeldFill();

    MsClock m_nowMs;
    std::optional<qint64> m_fillPaintedAtMs;
    QRect m_heldFill;                           // moved since the fill was last drawn
    Timer m_heldFillTimer{FillRepaintMs, this}; // draws it once the bar stands still
    QString m_text;
    QStaticText m_laidOutText; // laid out once, not on every repaint of the bar
    QColor m_barColor;
    int m_position = 0;
    int m_maximum = 100;
};
