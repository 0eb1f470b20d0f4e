#include "SqliteLibrary.h"
#include "OnTheGo.h"
#include "ParseiTunesDB.h"
#include "SqliteTables.h"
#include "TagScan.h"

#include <NativePath.h>

#include <QFileInfo>
#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <optional>
#include <tuple>

namespace corvanel::itunesdb {

namespace {

constexpr int64_t Last = std::numeric_limits<int64_t>::max(); // the place of a row without one

// The database's words for each extension iTunes puts on an iPod.
struct ExtensionType
{
    const char *extension;
    const char *fileType;
};
constexpr ExtensionType ExtensionTypes[] = {
    {"mp3", "MPEG audio file"},   {"m4a", "AAC audio file"},           {"m4b", "AAC audio file"},
    {"aac", "AAC audio file"},    {"m4p", "Protected AAC audio file"}, {"wav", "WAV audio file"},
    {"aif", "AIFF audio file"},   {"aiff", "AIFF audio file"},         {"aifc", "AIFF audio file"},
    {"m4v", "MPEG-4 video file"}, {"mp4", "MPEG-4 video file"},        {"mov", "QuickTime movie file"},
    {"aa", "Audible file"},
};

QString storedFolderPath(QStringView name)
{
    return QString::fromUtf16(SqliteLibraryFolder) + QLatin1Char('\\') + name.toString();
}

int32_t clampToInt32(double value)
{
    if (!std::isfinite(value))
        return 0;
    value = std::clamp(std::round(value), double(std::numeric_limits<int32_t>::min()),
                       double(std::numeric_limits<int32_t>::max()));
    return static_cast<int32_t>(value);
}

// The library's times count seconds from 2001-01-01 UTC; 0 or less means never.
int64_t unixFromLibraryTime(int64_t seconds)
{
    constexpr int64_t Offset = 978307200;
    return seconds > 0 && seconds <= std::numeric_limits<int64_t>::max() - Offset ? seconds + Offset : 0;
}

int32_t countOf(int64_t value)
{
    return static_cast<int32_t>(std::clamp<int64_t>(value, 0, std::numeric_limits<int32_t>::max()));
}

// Positions 0, 1, ... of `rows` sorted by their place (a row without one goes last), ties in
// the order the table gave them.
template <typename Row, typename Place> std::vector<std::size_t> orderBy(const std::vector<Row> &rows, Place place)
{
    std::vector<std::size_t> order(rows.size());
    std::iota(order.begin(), order.end(), std::size_t(0));
    auto before = [&](std::size_t a, std::size_t b) { return place(rows[a]) < place(rows[b]); };
    // Tables usually hold their rows in order already.
    if (!std::is_sorted(order.begin(), order.end(), before))
        std::stable_sort(order.begin(), order.end(), before);
    return order;
}

// Builds the library from the tables' rows.
class Assembler
{
public:
    Assembler(MusicLibrary &library, LoadReport &report) : m_library(library), m_report(report) {}

    void run(SqliteDatabase &db, SqliteDatabase *locations, SqliteDatabase *dynamic)
    {
        std::vector<ItemRow> items;
        const TableRead read = readItems(db, items);
        if (read.failure && items.empty()) {
            m_report.add(LoadProblem::Kind::CopyFailed, part(SqliteLibraryFile, u"item", *read.failure));
            return;
        }
        m_report.isDatabase = true;
        noteDamage(SqliteLibraryFile, u"item", read, {"title", "artist", "album", "genre_id", "total_time_ms"});
        // The library's own playlist lists every song; its rows matter only for the order of
        // songs that have no place of their own.
        const bool allPlaced =
            std::all_of(items.begin(), items.end(), [](const ItemRow &item) { return item.position.has_value(); });
        readPlaylistTables(db, allPlaced);
        m_locations.reserve(static_cast<qsizetype>(items.size()));
        readFileTables(db, locations);
        addSongs(items);
        addPlaylists();
        if (dynamic)
            addStats(*dynamic);
    }

private:
    static QString part(QStringView file, QStringView table, const QString &what)
    {
        return QStringLiteral("%1, table %2: %3").arg(file, table, what);
    }

