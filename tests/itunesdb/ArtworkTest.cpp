#include "ArtworkWriter.h"
#include "DemoIpod.h"

#include <ArtworkDecoder.h>
#include <ArtworkLibrary.h>
#include <CoverCache.h>
#include <LibraryJson.h>
#include <ParseiTunesDB.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtEndian>
#include <gtest/gtest.h>

#include <functional>

using namespace corvanel;
using namespace corvanel::itunesdb;

namespace {

QRgb expand565(uint16_t v)
{
    const int r = v >> 11 & 0x1F, g = v >> 5 & 0x3F, b = v & 0x1F;
    return qRgb(r << 3 | r >> 2, g << 2 | g >> 4, b << 3 | b >> 2);
}

// True when every pixel of `image` is pattern `pattern` at (x + dx, y + dy).
bool showsPattern(const QImage &image, int pattern, int dx = 0, int dy = 0)
{
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != expand565(mkipod::coverPixel565(pattern, x + dx, y + dy)))
                return false;
    return true;
}

library::Song songWith(uint32_t artworkId, uint64_t dbid)
{
    library::Song song;
    song.SongID = artworkId * 10.0 + static_cast<double>(dbid % 7);
    song.ArtworkId = artworkId;
    song.DbId = dbid;
    return song;
}

mkipod::CoverThumb thumb(int formatId, int side, int pattern)
{
    return {formatId, side, side, mkipod::coverPixels(pattern, side, side)};
}

} // namespace

TEST(Artwork, DemoCoversDecodeToThePixelsWritten)
{
    library::MusicLibrary library;
    library.iPodDrive = demoIpod();
    ParseiTunesDB(library.iPodDrive + QStringLiteral("/iPod_Control/iTunes/iTunesDB"), library);
    ASSERT_GT(library.SongCount, 0);
    ArtworkLibrary artwork(library.iPodDrive);
    int withCover = 0;
    for (const library::Song &song : library.Songs) {
        const QImage cover = artwork.cover(song);
        const bool podcast = song.Genre == QStringLiteral("Podcast");
        EXPECT_EQ(cover.isNull(), podcast) << song.Title.toStdString();
        if (cover.isNull())
            continue;
        ++withCover;
        EXPECT_EQ(cover.size(), QSize(200, 200)) << "the largest size is chosen";
        EXPECT_EQ(artwork.coverSize(song), QSize(200, 200));
    }
    EXPECT_GT(withCover, 20);
    // The first song is on the first album: pattern 0, pixel for pixel.
    EXPECT_TRUE(showsPattern(artwork.cover(library.Songs.front()), 0));
}

TEST(Artwork, EachPixelLayoutDecodesAKnownImage)
{
    // A 16-bit value per pixel of the upright picture, and how the format stores it.
    const auto pixel = [](int x, int y) { return mkipod::coverPixel565(3, x, y); };
    const auto put = [](QByteArray &out, qsizetype at, uint16_t v, bool big) {
        big ? qToBigEndian(v, out.data() + at) : qToLittleEndian(v, out.data() + at);
    };
    const auto to555 = [](uint16_t v) { return uint16_t((v >> 11) << 10 | ((v >> 6) & 0x1F) << 5 | (v & 0x1F)); };
    const auto from555 = [](uint16_t v) {
        const int r = v >> 10 & 0x1F, g = v >> 5 & 0x1F, b = v & 0x1F;
        return qRgb(r << 3 | r >> 2, g << 3 | g >> 2, b << 3 | b >> 2);
    };
    struct Case
    {
        int formatId;
        bool big;
        bool rotated;
        bool fiveFiveFive;
    };
    for (const Case c : {Case{1029, false, false, false}, Case{2003, true, false, false}, Case{1013, true, true, false},
                         Case{3005, false, false, true}}) {
        const ArtworkFormat *format = artworkFormat(c.formatId);
        ASSERT_NE(format, nullptr);
        const int w = format->width, h = format->height;
        QByteArray slot(qsizetype(w) * h * 2 + 64, '\0'); // slots may be padded at the end
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const uint16_t v = c.fiveFiveFive ? to555(pixel(x, y)) : pixel(x, y);
                // A rotated slot is h wide: the upright (x, y) is stored at (y, w - 1 - x).
                const qsizetype at = c.rotated ? (qsizetype(w - 1 - x) * h + y) * 2 : (qsizetype(y) * w + x) * 2;
                put(slot, at, v, c.big);
            }
        ArtworkThumb thumb{c.formatId, QStringLiteral(":x"), 0, slot.size(), w, h, 0, 0};
        const QImage image = decodeThumb(slot, thumb);
        ASSERT_EQ(image.size(), QSize(w, h)) << c.formatId;
        bool same = true;
        for (int y = 0; y < h && same; ++y)
            for (int x = 0; x < w && same; ++x)
                same = image.pixel(x, y) == (c.fiveFiveFive ? from555(to555(pixel(x, y))) : expand565(pixel(x, y)));
        EXPECT_TRUE(same) << c.formatId;
    }
    // A picture smaller than its slot sits after the paddings; a slot too short gives nothing.
    const QByteArray slot = mkipod::coverPixels(3, 56, 56);
    const QImage inner = decodeThumb(slot, {1061, QStringLiteral(":x"), 0, slot.size(), 50, 52, 4, 2});
    EXPECT_EQ(inner.size(), QSize(50, 52));
    EXPECT_TRUE(showsPattern(inner, 3, 4, 2));
    EXPECT_TRUE(decodeThumb(slot.left(100), {1061, QStringLiteral(":x"), 0, 100, 56, 56, 0, 0}).isNull());
}

