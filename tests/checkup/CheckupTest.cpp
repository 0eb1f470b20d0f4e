// The check-up on the demo iPod and on its damaged forms, through the core class and the
// command line; the checksum fields read against real iPods' databases.
#include "DatabaseHeader.h"
#include "DemoIpod.h"
#include "IpodBuilder.h"
#include "IpodCheckup.h"
#include "SqliteIpod.h"
#include "TestPaths.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtEndian>
#include <gtest/gtest.h>

#include <functional>

using namespace corvanel::checkup;

namespace {

QString itunes(const QString &root, const QString &name)
{
    return root + QStringLiteral("/iPod_Control/iTunes/") + name;
}

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

QByteArray playCounts(quint32 entries, quint32 written)
{
    QByteArray bytes(0x60 + 0x1C * qsizetype(written), '\0');
    bytes.replace(0, 4, "mhdp");
    qToLittleEndian<quint32>(0x60, bytes.data() + 4);
    qToLittleEndian<quint32>(0x1C, bytes.data() + 8);
    qToLittleEndian<quint32>(entries, bytes.data() + 12);
    return bytes;
}

bool compressed(const QString &root, const QString &model = QStringLiteral("MC027"))
{
    return mkipod::convertDatabase(root, mkipod::DatabaseForm::Compressed, mkipod::demoDatabase()) &&
           mkipod::writeModel(root, model);
}

const Finding *find(const CheckupReport &report, const QString &code)
{
    for (const Finding &f : report.findings)
        if (f.code == code)
            return &f;
    return nullptr;
}

struct Form
{
    const char *name;
    std::function<bool(const QString &root)> damage;
    const char *code; // a finding this form must give
    Severity severity;
    Remedy remedy;
};

class CheckupFormTest : public ::testing::TestWithParam<Form>
{
};

TEST_P(CheckupFormTest, GivesItsFinding)
{
    const Form &form = GetParam();
    QTemporaryDir dir;
    const QString root = dir.filePath(QStringLiteral("IPOD"));
    ASSERT_TRUE(copyTree(demoIpod(), root));
    ASSERT_TRUE(form.damage(root));

    const CheckupReport report = IpodCheckup(root).run();
    const Finding *f = find(report, QString::fromLatin1(form.code));
    ASSERT_NE(f, nullptr) << checkupToJson(report).toStdString();
    EXPECT_EQ(f->severity, form.severity) << f->text.toStdString();
    EXPECT_EQ(f->remedy, form.remedy) << f->text.toStdString();
    EXPECT_FALSE(f->text.isEmpty());
    EXPECT_TRUE(std::is_sorted(report.findings.begin(), report.findings.end(),
                               [](const Finding &a, const Finding &b) { return a.severity < b.severity; }));
    EXPECT_EQ(find(report, QStringLiteral("space"))->severity, Severity::Info);
}

const Form kForms[] = {
    {"Demo", [](const QString &) { return true; }, "database-used", Severity::Info, Remedy::None},
    {"Removed", [](const QString &r) { return mkipod::damageDatabase(r, mkipod::DatabaseDamage::Removed); },
     "database-missing", Severity::Error, Remedy::ReadTags},
    {"Emptied", [](const QString &r) { return mkipod::damageDatabase(r, mkipod::DatabaseDamage::Emptied); },
     "database-empty", Severity::Error, Remedy::ReadTags},
    {"Corrupted", [](const QString &r) { return mkipod::damageDatabase(r, mkipod::DatabaseDamage::Corrupted); },
     "database-not-database", Severity::Error, Remedy::ReadTags},
    {"CompressedWithoutHash72", [](const QString &r) { return compressed(r); }, "checksum-empty", Severity::Error,
     Remedy::None},
    {"TruncatedCompressed",
     [](const QString &r) {
         QFile cdb(itunes(r, QStringLiteral("iTunesCDB")));
         return compressed(r) && cdb.resize(cdb.size() / 2);
     },
     "compressed-database-damaged", Severity::Error, Remedy::ReadTags},
    {"PlayCountsOfAnotherDatabase",
     [](const QString &r) { return writeBytes(itunes(r, QStringLiteral("Play Counts")), playCounts(3, 3)); },
     "play-counts-mismatch", Severity::Warning, Remedy::None},
    {"PlayCountsClaimingTooMuch",
     [](const QString &r) { return writeBytes(itunes(r, QStringLiteral("Play Counts")), playCounts(0x7fffffff, 2)); },
     "play-counts-damaged", Severity::Warning, Remedy::None},
    {"SongFileGone",
     [](const QString &r) {
         QDirIterator files(r + QStringLiteral("/iPod_Control/Music"), QDir::Files, QDirIterator::Subdirectories);
         return files.hasNext() && QFile::remove(files.next());
     },
     "missing-files", Severity::Warning, Remedy::CheckMissing},
    {"FilesNotInDatabase", [](const QString &r) { return mkipod::addExtraSongs(r, 2); }, "songs-not-in-database",
     Severity::Warning, Remedy::ShowOrphans},
};

INSTANTIATE_TEST_SUITE_P(Forms, CheckupFormTest, ::testing::ValuesIn(kForms),
                         [](const auto &param) { return std::string(param.param.name); });

// A nano 6G/7G keeps its songs in SQLite files beside an iTunesDB without tracks: when those
// files are damaged the check-up names them, not the empty iTunesDB.
TEST(CheckupTest, DamagedSqliteLibraryIsNamed)
{
    const struct
    {
        const char *name;
        std::function<void(const QString &library)> damage;
        const char *code;
        Severity severity;
        Remedy remedy;
    } cases[] = {
        {"intact", [](const QString &) {}, "database-used", Severity::Info, Remedy::None},
        {"not a database", [](const QString &l) { writeBytes(l, QByteArray(8192, 'x')); }, "database-corrupt",
         Severity::Error, Remedy::ReadTags},
        {"cut in half", [](const QString &l) { QFile(l).resize(QFile(l).size() / 2); }, "database-corrupt",
         Severity::Error, Remedy::ReadTags},
        {"no item table", [](const QString &l) { execSql(writer(l).get(), "DROP TABLE item"); }, "database-corrupt",
         Severity::Error, Remedy::ReadTags},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString root = sqliteDemo(dir);
        c.damage(root + kItlp + QStringLiteral("Library.itdb"));
        const CheckupReport report = IpodCheckup(root).run();
        const std::string json = checkupToJson(report).toStdString();
        const Finding *f = find(report, QString::fromLatin1(c.code));
        ASSERT_NE(f, nullptr) << json;
        EXPECT_EQ(f->severity, c.severity) << json;
        EXPECT_EQ(f->remedy, c.remedy) << json;
        EXPECT_EQ(f->details.value(QStringLiteral("kind")).toString(), QStringLiteral("sqlite")) << json;
        EXPECT_EQ(find(report, QStringLiteral("database-empty")), nullptr) << json;
    }
}

TEST(CheckupTest, DemoIpodHasNoErrorAndNamesWhatItHolds)
{
    const CheckupReport report = IpodCheckup(demoIpod()).run();
    for (const Finding &f : report.findings)
        EXPECT_NE(f.severity, Severity::Error) << f.text.toStdString();
    ASSERT_TRUE(report.model);
    EXPECT_EQ(report.model->modelNumber, QStringLiteral("MA147"));
    EXPECT_NE(find(report, QStringLiteral("song-files-present")), nullptr);
    EXPECT_EQ(find(report, QStringLiteral("songs-not-in-database")), nullptr);
    const Finding *found = find(report, QStringLiteral("database-found"));
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->details.value(QStringLiteral("kind")).toString(), QStringLiteral("itunesdb"));
    EXPECT_GT(found->details.value(QStringLiteral("songs")).toInt(), 0);
}

