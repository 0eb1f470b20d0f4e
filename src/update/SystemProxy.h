#pragma once
// The proxy the desktop's environment names for a plain http:// address, read the way curl
// reads it: http_proxy (then HTTP_PROXY), else all_proxy (then ALL_PROXY), unless no_proxy
// (then NO_PROXY) names the host. A proxy address is "[scheme://][user[:password]@]host[:port]"
// with the scheme http (the default), socks4, socks4a, socks5 or socks5h, and port 1080 when
// none is given.
#include "DownloadProtocol.h"

#include <QProcessEnvironment>
#include <QString>

#include <expected>

namespace corvanel::update {

class DataConnection;

struct ProxySettings
{
    ProxyKind type = ProxyKind::Direct;
    QString hostname;
    int port = 0;
    QString username;
    QString password;
    // The proxy resolves the origin's name (socks4a, socks5h; an HTTP proxy always does).
    bool remoteDns = false;
    // The variable the proxy came from, for messages.
    QString variable;

    bool operator==(const ProxySettings &) const = default;
};

// The proxy for host, or why the variable that names one cannot be used.
std::expected<ProxySettings, QString> systemProxyFor(const QString &host, const QProcessEnvironment &environment);

// Whether a no_proxy list ("*", or names, domains and addresses separated by commas or
// blanks; ports are ignored) keeps host away from the proxy.
bool noProxyMatches(const QString &host, const QString &noProxy);

// Sets the client's proxy properties from the settings.
void applyProxy(DataConnection &client, const ProxySettings &proxy);

} // namespace corvanel::update