    // Reports a table that failed, or lacks one of the `needed` columns.
    void noteDamage(QStringView file, QStringView table, const TableRead &read,
                    std::initializer_list<const char *> needed = {})
    {
        QStringList lacking;
        for (const char *column : needed)
            if (read.missing.contains(QLatin1String(column)))
                lacking << QString::fromLatin1(column);
        if (read.failure)
            m_report.add(LoadProblem::Kind::DatabasePartUnreadable, part(file, table, *read.failure));
        else if (!lacking.isEmpty())
            m_report.add(LoadProblem::Kind::DatabasePartUnreadable,
                         part(file, table, QStringLiteral("no column %1").arg(lacking.join(QLatin1String(", ")))));
    }

    void readPlaylistTables(SqliteDatabase &db, bool skipLibrary)
    {
        const TableRead containers = readContainers(db, m_containers);
        noteDamage(SqliteLibraryFile, u"container", containers, {"name"});
        if (!containers.failure) {
            const TableRead primary = readPrimaryContainer(db, m_masterPid);
            noteDamage(SqliteLibraryFile, u"db_info", primary);
            const bool known = m_masterPid && std::any_of(m_containers.begin(), m_containers.end(),
                                                          [&](const ContainerRow &c) { return c.pid == *m_masterPid; });
            if (!primary.failure && !known)
                m_report.add(LoadProblem::Kind::DatabasePartUnreadable,
                             part(SqliteLibraryFile, u"db_info", QStringLiteral("no playlist is the library's own")));
        }
        std::vector<MemberRow> members;
        const TableRead read = readMembers(db, members, skipLibrary ? m_masterPid : std::nullopt);
        noteDamage(SqliteLibraryFile, u"item_to_container", read);
        for (const std::size_t i : orderBy(members, [](const MemberRow &m) { return m.position.value_or(Last); }))
            m_members[members[i].containerPid].push_back(members[i].itemPid);
    }

    void readFileTables(SqliteDatabase &db, SqliteDatabase *locations)
    {
        noteDamage(SqliteLibraryFile, u"genre_map", readNames(db, QStringLiteral("genre_map"), "genre", m_genres));
        // Without the kinds, a file's type comes from its extension.
        (void)readNames(db, QStringLiteral("location_kind_map"), "kind", m_kinds);
        if (!locations)
            return;
        const TableRead read = readLocations(*locations, m_locations);
        noteDamage(SqliteLocationsFile, u"location", read);
        m_locationsRead = !read.failure;
    }

    // The songs in the library's own order: by their place in the library, else by their place
    // in the library's playlist, else as the table gave them.
    std::vector<std::size_t> songOrder(const std::vector<ItemRow> &items) const
    {
        QHash<int64_t, int64_t> inMaster;
        const auto master = m_masterPid ? m_members.constFind(*m_masterPid) : m_members.constEnd();
        if (master != m_members.constEnd()) {
            for (std::size_t i = 0; i < master->size(); ++i)
                if (!inMaster.contains((*master)[i]))
                    inMaster.insert((*master)[i], static_cast<int64_t>(i));
        }
        // Sorted with its position as the last key, so that equal places keep the table's order.
        std::vector<std::tuple<int64_t, int64_t, std::size_t>> places(items.size());
        for (std::size_t i = 0; i < items.size(); ++i)
            places[i] = {items[i].position.value_or(Last), inMaster.value(items[i].pid, Last), i};
        std::sort(places.begin(), places.end());
        std::vector<std::size_t> order(items.size());
        for (std::size_t i = 0; i < places.size(); ++i)
            order[i] = std::get<2>(places[i]);
        return order;
    }

