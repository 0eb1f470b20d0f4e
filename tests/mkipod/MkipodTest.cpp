// mkipod's files checked against an independent reader (libgpod), a demuxer and a decoder (FFmpeg).
#include "IpodBuilder.h"
#include "MkipodTestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <map>
#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
}

using namespace mkipod;
using namespace mkipodtest;

namespace {

// A library with every kind of record the writer knows.
Database sampleDatabase(Layout layout)
{
    const auto track = [](int32_t id, const char *title, const char *artist, const char *album, const char *genre,
                          const char *path, const char *type) {
        const auto text = [](const char *s) { return s ? std::optional(QString::fromUtf8(s)) : std::nullopt; };
        Track t;
        t.id = id;
        t.title = text(title);
        t.artist = text(artist);
        t.album = text(album);
        t.genre = text(genre);
        t.location = text(path);
        t.fileType = text(type);
        t.trackNumber = id % 10;
        t.lengthMs = 1000 * id + 17;
        t.sizeBytes = 4096 + id;
        t.bitrate = 128;
        return t;
    };
    Database db;
    db.layout = layout;
    db.tracks = {
        track(11, "Café au lait", "Élodie", "Nuit", "Jazz", ":iPod_Control:Music:F00:ABCD.mp3", "MPEG audio file"),
        track(12, "東京の夜", "佐藤", "夜", "J-Pop", ":iPod_Control:Music:F01:EFGH.m4a", "AAC audio file"),
        track(13, "No artist object", nullptr, nullptr, nullptr, ":iPod_Control:Music:F02:IJKL.wav", "WAV audio file"),
        track(14, "Empty artist", "", "Nuit", "", ":iPod_Control:Music:F03:MNOP.mp3", "MPEG audio file"),
        track(15, "Episode 1", "Radio", "Show", "Podcast", ":iPod_Control:Music:F04:QRST.mp3", "MPEG audio file")};
    db.tracks[0].comment = "A comment object";
    db.tracks[4].podcast = true;
    db.tracks[4].podcastUrl = "http://example.com/e1.mp3";
    db.tracks[4].podcastRss = "http://example.com/feed.xml";
    db.playlists = {{"Test iPod", {11, 12, 13, 14, 15}, true},
                    {"Mixed ça 夜", {14, 12, 11}},
                    {"Smart", {12}, false, false, true},
                    {"Podcasts", {15}, false, true}};
    db.smartPlaylists = {{"Music", {}, false, false, true}};
    return db;
}

struct LayoutCase
{
    Layout layout;
    const char *name;
    std::vector<uint32_t> dataSets; // types in file order
    uint32_t databaseHeader, trackHeader;
};

} // namespace

class WrittenLayout : public ::testing::TestWithParam<LayoutCase>
{
};

