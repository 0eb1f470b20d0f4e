// The Preferences file: the state words at their offsets, the values written, and the load
// and save around them (working copy, backup, refusals, writing in place).
#include "DeviceFixture.h"
#include "PreferencesEditor.h"
#include "TestPaths.h"

#include <optional>

using namespace corvanel::device;

namespace {

std::optional<QStringList> words(const QByteArray &bytes)
{
    const std::optional<PowerStates> s = readPowerStates(bytes);
    if (!s)
        return std::nullopt;
    return QStringList{s->shuffle, s->repeat, s->soundCheck, s->equaliser, s->backlight, s->clicker};
}

const QStringList kAllOff = {"off.", "off.", "off.", "off.", "off.", "on."};

QStringList allOffBut(int line, const QString &word)
{
    QStringList out = kAllOff;
    out[line] = word;
    return out;
}

} // namespace

TEST(PreferencesWords, EachValueAtEachOffset)
{
    using I = DeviceFixture;
    const struct
    {
        const char *what;
        QByteArray bytes;
        std::optional<QStringList> expected; // nothing: the structure is refused
    } cases[] = {
        {"all zero", I::image({}), kAllOff},
        {"shuffle on, all songs", I::image({{24, 1}, {137, 0}}), allOffBut(0, "on all.")},
        {"shuffle on, albums", I::image({{24, 1}, {137, 1}}), allOffBut(0, "on albums.")},
        {"shuffle kind unknown while on", I::image({{24, 1}, {137, 2}}), std::nullopt},
        {"shuffle kind not examined while off", I::image({{137, 5}}), kAllOff},
        {"shuffle unknown", I::image({{24, 2}}), std::nullopt},
        {"repeat all", I::image({{20, 1}}), allOffBut(1, "on all.")},
        {"repeat one", I::image({{20, 2}}), allOffBut(1, "on one.")},
        {"repeat unknown", I::image({{20, 3}}), std::nullopt},
        {"sound check on", I::image({{2838, 1}}), allOffBut(2, "on.")},
        {"sound check unknown", I::image({{2838, 2}}), std::nullopt},
        {"equaliser on", I::image({{2272, 1}}), allOffBut(3, "on.")},
        {"equaliser unknown", I::image({{2272, 255}}), std::nullopt},
        {"backlight timeout 7", I::image({{2800, 7}}), allOffBut(4, "on.")},
        {"unread bytes hold anything", I::image({{2282, 9}, {2796, 255}}), kAllOff},
        {"just long enough", I::image({}, 2839), kAllOff},
        {"one byte short", I::image({}, 2838), std::nullopt},
        {"empty", QByteArray(), std::nullopt},
    };
    for (const auto &c : cases)
        EXPECT_EQ(words(c.bytes), c.expected) << c.what;
}

