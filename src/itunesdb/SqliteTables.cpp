#include "SqliteTables.h"

#include <algorithm>
#include <initializer_list>

namespace corvanel::itunesdb {

namespace {

// Reads `wanted` from every row of `table` (a column the table lacks reads as NULL; the
// first `required` must be there) and hands each row to `row`, the columns in that order.
template <typename Row>
TableRead readTable(SqliteDatabase &db, const QString &table, std::initializer_list<const char *> wanted,
                    std::size_t required, Row &&row, const QString &where = QString())
{
    TableRead result;
    const auto columns = db.columnsOf(table);
    if (!columns) {
        result.failure = columns.error().message;
        return result;
    }
    QStringList select;
    std::size_t index = 0;
    for (const char *name : wanted) {
        const QString column = QString::fromLatin1(name);
        if (columns->contains(column)) {
            select << QLatin1Char('"') + column + QLatin1Char('"');
        } else if (index < required) {
            result.failure = QStringLiteral("no column \"%1\"").arg(column);
            return result;
        } else {
            select << QStringLiteral("NULL");
            result.missing << column;
        }
        ++index;
    }
    auto statement =
        db.prepare(QStringLiteral("SELECT %1 FROM \"%2\" %3").arg(select.join(QLatin1String(", ")), table, where));
    if (!statement) {
        result.failure = statement.error().message;
        return result;
    }
    while (statement->step())
        row(*statement);
    if (statement->error())
        result.failure = statement->error()->message;
    return result;
}

} // namespace

TableRead readItems(SqliteDatabase &db, std::vector<ItemRow> &rows)
{
    return readTable(db, QStringLiteral("item"),
                     {"pid", "title", "artist", "album", "genre_id", "track_number", "total_time_ms", "physical_order"},
                     1, [&rows](const SqliteStatement &in) {
                         ItemRow &item = rows.emplace_back();
                         item.pid = in.integerOrZero(0);
                         item.title = in.text(1);
                         item.artist = in.text(2);
                         item.album = in.text(3);
                         item.genreId = in.integer(4);
                         item.trackNumber = in.integerOrZero(5);
                         item.lengthMs = in.real(6).value_or(0);
                         item.position = in.integer(7);
                     });
}

TableRead readContainers(SqliteDatabase &db, std::vector<ContainerRow> &rows)
{
    return readTable(db, QStringLiteral("container"), {"pid", "name", "name_order"}, 1,
                     [&rows](const SqliteStatement &in) {
                         rows.push_back(ContainerRow{in.integerOrZero(0), in.text(1), in.integer(2)});
                     });
}

TableRead readMembers(SqliteDatabase &db, std::vector<MemberRow> &rows, std::optional<int64_t> skipped)
{
    const QString where = skipped ? QStringLiteral("WHERE container_pid IS NOT %1").arg(*skipped) : QString();
    return readTable(
        db, QStringLiteral("item_to_container"), {"container_pid", "item_pid", "physical_order"}, 2,
        [&rows](const SqliteStatement &in) {
            rows.push_back(MemberRow{in.integerOrZero(0), in.integerOrZero(1), in.integer(2)});
        },
        where);
}

TableRead readPrimaryContainer(SqliteDatabase &db, std::optional<int64_t> &pid)
{
    return readTable(db, QStringLiteral("db_info"), {"primary_container_pid"}, 1, [&pid](const SqliteStatement &in) {
        if (!pid)
            pid = in.integer(0);
    });
}

TableRead readNames(SqliteDatabase &db, const QString &table, const char *column, QHash<int64_t, QString> &names)
{
    return readTable(db, table, {"id", column}, 2, [&names](const SqliteStatement &in) {
        if (const auto id = in.integer(0); id && !names.contains(*id))
            names.insert(*id, in.text(1).value_or(QString()));
    });
}

TableRead readLocations(SqliteDatabase &db, QHash<int64_t, LocationRow> &rows)
{
    return readTable(db, QStringLiteral("location"), {"item_pid", "location", "kind_id"}, 2,
                     [&rows](const SqliteStatement &in) {
                         LocationRow &row = rows[in.integerOrZero(0)]; // one look-up
                         if (row.path.isEmpty())
                             row = LocationRow{storedSongPath(in.utf8(1).value_or(std::string_view())), in.integer(2)};
                     });
}

TableRead readStats(SqliteDatabase &db, QHash<int64_t, StatsRow> &rows)
{
    const QString table = QStringLiteral("item_stats");
    auto present = db.prepare(
        QStringLiteral("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = '%1' COLLATE NOCASE").arg(table));
    if (!present)
        return TableRead{present.error().message, {}};
    if (!present->step())
        return TableRead{present->error() ? std::optional(present->error()->message) : std::nullopt, {}};
    return readTable(db, table,
                     {"item_pid", "play_count_user", "play_count_recent", "skip_count_user", "date_played",
                      "date_skipped", "user_rating"},
                     1, [&rows](const SqliteStatement &in) {
                         const int64_t pid = in.integerOrZero(0);
                         if (rows.contains(pid))
                             return;
                         rows.insert(pid, StatsRow{in.integerOrZero(1), in.integerOrZero(2), in.integerOrZero(3),
                                                   in.integerOrZero(4), in.integerOrZero(5), in.integerOrZero(6)});
                     });
}

QString storedSongPath(std::string_view location)
{
    while (!location.empty() && (location.front() == '/' || location.front() == '\\'))
        location.remove_prefix(1);
    if (location.empty())
        return QString();
    constexpr std::string_view control = "ipod_control";
    const bool fromControl =
        location.size() > control.size() && (location[control.size()] == '/' || location[control.size()] == '\\') &&
        QByteArrayView(location.substr(0, control.size())).compare(QByteArrayView(control), Qt::CaseInsensitive) == 0;
    const QLatin1String prefix = fromControl ? QLatin1String("\\") : QLatin1String("\\iPod_Control\\Music\\");
    if (std::any_of(location.begin(), location.end(), [](char c) { return c == 0 || uchar(c) >= 0x80; }))
        return prefix + textOfUtf8(location).replace(QLatin1Char('/'), QLatin1Char('\\'));
    // Plain ASCII, as iTunes names the files: one allocation.
    QString path(prefix.size() + qsizetype(location.size()), Qt::Uninitialized);
    QChar *out = path.data();
    for (const char c : prefix)
        *out++ = QLatin1Char(c);
    for (const char c : location)
        *out++ = QLatin1Char(c == '/' ? '\\' : c);
    return path;
}

} // namespace corvanel::itunesdb