TEST_P(WrittenLayout, ReadByLibgpodAsWritten)
{
    QTemporaryDir dir;
    const Database db = sampleDatabase(GetParam().layout);
    QString error;
    ASSERT_TRUE(writeIpod(dir.path(), db, std::vector<int32_t>{1, 0}, &error)) << error.toStdString();

    Itdb itdb = parseWithLibgpod(dir.filePath("iPod_Control/iTunes/iTunesDB"));
    ASSERT_TRUE(itdb);
    const auto tracks = itemsOf<Itdb_Track>(itdb->tracks);
    ASSERT_EQ(tracks.size(), db.tracks.size());
    for (size_t i = 0; i < tracks.size(); ++i) {
        const Track &t = db.tracks[i];
        SCOPED_TRACE(t.title->toStdString());
        EXPECT_EQ(int32_t(tracks[i]->id), t.id);
        EXPECT_EQ(str(tracks[i]->title), t.title.value_or(QString()));
        EXPECT_EQ(str(tracks[i]->artist), t.artist.value_or(QString()));
        EXPECT_EQ(str(tracks[i]->album), t.album.value_or(QString()));
        EXPECT_EQ(str(tracks[i]->genre), t.genre.value_or(QString()));
        EXPECT_EQ(str(tracks[i]->ipod_path), *t.location);
        EXPECT_EQ(str(tracks[i]->filetype), *t.fileType);
        EXPECT_EQ(str(tracks[i]->comment), t.comment.value_or(QString()));
        EXPECT_EQ(tracks[i]->tracklen, t.lengthMs);
        EXPECT_EQ(tracks[i]->track_nr, t.trackNumber);
        EXPECT_EQ(tracks[i]->size, uint32_t(t.sizeBytes));
        EXPECT_EQ(tracks[i]->samplerate, 44100);
    }
    if (GetParam().layout != Layout::Legacy) {
        EXPECT_EQ(str(tracks[4]->podcasturl), *db.tracks[4].podcastUrl);
        EXPECT_EQ(str(tracks[4]->podcastrss), *db.tracks[4].podcastRss);
    }
    EXPECT_EQ(tracks[0]->filetype_marker, 0x4D503320u); // "MP3 "
    EXPECT_EQ(tracks[1]->filetype_marker, 0x4D344120u); // "M4A "

    // The user playlists, then libgpod's own On-The-Go list from OTGPlaylistInfo.
    const auto lists = itemsOf<Itdb_Playlist>(itdb->playlists);
    ASSERT_EQ(lists.size(), db.playlists.size() + 1);
    for (size_t i = 0; i < db.playlists.size(); ++i) {
        EXPECT_EQ(str(lists[i]->name), db.playlists[i].name);
        EXPECT_EQ(memberIds(lists[i]), db.playlists[i].trackIds) << i;
    }
    EXPECT_TRUE(itdb_playlist_is_mpl(lists[0]));
    EXPECT_TRUE(lists[2]->is_spl);
    EXPECT_TRUE(itdb_playlist_is_podcasts(lists[3]));
    EXPECT_EQ(memberIds(lists.back()), (std::vector<int32_t>{12, 11}));
}

TEST_P(WrittenLayout, RecordsNestAndKeepTheirLengths)
{
    const Layout layout = GetParam().layout;
    const Database db = sampleDatabase(layout);
    const QByteArray b = buildITunesDb(db);
    EXPECT_EQ(checkStructure(b), GetParam().dataSets);
    EXPECT_EQ(u32(b, 4), GetParam().databaseHeader);
    const qsizetype mhit = b.indexOf("mhit");
    ASSERT_GT(mhit, 0);
    EXPECT_EQ(u32(b, mhit + 4), GetParam().trackHeader);

    // Every object: string ones are exactly 40 + L long; the others keep their own lengths.
    std::map<uint32_t, int> nonString;
    int strings = 0;
    for (qsizetype at = b.indexOf("mhod"); at >= 0; at = b.indexOf("mhod", at + 4)) {
        ASSERT_EQ(u32(b, at + 4), 0x18u);
        const uint32_t type = u32(b, at + 12);
        const uint32_t total = u32(b, at + 8);
        if (type <= 8 || (type >= 200 && type <= 202)) {
            EXPECT_EQ(total, 40 + u32(b, at + 28)) << type;
            ++strings;
        } else {
            ++nonString[type];
            if (type == 100) {
                EXPECT_TRUE(total == 0x2C || total == 0x288) << total;
            } else if (type == 50) {
                EXPECT_EQ(total, 0x60u);
            } else if (type == 51) {
                EXPECT_EQ(tag(b, at + 24), "SLst");
            } else if (type == 52) {
                EXPECT_EQ(u32(b, at + 28), db.tracks.size());
                EXPECT_EQ(total, 72 + 4 * db.tracks.size());
            } else if (type == 15 || type == 16) {
                EXPECT_NE(total, 40 + u32(b, at + 28));
            }
        }
    }
    EXPECT_GT(strings, 20);
    EXPECT_EQ(nonString.count(52) + nonString.count(53), layout == Layout::ITunes7 ? 2u : 0u);
    EXPECT_GT(nonString[100], 0);
    EXPECT_GT(nonString[51], 0);
    if (layout == Layout::ITunes7) {
        EXPECT_GT(b.indexOf("mhia"), 0);
        // One album item per distinct album and artist: Nuit/Élodie, 夜/佐藤, Nuit/"", Show/Radio.
        EXPECT_EQ(u32(b, b.indexOf("mhla") + 8), 4u);
    }
}