    void addSongs(const std::vector<ItemRow> &items)
    {
        m_library.Songs.reserve(items.size());
        m_songOf.reserve(static_cast<qsizetype>(items.size()));
        for (const std::size_t i : songOrder(items)) {
            const ItemRow &item = items[i];
            Song &song = m_library.addSong();
            const int32_t index = m_library.SongCount - 1;
            song.SongID = static_cast<double>(index) + 1;
            song.DbId = static_cast<uint64_t>(item.pid); // the persistent id the ArtworkDB names songs by
            const qsizetype known = m_songOf.size();
            int32_t &songOfPid = m_songOf[item.pid]; // one look-up; a later song with the id keeps none
            if (m_songOf.size() == known)
                m_report.add(LoadProblem::Kind::DuplicateTrackId, QString::number(item.pid));
            else
                songOfPid = index;
            fillSong(song, item);
            // Counted once per song, reported once; the first one names itself.
            constexpr auto without = LoadProblem::Kind::SongWithoutFile;
            if (song.Path.isEmpty() && m_locationsRead)
                m_report.add(without, m_report.find(without)
                                          ? QString()
                                          : QStringLiteral("song %1 \"%2\"").arg(index + 1).arg(song.Title));
        }
    }

    void fillSong(Song &song, const ItemRow &item) const
    {
        song.Title = item.title.value_or(QString());
        song.Album = item.album.value_or(QString());
        // As in the iTunesDB: an empty artist or genre reads "No ...", an absent one stays empty.
        if (item.artist)
            song.Artist = item.artist->isEmpty() ? QStringLiteral("No Artist") : *item.artist;
        if (item.genreId) {
            const auto genre = m_genres.constFind(*item.genreId);
            if (genre != m_genres.constEnd())
                song.Genre = genre->isEmpty() ? QStringLiteral("No Genre") : *genre;
        }
        song.TrackNumber = clampToInt32(static_cast<double>(item.trackNumber));
        song.Length = clampToInt32(item.lengthMs);
        const auto location = m_locations.constFind(item.pid);
        if (location == m_locations.constEnd() || location->path.isEmpty())
            return;
        song.Path = location->path;
        if (location->kindId)
            song.FileType = m_kinds.value(*location->kindId);
        if (song.FileType.isEmpty())
            song.FileType = fileTypeOfExtension(location->path);
    }

    // Each song's plays, skips and rating; a song without a row keeps none.
    void addStats(SqliteDatabase &dynamic)
    {
        QHash<int64_t, StatsRow> stats;
        noteDamage(SqliteDynamicFile, u"item_stats", readStats(dynamic, stats));
        for (auto row = stats.constBegin(); row != stats.constEnd(); ++row) {
            const auto index = m_songOf.constFind(row.key());
            if (index == m_songOf.constEnd())
                continue;
            Song &song = m_library.Songs[static_cast<std::size_t>(*index)];
            song.RecentPlays = countOf(row->recentPlays);
            song.PlayCount = std::max(countOf(row->plays), song.RecentPlays);
            song.SkipCount = countOf(row->skips);
            song.Rating = static_cast<int32_t>(std::clamp<int64_t>(row->rating, 0, 100));
            song.LastPlayed = unixFromLibraryTime(row->lastPlayed);
            song.LastSkipped = unixFromLibraryTime(row->lastSkipped);
        }
    }

    void addPlaylists()
    {
        const auto master = std::find_if(m_containers.begin(), m_containers.end(),
                                         [&](const ContainerRow &c) { return m_masterPid && c.pid == *m_masterPid; });
        QString name = master != m_containers.end() ? master->name.value_or(QString()) : QString();
        if (name.isEmpty())
            name = folderIpodName(m_library.iPodDrive);
        m_library.iPodName = name;
        // Each song's id text is made once and shared by every playlist that holds the song.
        std::vector<QString> ids;
        ids.reserve(m_library.Songs.size());
        for (const Song &song : m_library.Songs)
            ids.push_back(songIdText(song.SongID));
        clsPlayList &all = m_library.addPlaylist();
        all.Name = QStringLiteral(":: ") + name + QStringLiteral(" ::");
        all.SongIDs.reserve(ids.size());
        for (const QString &id : ids)
            all.SongIDs.AddItem(id);

        for (const std::size_t i :
             orderBy(m_containers, [](const ContainerRow &c) { return c.nameOrder.value_or(Last); })) {
            const ContainerRow &container = m_containers[i];
            if (m_masterPid && container.pid == *m_masterPid)
                continue;
            clsPlayList &list = m_library.addPlaylist();
            list.Name = container.name.value_or(QString());
            const auto members = m_members.constFind(container.pid);
            if (members == m_members.constEnd())
                continue;
            list.SongIDs.reserve(members->size());
            for (const int64_t pid : *members) {
                const auto song = m_songOf.constFind(pid);
                if (song == m_songOf.constEnd())
                    m_report.add(LoadProblem::Kind::PlaylistIdMissing,
                                 QStringLiteral("item %1 in \"%2\"").arg(pid).arg(list.Name));
                else
                    list.SongIDs.AddItem(ids[static_cast<std::size_t>(*song)]);
            }
        }
    }

