#pragma once
// Readers shared by mkipod's tests: libgpod for the databases, libavformat for the song files' tags.
#include "IpodBuilder.h"
#include "TestFiles.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <memory>
#include <vector>

extern "C" {
#include <gpod/itdb.h>
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
}

namespace mkipodtest {

inline uint32_t u32(const QByteArray &b, qsizetype at)
{
    if (at < 0 || at > b.size() - 4) {
        ADD_FAILURE() << "reading past the end at " << at << " of " << b.size();
        return 0;
    }
    uint32_t v = 0;
    std::memcpy(&v, b.constData() + at, 4);
    return v;
}

inline QString tag(const QByteArray &b, qsizetype at)
{
    return QString::fromLatin1(b.mid(at, 4));
}

struct ItdbFree
{
    void operator()(Itdb_iTunesDB *db) const { itdb_free(db); }
};
using Itdb = std::unique_ptr<Itdb_iTunesDB, ItdbFree>;

inline Itdb parseWithLibgpod(const QString &file)
{
    GError *error = nullptr;
    Itdb db(itdb_parse_file(QFile::encodeName(file).constData(), &error));
    if (error) {
        ADD_FAILURE() << "libgpod: " << error->message;
        g_error_free(error);
    }
    return db;
}

inline QString str(const gchar *s)
{
    return s ? QString::fromUtf8(s) : QString();
}

template <typename T> std::vector<T *> itemsOf(GList *list)
{
    std::vector<T *> out;
    for (; list; list = list->next)
        out.push_back(static_cast<T *>(list->data));
    return out;
}

inline std::vector<int32_t> memberIds(Itdb_Playlist *pl)
{
    std::vector<int32_t> out;
    for (Itdb_Track *t : itemsOf<Itdb_Track>(pl->members))
        out.push_back(int32_t(t->id));
    return out;
}

// Walks the record tree by header and total lengths; every child must end exactly where its
// parent does. Returns the data-set types in file order.
inline std::vector<uint32_t> checkStructure(const QByteArray &b)
{
    std::vector<uint32_t> types;
    EXPECT_EQ(tag(b, 0), "mhbd");
    EXPECT_EQ(u32(b, 8), uint32_t(b.size()));
    qsizetype pos = u32(b, 4);
    while (pos < b.size()) {
        EXPECT_EQ(tag(b, pos), "mhsd") << pos;
        types.push_back(u32(b, pos + 12));
        pos += u32(b, pos + 8);
    }
    EXPECT_EQ(pos, b.size());
    EXPECT_EQ(u32(b, 20), types.size());
    return types;
}

// What the tag scan sees of a file: its container's metadata and the length its header gives,
// without decoding.
struct FileTags
{
    bool ok = false;
    std::map<QString, QString> tags;
    double headerSeconds = -1; // -1: the demuxer knows no length before reading the packets
};

inline FileTags readTags(const QString &path)
{
    FileTags out;
    av_log_set_level(AV_LOG_ERROR); // the tiny stub MP3s are detected "with a low score"
    AVFormatContext *fmt = nullptr;
    if (avformat_open_input(&fmt, QFile::encodeName(path).constData(), nullptr, nullptr) < 0)
        return out;
    for (const AVDictionaryEntry *e = nullptr; (e = av_dict_get(fmt->metadata, "", e, AV_DICT_IGNORE_SUFFIX));)
        out.tags[QString::fromUtf8(e->key)] = QString::fromUtf8(e->value);
    if (fmt->nb_streams > 0 && fmt->streams[0]->duration != AV_NOPTS_VALUE)
        out.headerSeconds = double(fmt->streams[0]->duration) * av_q2d(fmt->streams[0]->time_base);
    out.ok = true;
    avformat_close_input(&fmt);
    return out;
}

inline void expectTags(const FileTags &file, const QString &title, const QString &artist, const QString &album,
                       const QString &genre, const QString &track)
{
    ASSERT_TRUE(file.ok);
    const auto value = [&](const char *key) {
        const auto it = file.tags.find(QString::fromLatin1(key));
        return it == file.tags.end() ? QStringLiteral("<none>") : it->second;
    };
    EXPECT_EQ(value("title"), title);
    EXPECT_EQ(value("artist"), artist);
    EXPECT_EQ(value("album"), album);
    EXPECT_EQ(value("genre"), genre);
    EXPECT_EQ(value("track"), track);
}

// Every file below iPod_Control/Music, relative to root, with a hash of its bytes.
inline std::map<QString, QByteArray> songFiles(const QString &root)
{
    std::map<QString, QByteArray> files;
    const QDir base(root);
    QDirIterator it(base.filePath("iPod_Control/Music"), QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        files[base.relativeFilePath(path)] = QCryptographicHash::hash(readFile(path), QCryptographicHash::Md5);
    }
    return files;
}

} // namespace mkipodtest
