#pragma once
#include "ArtworkDB.h"

#include <Song.h>

#include <QImage>
#include <QSize>
#include <QString>
#include <mutex>
#include <optional>

namespace corvanel::itunesdb {

// The covers of one iPod: its Artwork/ArtworkDB, read the first time a cover is asked for (a
// library load reads nothing of it), and the pixels, read from the .ithmb files per request.
// Safe to use from several threads.
class ArtworkLibrary
{
public:
    explicit ArtworkLibrary(QString iPodDrive) : m_drive(std::move(iPodDrive)) {}

    // The picture size of the song's largest decodable cover, without reading any pixels.
    std::optional<QSize> coverSize(const library::Song &song);
    // The song's largest cover that decodes; a null image when it has none, its .ithmb file is
    // missing or too short, or no stored size can be read.
    QImage cover(const library::Song &song);
    // The cover as JPEG bytes, for a "cover.jpg"; empty when the song has none.
    QByteArray coverJpeg(const library::Song &song);
    // A key that is equal for two songs exactly when they share their cover (empty: no cover).
    QString coverKey(const library::Song &song);

    // The database as read (empty when the iPod has none or it cannot be read).
    const ArtworkDb &database();

private:
    QByteArray readSlot(const ArtworkThumb &thumb) const;

    QString m_drive;
    std::once_flag m_loaded;
    ArtworkDb m_db;
};

// The stored path of an .ithmb file named ":F1029_1.ithmb": \iPod_Control\Artwork\F1029_1.ithmb.
QString ithmbStoredPath(const QString &name);

} // namespace corvanel::itunesdb
