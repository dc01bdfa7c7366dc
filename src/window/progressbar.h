#pragma once

#include <QColor>
#include <QStaticText>
#include <QWidget>

// A progress bar filled in its bar colour up to position / maximum, with a
// text drawn centred over it.
class ProgressBar : public QWidget {
    Q_OBJECT
public:
    explicit ProgressBar(QWidget *parent);

    QString text() const { return m_text; }
    void setText(const QString &text);
    QColor barColor() const { return m_barColor; }
    void setBarColor(const QColor &color);
    int position() const { return m_position; }
    void setPosition(int position);
    int maximum() const { return m_maximum; }
    void setMaximum(int maximum);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    int filledWidth() const; // in pixels, inside the border
    QString m_text;
    QStaticText m_laidOutText; // laid out once, not on every repaint of the bar
    QColor m_barColor;
    int m_position = 0;
    int m_maximum = 100;
};
