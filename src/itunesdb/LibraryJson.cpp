#include "LibraryJson.h"
#include "ParseiTunesDB.h"

#include <QStringList>

namespace corvanel::itunesdb {

namespace {

void appendString(QByteArray &out, const QString &text)
{
    static constexpr char hex[] = "0123456789abcdef";
    out += '"';
    const QByteArray utf8 = text.toUtf8();
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\b':
            out += "\\b";
            break;
        case '\f':
            out += "\\f";
            break;
        default:
            if (byte < 0x20) {
                out += "\\u00";
                out += hex[byte >> 4];
                out += hex[byte & 0xf];
            } else {
                out += c;
            }
        }
    }
    out += '"';
}

void appendNumber(QByteArray &out, double value)
{
    out += QByteArray::number(static_cast<qint64>(value));
}

// The song's fields from "title" on, without the closing brace.
void appendSongFields(QByteArray &out, const Song &song)
{
    const std::pair<const char *, const QString *> texts[] = {{"title", &song.Title}, {"artist", &song.Artist},
                                                              {"album", &song.Album}, {"genre", &song.Genre},
                                                              {"path", &song.Path},   {"filetype", &song.FileType}};
    const std::pair<const char *, double> numbers[] = {
        {"track", song.TrackNumber}, {"length", song.Length}, {"size", song.FileSize}};
    const char *separator = "\"";
    for (const auto &[name, value] : texts) {
        out += separator;
        out += name;
        out += "\": ";
        appendString(out, *value);
        separator = ", \"";
    }
    for (const auto &[name, value] : numbers) {
        out += separator;
        out += name;
        out += "\": ";
        appendNumber(out, value);
    }
}

// The play history: counts, the rating in stars and the last play in Unix seconds (or null).
void appendHistoryFields(QByteArray &out, const Song &song)
{
    out += ", \"play_count\": ";
    appendNumber(out, song.PlayCount);
    out += ", \"skip_count\": ";
    appendNumber(out, song.SkipCount);
    out += ", \"rating\": ";
    appendNumber(out, song.Rating / 20);
    out += ", \"last_played\": ";
    if (song.LastPlayed)
        out += QByteArray::number(static_cast<qint64>(song.LastPlayed));
    else
        out += "null";
}

} // namespace

QByteArray libraryToJson(const MusicLibrary &library, const LoadReport &report, ArtworkLibrary *artwork)
{
    QByteArray out;
    out.reserve(256 + static_cast<qsizetype>(library.SongCount) * 320);
    out += "{\"ipod_name\": ";
    appendString(out, library.iPodName);
    out += ",\n\"source\": ";
    appendString(out, sourceKindName(report.fromTags ? SourceKind::Tags : report.source.chosen));
    out += ",\n\"songs\": [";
    for (int32_t i = 0; i < library.SongCount; ++i) {
        out += i ? ",\n  " : "\n  ";
        out += "{\"index\": ";
        appendNumber(out, i);
        const Song &song = library.Songs[static_cast<std::size_t>(i)];
        out += ", \"id\": ";
        appendNumber(out, song.SongID);
        out += ", ";
        appendSongFields(out, song);
        appendHistoryFields(out, song);
        out += ", \"artwork\": ";
        if (const auto size = artwork ? artwork->coverSize(song) : std::nullopt) {
            out += "{\"width\": " + QByteArray::number(size->width()) +
                   ", \"height\": " + QByteArray::number(size->height()) + '}';
        } else {
            out += "null";
        }
        out += '}';
    }
    out += "],\n\"playlists\": [";
    for (int32_t p = 0; p < library.PlaylistCount; ++p) {
        const clsPlayList &playlist = *library.Playlists[static_cast<std::size_t>(p)];
        out += p ? ",\n  " : "\n  ";
        out += "{\"name\": ";
        appendString(out, playlist.Name);
        out += ", \"ids\": [";
        bool first = true;
        for (const QString &id : playlist.SongIDs.items()) {
            if (!first)
                out += ", ";
            first = false;
            appendString(out, id);
        }
        out += "]}";
    }
    out += "],\n\"warnings\": {\"unknown_tags\": ";
    appendNumber(out, report.unknownTags);
    out += ", \"errors\": [";
    QStringList errors(static_cast<qsizetype>(report.problems.size()), QString::fromUtf16(LoadErrorText));
    if (report.unknownTags > 0)
        errors << unknownTagWarningText();
    if (const std::optional<QString> failure = loadFailure(library, report))
        errors << *failure;
    for (qsizetype k = 0; k < errors.size(); ++k) {
        if (k)
            out += ", ";
        appendString(out, errors.at(k));
    }
    out += "]}}\n";
    return out;
}

std::optional<QString> loadFailure(const MusicLibrary &library, const LoadReport &report)
{
    if (report.fromTags)
        return std::nullopt;
    if (report.find(LoadProblem::Kind::CopyFailed))
        return QStringLiteral("the database file is missing or cannot be read");
    if (const LoadProblem *damaged = report.find(LoadProblem::Kind::DatabaseUnreadable); damaged && !report.isDatabase)
        return damaged->detail;
    if (!report.isDatabase)
        return QStringLiteral("the file is empty or is not an iTunesDB database (it does not start with \"mhbd\")");
    if (library.SongCount == 0 && report.unknownTags > 0)
        return QStringLiteral("the database is damaged: not one song could be read from it");
    return std::nullopt;
}

QByteArray orphansToJson(const MusicLibrary &library, const OrphanScan &orphans)
{
    QByteArray out;
    out.reserve(256 + static_cast<qsizetype>(orphans.songs.size()) * 280);
    out += "{\"ipod_name\": ";
    appendString(out, library.iPodName);
    out += ",\n\"total_size\": ";
    appendNumber(out, static_cast<double>(orphans.totalBytes));
    out += ",\n\"songs\": [";
    for (std::size_t i = 0; i < orphans.songs.size(); ++i) {
        out += i ? ",\n  {" : "\n  {";
        appendSongFields(out, orphans.songs[i]);
        out += '}';
    }
    out += "],\n\"unreadable\": ";
    appendNumber(out, static_cast<double>(orphans.unreadable.size()));
    out += ",\n\"unreadable_files\": [";
    for (std::size_t i = 0; i < orphans.unreadable.size(); ++i) {
        out += i ? ",\n  {\"path\": " : "\n  {\"path\": ";
        appendString(out, orphans.unreadable[i].path);
        out += ", \"size\": ";
        appendNumber(out, static_cast<double>(orphans.unreadable[i].size));
        out += '}';
    }
    out += "],\n\"unopenable_folders\": [";
    for (std::size_t i = 0; i < orphans.unopenableFolders.size(); ++i) {
        out += i ? ", " : "";
        appendString(out, orphans.unopenableFolders[i]);
    }
    out += "]}\n";
    return out;
}

} // namespace corvanel::itunesdb