TEST(CheckupTest, Hash58FieldFilledInIsAccepted)
{
    QTemporaryDir dir;
    const QString root = dir.filePath(QStringLiteral("IPOD"));
    ASSERT_TRUE(copyTree(demoIpod(), root));
    ASSERT_TRUE(mkipod::writeModel(root, QStringLiteral("MC293")));
    const CheckupReport empty = IpodCheckup(root).run();
    const Finding *missing = find(empty, QStringLiteral("checksum-empty"));
    ASSERT_NE(missing, nullptr);
    EXPECT_EQ(missing->details.value(QStringLiteral("checksum")).toString(), QStringLiteral("hash58"));
    QFile db(itunes(root, QStringLiteral("iTunesDB")));
    ASSERT_TRUE(db.open(QIODevice::ReadWrite) && db.seek(0x58) && db.write(QByteArray(20, '\x5A')) == 20);
    db.close();
    const CheckupReport report = IpodCheckup(root).run();
    EXPECT_EQ(find(report, QStringLiteral("checksum-empty")), nullptr);
    EXPECT_NE(find(report, QStringLiteral("checksum-present")), nullptr);
}

TEST(CheckupTest, CancelledCheckUpSaysSo)
{
    std::atomic<bool> cancel{true};
    corvanel::itunesdb::ScanControl control;
    control.cancel = &cancel;
    const CheckupReport report = IpodCheckup(demoIpod()).run(control);
    EXPECT_TRUE(report.cancelled);
    EXPECT_NE(find(report, QStringLiteral("cancelled")), nullptr);
}

