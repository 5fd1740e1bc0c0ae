#pragma once

#include "site/httpserver.h"

#include <QElapsedTimer>

#include <QObject>
#include <QString>
#include <QTimer>
#include <algorithm>

// The ways a server can let the program down, for the fault suite.
enum class Fault {
    Refused,      // nothing listens at the address
    ResetHalfWay, // the body breaks off half-way (Content-Length promised more)
    NeverAnswers, // the request is read, nothing ever comes back
    Trickle,      // one byte a second
    HugePage,     // a 50 MB page
    Garbage,      // binary noise
    InvalidUtf8,  // bytes that are not UTF-8, labelled UTF-8
    GbkAsUtf8,    // a GBK page labelled UTF-8
    RedirectLoop, // every answer sends the client back to the same address
    NotFound,     // 404 with an HTML body
    ServerError,  // 500 with an HTML body
    EmptyBody,    // 200 and nothing
};

// Every fault with its row name, for _data functions.
const QList<QPair<const char *, Fault>> &allFaults();

// The faulty answer standing in for `body` (what a healthy server would send).
HttpResponse faultyResponse(Fault fault, const QByteArray &body, const QByteArray &contentType);

// A server that honours Range but ignores If-Range: asked for a range of an
// older version, it sends that range of `body` (with body's own ETag).
HttpResponse ifRangeIgnored(const HttpRequest &request, const QByteArray &body, const QByteArray &contentType);

// `body` as gzip makes it (by the gzip program); empty when that failed.
QByteArray gzipped(const QByteArray &body);

// A base address where nothing listens.
QString refusedBase();

// Ticks every 10 ms, as a window's own timers do, and notes the longest gap
// between two ticks: how long the window could not repaint or take input.
class TickWatch final : public QObject
{
public:
    TickWatch();
    // Up to now: a wait that has just ended counts even if no tick followed it.
    qint64 longestGapMs() const { return std::max(m_longest, m_clock.elapsed() - m_last); }
    int ticks() const { return m_ticks; }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    qint64 m_longest = 0;
    int m_ticks = 0;
};
