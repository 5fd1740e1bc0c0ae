#include "page/netcause.h"

namespace netcause {

namespace {

QString kindOf(QNetworkReply::NetworkError error)
{
    using E = QNetworkReply::NetworkError;
    switch (error) {
    case E::SslHandshakeFailedError:
        return QStringLiteral("安全连接失败(证书无效或不受信任)");
    case E::ProxyConnectionRefusedError:
    case E::ProxyConnectionClosedError:
    case E::ProxyNotFoundError:
    case E::ProxyTimeoutError:
    case E::ProxyAuthenticationRequiredError:
    case E::UnknownProxyError:
        return QStringLiteral("代理服务器出错");
    case E::HostNotFoundError:
        return QStringLiteral("找不到服务器");
    case E::ConnectionRefusedError:
        return QStringLiteral("服务器拒绝连接");
    case E::RemoteHostClosedError:
        return QStringLiteral("服务器中途断开了连接");
    case E::TimeoutError:
        return timedOut();
    case E::TooManyRedirectsError:
    case E::InsecureRedirectError:
        return QStringLiteral("服务器的重定向无法跟随");
    case E::TemporaryNetworkFailureError:
    case E::NetworkSessionFailedError:
    case E::BackgroundRequestNotAllowedError:
        return QStringLiteral("网络不可用");
    default:
        return QStringLiteral("网络出错");
    }
}

} // namespace

QString ofReply(QNetworkReply::NetworkError error, const QString &errorString)
{
    const QString kind = kindOf(error);
    return errorString.isEmpty() ? kind : kind + QStringLiteral(": ") + errorString;
}

QString ofHttpStatus(int status)
{
    return QStringLiteral("服务器返回 HTTP %1").arg(status);
}

bool meansGone(int httpStatus)
{
    return httpStatus == 404 || httpStatus == 410;
}

QString workGoneText()
{
    return QStringLiteral("作品不存在或已被删除..");
}

QString timedOut()
{
    return QStringLiteral("等待服务器超时");
}

} // namespace netcause
