#pragma once
// Records what a DataConnection reports.
#include "DataConnection.h"
#include "Servers.h"

#include <QByteArray>
#include <QStringList>

using namespace corvanel;
using namespace corvanel::update;

struct Events
{
    explicit Events(corvanel::update::DataConnection &connection)
    {
        QObject::connect(&connection, &corvanel::update::DataConnection::Connected,
                         [this](int) { ++connected, log << "Connected"; });
        QObject::connect(&connection, &corvanel::update::DataConnection::QuerySent, [this](int) { ++querySent; });
        QObject::connect(&connection, &corvanel::update::DataConnection::Disconnected, [this](int) {
            ++disconnected;
            log << "Disconnected";
        });
        QObject::connect(&connection, &corvanel::update::DataConnection::DownloadFailed, [this](int why, int) {
            failures << why;
            log << QStringLiteral("DownloadFailed(%1)").arg(why);
        });
        QObject::connect(&connection, &corvanel::update::DataConnection::BytesReceived, [this](qint64 count, int) {
            lastCount = count;
            ++blocks;
        });
        QObject::connect(&connection, &corvanel::update::DataConnection::StreamBytes,
                         [this](int count, const QByteArray &bytes, int) {
                             streamed += bytes;
                             streamedCount += count;
                         });
        QObject::connect(&connection, &corvanel::update::DataConnection::ObjectMoved,
                         [this](const QString &location, int) {
                             moved = location;
                             log << QStringLiteral("ObjectMoved");
                         });
    }

    bool done() const { return disconnected > 0 || !failures.isEmpty() || !moved.isEmpty(); }
    bool wait(int timeoutMs = 10000) const
    {
        return waitUntil([this] { return done(); }, timeoutMs);
    }
    int failure() const { return failures.isEmpty() ? -1 : failures.first(); }

    QStringList log;
    int connected = 0;
    int querySent = 0;
    int disconnected = 0;
    QList<int> failures;
    qint64 lastCount = -1;
    int blocks = 0;
    QByteArray streamed;
    qint64 streamedCount = 0;
    QString moved;
};
