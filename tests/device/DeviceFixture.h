#pragma once
// An iPod folder and a program folder of the test's own, with every box recorded.
#include "RecordingDialogs.h"
#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <initializer_list>
#include <utility>

using namespace corvanel;
using namespace corvanel::platform;

class DeviceFixture : public ::testing::Test
{
public:
    QString device(const QString &name = QString()) const
    {
        return ipod.filePath(QStringLiteral("iPod_Control/Device/") + name);
    }
    static bool write(const QString &path, const QByteArray &bytes) { return writeFile(path, bytes); }
    static QByteArray read(const QString &path)
    {
        return QFile::exists(path) ? readFile(path) : QByteArray("<missing>");
    }
    // A Preferences image of `length` zero bytes with the given offsets set.
    static QByteArray image(std::initializer_list<std::pair<int, int>> bytes, int length = 2960)
    {
        QByteArray out(length, '\0');
        for (const auto &[offset, value] : bytes)
            out[offset] = static_cast<char>(value);
        return out;
    }

protected:
    QStringList deviceFiles() const { return QDir(device()).entryList(QDir::Files | QDir::Hidden, QDir::Name); }

    QTemporaryDir ipod;
    QTemporaryDir program;
    corvanel::platform::RecordingDialogs dialogs;
    corvanel::platform::ScopedDialogs scopedDialogs{dialogs};
};
