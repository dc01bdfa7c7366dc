#pragma once

#include <QColor>
#include <QWidget>

// The link lamp: a filled circle whose colour tells what the line is doing.
class Lamp : public QWidget {
    Q_OBJECT
public:
    explicit Lamp(QWidget *parent);

    QColor fillColor() const { return m_fill; }
    void setFillColor(const QColor &color);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void repaintIfChanged();

    QColor m_fill = Qt::white;
    QColor m_painted = Qt::white; // what the screen shows
};
