#include "ArtworkLibrary.h"
#include "ArtworkDecoder.h"
#include "FileImage.h"

#include <NativePath.h>

#include <QBuffer>
#include <QFile>

namespace corvanel::itunesdb {

QString ithmbStoredPath(const QString &name)
{
    QString path = name;
    path.replace(QLatin1Char(':'), QLatin1Char('\\'));
    if (!path.startsWith(QLatin1Char('\\')))
        path.prepend(QLatin1Char('\\'));
    return QStringLiteral("\\iPod_Control\\Artwork") + path;
}

const ArtworkDb &ArtworkLibrary::database()
{
    std::call_once(m_loaded, [this] {
        const QString path = library::nativeSongPath(m_drive, QStringLiteral("\\iPod_Control\\Artwork\\ArtworkDB"));
        if (path.isEmpty())
            return;
        if (const auto image = FileImage::read(path))
            m_db = readArtworkDb(image->bytes());
    });
    return m_db;
}

std::optional<QSize> ArtworkLibrary::coverSize(const library::Song &song)
{
    const ArtworkImage *image = database().imageFor(song.ArtworkId, song.DbId);
    if (!image)
        return std::nullopt;
    const auto thumbs = decodableThumbs(*image);
    if (thumbs.empty())
        return std::nullopt;
    const ArtworkThumb &thumb = *thumbs.front();
    const ArtworkFormat *format = artworkFormat(thumb.formatId);
    return QSize(thumb.width > 0 ? thumb.width : format->width, thumb.height > 0 ? thumb.height : format->height);
}

QImage ArtworkLibrary::cover(const library::Song &song)
{
    const ArtworkImage *image = database().imageFor(song.ArtworkId, song.DbId);
    if (!image)
        return {};
    // Largest first; a size whose pixels cannot be read gives way to the next.
    for (const ArtworkThumb *thumb : decodableThumbs(*image)) {
        const QByteArray slot = readSlot(*thumb);
        if (QImage picture = decodeThumb(slot, *thumb); !picture.isNull())
            return picture;
    }
    return {};
}

QByteArray ArtworkLibrary::coverJpeg(const library::Song &song)
{
    const QImage picture = cover(song);
    if (picture.isNull())
        return {};
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    return picture.save(&buffer, "JPG", 92) ? jpeg : QByteArray();
}

QString ArtworkLibrary::coverKey(const library::Song &song)
{
    const ArtworkImage *image = database().imageFor(song.ArtworkId, song.DbId);
    if (!image)
        return {};
    const auto thumbs = decodableThumbs(*image);
    if (thumbs.empty())
        return {};
    return thumbs.front()->file.toLower() + QLatin1Char('@') + QString::number(thumbs.front()->offset);
}

QByteArray ArtworkLibrary::readSlot(const ArtworkThumb &thumb) const
{
    const QString path = library::nativeSongPath(m_drive, ithmbStoredPath(thumb.file));
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly))
        return {};
    // The offset and size come from the database: they are checked against the file itself.
    const qint64 length = file.size();
    if (thumb.offset < 0 || thumb.size <= 0 || thumb.offset > length || thumb.size > length - thumb.offset)
        return {};
    if (!file.seek(thumb.offset))
        return {};
    QByteArray slot = file.read(thumb.size);
    return slot.size() == thumb.size ? slot : QByteArray();
}

} // namespace corvanel::itunesdb
