#include "PlayLedger.h"

#include <NativePath.h>
#include <SysInfo.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QtEndian>

#include <algorithm>

namespace corvanel::history {

namespace {

constexpr qsizetype kDatabaseIdAt = 24; // 64 bits in the "mhbd" header
constexpr qsizetype kLargestLedger = qsizetype(64) << 20;

// Letters, digits and dashes only: the key becomes a file name.
QString fileNameSafe(const QString &text)
{
    QString safe;
    for (const QChar c : text)
        if ((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'-')
            safe += c;
    return safe;
}

QString firewireGuid(const QString &iPodDrive)
{
    const QLatin1String name("FirewireGuid:");
    for (const QString &row : corvanel::device::readSysInfo(iPodDrive).rows)
        if (row.startsWith(name, Qt::CaseInsensitive)) {
            QString guid = row.mid(name.size()).trimmed();
            if (guid.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
                guid.remove(0, 2);
            return fileNameSafe(guid).toUpper();
        }
    return QString();
}

QString databaseId(const QString &databaseFile)
{
    QFile file(databaseFile);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    const QByteArray head = file.read(kDatabaseIdAt + 8);
    if (head.size() < kDatabaseIdAt + 8 || !head.startsWith("mhbd"))
        return QString();
    const quint64 id = qFromLittleEndian<quint64>(head.constData() + kDatabaseIdAt);
    return id ? QString::number(id, 16).toUpper() : QString();
}

} // namespace

QString PlayLedger::defaultFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/Corvanel/plays");
}

QString PlayLedger::keyFor(const QString &iPodDrive, const QString &databaseFile)
{
    if (const QString guid = firewireGuid(iPodDrive); !guid.isEmpty())
        return QStringLiteral("guid-") + guid;
    if (const QString id = databaseId(databaseFile); !id.isEmpty())
        return QStringLiteral("db-") + id;
    // An iPod that keeps a compressed database leaves its iTunesDB empty; the id stands in the
    // iTunesCDB's header, which is not compressed.
    const QFileInfo info(databaseFile);
    if (const QString id = databaseId(NativePathResolver(info.absolutePath()).resolve(QStringLiteral("\\iTunesCDB")));
        !id.isEmpty())
        return QStringLiteral("db-") + id;
    return QString();
}

PlayLedger::PlayLedger(QString folder, const QString &key)
    : m_path(std::move(folder) + QLatin1Char('/') + fileNameSafe(key) + QStringLiteral(".ledger"))
{
}

bool PlayLedger::load()
{
    m_entries.clear();
    QFile file(m_path);
    if (!file.exists())
        return true;
    if (!file.open(QIODevice::ReadOnly) || file.size() > kLargestLedger)
        return false;
    for (const QByteArray &line : file.readAll().split('\n'))
        if (!line.isEmpty() && !line.startsWith('#'))
            m_entries.insert(line);
    return true;
}

QByteArray PlayLedger::entryOf(const Listen &listen)
{
    // The time and a digest of what was played: track ids change from one sync to the next.
    QCryptographicHash hash(QCryptographicHash::Sha1);
    for (const QString *text : {&listen.artist, &listen.album, &listen.title}) {
        hash.addData(text->toUtf8());
        hash.addData(QByteArrayView("\x1f", 1));
    }
    return QByteArray::number(listen.playedAt) + ' ' + hash.result().toHex();
}

bool PlayLedger::contains(const Listen &listen) const
{
    return m_entries.contains(entryOf(listen));
}

std::vector<Listen> PlayLedger::unexported(const std::vector<Listen> &listens) const
{
    std::vector<Listen> fresh;
    for (const Listen &listen : listens)
        if (!contains(listen))
            fresh.push_back(listen);
    return fresh;
}

bool PlayLedger::record(const std::vector<Listen> &listens, QString *error)
{
    QSet<QByteArray> entries = m_entries;
    for (const Listen &listen : listens)
        entries.insert(entryOf(listen));
    QList<QByteArray> lines(entries.begin(), entries.end());
    std::sort(lines.begin(), lines.end());
    QByteArray text = "# Listens exported by Corvanel: Unix time, SHA-1 of artist, album and title\n";
    for (const QByteArray &line : lines)
        text += line + '\n';

    QDir().mkpath(QFileInfo(m_path).absolutePath());
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    m_entries = std::move(entries);
    return true;
}

} // namespace corvanel::history
