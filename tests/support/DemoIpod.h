#pragma once
// The demo iPod, made once per test program (its music takes seconds to make), and copies of
// it for tests that change it. Needs mkipod_core.
#include "IpodBuilder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <map>

// The shared demo iPod, made once per name in a folder of that name; tests must not change it.
inline const QString &demoIpod(const QString &name = QStringLiteral("DEMO"))
{
    static QTemporaryDir dir;
    static std::map<QString, QString> made;
    const auto [at, fresh] = made.try_emplace(name, dir.filePath(name));
    QString error;
    if (fresh && !mkipod::makeDemoIpod(at->second, &error))
        ADD_FAILURE() << error.toStdString();
    return at->second;
}

// Copies a folder with everything below it; false when a file cannot be copied.
inline bool copyTree(const QString &from, const QString &to)
{
    QDir().mkpath(to);
    for (const QFileInfo &entry : QDir(from).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden)) {
        const QString target = to + QLatin1Char('/') + entry.fileName();
        if (entry.isDir() ? !copyTree(entry.filePath(), target) : !QFile::copy(entry.filePath(), target))
            return false;
    }
    return true;
}
