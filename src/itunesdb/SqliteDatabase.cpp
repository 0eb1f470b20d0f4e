#include "SqliteDatabase.h"

#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

#include <cstring>
#include <filesystem>
#include <limits>
#include <system_error>

namespace corvanel::itunesdb {

namespace {

// The progress handler runs every this many virtual-machine instructions.
constexpr int InstructionsPerTick = 1000;
// The work a database may take: a fixed allowance plus a share per byte of the file. Reading
// a table is linear in its size (no views, triggers or joins run), so an honest library stays
// far below it; the bound only matters for a crafted file.
constexpr qint64 BaseTicks = 10'000;
constexpr qint64 BytesPerTick = 4;
// The longest text or BLOB a value may have. The longest text we read is a title.
constexpr int MaxValueBytes = 16 * 1024 * 1024;
// A connection is used by one thread at a time, so SQLite need not lock it around every call.
constexpr int OneThread = SQLITE_OPEN_NOMUTEX;

SqliteError errorOf(sqlite3 *handle, int code)
{
    const char *message = handle ? sqlite3_errmsg(handle) : sqlite3_errstr(code);
    return SqliteError{code & 0xff, QString::fromUtf8(message)};
}

bool isRegularFile(const QString &path)
{
    std::error_code error;
    return std::filesystem::is_regular_file(std::filesystem::path(QFile::encodeName(path).toStdString()), error);
}

} // namespace

QString textOfUtf8(std::string_view bytes)
{
    if (bytes.empty())
        return QString(QLatin1String(""));
    QString text = QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
    if (bytes.find('\0') != std::string_view::npos)
        text.remove(QChar(u'\0'));
    return text;
}

struct SqliteDatabase::State
{
    sqlite3 *handle = nullptr;
    qint64 ticksLeft = 0;

