// The names extracted songs get.
#include "ExtractNames.h"

#include <QStringList>
#include <gtest/gtest.h>

using namespace corvanel::extract;

namespace {

struct NameCase
{
    const char *format;
    const char *title, *artist, *album, *genre, *track;
    const char *expected;
};

QString nameFor(const NameCase &c)
{
    QString title = QString::fromUtf8(c.title), artist = QString::fromUtf8(c.artist),
            album = QString::fromUtf8(c.album), genre = QString::fromUtf8(c.genre), track = QString::fromUtf8(c.track);
    return MakeFileName(QString::fromUtf8(c.format), title, artist, album, genre, track);
}

} // namespace

TEST(ExtractNames, TemplatesGiveTheseNames)
{
    const char *const standard = "[genre]\\[artist]\\[album]\\[track number] - [title]";
    const NameCase cases[] = {
        {standard, "Song: One", "Me/You", "First", "Rock", "01", "Rock/MeYou/First/01 - Song One"},
        {standard, "Alone", "", "", "", "", "Unknown Genre/Unknown Artist/Unknown Album/00 - Alone"},
        {"[GENRE]/[Title] ([Track Number])", "T", "A", "B", "Pop", "07", "Pop/T (07)"},
        // A value holding a later token is replaced again; earlier tokens are not.
        {"[artist] - [title]", "[genre]", "[title]", "", "G", "", "[genre] - [genre]"},
        {"[title]", "a<b>c\"d*e|f?g\\h", "", "", "", "", "abc\"defgh"},
        {"[title]", "no folder\\here", "", "", "", "", "no folderhere"},
        // Nothing escapes the destination: empty, dot and space-only components become "_".
        {"[artist]\\[album]\\[title]", "..", "..", ".", "", "", "_/_/_"},
        {"\\[title]", "Song", "", "", "", "", "_/Song"},
        {"[artist]\\[title]", " . ", "../..", "", "", "", "_/_"},
        {"[title]", "bell\a\x01tab\there", "", "", "", "", "belltabhere"},
        // C1 controls, bidirectional overrides and isolates, line and paragraph separators.
        {"[artist]\\[title]", "a\u0080b\u009Fc\u202Ed\u202Ae\u2066f\u2069g", "x\u2028y\u2029z", "", "", "",
         "xyz/abcdefg"},
        {"[genre]\\[artist]\\[title]", "夜に駆ける", "Ångström", "", "J-Pop", "", "J-Pop/Ångström/夜に駆ける"},
    };
    for (const NameCase &c : cases)
        EXPECT_EQ(nameFor(c), QString::fromUtf8(c.expected)) << c.format << " / " << c.title;
}

TEST(ExtractNames, LongValuesAreCutToNamesFileSystemsTake)
{
    // 100 two-byte letters and a four-byte character across the 200-byte limit.
    QString title = QString(99, QChar(0xE9)) + QString::fromUtf8("😀") + QStringLiteral("tail");
    QString artist(3000, QLatin1Char('a')), album, genre = QStringLiteral("Rock"), track = QStringLiteral("01");
    const QStringList parts = MakeFileName(kDefaultFormat, title, artist, album, genre, track).split('/');
    ASSERT_EQ(parts.size(), 4);
    EXPECT_EQ(parts[1], QString(200, QLatin1Char('a')));
    EXPECT_EQ(parts[3], "01 - " + QString(97, QChar(0xE9))) << "cut before a character that does not fit";
}

TEST(ExtractNames, DefaultsAreWrittenBackExtensionsAndTrackNumbers)
{
    QString title = QStringLiteral("T"), artist, album, genre, track;
    MakeFileName(kDefaultFormat, title, artist, album, genre, track);
    EXPECT_EQ(QStringList({title, artist, album, genre, track}),
              QStringList({"T", "Unknown Artist", "Unknown Album", "Unknown Genre", "00"}));

    for (const auto &[path, extension] : {std::pair{"\\F00\\ABCD.mp3", "mp3"}, std::pair{"\\F00\\ABCD.x.m4a", "m4a"},
                                          std::pair{"\\F00\\ABCD", "dat"}, std::pair{"\\F0.0\\ABCD", "dat"}})
        EXPECT_EQ(GetFormat(QStringLiteral("\\iPod_Control\\Music") + QString::fromLatin1(path)), extension) << path;
    EXPECT_EQ(QStringList({TwoDigits(3), TwoDigits(0), TwoDigits(12)}), QStringList({"03", "00", "12"}));
}
