#pragma once
#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <optional>
#include <string>

namespace corvanel::library {

// Turns a song's stored path (\iPod_Control\Music\F00\ABCD.mp3) into a file name on this
// system. The iPod's own filesystems are case-insensitive but a copy on ext4 is not, so when
// the exact name is missing each component is matched without regard to case.
class NativePathResolver
{
public:
    explicit NativePathResolver(QString iPodDrive) : m_drive(std::move(iPodDrive)) {}

    // The existing file's name, or the literal translation when nothing matches; empty for a
    // path that is refused (see isSafe).
    QString resolve(const QString &storedPath);
    // As resolve(), as the file name's bytes, from the folders' listings, each read once: no
    // file is looked at on its own, which is what makes a playlist of thousands of songs quick.
    // Appends the name to `out`; false (nothing appended) for a refused path.
    bool appendFromListings(QByteArray &out, const QString &storedPath);
    // The size of the song's file, or nothing when it cannot be measured or is refused.
    std::optional<qint64> fileSize(const QString &storedPath);

    // Paths come from a database on a device: one with a ".." component, or with a control
    // character (which would also break a playlist line), could name a file outside the iPod.
    // Such a song counts as missing.
    static bool isSafe(const QString &storedPath);
    // The literal translation: drive + path with every "\" turned into "/".
    static QString literal(const QString &iPodDrive, const QString &storedPath);

private:
    std::optional<QString> matchCaseInsensitively(const QString &storedPath);
    const QStringList &entriesOf(const QString &folder);

    struct Folder
    {
        QByteArray path;                  // its name on this system (the literal one when missing)
        QSet<QByteArray> names;           // its entries, as file names
        QHash<QString, QByteArray> lower; // lower-cased entry -> entry, made when first needed
    };
    Folder &folder(const QString &storedFolder);

    QString m_drive;
    QHash<QString, Folder> m_folders;       // stored folder text -> the folder
    QHash<QString, QStringList> m_listings; // folder -> its entries, read once
    QByteArray m_driveName;                 // m_drive as a file name, made on first use
    std::string m_nameBuffer;               // reused for every file name, so a lookup allocates nothing
};

// One-off form of the resolver; empty for a refused path.
QString nativeSongPath(const QString &iPodDrive, const QString &storedPath);

} // namespace corvanel::library
