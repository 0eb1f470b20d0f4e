#include "Listens.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>

namespace corvanel::history {

namespace {

// A log field may hold neither the separator nor a line break.
QByteArray logField(const QString &text)
{
    QString clean = text;
    for (QChar &c : clean)
        if (c == u'\t' || c == u'\n' || c == u'\r')
            c = u' ';
    return clean.toUtf8();
}

QByteArray scrobblerLog(const std::vector<Listen> &listens, const QString &clientVersion)
{
    QByteArray out = "#AUDIOSCROBBLER/1.1\n#TZ/UTC\n#CLIENT/Corvanel " + logField(clientVersion) + '\n';
    for (const Listen &listen : listens) {
        const QByteArray track = listen.trackNumber > 0 ? QByteArray::number(listen.trackNumber) : QByteArray();
        out += logField(listen.artist) + '\t' + logField(listen.album) + '\t' + logField(listen.title) + '\t' + track +
               '\t' + QByteArray::number(listen.lengthSeconds) + "\tL\t" + QByteArray::number(listen.playedAt) + "\t\n";
    }
    return out;
}

QByteArray listenBrainz(const std::vector<Listen> &listens, const QString &clientVersion)
{
    QJsonArray payload;
    for (const Listen &listen : listens) {
        QJsonObject info{{QStringLiteral("duration_ms"), static_cast<qint64>(listen.lengthSeconds) * 1000},
                         {QStringLiteral("media_player"), QStringLiteral("iPod")},
                         {QStringLiteral("submission_client"), QStringLiteral("Corvanel")},
                         {QStringLiteral("submission_client_version"), clientVersion}};
        if (listen.trackNumber > 0)
            info.insert(QStringLiteral("tracknumber"), listen.trackNumber);
        QJsonObject metadata{{QStringLiteral("artist_name"), listen.artist},
                             {QStringLiteral("track_name"), listen.title},
                             {QStringLiteral("additional_info"), info}};
        if (!listen.album.isEmpty())
            metadata.insert(QStringLiteral("release_name"), listen.album);
        payload.append(QJsonObject{{QStringLiteral("listened_at"), static_cast<qint64>(listen.playedAt)},
                                   {QStringLiteral("track_metadata"), metadata}});
    }
    const QJsonObject document{{QStringLiteral("listen_type"), QStringLiteral("import")},
                               {QStringLiteral("payload"), payload}};
    return QJsonDocument(document).toJson(QJsonDocument::Indented);
}

QByteArray csvField(const QString &text)
{
    QByteArray utf8 = text.toUtf8();
    if (!utf8.contains(',') && !utf8.contains('"') && !utf8.contains('\n') && !utf8.contains('\r'))
        return utf8;
    return '"' + utf8.replace('"', "\"\"") + '"';
}

QByteArray csv(const std::vector<Listen> &listens)
{
    QByteArray out = "artist,album,title,track_number,length_seconds,played_at,played_at_utc\r\n";
    for (const Listen &listen : listens) {
        const QString utc = QDateTime::fromSecsSinceEpoch(listen.playedAt, Qt::UTC).toString(Qt::ISODate);
        out += csvField(listen.artist) + ',' + csvField(listen.album) + ',' + csvField(listen.title) + ',' +
               QByteArray::number(listen.trackNumber) + ',' + QByteArray::number(listen.lengthSeconds) + ',' +
               QByteArray::number(listen.playedAt) + ',' + utc.toLatin1() + "\r\n";
    }
    return out;
}

} // namespace

SongListens listensSinceSync(const MusicLibrary &library)
{
    SongListens result;
    for (const Song &song : library.Songs) {
        if (song.RecentPlays <= 0)
            continue;
        if (song.LastPlayed == 0) {
            result.undated += song.RecentPlays;
            continue;
        }
        // Plays of a song without a length still need times of their own.
        const int32_t seconds = std::max(song.Length / 1000, 0);
        const int64_t step = std::max(seconds, 1);
        for (int32_t k = song.RecentPlays - 1; k >= 0; --k)
            result.listens.push_back(
                {song.Artist, song.Album, song.Title, song.TrackNumber, seconds, song.LastPlayed - k * step});
    }
    std::stable_sort(result.listens.begin(), result.listens.end(),
                     [](const Listen &a, const Listen &b) { return a.playedAt < b.playedAt; });
    return result;
}

std::optional<ListenFormat> listenFormatNamed(const QString &name)
{
    if (name == QLatin1String("scrobbler-log"))
        return ListenFormat::ScrobblerLog;
    if (name == QLatin1String("listenbrainz"))
        return ListenFormat::ListenBrainz;
    if (name == QLatin1String("csv"))
        return ListenFormat::Csv;
    return std::nullopt;
}

ListenFormat listenFormatForFile(const QString &path)
{
    if (path.endsWith(QLatin1String(".json"), Qt::CaseInsensitive))
        return ListenFormat::ListenBrainz;
    if (path.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive))
        return ListenFormat::Csv;
    return ListenFormat::ScrobblerLog;
}

QByteArray formatListens(const std::vector<Listen> &listens, ListenFormat format, const QString &clientVersion)
{
    switch (format) {
    case ListenFormat::ScrobblerLog:
        return scrobblerLog(listens, clientVersion);
    case ListenFormat::ListenBrainz:
        return listenBrainz(listens, clientVersion);
    case ListenFormat::Csv:
        return csv(listens);
    }
    return QByteArray();
}

} // namespace corvanel::history
