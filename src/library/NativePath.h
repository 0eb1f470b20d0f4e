#pragma once
#include <QHash>
#include <QString>
#include <QStringList>
#include <optional>
#include <string>

// Turns a song's stored path (\iPod_Control\Music\F00\ABCD.mp3) into a file name on this
// system. The iPod's own filesystems are case-insensitive but a copy on ext4 is not, so when
// the exact name is missing each component is matched without regard to case.
class NativePathResolver
{
public:
    explicit NativePathResolver(QString iPodDrive) : m_drive(std::move(iPodDrive)) {}

    // The existing file's name, or the literal translation when nothing matches.
    QString resolve(const QString &storedPath);
    // The size of the song's file, or nothing when it cannot be measured.
    std::optional<qint64> fileSize(const QString &storedPath);

    // The literal translation: drive + path with every "\" turned into "/".
    static QString literal(const QString &iPodDrive, const QString &storedPath);

private:
    std::optional<QString> matchCaseInsensitively(const QString &storedPath);
    const QStringList &entriesOf(const QString &folder);

    QString m_drive;
    QHash<QString, QStringList> m_listings;   // folder -> its entries, read once
    QByteArray m_driveName;                   // m_drive as a file name, made on first use
    std::string m_nameBuffer;                 // reused for every file name, so a lookup allocates nothing
};

// One-off form of the resolver.
QString nativeSongPath(const QString &iPodDrive, const QString &storedPath);
