#include "SystemProxy.h"

#include "DataConnection.h"

#include <QHostAddress>
#include <QRegularExpression>
#include <QUrl>

#include <algorithm>
#include <iterator>

namespace corvanel::update {

namespace {

constexpr int kDefaultProxyPort = 1080;

// The first of the variables that is set and not empty; its name goes to variable.
QString firstSet(const QProcessEnvironment &environment, std::initializer_list<const char *> names, QString &variable)
{
    for (const char *name : names) {
        const QString value = environment.value(QString::fromLatin1(name)).trimmed();
        if (!value.isEmpty()) {
            variable = QString::fromLatin1(name);
            return value;
        }
    }
    return {};
}

struct SchemeKind
{
    const char *scheme;
    ProxyKind kind;
    bool remoteDns;
};
constexpr SchemeKind kSchemes[] = {
    {"http", ProxyKind::Http, true},      {"socks4", ProxyKind::Socks4, false}, {"socks4a", ProxyKind::Socks4, true},
    {"socks5", ProxyKind::Socks5, false}, {"socks5h", ProxyKind::Socks5, true},
};

std::expected<ProxySettings, QString> parseProxy(const QString &value, const QString &variable)
{
    const auto refuse = [&](const QString &why) {
        return std::unexpected(QStringLiteral("%1=%2: %3").arg(variable, value, why));
    };
    const QUrl url(value.contains(QLatin1String("://")) ? value : QStringLiteral("http://") + value, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty())
        return refuse(QStringLiteral("not a proxy address"));
    ProxySettings proxy;
    const QString scheme = url.scheme().toLower();
    const auto kind = std::find_if(std::begin(kSchemes), std::end(kSchemes),
                                   [&](const SchemeKind &known) { return scheme == QLatin1String(known.scheme); });
    if (kind == std::end(kSchemes))
        return refuse(QStringLiteral("the proxy kind \"%1\" is not supported (http, socks4, socks4a, socks5 or "
                                     "socks5h are)")
                          .arg(scheme));
    proxy.type = kind->kind;
    proxy.remoteDns = kind->remoteDns;
    proxy.hostname = url.host();
    proxy.port = url.port(kDefaultProxyPort);
    if (proxy.port < 1)
        return refuse(QStringLiteral("the port must be 1 to 65535"));
    proxy.username = url.userName(QUrl::FullyDecoded);
    proxy.password = url.password(QUrl::FullyDecoded);
    proxy.variable = variable;
    return proxy;
}

// A no_proxy entry without its port: "host:80" and "[::1]:80" give "host" and "::1".
QString withoutPort(QString entry)
{
    if (entry.startsWith(QLatin1Char('['))) {
        const qsizetype close = entry.indexOf(QLatin1Char(']'));
        return close > 0 ? entry.mid(1, close - 1) : entry;
    }
    if (entry.count(QLatin1Char(':')) == 1)
        entry.truncate(entry.indexOf(QLatin1Char(':')));
    return entry;
}

bool entryMatches(const QString &host, QString entry)
{
    if (entry == QLatin1String("*"))
        return true;
    const QHostAddress address(host);
    if (!address.isNull()) {
        // Addresses match exactly or by a prefix ("10.0.0.0/8").
        if (entry.contains(QLatin1Char('/'))) {
            const auto subnet = QHostAddress::parseSubnet(entry);
            return subnet.second >= 0 && address.isInSubnet(subnet);
        }
        return QHostAddress(withoutPort(entry)) == address;
    }
    entry = withoutPort(entry);
    if (entry.startsWith(QLatin1Char('.')))
        entry.remove(0, 1);
    if (entry.endsWith(QLatin1Char('.')))
        entry.chop(1);
    if (entry.isEmpty())
        return false;
    // The name itself, or any name inside that domain.
    return host == entry || host.endsWith(QLatin1Char('.') + entry);
}

} // namespace

bool noProxyMatches(const QString &host, const QString &noProxy)
{
    QString name = host.toLower();
    if (name.startsWith(QLatin1Char('[')) && name.endsWith(QLatin1Char(']')))
        name = name.mid(1, name.size() - 2);
    if (name.endsWith(QLatin1Char('.')))
        name.chop(1);
    static const QRegularExpression separators(QStringLiteral("[,\\s]+"));
    const QStringList entries = noProxy.toLower().split(separators, Qt::SkipEmptyParts);
    return std::any_of(entries.begin(), entries.end(), [&](const QString &entry) { return entryMatches(name, entry); });
}

std::expected<ProxySettings, QString> systemProxyFor(const QString &host, const QProcessEnvironment &environment)
{
    // curl leaves the upper-case HTTP_PROXY alone because a CGI program finds the request's
    // own "Proxy:" header there; a desktop program is never run that way, so it counts here.
    QString variable;
    const QString value = firstSet(environment, {"http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY"}, variable);
    if (value.isEmpty())
        return ProxySettings{};
    QString unused;
    if (noProxyMatches(host, firstSet(environment, {"no_proxy", "NO_PROXY"}, unused)))
        return ProxySettings{};
    return parseProxy(value, variable);
}

void applyProxy(DataConnection &client, const ProxySettings &proxy)
{
    client.setProxyType(proxy.type);
    if (proxy.type == ProxyKind::Direct)
        return;
    client.setProxyHostname(proxy.hostname);
    client.setProxyPort(proxy.port);
    client.setProxyUsername(proxy.username);
    client.setProxyPassword(proxy.password);
    client.setProxyUseRemoteDNS(proxy.remoteDns);
    // SOCKS5 offers the user/password method only when there is a user.
    client.setProxyAuthentication(proxy.type == ProxyKind::Socks5 && !proxy.username.isEmpty() ? 2 : 0);
}

} // namespace corvanel::update
