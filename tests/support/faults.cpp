#include "support/faults.h"

#include "site/replicasite.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QStringEncoder>

const QList<QPair<const char *, Fault>> &allFaults()
{
    static const QList<QPair<const char *, Fault>> faults = {
        {"connection refused", Fault::Refused},
        {"reset half-way", Fault::ResetHalfWay},
        {"never answers", Fault::NeverAnswers},
        {"one byte a second", Fault::Trickle},
        {"50 MB page", Fault::HugePage},
        {"binary garbage", Fault::Garbage},
        {"invalid UTF-8", Fault::InvalidUtf8},
        {"GBK labelled UTF-8", Fault::GbkAsUtf8},
        {"redirect loop", Fault::RedirectLoop},
        {"404", Fault::NotFound},
        {"500", Fault::ServerError},
        {"empty body", Fault::EmptyBody},
    };
    return faults;
}

HttpResponse faultyResponse(Fault fault, const QByteArray &body, const QByteArray &contentType)
{
    HttpResponse response = HttpResponse::text(200, body, contentType);
    switch (fault) {
    case Fault::Refused:
        break;
    case Fault::ResetHalfWay:
        response.body = body.size() < 64 ? body.repeated(64) : body;
        response.dropAfter = response.body.size() / 2;
        break;
    case Fault::NeverAnswers:
        response.neverAnswer = true;
        break;
    case Fault::Trickle:
        response.trickleBytes = 1;
        response.trickleMs = 1000;
        break;
    case Fault::HugePage: {
        QByteArray page = "<html><body>";
        page += QByteArray(50 * 1000 * 1000, 'x');
        page += "</body></html>";
        response = HttpResponse::text(200, page, "text/html; charset=utf-8");
        break;
    }
    case Fault::Garbage: {
        QByteArray noise(64 * 1024, '\0');
        QRandomGenerator generator(7);
        for (char &byte : noise)
            byte = static_cast<char>(generator.bounded(256));
        response = HttpResponse::text(200, noise, contentType);
        break;
    }
    case Fault::InvalidUtf8:
        response = HttpResponse::text(200,
                                      QByteArray("<title>\xff\xfe - \xc3\x28\xa0\xa1"
                                                 "Cantora</title>\xed\xa0\x80"),
                                      "text/html; charset=utf-8");
        break;
    case Fault::GbkAsUtf8: {
        QStringEncoder gbk("GB18030");
        response = HttpResponse::text(200, gbk.encode(QString::fromUtf8(body)), "text/html; charset=utf-8");
        break;
    }
    case Fault::RedirectLoop:
        response = HttpResponse::text(302, QByteArray());
        response.withHeader("Location", "/loop");
        break;
    case Fault::NotFound:
        response = HttpResponse::text(404, "<html><body><h1>404 Not Found</h1></body></html>", "text/html");
        break;
    case Fault::ServerError:
        response = HttpResponse::text(500, "<html><body><h1>500 Internal Server Error</h1></body></html>", "text/html");
        break;
    case Fault::EmptyBody:
        response = HttpResponse::text(200, QByteArray(), contentType);
        break;
    }
    return response;
}

HttpResponse ifRangeIgnored(const HttpRequest &request, const QByteArray &body, const QByteArray &contentType)
{
    HttpRequest unconditional = request;
    unconditional.headers.removeIf([](const auto &header) { return header.first == "if-range"; });
    return rangedBody(unconditional, body, contentType);
}

QByteArray gzipped(const QByteArray &body)
{
    QProcess gzip;
    gzip.start(QStringLiteral("gzip"), {QStringLiteral("-c"), QStringLiteral("-n"), QStringLiteral("-1")});
    if (!gzip.waitForStarted())
        return {};
    gzip.write(body);
    gzip.closeWriteChannel();
    QByteArray out;
    while (gzip.waitForReadyRead(10000) || gzip.bytesAvailable() > 0)
        out += gzip.readAllStandardOutput();
    gzip.waitForFinished();
    out += gzip.readAllStandardOutput();
    return gzip.exitCode() == 0 ? out : QByteArray();
}

QString refusedBase()
{
    quint16 port = 0;
    {
        LoopbackServer probe;
        if (probe.start())
            port = probe.port();
    }
    return QStringLiteral("http://127.0.0.1:%1").arg(port);
}

TickWatch::TickWatch()
{
    m_clock.start();
    m_timer.setInterval(10);
    m_timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] {
        const qint64 now = m_clock.elapsed();
        m_longest = std::max(m_longest, now - m_last);
        m_last = now;
        ++m_ticks;
    });
    m_timer.start();
}
