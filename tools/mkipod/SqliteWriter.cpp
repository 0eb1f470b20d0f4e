// The nano 6G/7G library: the tables and columns iTunes writes that a reader of the songs and
// playlists needs, plus the ones beside them that show the real shape (sort names, flags).
#include "SqliteWriter.h"
#include "BuilderSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <sqlite3.h>

#include <memory>
#include <variant>

namespace mkipod {

using namespace detail;

namespace {

const char *const kLibrarySchema =
    "CREATE TABLE version_info (id INTEGER PRIMARY KEY, major INTEGER, minor INTEGER, compatibility INTEGER DEFAULT 0,"
    " update_level INTEGER DEFAULT 0, device_update_level INTEGER DEFAULT 0, platform INTEGER DEFAULT 0);"
    "CREATE TABLE db_info (pid INTEGER NOT NULL, primary_container_pid INTEGER, media_folder_url TEXT,"
    " audio_language INTEGER, subtitle_language INTEGER, bib BLOB, rib BLOB, PRIMARY KEY (pid));"
    "CREATE TABLE item (pid INTEGER NOT NULL, revision_level INTEGER, media_kind INTEGER DEFAULT 0,"
    " is_song INTEGER DEFAULT 0, is_podcast INTEGER DEFAULT 0, date_modified INTEGER DEFAULT 0,"
    " year INTEGER DEFAULT 0, is_compilation INTEGER, start_time_ms REAL DEFAULT 0, stop_time_ms REAL DEFAULT 0,"
    " total_time_ms REAL DEFAULT 0, track_number INTEGER DEFAULT 0, track_count INTEGER DEFAULT 0,"
    " disc_number INTEGER DEFAULT 0, disc_count INTEGER DEFAULT 0, genre_id INTEGER DEFAULT 0,"
    " album_pid INTEGER DEFAULT 0, artist_pid INTEGER DEFAULT 0, title TEXT, artist TEXT, album TEXT,"
    " album_artist TEXT, sort_title TEXT, sort_artist TEXT, sort_album TEXT, comment TEXT,"
    " physical_order INTEGER, PRIMARY KEY (pid));"
    "CREATE TABLE genre_map (id INTEGER NOT NULL, genre TEXT NOT NULL, genre_order INTEGER DEFAULT 0,"
    " PRIMARY KEY (id), UNIQUE (genre));"
    "CREATE TABLE location_kind_map (id INTEGER NOT NULL, kind TEXT NOT NULL, PRIMARY KEY (id), UNIQUE (kind));"
    "CREATE TABLE container (pid INTEGER NOT NULL, distinguished_kind INTEGER, date_created INTEGER, name TEXT,"
    " name_order INTEGER, parent_pid INTEGER, media_kinds INTEGER, workout_template_id INTEGER,"
    " is_hidden INTEGER, smart_is_folder INTEGER, PRIMARY KEY (pid));"
    "CREATE TABLE item_to_container (item_pid INTEGER, container_pid INTEGER, physical_order INTEGER,"
    " shuffle_order INTEGER);";

const char *const kLocationsSchema =
    "CREATE TABLE location (item_pid INTEGER NOT NULL, sub_id INTEGER NOT NULL DEFAULT 0,"
    " base_location_id INTEGER DEFAULT 0, location_type INTEGER, location TEXT, extension INTEGER,"
    " kind_id INTEGER DEFAULT 0, date_created INTEGER DEFAULT 0, file_size INTEGER DEFAULT 0,"
    " PRIMARY KEY (item_pid, sub_id));"
    "CREATE TABLE base_location (id INTEGER NOT NULL, path TEXT, PRIMARY KEY (id));"
    "INSERT INTO base_location VALUES (1, 'iPod_Control/Music');";

const char *const kDynamicSchema =
    "CREATE TABLE item_stats (item_pid INTEGER NOT NULL, has_been_played INTEGER DEFAULT 0,"
    " date_played INTEGER DEFAULT 0, play_count_user INTEGER DEFAULT 0, play_count_recent INTEGER DEFAULT 0,"
    " date_skipped INTEGER DEFAULT 0, skip_count_user INTEGER DEFAULT 0, skip_count_recent INTEGER DEFAULT 0,"
    " bookmark_time_ms REAL, bookmark_time_ms_common REAL, user_rating INTEGER DEFAULT 0,"
    " user_rating_common INTEGER DEFAULT 0, rental_expired INTEGER DEFAULT 0, hidden INTEGER DEFAULT 0,"
    " deleted INTEGER DEFAULT 0, has_changes INTEGER DEFAULT 0, PRIMARY KEY (item_pid));"
    "CREATE TABLE container_ui (container_pid INTEGER NOT NULL, play_order INTEGER DEFAULT 0,"
    " is_reversed INTEGER DEFAULT 0, album_field_order INTEGER DEFAULT 0, repeat_mode INTEGER DEFAULT 0,"
    " shuffle_items INTEGER DEFAULT 0, has_been_shuffled INTEGER DEFAULT 0, PRIMARY KEY (container_pid));"
    "CREATE TABLE rental_info (item_pid INTEGER NOT NULL, rental_date_started INTEGER DEFAULT 0,"
    " rental_duration INTEGER DEFAULT 0, rental_playback_date_started INTEGER DEFAULT 0,"
    " rental_playback_duration INTEGER DEFAULT 0, is_demo INTEGER DEFAULT 0, PRIMARY KEY (item_pid));";

// Media kinds iTunes gives items.
constexpr int64_t kMediaSong = 1;
constexpr int64_t kMediaPodcast = 4;
// "FILE", the kind of every location.
constexpr int64_t kLocationFile = 0x46494C45;

using Value = std::variant<std::nullptr_t, int64_t, double, QString>;

Value textOrNull(const std::optional<QString> &text)
{
    return text ? Value(*text) : Value(nullptr);
}

// One database file being written: created afresh, filled in one transaction.
class Writer
{
public:
    bool open(const QString &path, const char *schema, QString *error)
    {
        m_path = path;
        QFile::remove(path);
        sqlite3 *handle = nullptr;
        const int code = sqlite3_open_v2(QFile::encodeName(path).constData(), &handle,
                                         SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
        m_db.reset(handle);
        return code == SQLITE_OK && exec("PRAGMA journal_mode = OFF; BEGIN;", error) && exec(schema, error);
    }
    bool exec(const char *sql, QString *error)
    {
        if (sqlite3_exec(m_db.get(), sql, nullptr, nullptr, nullptr) == SQLITE_OK)
            return true;
        return fail(error,
                    QStringLiteral("Cannot write %1: %2").arg(m_path, QString::fromUtf8(sqlite3_errmsg(m_db.get()))));
    }
    // Inserts one row into `table`, the values in the order of `columns`.
    bool insert(const char *table, const char *columns, std::initializer_list<Value> values, QString *error)
    {
        const QByteArray key = QByteArray(table) + ' ' + columns;
        sqlite3_stmt *&statement = m_statements[key];
        if (!statement) {
            QByteArray marks;
            for (std::size_t i = 0; i < values.size(); ++i)
                marks += i ? ",?" : "?";
            const QByteArray sql = "INSERT INTO " + QByteArray(table) + " (" + columns + ") VALUES (" + marks + ")";
            if (sqlite3_prepare_v2(m_db.get(), sql.constData(), -1, &statement, nullptr) != SQLITE_OK)
                return fail(
                    error,
                    QStringLiteral("Cannot write %1: %2").arg(m_path, QString::fromUtf8(sqlite3_errmsg(m_db.get()))));
        }
        sqlite3_reset(statement);
        int index = 0;
        for (const Value &value : values) {
            ++index;
            if (const auto *number = std::get_if<int64_t>(&value))
                sqlite3_bind_int64(statement, index, *number);
            else if (const auto *real = std::get_if<double>(&value))
                sqlite3_bind_double(statement, index, *real);
            else if (const auto *text = std::get_if<QString>(&value))
                sqlite3_bind_text(statement, index, text->toUtf8().constData(), -1, SQLITE_TRANSIENT);
            else
                sqlite3_bind_null(statement, index);
        }
        if (sqlite3_step(statement) == SQLITE_DONE)
            return true;
        return fail(error, QStringLiteral("Cannot write %1 into %2: %3")
                               .arg(QString::fromLatin1(table), m_path, QString::fromUtf8(sqlite3_errmsg(m_db.get()))));
    }
    bool commit(QString *error)
    {
        for (sqlite3_stmt *statement : std::as_const(m_statements))
            sqlite3_finalize(statement);
        m_statements.clear();
        return exec("COMMIT;", error);
    }
    ~Writer()
    {
        for (sqlite3_stmt *statement : std::as_const(m_statements))
            sqlite3_finalize(statement);
    }

private:
    struct Close
    {
        void operator()(sqlite3 *db) const { sqlite3_close(db); }
    };
    std::unique_ptr<sqlite3, Close> m_db;
    QHash<QByteArray, sqlite3_stmt *> m_statements;
    QString m_path;
};

// ":iPod_Control:Music:F00:ABCD.mp3" -> "F00/ABCD.mp3"
QString musicRelative(const QString &location)
{
    QStringList parts = location.split(QLatin1Char(':'), Qt::SkipEmptyParts);
    if (parts.size() > 2 && parts[1].compare(QLatin1String("Music"), Qt::CaseInsensitive) == 0)
        parts = parts.mid(2);
    return parts.join(QLatin1Char('/'));
}

// The file's extension as a four-character code, as iTunes stores it ("MP3 ").
int64_t extensionCode(const QString &location)
{
    const QByteArray ext = QFileInfo(location).suffix().toUpper().toLatin1().leftJustified(4, ' ', true);
    return int64_t(uint8_t(ext[0])) << 24 | int64_t(uint8_t(ext[1])) << 16 | int64_t(uint8_t(ext[2])) << 8 |
           int64_t(uint8_t(ext[3]));
}

// Ids from 1 for the distinct texts, in the order first met.
QHash<QString, int64_t> numbered(const std::vector<Track> &tracks, const std::optional<QString> Track::*field)
{
    QHash<QString, int64_t> ids;
    for (const Track &t : tracks)
        if (const auto &text = t.*field; text && !ids.contains(*text))
            ids.insert(*text, ids.size() + 1);
    return ids;
}

bool writeItems(Writer &w, const Database &db, const QHash<QString, int64_t> &genres, QString *error)
{
    for (std::size_t i = 0; i < db.tracks.size(); ++i) {
        const Track &t = db.tracks[i];
        const int64_t kind = t.podcast ? kMediaPodcast : kMediaSong;
        const int64_t genre = t.genre ? genres.value(*t.genre) : 0;
        if (!w.insert("item",
                      "pid, media_kind, is_song, is_podcast, year, total_time_ms, track_number, track_count, genre_id,"
                      " title, artist, album, sort_title, sort_artist, sort_album, comment, physical_order",
                      {persistentId(uint64_t(t.id)), kind, int64_t(!t.podcast), int64_t(t.podcast), int64_t(t.year),
                       double(t.lengthMs), int64_t(t.trackNumber), int64_t(t.totalTracks), genre, textOrNull(t.title),
                       textOrNull(t.artist), textOrNull(t.album), textOrNull(t.title), textOrNull(t.artist),
                       textOrNull(t.album), textOrNull(t.comment), int64_t(i)},
                      error))
            return false;
    }
    for (auto it = genres.cbegin(); it != genres.cend(); ++it)
        if (!w.insert("genre_map", "id, genre, genre_order", {it.value(), it.key(), it.value()}, error))
            return false;
    return true;
}

bool writePlaylists(Writer &w, const Database &db, QString *error)
{
    for (std::size_t p = 0; p < db.playlists.size(); ++p) {
        const Playlist &list = db.playlists[p];
        const int64_t pid = persistentId(0x10000 + p);
        if (!w.insert("container", "pid, distinguished_kind, name, name_order, parent_pid, media_kinds, is_hidden",
                      {pid, int64_t(0), list.name, int64_t(p), int64_t(0), int64_t(1), int64_t(p == 0)}, error))
            return false;
        for (std::size_t k = 0; k < list.trackIds.size(); ++k)
            if (!w.insert("item_to_container", "item_pid, container_pid, physical_order",
                          {persistentId(uint64_t(list.trackIds[k])), pid, int64_t(k)}, error))
                return false;
    }
    if (!w.insert("version_info", "id, major, minor, platform", {int64_t(1), int64_t(2), int64_t(0x75), int64_t(2)},
                  error))
        return false;
    if (db.playlists.empty())
        return w.insert("db_info", "pid", {persistentId(0xDB)}, error);
    return w.insert("db_info", "pid, primary_container_pid", {persistentId(0xDB), persistentId(0x10000)}, error);
}

bool writeLibrary(const QString &path, const Database &db, QString *error)
{
    Writer w;
    if (!w.open(path, kLibrarySchema, error))
        return false;
    if (!writeItems(w, db, numbered(db.tracks, &Track::genre), error) || !writePlaylists(w, db, error))
        return false;
    const QHash<QString, int64_t> kinds = numbered(db.tracks, &Track::fileType);
    for (auto it = kinds.cbegin(); it != kinds.cend(); ++it)
        if (!w.insert("location_kind_map", "id, kind", {it.value(), it.key()}, error))
            return false;
    return w.commit(error);
}

bool writeLocations(const QString &path, const QString &root, const Database &db, QString *error)
{
    Writer w;
    if (!w.open(path, kLocationsSchema, error))
        return false;
    const QHash<QString, int64_t> kinds = numbered(db.tracks, &Track::fileType);
    for (const Track &t : db.tracks) {
        if (!t.location)
            continue;
        const QFileInfo file(localPath(root, *t.location));
        const int64_t size = file.exists() ? file.size() : t.sizeBytes;
        const int64_t kind = t.fileType ? kinds.value(*t.fileType) : 0;
        if (!w.insert("location",
                      "item_pid, sub_id, base_location_id, location_type, location, extension, kind_id, file_size",
                      {persistentId(uint64_t(t.id)), int64_t(0), int64_t(1), kLocationFile, musicRelative(*t.location),
                       extensionCode(*t.location), kind, size},
                      error))
            return false;
    }
    return w.commit(error);
}

bool writeDynamic(const QString &path, const Database &db, QString *error)
{
    Writer w;
    if (!w.open(path, kDynamicSchema, error))
        return false;
    // The library's times count from 2001-01-01; the plays since the sync are already counted in.
    auto libraryTime = [](uint32_t macTime) { return macTime ? int64_t(macTime) - 2082844800 - 978307200 : 0; };
    for (size_t i = 0; i < db.tracks.size(); ++i) {
        const Track &t = db.tracks[i];
        const PlayCountsEntry recent =
            db.playCounts && i < db.playCounts->entries.size() ? db.playCounts->entries[i] : PlayCountsEntry{};
        const int64_t plays = int64_t(t.playCount) + recent.plays;
        if (!w.insert("item_stats",
                      "item_pid, has_been_played, play_count_user, play_count_recent, skip_count_user, date_played,"
                      " date_skipped, user_rating",
                      {persistentId(uint64_t(t.id)), int64_t(plays > 0), plays, int64_t(recent.plays),
                       int64_t(t.skipCount) + recent.skips,
                       libraryTime(recent.lastPlayed ? recent.lastPlayed : lastPlayedOf(t)),
                       libraryTime(recent.lastSkipped ? recent.lastSkipped : lastSkippedOf(t)),
                       int64_t(recent.rating > 0 ? recent.rating : t.rating)},
                      error))
            return false;
    }
    return w.commit(error);
}

} // namespace

int64_t persistentId(uint64_t number)
{
    // splitmix64: a bijection, so distinct numbers never share an id.
    uint64_t z = number + 0x9E3779B97F4A7C15ull;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return int64_t(z ^ (z >> 31));
}

bool writeSqliteLibrary(const QString &root, const Database &db, QString *error)
{
    try {
        const QString folder = QDir(root).filePath(QStringLiteral("iPod_Control/iTunes/iTunes Library.itlp"));
        if (!QDir().mkpath(folder))
            return fail(error, QStringLiteral("Cannot create the folder %1").arg(folder));
        return writeLibrary(folder + QStringLiteral("/Library.itdb"), db, error) &&
               writeLocations(folder + QStringLiteral("/Locations.itdb"), root, db, error) &&
               writeDynamic(folder + QStringLiteral("/Dynamic.itdb"), db, error);
    } catch (...) {
        return fail(error, QStringLiteral("Unexpected failure while writing the SQLite library at %1").arg(root));
    }
}

bool makeSqliteIpod(const QString &root, const Database &db, QString *error)
{
    if (!writeSqliteLibrary(root, db, error))
        return false;
    // The nano keeps its plays in Dynamic.itdb: a Play Counts file of the iTunesDB would not match.
    const QString playCounts = QDir(root).filePath(QStringLiteral("iPod_Control/iTunes/Play Counts"));
    if (QFile::exists(playCounts) && !QFile::remove(playCounts))
        return fail(error, QStringLiteral("Cannot remove %1").arg(playCounts));
    Database empty;
    empty.layout = db.layout;
    empty.version = db.version;
    Playlist master{db.playlists.empty() ? QStringLiteral("iPod") : db.playlists.front().name, {}, true};
    empty.playlists = {master};
    const QByteArray bytes = buildITunesDb(empty);
    return writeFile(QDir(root).filePath(QStringLiteral("iPod_Control/iTunes/iTunesDB")), bytes, error);
}

} // namespace mkipod
