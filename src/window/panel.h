#pragma once

#include "engine/jobevents.h"
#include "engine/replyaction.h"

#include <QObject>
#include <QString>
#include <QtGlobal>

class Engine;

// What the window shows of a job: the status and answer words, the progress
// bar, the lamp, the port box's colour, the address button's caption and
// whether Send is enabled. Each item is worked out here from the engine's
// events, the one place that knows the window's words and colours, and each
// change is told at once. Colours are 0x00BBGGRR (panelcolours.h).
class Panel : public QObject {
    Q_OBJECT
public:
    // Follows the engine from here on; it lives as long as the engine.
    explicit Panel(const Engine &engine, QObject *parent = nullptr);

    QString status() const { return m_status; }
    QString answer() const { return m_answer; }
    QString progressText() const { return m_progressText; }
    quint32 barColour() const { return m_barColour; }
    int progressPosition() const { return m_progressPosition; }
    int progressMaximum() const { return m_progressMaximum; }
    bool lampShown() const { return m_lampShown; }
    quint32 lampColour() const { return m_lampColour; }
    quint32 portBoxColour() const { return m_portBoxColour; }
    QString addressButtonCaption() const { return m_addressButtonCaption; } // "Set Addr" or "Next"
    bool sendEnabled() const { return m_sendEnabled; }

signals:
    void statusChanged(const QString &status);
    void answerChanged(const QString &answer);
    void progressTextChanged(const QString &text);
    void barColourChanged(quint32 colour);
    void progressPositionChanged(int position);
    void progressMaximumChanged(int maximum);
    void lampShownChanged(bool shown);
    void lampColourChanged(quint32 colour);
    void portBoxColourChanged(quint32 colour);
    void addressButtonCaptionChanged(const QString &caption);
    void sendEnabledChanged(bool enabled);

private:
    // The engine's events, each as the window shows it.
    void showPortOpened(bool scanning);
    void showPortClosed();
    void showDownloadReady(qint16 lines);
    void showLineReached(Pass pass, qint16 line);
    void showLineOverdue(Pass pass, qint16 line, qint16 lines, int unansweredMs,
                         bool answeredOkNotDownload);
    void showRejectedFrame(RejectedFrame why, const QByteArray &received);
    void showReplyStep(ReplyAction::Step step);
    void showFailure();
    void blinkLamp();

    void setStatus(const QString &status) { show(m_status, status, &Panel::statusChanged); }
    void setAnswer(const QString &answer) { show(m_answer, answer, &Panel::answerChanged); }
    void setProgressText(const QString &text)
    {
        show(m_progressText, text, &Panel::progressTextChanged);
    }
    void setBarColour(quint32 colour) { show(m_barColour, colour, &Panel::barColourChanged); }
    void setProgressPosition(int position)
    {
        show(m_progressPosition, position, &Panel::progressPositionChanged);
    }
    void setProgressMaximum(int maximum)
    {
        show(m_progressMaximum, maximum, &Panel::progressMaximumChanged);
    }
    void setLampShown(bool shown) { show(m_lampShown, shown, &Panel::lampShownChanged); }
    void setLampColour(quint32 colour) { show(m_lampColour, colour, &Panel::lampColourChanged); }
    void setPortBoxColour(quint32 colour)
    {
        show(m_portBoxColour, colour, &Panel::portBoxColourChanged);
    }
    void setAddressButtonCaption(const QString &caption)
    {
        show(m_addressButtonCaption, caption, &Panel::addressButtonCaptionChanged);
    }
    void setSendEnabled(bool enabled) { show(m_sendEnabled, enabled, &Panel::sendEnabledChanged); }

    // Told each time it is set, changed or not: the window repaints as the
    // program it follows always did.
    template <typename Value, typename Signal>
    void show(Value &item, const Value &value, Signal changed)
    {
        item = value;
        emit(this->*changed)(value);
    }

    QString m_status;
    QString m_answer;
    QString m_progressText;
    quint32 m_barColour;
    int m_progressPosition = 0;
    int m_progressMaximum = 100;
    bool m_lampShown = false;
    quint32 m_lampColour;
    quint32 m_portBoxColour;
    QString m_addressButtonCaption;
    bool m_sendEnabled = true;
};
