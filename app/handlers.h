#pragma once

#include <QObject>
#include <QString>

class Label;

// Whether the main window is still there. Every wait (a page, a picture, a
// transfer, a dialog) runs the event loop, and the window may close or end
// meanwhile; a handler checks this once after each wait and stops if so.
class WindowLife final
{
public:
    bool over() const { return m_closing || m_ended; }
    bool ended() const { return m_ended; }
    void setClosing() { m_closing = true; }
    void setEnded() { m_ended = true; }

private:
    bool m_closing = false;
    bool m_ended = false;
};

// The one-line message area at the bottom of the main window.
class StatusLine final
{
public:
    explicit StatusLine(Label *&label)
        : m_label(label)
    {}
    // Shows `message`; a cause shown with the message before goes with it.
    void set(const QString &message);
    // Shows a failure's `message` with its `cause` in the tool tip, and writes
    // both as one line to standard error for whoever started the program from
    // a terminal.
    void setFailure(const QString &message, const QString &cause);
    // Shows `message` with `cause` in the tool tip, and nothing on the terminal.
    void setWithCause(const QString &message, const QString &cause);
    QString text() const;
    QString cause() const;

private:
    Label *&m_label; // the window's Label8(1), created after this
};

// Writes one line, "cantora-helper: MESSAGE (CAUSE)", to standard error: plain
// text without a logging category, for a user watching the terminal.
void reportFailure(const QString &message, const QString &cause);

// What every handler class of the main window shares: the status line and the
// window's life. Handlers are named after their control and event.
class Handlers : public QObject
{
public:
    // The title of every message box.
    static constexpr char kBoxTitle[] = "Orvandel系列软件";

protected:
    Handlers(StatusLine &status, const WindowLife &life, QObject *parent)
        : QObject(parent)
        , m_statusLine(status)
        , m_life(life)
    {}

    void setStatus(const QString &message) { m_statusLine.set(message); }
    void setFailureStatus(const QString &message, const QString &cause) { m_statusLine.setFailure(message, cause); }
    // True when the window closed or ended during the last wait.
    bool windowGone() const { return m_life.over(); }
    static QString boxTitle() { return QString::fromUtf8(kBoxTitle); }

private:
    StatusLine &m_statusLine;
    const WindowLife &m_life;
};