    MusicLibrary &m_library;
    LoadReport &m_report;
    std::vector<ContainerRow> m_containers;
    std::optional<int64_t> m_masterPid;
    QHash<int64_t, std::vector<int64_t>> m_members; // container -> its songs' pids, in order
    QHash<int64_t, QString> m_genres;
    QHash<int64_t, QString> m_kinds;
    QHash<int64_t, LocationRow> m_locations;
    bool m_locationsRead = false;
    QHash<int64_t, int32_t> m_songOf; // pid -> index in Songs
};

} // namespace

QString fileTypeOfExtension(QStringView fileName)
{
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    if (dot < 0)
        return QString();
    const QStringView extension = fileName.mid(dot + 1);
    for (const ExtensionType &known : ExtensionTypes)
        if (extension.compare(QLatin1String(known.extension), Qt::CaseInsensitive) == 0)
            return QString::fromLatin1(known.fileType);
    return QString();
}

QString sqliteLibraryPath(const QString &ipodFolder, QStringView name)
{
    return NativePathResolver(ipodFolder).resolve(storedFolderPath(name));
}

bool hasSqliteLibrary(const QString &ipodFolder)
{
    return QFileInfo(sqliteLibraryPath(ipodFolder, SqliteLibraryFile)).isFile();
}

std::expected<SqliteDatabase, SqliteError> openSqliteLibraryFile(const QString &ipodFolder, QStringView name)
{
    return SqliteDatabase::open(sqliteLibraryPath(ipodFolder, name));
}

void fillFromSqlite(SqliteDatabase &libraryDb, SqliteDatabase *locations, MusicLibrary &library, LoadReport &report,
                    SqliteDatabase *dynamic)
{
    Assembler(library, report).run(libraryDb, locations, dynamic);
}

LoadReport readSqliteLibrary(const QString &ipodFolder, MusicLibrary &library, const LoadProgress &progress)
{
    LoadReport report;
    library.clear();
    library.iPodDrive = ipodFolder;
    auto libraryDb = openSqliteLibraryFile(ipodFolder, SqliteLibraryFile);
    if (!libraryDb) {
        report.add(LoadProblem::Kind::CopyFailed,
                   QStringLiteral("%1: %2").arg(QString::fromUtf16(SqliteLibraryFile), libraryDb.error().message));
        return report;
    }
    auto locations = openSqliteLibraryFile(ipodFolder, SqliteLocationsFile);
    if (!locations)
        report.add(LoadProblem::Kind::DatabasePartUnreadable,
                   QStringLiteral("%1: %2").arg(QString::fromUtf16(SqliteLocationsFile), locations.error().message));
    // Without Dynamic.itdb the songs have no history; one that cannot be read is reported.
    std::optional<SqliteDatabase> dynamic;
    if (const QString path = sqliteLibraryPath(ipodFolder, SqliteDynamicFile); QFileInfo(path).isFile()) {
        auto opened = SqliteDatabase::open(path);
        if (opened)
            dynamic = std::move(*opened);
        else
            report.add(LoadProblem::Kind::DatabasePartUnreadable,
                       QStringLiteral("%1: %2").arg(QString::fromUtf16(SqliteDynamicFile), opened.error().message));
    }
    fillFromSqlite(*libraryDb, locations ? &*locations : nullptr, library, report, dynamic ? &*dynamic : nullptr);
    if (!report.isDatabase)
        return report;

    NativePathResolver sizes(ipodFolder);
    measureFileSizes(library, 0, sizes, report, progress);
    LoadOnTheGo(library, report);
    buildIndexes(library, report);
    return report;
}

} // namespace corvanel::itunesdb