INSTANTIATE_TEST_SUITE_P(Layouts, WrittenLayout,
                         ::testing::Values(LayoutCase{Layout::ITunes7, "ITunes7", {4, 1, 3, 2, 5}, 0xBC, 0x248},
                                           LayoutCase{Layout::Libgpod, "Libgpod", {1, 3, 2}, 0xBC, 0xF4},
                                           LayoutCase{Layout::Legacy, "Legacy", {1, 2}, 0x68, 0x9C}),
                         [](const auto &p) { return std::string(p.param.name); });

TEST(WriteIpod, RejectsBadInputWithAMessage)
{
    QTemporaryDir dir;
    QString error;
    Database db = sampleDatabase(Layout::ITunes7);
    EXPECT_FALSE(writeIpod(dir.path(), db, std::vector<int32_t>{9}, &error));
    EXPECT_TRUE(error.contains("On-The-Go")) << error.toStdString();

    QFile blocker(dir.filePath("file"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    error.clear();
    EXPECT_FALSE(writeIpod(dir.filePath("file/ipod"), db, std::nullopt, &error));
    EXPECT_FALSE(error.isEmpty());

    error.clear();
    EXPECT_FALSE(writeAudio(dir.filePath("a.mp3"), AudioSpec{AudioSpec::Kind::Mp3, 0, 1}, &error));
    EXPECT_FALSE(error.isEmpty());
}

TEST(LargeLibrary, ReadByLibgpodWithTwoHundredPlaylists)
{
    QTemporaryDir dir;
    QString error;
    ASSERT_TRUE(makeLargeIpod(dir.path(), 4000, 200, false, &error)) << error.toStdString();
    Itdb itdb = parseWithLibgpod(dir.filePath("iPod_Control/iTunes/iTunesDB"));
    ASSERT_TRUE(itdb);
    EXPECT_EQ(itemsOf<Itdb_Track>(itdb->tracks).size(), 4000u);
    const auto lists = itemsOf<Itdb_Playlist>(itdb->playlists);
    ASSERT_EQ(lists.size(), 201u);
    EXPECT_EQ(memberIds(lists[0]).size(), 4000u);
    EXPECT_EQ(str(lists[200]->name), "Playlist 200");
    EXPECT_FALSE(memberIds(lists[200]).empty());
    EXPECT_TRUE(QDir(dir.filePath("iPod_Control/Music/F49")).exists());
}

TEST(LargeLibrary, BenchmarkSizeHasDistinctFilesAndTheAskedSpread)
{
    const auto distinct = [](const Database &db, const std::optional<QString> Track::*field) {
        QSet<QString> values;
        for (const Track &t : db.tracks)
            values.insert(*(t.*field));
        return values.size();
    };
    const Database big = makeLargeDatabase(32767, 200);
    ASSERT_EQ(big.tracks.size(), 32767u);
    ASSERT_EQ(big.playlists.size(), 201u);
    EXPECT_EQ(distinct(big, &Track::location), 32767);
    QSet<int32_t> ids;
    for (const Track &t : big.tracks)
        ids.insert(t.id);
    EXPECT_EQ(ids.size(), 32767);

    const Database db = makeLargeDatabase(300, 3, 4, 10, 20);
    EXPECT_EQ(distinct(db, &Track::genre), 4);
    EXPECT_EQ(distinct(db, &Track::artist), 10);
    EXPECT_EQ(distinct(db, &Track::album), 20);
    EXPECT_EQ(db.playlists.size(), 4u);
}

namespace {

struct Decoded
{
    double seconds = 0;
    double lowEnergy = 0;  // smoothed signal: bass and kick
    double highEnergy = 0; // first difference: cymbals and overtones
    bool ok = false;
};

float sampleOf(const AVFrame *frame, int i, int c)
{
    const auto format = AVSampleFormat(frame->format);
    const bool planar = av_sample_fmt_is_planar(format);
    const uint8_t *data = frame->extended_data[planar ? c : 0];
    const int at = planar ? i : i * frame->ch_layout.nb_channels + c;
    if (av_get_packed_sample_fmt(format) == AV_SAMPLE_FMT_FLT)
        return reinterpret_cast<const float *>(data)[at];
    if (av_get_packed_sample_fmt(format) == AV_SAMPLE_FMT_S16)
        return reinterpret_cast<const int16_t *>(data)[at] / 32768.0f;
    ADD_FAILURE() << "sample format " << format;
    return 0;
}

// Decodes a whole file to mono and measures its length and its energy in two rough bands.
Decoded decode(const QString &path)
{
    Decoded d;
    av_log_set_level(AV_LOG_ERROR); // the MP3 decoder warns about timestamps of the trimmed priming samples
    AVFormatContext *fmt = nullptr;
    if (avformat_open_input(&fmt, QFile::encodeName(path).constData(), nullptr, nullptr) < 0)
        return d;
    std::unique_ptr<AVFormatContext, void (*)(AVFormatContext *)> fmtGuard(
        fmt, [](AVFormatContext *f) { avformat_close_input(&f); });
    const AVCodec *codec = nullptr;
    const int stream = avformat_find_stream_info(fmt, nullptr) < 0
                           ? -1
                           : av_find_best_stream(fmt, AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
    if (stream < 0)
        return d;
    std::unique_ptr<AVCodecContext, void (*)(AVCodecContext *)> ctx(
        avcodec_alloc_context3(codec), [](AVCodecContext *c) { avcodec_free_context(&c); });
    avcodec_parameters_to_context(ctx.get(), fmt->streams[stream]->codecpar);
    if (avcodec_open2(ctx.get(), codec, nullptr) < 0)
        return d;
    AVPacket *pkt = av_packet_alloc();
    AVFrame *frame = av_frame_alloc();
    int64_t samples = 0;
    float smooth = 0, previous = 0;
    auto take = [&] {
        while (avcodec_receive_frame(ctx.get(), frame) == 0) {
            const int channels = frame->ch_layout.nb_channels;
            for (int i = 0; i < frame->nb_samples; ++i) {
                float v = 0;
                for (int c = 0; c < channels; ++c)
                    v += sampleOf(frame, i, c);
                v /= float(channels);
                smooth += (v - smooth) * 0.02f;
                d.lowEnergy += double(smooth) * smooth;
                d.highEnergy += double(v - previous) * (v - previous);
                previous = v;
            }
            samples += frame->nb_samples;
        }
    };
    while (av_read_frame(fmt, pkt) >= 0) {
        if (pkt->stream_index == stream && avcodec_send_packet(ctx.get(), pkt) >= 0)
            take();
        av_packet_unref(pkt);
    }
    avcodec_send_packet(ctx.get(), nullptr);
    take();
    av_frame_free(&frame);
    av_packet_free(&pkt);
    d.seconds = double(samples) / ctx->sample_rate;
    if (samples > 0) {
        d.lowEnergy /= double(samples);
        d.highEnergy /= double(samples);
    }
    d.ok = samples > 0;
    return d;
}

QString relativeLocation(const gchar *ipodPath)
{
    return str(ipodPath).replace(':', '/').mid(1);
}

// `mkipod demo --extra 3`: three tagged songs under names no database location uses; nothing else changes.
void checkExtraSongs(const QString &root, const std::vector<Itdb_Track *> &tracks)
{
    const std::map<QString, QByteArray> before = songFiles(root);
    const QByteArray database = readFile(QDir(root).filePath("iPod_Control/iTunes/iTunesDB"));
    QSet<QString> listedNames;
    for (Itdb_Track *t : tracks)
        listedNames.insert(QFileInfo(relativeLocation(t->ipod_path)).completeBaseName().toUpper());

    QString error;
    QStringList written;
    ASSERT_TRUE(addExtraSongs(root, 3, &error, &written)) << error.toStdString();
    ASSERT_EQ(written.size(), 3);
    std::map<QString, QByteArray> after = songFiles(root);
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(written[i].toStdString());
        EXPECT_TRUE(
            QRegularExpression("^iPod_Control/Music/F\\d\\d/[A-Z]{4}\\.(mp3|m4a|wav)$").match(written[i]).hasMatch());
        EXPECT_FALSE(listedNames.contains(QFileInfo(written[i]).completeBaseName()));
        EXPECT_EQ(before.count(written[i]), 0u);
        EXPECT_EQ(after.erase(written[i]), 1u);
        expectTags(readTags(QDir(root).filePath(written[i])), QStringLiteral("Forgotten Song %1").arg(i + 1),
                   "Lost Artist", "Orphans", "Rock", QStringLiteral("%1/3").arg(i + 1));
    }
    EXPECT_EQ(after, before);
    EXPECT_EQ(readFile(QDir(root).filePath("iPod_Control/iTunes/iTunesDB")), database);

    EXPECT_FALSE(addExtraSongs(root, -1, &error));
    EXPECT_TRUE(error.contains("extra songs")) << error.toStdString();
}

} // namespace

// One test, so that the demo (the slowest thing here) is made once per test process.
TEST(DemoIpod, HasTheAdvertisedLibraryAndRealMusic)
{
    QTemporaryDir dir;
    QString error;
    ASSERT_TRUE(makeDemoIpod(dir.path(), &error)) << error.toStdString();
    Itdb itdb = parseWithLibgpod(dir.filePath("iPod_Control/iTunes/iTunesDB"));
    ASSERT_TRUE(itdb);
    const auto tracks = itemsOf<Itdb_Track>(itdb->tracks);
    ASSERT_GE(tracks.size(), 24u);

    QSet<QString> genres, artists, albums, fileTypes, titles;
    std::map<QString, int> duplicates;
    const QRegularExpression location(QStringLiteral("^:iPod_Control:Music:F0\\d:[A-Z]{4}\\.(mp3|m4a|wav)$"));
    // The program's tag scan reads each file's tags back (in the itunesdb tests); here, the music itself.
    for (Itdb_Track *t : tracks) {
        SCOPED_TRACE(t->ipod_path);
        genres.insert(str(t->genre));
        artists.insert(str(t->artist));
        albums.insert(str(t->album));
        fileTypes.insert(str(t->filetype));
        titles.insert(str(t->title));
        ++duplicates[str(t->title) + '|' + str(t->artist) + '|' + str(t->album)];
        EXPECT_TRUE(location.match(str(t->ipod_path)).hasMatch());
        EXPECT_GT(t->track_nr, 0);
        EXPECT_FALSE(str(t->artist).isEmpty());
        const QString path = localPath(dir.path(), str(t->ipod_path));
        const QByteArray bytes = readFile(path);
        EXPECT_EQ(bytes.size(), qsizetype(t->size));
        if (path.endsWith(".mp3")) {
            EXPECT_TRUE(bytes.startsWith("ID3\x03"));
        }
        const Decoded d = decode(path);
        ASSERT_TRUE(d.ok);
        EXPECT_NEAR(d.seconds * 1000.0, double(t->tracklen), 60.0);
        // Both a bass and a treble part: not silence, not a lone sine.
        EXPECT_GT(d.lowEnergy, 1e-3);
        EXPECT_GT(d.highEnergy, 1e-4);
    }
    EXPECT_EQ(genres.size(), 4);
    EXPECT_EQ(artists.size(), 6);
    EXPECT_EQ(albums.size(), 8);
    EXPECT_EQ(fileTypes, (QSet<QString>{"MPEG audio file", "AAC audio file", "WAV audio file"}));
    EXPECT_TRUE(titles.contains(QStringLiteral("Café au lait")));
    EXPECT_TRUE(titles.contains(QStringLiteral("Ça va")));
    EXPECT_TRUE(titles.contains(QStringLiteral("東京の夜")));
    int pairs = 0;
    for (const auto &[key, n] : duplicates)
        pairs += n == 2;
    EXPECT_EQ(pairs, 1);

    QStringList names;
    for (Itdb_Playlist *pl : itemsOf<Itdb_Playlist>(itdb->playlists))
        names << str(pl->name);
    EXPECT_EQ(names, (QStringList{"Corvanel Demo", "Road Trip", "Late Night Jazz", "Podcasts", "OTG Playlist 1"}));
    const auto otg = itemsOf<Itdb_Playlist>(itdb->playlists).back();
    EXPECT_EQ(memberIds(otg).size(), 3u);

    EXPECT_EQ(readFile(dir.filePath("iPod_Control/Device/Preferences")).size(), 2960);
    EXPECT_TRUE(QFile::exists(dir.filePath("iPod_Control/Device/SysInfo")));

    checkExtraSongs(dir.path(), tracks);
}
