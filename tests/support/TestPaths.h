#pragma once
#include <QString>

// Where the real iPod files shared by the team live, and where the built programs are.
inline QString fixturePath(const QString &name)
{
    return QStringLiteral(CORVANEL_FIXTURES_DIR "/") + name;
}
inline QString binPath(const QString &name)
{
    return QStringLiteral(CORVANEL_BIN_DIR "/") + name;
}