// The fields where real iPods keep them: the shuffle's iTunes 9 database carries a hash58,
// the iTunes-written 0x73 databases leave every field empty, libgpod's short header holds none.
TEST(DatabaseHeaderTest, ChecksumFieldsOfRealDatabases)
{
    CORVANEL_REQUIRE_FIXTURES();
    const struct
    {
        const char *file;
        ChecksumKind kind;
        FieldState state;
    } cases[] = {
        {"iTunesDB-shuffle-v2a", ChecksumKind::Hash58, FieldState::Filled},
        {"iTunesDB-shuffle-v2a", ChecksumKind::Hash72, FieldState::Empty},
        {"iTunesDB-podcasts-v73", ChecksumKind::Hash58, FieldState::Empty},
        {"iTunesDB-podcasts-v73", ChecksumKind::HashAB, FieldState::Empty},
        {"iTunesDB-shuffle-v2a", ChecksumKind::HashAB, FieldState::Absent},
        {"iTunesDB-libgpod-v0d", ChecksumKind::Hash58, FieldState::Absent},
    };
    for (const auto &c : cases) {
        const QByteArray head = readDatabaseHead(fixturePath(QStringLiteral("ipod/") + c.file));
        EXPECT_EQ(checksumFieldState(head, c.kind), c.state) << c.file << " " << int(c.kind);
    }
    EXPECT_EQ(checksumFieldState("mhbd", ChecksumKind::Hash58), FieldState::NoHeader);
}

TEST(DatabaseHeaderTest, PlayCountsHeaderIsNeverTrusted)
{
    QByteArray wrongLength = playCounts(2, 2);
    qToLittleEndian<quint32>(0xFFFFFFF0, wrongLength.data() + 4);
    QByteArray noEntryLength = playCounts(2, 2);
    qToLittleEndian<quint32>(0, noEntryLength.data() + 8);
    const struct
    {
        QByteArray bytes;
        qint64 entries;
    } cases[] = {
        {playCounts(5, 5), 5}, {playCounts(0, 0), 0}, {playCounts(6, 5), -1},      {"mhdp", -1},
        {wrongLength, -1},     {noEntryLength, -1},   {QByteArray(0x60, 'x'), -1},
    };
    for (const auto &c : cases) {
        const PlayCountsHeader header = parsePlayCountsHeader(c.bytes, c.bytes.size());
        EXPECT_EQ(header.entries, c.entries) << c.bytes.left(16).toHex().toStdString();
        EXPECT_EQ(header.entries < 0, !header.problem.isEmpty());
    }
}

// The command line explains an iPod whose database is gone, worst first, and says so in its
// exit status.
TEST(CheckupCommandTest, ExplainsAnIpodWithoutDatabase)
{
    QTemporaryDir dir;
    const QString root = dir.filePath(QStringLiteral("IPOD"));
    ASSERT_TRUE(copyTree(demoIpod(), root));
    auto run = [](const QString &path) {
        QProcess program;
        program.start(binPath(QStringLiteral("corvanel")), {QStringLiteral("--check-up"), path});
        EXPECT_TRUE(program.waitForFinished(120000));
        return std::make_pair(program.exitCode(), QJsonDocument::fromJson(program.readAllStandardOutput()).object());
    };
    const auto [healthyCode, healthy] = run(root);
    EXPECT_EQ(healthyCode, 0);
    EXPECT_EQ(healthy.value("model").toObject().value("number").toString(), QStringLiteral("MA147"));

    ASSERT_TRUE(mkipod::damageDatabase(root, mkipod::DatabaseDamage::Removed));
    const auto [code, json] = run(root);
    EXPECT_EQ(code, 1);
    EXPECT_EQ(json.value("ipod").toString(), root);
    const QJsonArray findings = json.value("findings").toArray();
    ASSERT_FALSE(findings.isEmpty());
    const QJsonObject worst = findings.first().toObject();
    EXPECT_EQ(worst.value("severity").toString(), QStringLiteral("error"));
    EXPECT_EQ(worst.value("code").toString(), QStringLiteral("database-missing"));
    EXPECT_FALSE(worst.value("action").toString().isEmpty());
    EXPECT_TRUE(worst.value("details").isObject());
    EXPECT_EQ(findings.last().toObject().value("severity").toString(), QStringLiteral("info"));

    EXPECT_EQ(run(dir.filePath(QStringLiteral("nothing-here"))).first, 2);
}

} // namespace
