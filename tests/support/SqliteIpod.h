#pragma once
// A nano 6G/7G made from the demo iPod, and a writing connection to its SQLite files, as
// iTunes would hold one, to damage them with. Tests that use it link sqlite3 and mkipod_core.
#include "DemoIpod.h"
#include "SqliteWriter.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sqlite3.h>

#include <memory>

// The folder of the SQLite library, below the iPod's own folder.
inline const QString kItlp = QStringLiteral("/iPod_Control/iTunes/iTunes Library.itlp/");

// A copy of the demo iPod turned into a nano 6G/7G.
inline QString sqliteDemo(const QTemporaryDir &dir)
{
    const QString root = dir.filePath(QStringLiteral("Nano Pod"));
    QString error;
    EXPECT_TRUE(copyTree(demoIpod(), root));
    EXPECT_TRUE(mkipod::makeSqliteIpod(root, mkipod::demoDatabase(), &error)) << error.toStdString();
    return root;
}

struct CloseDb
{
    void operator()(sqlite3 *db) const { sqlite3_close(db); }
};
using Connection = std::unique_ptr<sqlite3, CloseDb>;

inline Connection writer(const QString &path)
{
    sqlite3 *db = nullptr;
    EXPECT_EQ(sqlite3_open(QFile::encodeName(path).constData(), &db), SQLITE_OK);
    return Connection(db);
}

inline void execSql(sqlite3 *db, const char *sql)
{
    char *message = nullptr;
    EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, &message), SQLITE_OK) << (message ? message : "") << "\n" << sql;
    sqlite3_free(message);
}