TEST(Artwork, DamagedArtworkGivesNoCoverAndNoFault)
{
    struct Case
    {
        const char *what;
        std::function<void(mkipod::CoverThumb &)> damage;
        bool removeIthmb = false;
    };
    const Case cases[] = {
        {"offset past the end", [](mkipod::CoverThumb &t) { t.offsetShift = 1 << 20; }},
        {"size past the end", [](mkipod::CoverThumb &t) { t.sizeOverride = 1 << 24; }},
        {"zero size", [](mkipod::CoverThumb &t) { t.sizeOverride = 0; }},
        {"unknown format", [](mkipod::CoverThumb &t) { t.formatId = 4242; }},
        {"unsupported format", [](mkipod::CoverThumb &t) { t.formatId = 1019; }},
        {"file outside the folder", [](mkipod::CoverThumb &t) { t.file = QStringLiteral(":..:..:secret.ithmb"); }},
        {"missing ithmb", [](mkipod::CoverThumb &) {}, true},
    };
    for (const Case &c : cases) {
        QTemporaryDir root;
        mkipod::CoverImage image{7, 0x1234, {thumb(1029, 200, 1)}};
        c.damage(image.thumbs[0]);
        ASSERT_TRUE(mkipod::writeArtwork(root.path(), {image}));
        if (c.removeIthmb)
            QFile::remove(root.filePath(QStringLiteral("iPod_Control/Artwork/F1029_1.ithmb")));
        ArtworkLibrary artwork(root.path());
        EXPECT_TRUE(artwork.cover(songWith(7, 0)).isNull()) << c.what;
    }
    // A database cut anywhere keeps what it read whole and never reads past its end.
    const QByteArray whole =
        mkipod::buildArtworkDb({{1, 11, {thumb(1029, 200, 1), thumb(1028, 100, 1)}}, {2, 22, {thumb(1029, 200, 2)}}});
    EXPECT_EQ(readArtworkDb(whole).images.size(), 2u);
    EXPECT_FALSE(readArtworkDb(whole).damaged);
    for (qsizetype n = 0; n < whole.size(); ++n) {
        const QByteArray prefix(whole.constData(), n);
        const ArtworkDb db = readArtworkDb(prefix);
        ASSERT_LE(db.images.size(), 2u);
    }
}

TEST(Artwork, SongsLinkByImageIdElseByDbidAndTheLargestSizeWins)
{
    QTemporaryDir root;
    ASSERT_TRUE(mkipod::writeArtwork(
        root.path(), {{5, 0xAA, {thumb(1028, 100, 4), thumb(1029, 200, 5)}}, {6, 0xBB, {thumb(1028, 100, 6)}}}));
    ArtworkLibrary artwork(root.path());
    EXPECT_TRUE(showsPattern(artwork.cover(songWith(5, 0)), 5));
    EXPECT_TRUE(showsPattern(artwork.cover(songWith(0, 0xBB)), 6));
    EXPECT_TRUE(showsPattern(artwork.cover(songWith(99, 0xBB)), 6)) << "a dangling image id falls back to the dbid";
    EXPECT_FALSE(artwork.coverSize(songWith(0, 0xCC)));
    EXPECT_EQ(artwork.coverKey(songWith(5, 0)), artwork.coverKey(songWith(0, 0xAA)));
}

TEST(Artwork, CacheDecodesInTheBackgroundAndKeepsToItsBudget)
{
    QTemporaryDir root;
    ASSERT_TRUE(mkipod::writeArtwork(
        root.path(), {{1, 1, {thumb(1029, 200, 1)}}, {2, 2, {thumb(1029, 200, 2)}}, {3, 3, {thumb(1029, 200, 3)}}}));
    const qsizetype coverBytes = 200 * 200 * 4;
    CoverCache cache(std::make_shared<ArtworkLibrary>(root.path()), 2 * coverBytes);
    QSignalSpy ready(&cache, &CoverCache::coverReady);
    for (uint32_t id : {1u, 2u, 3u, 9u}) {
        cache.request(songWith(id, 0));
        ASSERT_TRUE(ready.wait(5000));
        EXPECT_EQ(ready.last().at(0).toDouble(), songWith(id, 0).SongID);
        EXPECT_EQ(ready.last().at(1).value<QImage>().isNull(), id == 9);
    }
    EXPECT_EQ(cache.usedBytes(), 2 * coverBytes);
    EXPECT_TRUE(cache.cached(songWith(1, 0)).isNull()) << "the least recently used left";
    EXPECT_FALSE(cache.cached(songWith(3, 0)).isNull());
    ready.clear();
    cache.request(songWith(3, 0)); // cached: answered at once
    EXPECT_EQ(ready.size(), 1);
}

TEST(Artwork, LibraryJsonGivesEachSongItsCoverSizeOrNull)
{
    library::MusicLibrary library;
    library.iPodDrive = demoIpod();
    const LoadReport report =
        ParseiTunesDB(library.iPodDrive + QStringLiteral("/iPod_Control/iTunes/iTunesDB"), library);
    ArtworkLibrary artwork(library.iPodDrive);
    const QJsonArray songs =
        QJsonDocument::fromJson(libraryToJson(library, report, &artwork)).object()["songs"].toArray();
    ASSERT_EQ(songs.size(), library.SongCount);
    for (qsizetype i = 0; i < songs.size(); ++i) {
        const QJsonValue cover = songs[i].toObject()["artwork"];
        if (library.Songs[size_t(i)].Genre == QStringLiteral("Podcast"))
            EXPECT_TRUE(cover.isNull());
        else
            EXPECT_EQ(cover.toObject(), (QJsonObject{{"width", 200}, {"height", 200}}));
    }
    EXPECT_TRUE(libraryToJson(library, report).contains("\"artwork\": null"));
}
