#pragma once
// A SQLite database opened only for reading. A file of the iPod is opened immutable, so that
// nothing is ever written beside it, not even a journal; bytes in memory are opened the same
// way for the fuzzer and the tests. The file comes from a device: views, triggers and virtual
// tables are refused, the schema is not trusted, and every database runs under a budget of
// work proportional to its size, so a crafted file can neither run code of its own nor keep a
// load busy for ever.
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <expected>
#include <memory>
#include <optional>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

namespace corvanel::itunesdb {

// A value's UTF-8 bytes as text, without NUL characters.
QString textOfUtf8(std::string_view bytes);

struct SqliteError
{
    int code = 0; // SQLite's primary result code
    QString message;
};

// One prepared query, stepped row by row. Column values are converted as SQLite converts
// them: a number read as text gives its decimal text, a text read as a number its leading number.
class SqliteStatement
{
public:
    // True while there is a row; false at the end, or on a failure (then error() is set).
    bool step();
    const std::optional<SqliteError> &error() const { return m_error; }
    int columnCount() const;
    QString columnName(int column) const;

    // Nothing for NULL. Text has its NUL characters removed; a BLOB is read as UTF-8 text.
    std::optional<QString> text(int column) const;
    // The value's bytes as UTF-8 text, valid until the next step; nothing for NULL.
    std::optional<std::string_view> utf8(int column) const;
    std::optional<int64_t> integer(int column) const;
    // The same with 0 for NULL, for columns where that needs no telling apart.
    int64_t integerOrZero(int column) const;
    std::optional<double> real(int column) const;

private:
    friend class SqliteDatabase;
    struct Finalize
    {
        void operator()(sqlite3_stmt *statement) const;
    };
    explicit SqliteStatement(sqlite3_stmt *statement);
    bool hasValue(int column) const;

    std::unique_ptr<sqlite3_stmt, Finalize> m_statement;
    int m_columns = 0; // fixed once prepared
    std::optional<SqliteError> m_error;
};

class SqliteDatabase
{
public:
    // Opens a file read-only and immutable; it must exist.
    static std::expected<SqliteDatabase, SqliteError> open(const QString &path);
    // Opens a copy of the bytes of a database file, read-only.
    static std::expected<SqliteDatabase, SqliteError> fromBytes(QByteArrayView bytes);

    SqliteDatabase(SqliteDatabase &&other) noexcept;
    SqliteDatabase &operator=(SqliteDatabase &&other) noexcept;
    SqliteDatabase(const SqliteDatabase &) = delete;
    SqliteDatabase &operator=(const SqliteDatabase &) = delete;
    ~SqliteDatabase();

    std::expected<SqliteStatement, SqliteError> prepare(const QString &sql);
    // The columns of a plain table (not a view, not a virtual table), in lower case; an error
    // when there is no such table or it cannot be read.
    std::expected<QStringList, SqliteError> columnsOf(const QString &table);

private:
    struct State;
    explicit SqliteDatabase(std::unique_ptr<State> state);
    static std::expected<SqliteDatabase, SqliteError> guarded(sqlite3 *handle, qint64 bytes);

    std::unique_ptr<State> m_state; // on the heap: SQLite's progress handler points at it
};

} // namespace corvanel::itunesdb
