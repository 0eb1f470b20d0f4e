#pragma once
// An iPod folder with songs whose fields a test chooses, and a destination folder.
#include "MusicLibrary.h"
#include "TestFiles.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace corvanel;
using namespace corvanel::library;

class ExtractFixture : public ::testing::Test
{
protected:
    // A song on the iPod whose file holds `bytes` (no file when bytes is empty).
    int addSong(const QString &file, const QByteArray &bytes, const QString &title, int track = 0,
                const QString &artist = QStringLiteral("A"), const QString &album = {}, const QString &genre = {})
    {
        Song &song = library.addSong();
        song.Title = title, song.Artist = artist, song.Album = album, song.Genre = genre;
        song.TrackNumber = track;
        song.Path = QStringLiteral("\\iPod_Control\\Music\\F00\\") + file;
        if (!bytes.isEmpty()) {
            EXPECT_TRUE(writeFile(ipod.filePath(QStringLiteral("iPod_Control/Music/F00/") + file), bytes));
        }
        return static_cast<int>(library.Songs.size()) - 1;
    }
    QByteArray read(const QString &relative) const { return readFile(out.filePath(relative)); }
    QStringList filesOut() const
    {
        QStringList files;
        for (QDirIterator it(out.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories); it.hasNext();)
            files << QDir(out.path()).relativeFilePath(it.next());
        files.sort();
        return files;
    }
    void SetUp() override { library.iPodDrive = ipod.path(); }

    QTemporaryDir ipod;
    QTemporaryDir out;
    MusicLibrary library;
};