    ~State()
    {
        // Statements still open keep the connection alive until they are finalized.
        if (handle)
            sqlite3_close_v2(handle);
    }
    SqliteError error(int code) const
    {
        if (ticksLeft < 0)
            return SqliteError{SQLITE_INTERRUPT, QStringLiteral("the database takes too long to read")};
        return errorOf(handle, code);
    }
};

void SqliteStatement::Finalize::operator()(sqlite3_stmt *statement) const
{
    sqlite3_finalize(statement);
}

bool SqliteStatement::step()
{
    if (!m_statement || m_error)
        return false;
    const int code = sqlite3_step(m_statement.get());
    if (code == SQLITE_ROW)
        return true;
    if (code != SQLITE_DONE) {
        sqlite3 *handle = sqlite3_db_handle(m_statement.get());
        const bool outOfTime = code == SQLITE_INTERRUPT;
        m_error = outOfTime ? SqliteError{SQLITE_INTERRUPT, QStringLiteral("the database takes too long to read")}
                            : errorOf(handle, code);
    }
    // Stepping a finished statement would start it again.
    m_statement.reset();
    return false;
}

SqliteStatement::SqliteStatement(sqlite3_stmt *statement)
    : m_statement(statement), m_columns(sqlite3_column_count(statement))
{
}

int SqliteStatement::columnCount() const
{
    return m_statement ? m_columns : 0;
}

QString SqliteStatement::columnName(int column) const
{
    if (column < 0 || column >= columnCount())
        return QString();
    return QString::fromUtf8(sqlite3_column_name(m_statement.get(), column));
}

bool SqliteStatement::hasValue(int column) const
{
    return m_statement && column >= 0 && column < m_columns &&
           sqlite3_column_type(m_statement.get(), column) != SQLITE_NULL;
}

std::optional<std::string_view> SqliteStatement::utf8(int column) const
{
    if (!hasValue(column))
        return std::nullopt;
    const auto *data = reinterpret_cast<const char *>(sqlite3_column_text(m_statement.get(), column));
    const int bytes = sqlite3_column_bytes(m_statement.get(), column);
    if (!data || bytes <= 0)
        return std::string_view();
    return std::string_view(data, static_cast<std::size_t>(bytes));
}

std::optional<QString> SqliteStatement::text(int column) const
{
    const std::optional<std::string_view> bytes = utf8(column);
    if (!bytes)
        return std::nullopt;
    return textOfUtf8(*bytes);
}

std::optional<int64_t> SqliteStatement::integer(int column) const
{
    if (!hasValue(column))
        return std::nullopt;
    return sqlite3_column_int64(m_statement.get(), column);
}

int64_t SqliteStatement::integerOrZero(int column) const
{
    // SQLite reads NULL as 0.
    return m_statement && column >= 0 && column < m_columns ? sqlite3_column_int64(m_statement.get(), column) : 0;
}

std::optional<double> SqliteStatement::real(int column) const
{
    if (!hasValue(column))
        return std::nullopt;
    return sqlite3_column_double(m_statement.get(), column);
}

SqliteDatabase::SqliteDatabase(std::unique_ptr<State> state) : m_state(std::move(state)) {}
SqliteDatabase::SqliteDatabase(SqliteDatabase &&other) noexcept = default;
SqliteDatabase &SqliteDatabase::operator=(SqliteDatabase &&other) noexcept = default;
SqliteDatabase::~SqliteDatabase() = default;

std::expected<SqliteDatabase, SqliteError> SqliteDatabase::guarded(sqlite3 *handle, qint64 bytes)
{
    auto state = std::make_unique<State>();
    state->handle = handle;
    state->ticksLeft = BaseTicks + bytes / BytesPerTick;
    // Nothing from the file runs: no views, no triggers, no functions named by its schema.
    for (const int option : {SQLITE_DBCONFIG_ENABLE_VIEW, SQLITE_DBCONFIG_ENABLE_TRIGGER,
                             SQLITE_DBCONFIG_TRUSTED_SCHEMA, SQLITE_DBCONFIG_ENABLE_LOAD_EXTENSION})
        sqlite3_db_config(handle, option, 0, nullptr);
    sqlite3_db_config(handle, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_limit(handle, SQLITE_LIMIT_LENGTH, MaxValueBytes);
    sqlite3_limit(handle, SQLITE_LIMIT_ATTACHED, 0);
    sqlite3_progress_handler(
        handle, InstructionsPerTick,
        [](void *context) { return --static_cast<State *>(context)->ticksLeft < 0 ? 1 : 0; }, state.get());
    return SqliteDatabase(std::move(state));
}

std::expected<SqliteDatabase, SqliteError> SqliteDatabase::open(const QString &path)
{
    // Not a FIFO or a device, which could block the read for ever.
    if (!isRegularFile(path))
        return std::unexpected(SqliteError{SQLITE_CANTOPEN, QStringLiteral("no such file")});
    const QFileInfo info(path);
    // Immutable: SQLite takes no lock and never looks for, or writes, a journal or WAL file.
    const QByteArray uri =
        "file://" + QFile::encodeName(info.absoluteFilePath()).toPercentEncoding("/") + "?mode=ro&immutable=1";
    sqlite3 *handle = nullptr;
    const int code =
        sqlite3_open_v2(uri.constData(), &handle, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI | OneThread, nullptr);
    if (code != SQLITE_OK) {
        const SqliteError error = errorOf(handle, code);
        sqlite3_close_v2(handle);
        return std::unexpected(error);
    }
    return guarded(handle, info.size());
}

std::expected<SqliteDatabase, SqliteError> SqliteDatabase::fromBytes(QByteArrayView bytes)
{
    sqlite3 *handle = nullptr;
    int code = sqlite3_open_v2(":memory:", &handle, SQLITE_OPEN_READWRITE | OneThread, nullptr);
    if (code != SQLITE_OK) {
        const SqliteError error = errorOf(handle, code);
        sqlite3_close_v2(handle);
        return std::unexpected(error);
    }
    // SQLite owns the copy from here and frees it with the connection, or at once on failure.
    auto *copy = static_cast<unsigned char *>(sqlite3_malloc64(static_cast<sqlite3_uint64>(bytes.size()) + 1));
    if (copy && !bytes.isEmpty())
        std::memcpy(copy, bytes.data(), static_cast<std::size_t>(bytes.size()));
    code = copy ? sqlite3_deserialize(handle, "main", copy, bytes.size(), bytes.size(),
                                      SQLITE_DESERIALIZE_FREEONCLOSE | SQLITE_DESERIALIZE_READONLY)
                : SQLITE_NOMEM;
    if (code != SQLITE_OK) {
        const SqliteError error = errorOf(handle, code);
        sqlite3_close_v2(handle);
        return std::unexpected(error);
    }
    return guarded(handle, bytes.size());
}

std::expected<SqliteStatement, SqliteError> SqliteDatabase::prepare(const QString &sql)
{
    const QByteArray text = sql.toUtf8();
    sqlite3_stmt *statement = nullptr;
    const int code =
        sqlite3_prepare_v3(m_state->handle, text.constData(), static_cast<int>(text.size()), 0, &statement, nullptr);
    if (code != SQLITE_OK) {
        sqlite3_finalize(statement);
        return std::unexpected(m_state->error(code));
    }
    if (!statement) // only white space or a comment
        return std::unexpected(SqliteError{SQLITE_MISUSE, QStringLiteral("an empty query")});
    return SqliteStatement(statement);
}

std::expected<QStringList, SqliteError> SqliteDatabase::columnsOf(const QString &table)
{
    QString quoted = table;
    quoted.replace(QLatin1Char('\''), QLatin1String("''"));
    auto schema =
        prepare(QStringLiteral("SELECT sql FROM sqlite_master WHERE type = 'table' AND name = '%1' COLLATE NOCASE")
                    .arg(quoted));
    if (!schema)
        return std::unexpected(schema.error());
    if (!schema->step())
        return std::unexpected(
            schema->error().value_or(SqliteError{SQLITE_ERROR, QStringLiteral("no table \"%1\"").arg(table)}));
    if (schema->text(0).value_or(QString()).trimmed().startsWith(QLatin1String("CREATE VIRTUAL"), Qt::CaseInsensitive))
        return std::unexpected(SqliteError{SQLITE_ERROR, QStringLiteral("\"%1\" is a virtual table").arg(table)});

    quoted = table;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    const auto all = prepare(QStringLiteral("SELECT * FROM \"%1\"").arg(quoted));
    if (!all)
        return std::unexpected(all.error());
    QStringList columns;
    for (int i = 0; i < all->columnCount(); ++i)
        columns << all->columnName(i).toLower();
    return columns;
}

} // namespace corvanel::itunesdb
