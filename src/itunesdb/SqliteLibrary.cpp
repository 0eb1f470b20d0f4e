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

// "F00/ABCD.mp3" below the Music folder becomes \iPod_Control\Music\F00\ABCD.mp3, the form the
// iTunesDB gives; a location that already starts at iPod_Control keeps its folders.
QString storedSongPath(QString location)
{
    location.replace(QLatin1Char('/'), QLatin1Char('\\'));
    qsizetype start = 0;
    while (start < location.size() && location[start] == QLatin1Char('\\'))
        ++start;
    location.remove(0, start);
    if (location.isEmpty())
        return QString();
    if (location.startsWith(QLatin1String("iPod_Control\\"), Qt::CaseInsensitive))
        return QLatin1Char('\\') + location;
    return QStringLiteral("\\iPod_Control\\Music\\") + location;
}

int32_t clampToInt32(double value)
{
    if (!std::isfinite(value))
        return 0;
    value = std::clamp(std::round(value), double(std::numeric_limits<int32_t>::min()),
                       double(std::numeric_limits<int32_t>::max()));
    return static_cast<int32_t>(value);
}

// Positions 0, 1, ... of `rows` sorted by their place (a row without one goes last), ties in
// the order the table gave them.
template <typename Row, typename Place> std::vector<std::size_t> orderBy(const std::vector<Row> &rows, Place place)
{
    std::vector<std::size_t> order(rows.size());
    std::iota(order.begin(), order.end(), std::size_t(0));
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return place(rows[a]) < place(rows[b]); });
    return order;
}

// Builds the library from the tables' rows.
class Assembler
{
public:
    Assembler(MusicLibrary &library, LoadReport &report) : m_library(library), m_report(report) {}

    void run(SqliteDatabase &db, SqliteDatabase *locations)
    {
        std::vector<ItemRow> items;
        const TableRead read = readItems(db, items);
        if (read.failure && items.empty()) {
            m_report.add(LoadProblem::Kind::CopyFailed, part(SqliteLibraryFile, u"item", *read.failure));
            return;
        }
        m_report.isDatabase = true;
        noteDamage(SqliteLibraryFile, u"item", read, {"title", "artist", "album", "genre_id", "total_time_ms"});
        readPlaylistTables(db);
        readFileTables(db, locations);
        addSongs(items);
        addPlaylists();
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

    void readPlaylistTables(SqliteDatabase &db)
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
        const TableRead read = readMembers(db, members);
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
        if (m_masterPid) {
            const auto it = m_members.constFind(*m_masterPid);
            if (it != m_members.constEnd())
                for (std::size_t i = 0; i < it->size(); ++i)
                    if (!inMaster.contains((*it)[i]))
                        inMaster.insert((*it)[i], static_cast<int64_t>(i));
        }
        return orderBy(items, [&](const ItemRow &item) {
            return std::make_pair(item.position.value_or(Last), inMaster.value(item.pid, Last));
        });
    }

    void addSongs(const std::vector<ItemRow> &items)
    {
        m_library.Songs.reserve(items.size());
        for (const std::size_t i : songOrder(items)) {
            const ItemRow &item = items[i];
            Song &song = m_library.addSong();
            const int32_t index = m_library.SongCount - 1;
            song.SongID = static_cast<double>(index) + 1;
            if (m_songOf.contains(item.pid))
                m_report.add(LoadProblem::Kind::DuplicateTrackId, QString::number(item.pid));
            else
                m_songOf.insert(item.pid, index);
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
        if (location == m_locations.constEnd())
            return;
        song.Path = storedSongPath(location->location);
        if (location->kindId)
            song.FileType = m_kinds.value(*location->kindId);
        if (song.FileType.isEmpty())
            song.FileType = fileTypeOfExtension(location->location);
    }

    void addPlaylists()
    {
        const auto master = std::find_if(m_containers.begin(), m_containers.end(),
                                         [&](const ContainerRow &c) { return m_masterPid && c.pid == *m_masterPid; });
        QString name = master != m_containers.end() ? master->name.value_or(QString()) : QString();
        if (name.isEmpty())
            name = folderIpodName(m_library.iPodDrive);
        m_library.iPodName = name;
        clsPlayList &all = m_library.addPlaylist();
        all.Name = QStringLiteral(":: ") + name + QStringLiteral(" ::");
        all.SongIDs.reserve(m_library.Songs.size());
        for (const Song &song : m_library.Songs)
            all.SongIDs.AddItem(songIdText(song.SongID));

        for (const std::size_t i :
             orderBy(m_containers, [](const ContainerRow &c) { return c.nameOrder.value_or(Last); })) {
            const ContainerRow &container = m_containers[i];
            if (m_masterPid && container.pid == *m_masterPid)
                continue;
            clsPlayList &list = m_library.addPlaylist();
            list.Name = container.name.value_or(QString());
            for (const int64_t pid : m_members.value(container.pid)) {
                const auto song = m_songOf.constFind(pid);
                if (song == m_songOf.constEnd())
                    m_report.add(LoadProblem::Kind::PlaylistIdMissing,
                                 QStringLiteral("item %1 in \"%2\"").arg(pid).arg(list.Name));
                else
                    list.SongIDs.AddItem(songIdText(*song + 1.0));
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

void fillFromSqlite(SqliteDatabase &libraryDb, SqliteDatabase *locations, MusicLibrary &library, LoadReport &report)
{
    Assembler(library, report).run(libraryDb, locations);
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
    fillFromSqlite(*libraryDb, locations ? &*locations : nullptr, library, report);
    if (!report.isDatabase)
        return report;

    NativePathResolver sizes(ipodFolder);
    measureFileSizes(library, 0, sizes, report, progress);
    LoadOnTheGo(library, report);
    buildSongIndexAndLibrary(library, report);
    return report;
}

} // namespace corvanel::itunesdb