TEST(PreferencesWords, RealFilesReadAsEverythingOffButTheBacklight)
{
    CORVANEL_REQUIRE_FIXTURES();
    for (const char *name : {"ipod/Preferences-2924", "ipod/Preferences-nano6g-2960"}) {
        QFile file(fixturePath(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << name;
        EXPECT_EQ(words(file.readAll()), allOffBut(4, "on.")) << name;
    }
}

TEST(PreferencesWords, TickedBoxesWriteTheirValuesAndNothingElse)
{
    // Every setting on, so that each written value shows.
    const QByteArray on =
        DeviceFixture::image({{24, 1}, {137, 1}, {20, 2}, {2838, 1}, {2272, 1}, {2282, 1}, {2800, 7}, {2796, 63}});
    struct Case
    {
        const char *what;
        PowerSaveChoices choices;
        std::vector<std::pair<int, int>> changed;
    };
    const std::vector<Case> cases = {
        {"shuffle", {.shuffle = true}, {{24, 0}, {137, 0}}},
        {"repeat", {.repeat = true}, {{20, 0}}},
        {"sound check", {.soundCheck = true}, {{2838, 0}}},
        {"equaliser", {.equaliser = true}, {{2272, 0}, {2282, 0}}},
        {"backlight", {.backlight = true}, {{2800, 0}}},
        {"contrast only", {.contrast = true}, {{2796, 80}}},
        {"clicker only", {.clicker = true}, {}},
        {"no box", {}, {}},
    };
    for (const Case &c : cases) {
        QByteArray image = on;
        ASSERT_TRUE(applyPowerSave(image, c.choices));
        QByteArray expected = on;
        for (const auto &[offset, value] : c.changed)
            expected[offset] = static_cast<char>(value);
        EXPECT_EQ(image, expected) << c.what;
    }
    QByteArray shortImage(100, '\1');
    EXPECT_FALSE(applyPowerSave(shortImage, {.contrast = true}));
    EXPECT_EQ(shortImage, QByteArray(100, '\1'));
}

namespace {

class PreferencesLoadTest : public DeviceFixture
{
protected:
    void SetUp() override { qputenv("XDG_DATA_HOME", QFile::encodeName(data.path())); }
    void TearDown() override { qunsetenv("XDG_DATA_HOME"); }
    QString backup() const { return program.filePath(kBackupName); }

    QTemporaryDir data;
};

} // namespace

TEST_F(PreferencesLoadTest, ReadsAFileAndBacksItUpAfreshAtEachOpening)
{
    const QByteArray bytes = image({{24, 1}, {137, 1}, {2800, 3}});
    ASSERT_TRUE(write(device("Preferences"), bytes));
    const auto loaded = loadPreferences(ipod.path(), program.path());
    ASSERT_TRUE(loaded) << loaded.error().message.text.toStdString();
    EXPECT_EQ(loaded->image, bytes);
    EXPECT_EQ(loaded->states.shuffle, "on albums.");
    EXPECT_EQ(loaded->file, device("Preferences"));
    EXPECT_EQ(loaded->backup, backup());
    EXPECT_EQ(read(backup()), bytes);

    ASSERT_TRUE(write(device("Preferences"), image({{20, 2}}, 2924)));
    ASSERT_TRUE(loadPreferences(ipod.path(), program.path()));
    EXPECT_EQ(read(backup()), image({{20, 2}}, 2924));
}

TEST_F(PreferencesLoadTest, FindsTheFileWhateverTheCaseOfItsFolders)
{
    CORVANEL_REQUIRE_FIXTURES();
    const QByteArray real = read(fixturePath("ipod/Preferences-2924"));
    ASSERT_TRUE(write(ipod.filePath("IPOD_CONTROL/device/PREFERENCES"), real));
    const auto loaded = loadPreferences(ipod.path(), program.path());
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->image.size(), 2924);
    EXPECT_EQ(loaded->states.backlight, "on.");
}

TEST_F(PreferencesLoadTest, AnUnwritableProgramFolderSendsTheBackupToTheUsersDataFolder)
{
    // Something that is not a file already holds the backup's name.
    ASSERT_TRUE(QDir(program.path()).mkdir(kBackupName));
    ASSERT_TRUE(write(device("Preferences"), image({{2838, 1}})));
    const auto loaded = loadPreferences(ipod.path(), program.path());
    ASSERT_TRUE(loaded);
    const QString own = data.filePath("Corvanel/PreferencesBackup");
    EXPECT_EQ(loaded->backup, own);
    EXPECT_EQ(read(own), image({{2838, 1}}));
}

TEST_F(PreferencesLoadTest, RefusesWhatCannotBeEditedSafely)
{
    using Kind = PreferencesRefusal::Kind;
    const auto missingiPod = loadPreferences(ipod.filePath("gone"), program.path());
    ASSERT_FALSE(missingiPod);
    EXPECT_EQ(missingiPod.error().kind, Kind::Missing);
    EXPECT_TRUE(missingiPod.error().message.text.contains(ipod.filePath("gone")));

    QDir().mkpath(device());
    const auto missingFile = loadPreferences(ipod.path(), program.path());
    ASSERT_FALSE(missingFile);
    EXPECT_EQ(missingFile.error().kind, Kind::Missing);
    EXPECT_TRUE(missingFile.error().message.text.contains(device("Preferences")));
    EXPECT_FALSE(QFile::exists(backup()));

    // A short file is backed up like any other, then refused before an offset is looked at.
    ASSERT_TRUE(write(device("Preferences"), QByteArray(2838, '\0')));
    const auto shortFile = loadPreferences(ipod.path(), program.path());
    ASSERT_FALSE(shortFile);
    EXPECT_EQ(shortFile.error().kind, Kind::Structure);
    EXPECT_EQ(shortFile.error().message.title, QStringLiteral("Error!\""));
    EXPECT_EQ(shortFile.error().message.icon, MessageIcon::Information);
    EXPECT_EQ(read(backup()), QByteArray(2838, '\0'));
}

TEST_F(PreferencesLoadTest, TheWorkingCopyIsAFreshTemporaryFileThatDoesNotStay)
{
    QTemporaryDir temp;
    const ScopedEnv tmp("TMPDIR", QFile::encodeName(temp.path()));
    ASSERT_TRUE(write(device("Preferences"), image({})));
    const auto loaded = loadPreferences(ipod.path(), program.path());
    ASSERT_TRUE(loaded);
    EXPECT_TRUE(QDir(temp.path()).isEmpty());
}

TEST_F(PreferencesLoadTest, SavingOverwritesInPlaceAndNeverCreatesTheFile)
{
    const QString file = device("Preferences");
    ASSERT_TRUE(write(file, image({{2800, 7}})));
    const auto loaded = loadPreferences(ipod.path(), program.path());
    ASSERT_TRUE(loaded);
    QByteArray changed = loaded->image;
    ASSERT_TRUE(applyPowerSave(changed, {.backlight = true, .contrast = true}));
    ASSERT_TRUE(savePreferences(*loaded, changed));
    EXPECT_EQ(read(file), image({{2796, 80}}));

    QFile::remove(file);
    const auto gone = savePreferences(*loaded, changed);
    ASSERT_FALSE(gone);
    EXPECT_TRUE(gone.error().text.contains(file));
    EXPECT_FALSE(QFile::exists(file));
}

TEST_F(PreferencesLoadTest, ALinkToAFileOfTheUsersIsRefusedAndNamed)
{
    QTemporaryDir outside;
    // Long enough to pass the structure check, were it read.
    ASSERT_TRUE(write(outside.filePath("Preferences"), image({{20, 1}})));
    const QString folder = ipod.filePath("iPod_Control/Device");
    for (const auto &[link, target] :
         {std::pair{device("Preferences"), outside.filePath("Preferences")}, std::pair{folder, outside.path()}}) {
        QDir().mkpath(QFileInfo(link).absolutePath());
        ASSERT_TRUE(QFile::link(target, link));
        const auto loaded = loadPreferences(ipod.path(), program.path());
        ASSERT_FALSE(loaded) << link.toStdString();
        EXPECT_EQ(loaded.error().kind, PreferencesRefusal::Kind::Link);
        EXPECT_TRUE(loaded.error().message.text.startsWith(link + " is a link")) << link.toStdString();
        EXPECT_FALSE(QFile::exists(backup()));
        QFile::remove(link);
        QDir(folder).removeRecursively();
    }
    EXPECT_EQ(read(outside.filePath("Preferences")), image({{20, 1}}));
}
