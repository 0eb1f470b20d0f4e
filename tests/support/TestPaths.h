#pragma once
#include <QDir>
#include <QString>

// Where the real iPod files shared by the team live, and where the built programs are.
inline QString fixturePath(const QString &name)
{
    return QStringLiteral(CORVANEL_FIXTURES_DIR "/") + name;
}
inline bool fixturesPresent()
{
    return QDir(QStringLiteral(CORVANEL_FIXTURES_DIR)).exists();
}
inline QString binPath(const QString &name)
{
    return QStringLiteral(CORVANEL_BIN_DIR "/") + name;
}

// A test that reads the real iPod files skips, in one line, where they are not there (a clone
// of the project on its own); the CMake cache variable CORVANEL_FIXTURES_DIR says where.
#define CORVANEL_REQUIRE_FIXTURES()                                                                                    \
    do {                                                                                                               \
        if (!fixturesPresent())                                                                                        \
            GTEST_SKIP() << "real iPod files not found in " CORVANEL_FIXTURES_DIR " (CORVANEL_FIXTURES_DIR)";          \
    } while (false)
