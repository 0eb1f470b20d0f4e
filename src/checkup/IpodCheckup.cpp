#include "IpodCheckup.h"

#include "DatabaseHeader.h"

#include <LibraryJson.h>
#include <LibrarySource.h>
#include <NativePath.h>
#include <SongFileCheck.h>

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLocale>

#include <algorithm>
#include <sys/statvfs.h>

namespace corvanel::checkup {

using namespace corvanel::device;
using namespace corvanel::itunesdb;
using namespace corvanel::library;

namespace {

inline constexpr auto PlayCountsStoredPath = u"\\iPod_Control\\iTunes\\Play Counts";
// The songs a finding names in its details, at most.
constexpr int NamedSongs = 20;
constexpr qint64 ProgressStep = 256;

const QString SyncAgain = QStringLiteral("Sync the iPod again with iTunes (or a program that knows this model), "
                                         "which writes a new database.");

QString sizeText(qint64 bytes)
{
    return QLocale::c().formattedDataSize(bytes, 1, QLocale::DataSizeTraditionalFormat);
}

QString plural(qint64 count, const QString &one, const QString &many)
{
    return QString::number(count) + QLatin1Char(' ') + (count == 1 ? one : many);
}

// How the check-up names a database.
QString databaseName(SourceKind kind)
{
    switch (kind) {
    case SourceKind::ITunesCdb:
        return QStringLiteral("compressed database iTunesCDB");
    case SourceKind::ITunesDb:
        return QStringLiteral("iTunesDB");
    case SourceKind::Sqlite:
        return QStringLiteral("SQLite library");
    case SourceKind::ITunesSd:
        return QStringLiteral("song list iTunesSD");
    case SourceKind::Tags:
        return QStringLiteral("songs' own tags");
    case SourceKind::None:
        break;
    }
    return QStringLiteral("nothing");
}

// A note of the chooser that tells of damage, not merely of a database without songs.
bool isDamage(const SourceCandidate &candidate)
{
    return !candidate.note.isEmpty() && candidate.note != QLatin1String("it lists no songs");
}

Finding finding(Severity severity, const QString &code, const QString &text, const QString &action = {},
                QJsonObject details = {}, Remedy remedy = Remedy::None)
{
    return {severity, code, text, action, std::move(details), remedy};
}

class Checker
{
public:
    Checker(const QString &folder, const ScanControl &control) : m_control(control) { m_report.ipod = folder; }

    CheckupReport run()
    {
        if (readLibrary() && checkSongFiles() && countOrphans()) {
            databaseFindings();
            checksumFindings();
            playCountsFindings();
        }
        modelFindings();
        spaceFindings();
        if (m_report.cancelled)
            add(finding(Severity::Info, QStringLiteral("cancelled"),
                        QStringLiteral("The check-up was stopped before it was over; what it found so far is "
                                       "shown."),
                        QStringLiteral("Run the check-up again to see everything.")));
        sortWorstFirst(m_report.findings);
        return std::move(m_report);
    }

private:
    void add(Finding f) { m_report.findings.push_back(std::move(f)); }
    void status(const QString &text) const
    {
        if (m_control.status)
            m_control.status(text);
    }
    bool stopped()
    {
        if (m_control.cancelled())
            m_report.cancelled = true;
        return m_report.cancelled;
    }

    bool readLibrary()
    {
        status(QStringLiteral("Reading the iPod's database..."));
        m_library.iPodDrive = m_report.ipod;
        m_load = loadIpodLibrary(m_library, m_control);
        return !stopped();
    }

    bool checkSongFiles()
    {
        status(QStringLiteral("Checking that every song's file is there..."));
        SongFileCheck files(m_library.iPodDrive);
        QJsonArray named;
        const auto total = static_cast<qint64>(m_library.Songs.size());
        for (qint64 i = 0; i < total; ++i) {
            if ((i % ProgressStep == 0 && stopped()))
                return false;
            if (m_control.progress && (i % ProgressStep == 0))
                m_control.progress(i, total);
            const Song &song = m_library.Songs[static_cast<std::size_t>(i)];
            if (!files.missing(song))
                continue;
            if (m_missing++ < NamedSongs)
                named.append(song.Artist + QStringLiteral(" - ") + song.Title + QStringLiteral(" (") + song.Path +
                             QLatin1Char(')'));
        }
        if (m_missing > 0)
            add(finding(Severity::Warning, QStringLiteral("missing-files"),
                        QStringLiteral("%1 of the %2 the database lists %3 no file on the iPod.")
                            .arg(m_missing)
                            .arg(plural(total, QStringLiteral("song"), QStringLiteral("songs")))
                            .arg(m_missing == 1 ? QStringLiteral("has") : QStringLiteral("have")),
                        QStringLiteral("Check for missing files to see which they are; syncing the iPod again "
                                       "copies them back."),
                        {{QStringLiteral("count"), m_missing}, {QStringLiteral("songs"), named}},
                        Remedy::CheckMissing));
        else if (total > 0)
            add(finding(Severity::Info, QStringLiteral("song-files-present"),
                        QStringLiteral("Every song the database lists has its file on the iPod.")));
        return true;
    }

    bool countOrphans()
    {
        status(QStringLiteral("Looking for song files the database does not list..."));
        m_orphans = countOrphanedFiles(m_library, m_control);
        if (m_orphans.cancelled || stopped()) {
            m_report.cancelled = true;
            return false;
        }
        if (m_orphans.files > 0)
            add(finding(
                Severity::Warning, QStringLiteral("songs-not-in-database"),
                QStringLiteral("%1 under iPod_Control/Music (%2 in all) %3 not in the database.")
                    .arg(plural(m_orphans.files, QStringLiteral("song file"), QStringLiteral("song files")),
                         sizeText(m_orphans.totalBytes),
                         m_orphans.files == 1 ? QStringLiteral("is") : QStringLiteral("are")),
                QStringLiteral("Show the songs not in the database to see them and add them to the "
                               "browser; the iPod itself does not play them until a sync lists them."),
                {{QStringLiteral("count"), m_orphans.files}, {QStringLiteral("total_size"), m_orphans.totalBytes}},
                Remedy::ShowOrphans));
        return true;
    }

    int musicFiles() const { return m_orphans.files + (m_library.SongCount - m_missing); }

    void databaseFindings();
    // True when a damaged database leaves the iPod without songs.
    bool databaseDamageFindings(const SourceChoice &choice);
    void loadProblemFindings();
    void checksumFindings();
    void checksumFieldFinding(const IpodModel &model);
    void playCountsFindings();
    void modelFindings();
    void spaceFindings();

    const ScanControl &m_control;
    CheckupReport m_report;
    MusicLibrary m_library;
    LoadReport m_load;
    OrphanFiles m_orphans;
    int m_missing = 0;
    std::optional<IpodModel> m_model;
};

void Checker::databaseFindings()
{
    const SourceChoice &choice = m_load.source;
    bool anyFound = false;
    for (const SourceCandidate &candidate : choice.candidates) {
        if (!candidate.found)
            continue;
        anyFound = true;
        QString text = QStringLiteral("The iPod holds its %1").arg(databaseName(candidate.kind));
        if (!candidate.version.isEmpty())
            text += QStringLiteral(" (version %1)").arg(candidate.version);
        if (candidate.read && candidate.songs >= 0)
            text += QStringLiteral(" with %1 and %2")
                        .arg(plural(candidate.songs, QStringLiteral("song"), QStringLiteral("songs")),
                             plural(std::max(candidate.playlists, 0), QStringLiteral("playlist"),
                                    QStringLiteral("playlists")));
        add(finding(Severity::Info, QStringLiteral("database-found"), text + QLatin1Char('.'), {},
                    {{QStringLiteral("kind"), sourceKindName(candidate.kind)},
                     {QStringLiteral("version"), candidate.version},
                     {QStringLiteral("songs"), candidate.songs},
                     {QStringLiteral("playlists"), candidate.playlists},
                     {QStringLiteral("note"), candidate.note}}));
    }
    const Remedy tags = musicFiles() > 0 ? Remedy::ReadTags : Remedy::None;
    const QString tagsAction =
        tags == Remedy::ReadTags ? QStringLiteral(" Until then the songs can be read from their own tags.") : QString();
    if (!anyFound) {
        add(finding(Severity::Error, QStringLiteral("database-missing"),
                    QStringLiteral("The iPod holds no music database: no iTunesDB, iTunesCDB, SQLite library or "
                                   "iTunesSD."),
                    SyncAgain + tagsAction, {{QStringLiteral("song_files"), musicFiles()}}, tags));
        return;
    }
    const bool damaged = databaseDamageFindings(choice);
    if (m_library.SongCount > 0) {
        add(finding(
            Severity::Info, QStringLiteral("database-used"),
            QStringLiteral("The library is read from the %1: %2.").arg(databaseName(choice.chosen), choice.reason), {},
            {{QStringLiteral("kind"), sourceKindName(choice.chosen)}}));
        loadProblemFindings();
    } else if (!damaged && m_load.isDatabase && !loadFailure(m_library, m_load)) {
        add(finding(tags == Remedy::ReadTags ? Severity::Error : Severity::Info, QStringLiteral("database-empty"),
                    tags == Remedy::ReadTags
                        ? QStringLiteral("The database lists no songs, yet the iPod holds %1.")
                              .arg(plural(musicFiles(), QStringLiteral("song file"), QStringLiteral("song files")))
                        : QStringLiteral("The database lists no songs, and the iPod holds none."),
                    tags == Remedy::ReadTags ? SyncAgain + tagsAction : QString(),
                    {{QStringLiteral("song_files"), musicFiles()}}, tags));
    }
}

bool Checker::databaseDamageFindings(const SourceChoice &choice)
{
    bool anyFatal = false;
    const Remedy tags = musicFiles() > 0 && m_library.SongCount == 0 ? Remedy::ReadTags : Remedy::None;
    const QString tagsAction =
        tags == Remedy::ReadTags ? QStringLiteral(" Until then the songs can be read from their own tags.") : QString();
    for (const SourceCandidate &candidate : choice.candidates) {
        if (!candidate.found || !isDamage(candidate))
            continue;
        // The iPods that keep a compressed database read it and nothing else.
        const bool fatal = candidate.kind == SourceKind::ITunesCdb || m_library.SongCount == 0;
        QString code = QStringLiteral("database-corrupt");
        QString text = QStringLiteral("The %1 cannot be read: %2.").arg(databaseName(candidate.kind), candidate.note);
        if (candidate.kind == SourceKind::ITunesCdb) {
            code = QStringLiteral("compressed-database-damaged");
            text = QStringLiteral("The compressed database iTunesCDB does not inflate: %1.").arg(candidate.note);
        } else if (candidate.kind == SourceKind::ITunesDb && !m_load.isDatabase && m_library.SongCount == 0) {
            code = QStringLiteral("database-not-database");
        }
        anyFatal = anyFatal || fatal;
        add(finding(fatal ? Severity::Error : Severity::Warning, code, text,
                    SyncAgain + (fatal ? tagsAction : QString()),
                    {{QStringLiteral("kind"), sourceKindName(candidate.kind)}, {QStringLiteral("why"), candidate.note}},
                    fatal ? tags : Remedy::None));
    }
    return anyFatal;
}

void Checker::loadProblemFindings()
{
    for (const LoadProblem &problem : m_load.problems) {
        using Kind = LoadProblem::Kind;
        // Damage and missing files have findings of their own.
        if (problem.kind == Kind::CopyFailed || problem.kind == Kind::DatabaseUnreadable ||
            problem.kind == Kind::SongFileUnreadable)
            continue;
        add(finding(Severity::Warning, QStringLiteral("load-problem"),
                    QStringLiteral("Reading the database met %1 (%2, the first: %3).")
                        .arg(problemKindName(problem.kind),
                             plural(problem.count, QStringLiteral("time"), QStringLiteral("times")), problem.detail),
                    QStringLiteral("The rest of the library reads as it should; a new sync writes a clean "
                                   "database."),
                    {{QStringLiteral("kind"), problemKindName(problem.kind)},
                     {QStringLiteral("count"), problem.count},
                     {QStringLiteral("detail"), problem.detail}}));
    }
    if (m_load.unknownTags > 0)
        add(finding(Severity::Info, QStringLiteral("unknown-records"),
                    QStringLiteral("The database holds %1 of data this program steps over.")
                        .arg(plural(m_load.unknownTags, QStringLiteral("byte"), QStringLiteral("bytes"))),
                    {}, {{QStringLiteral("bytes"), m_load.unknownTags}}));
}

void Checker::checksumFindings()
{
    m_model = identifyModel(m_report.ipod);
    const IpodModel &model = *m_model;
    if (model.checksum == ChecksumKind::Unknown) {
        add(finding(Severity::Info, QStringLiteral("checksum-unknown"),
                    QStringLiteral("The model is not known, so neither is the checksum its database needs.")));
        return;
    }
    const QString kind = checksumKindName(model.checksum);
    if (model.checksum == ChecksumKind::None) {
        add(finding(Severity::Info, QStringLiteral("checksum"),
                    QStringLiteral("An %1 needs no checksum in its database.").arg(model.displayName()), {},
                    {{QStringLiteral("needed"), kind}}));
        return;
    }
    add(finding(Severity::Info, QStringLiteral("checksum"),
                QStringLiteral("An %1 checks a %2 checksum in its database's header.").arg(model.displayName(), kind),
                {}, {{QStringLiteral("needed"), kind}}));
    if (model.checksum == ChecksumKind::Hash58 && model.fireWireGuid.isEmpty())
        add(finding(Severity::Warning, QStringLiteral("checksum-no-guid"),
                    QStringLiteral("The hash58 checksum is made from the iPod's FirewireGuid, which neither SysInfo "
                                   "nor SysInfoExtended states."),
                    QStringLiteral("Programs other than iTunes need it to write the checksum: add the line "
                                   "\"FirewireGuid: 0x...\" with the iPod's USB serial number to "
                                   "iPod_Control/Device/SysInfo.")));
    checksumFieldFinding(model);
}

void Checker::checksumFieldFinding(const IpodModel &model)
{
    NativePathResolver paths(m_report.ipod);
    const QString kind = checksumKindName(model.checksum);
    for (const auto stored : {ITunesCdbStoredPath, ITunesDbStoredPath}) {
        const QString path = paths.resolve(QString::fromUtf16(stored));
        if (!QFileInfo(path).isFile())
            continue;
        const FieldState state = checksumFieldState(readDatabaseHead(path), model.checksum);
        if (state == FieldState::NoHeader)
            continue;
        const QString file = QFileInfo(path).fileName();
        if (state == FieldState::Filled) {
            add(finding(Severity::Info, QStringLiteral("checksum-present"),
                        QStringLiteral("The %1's %2 field is filled in.").arg(file, kind), {},
                        {{QStringLiteral("file"), file}, {QStringLiteral("checksum"), kind}}));
        } else {
            add(finding(Severity::Error, QStringLiteral("checksum-empty"),
                        (state == FieldState::Empty ? QStringLiteral("The %1's %2 field is empty")
                                                    : QStringLiteral("The %1's header is too short to hold a %2"))
                                .arg(file, kind) +
                            QStringLiteral(", so the iPod refuses the database and shows no music."),
                        QStringLiteral("Sync the iPod again with iTunes, or with a program that knows this model "
                                       "and writes its %1 checksum.")
                            .arg(kind),
                        {{QStringLiteral("file"), file}, {QStringLiteral("checksum"), kind}}));
        }
        return; // the first database the iPod reads is the one that counts
    }
}

void Checker::playCountsFindings()
{
    const QString path = NativePathResolver(m_report.ipod).resolve(QString::fromUtf16(PlayCountsStoredPath));
    if (!QFileInfo(path).isFile())
        return;
    const PlayCountsHeader header = readPlayCountsHeader(path);
    if (header.entries < 0) {
        add(finding(Severity::Warning, QStringLiteral("play-counts-damaged"),
                    QStringLiteral("The Play Counts file cannot be used: %1.").arg(header.problem),
                    QStringLiteral("The plays counted since the last sync are lost; the next sync replaces the "
                                   "file."),
                    {{QStringLiteral("why"), header.problem}}));
        return;
    }
    const SourceKind chosen = m_load.source.chosen;
    if (chosen != SourceKind::ITunesDb && chosen != SourceKind::ITunesCdb)
        return;
    const QJsonObject details{{QStringLiteral("entries"), header.entries},
                              {QStringLiteral("songs"), m_library.SongCount}};
    if (header.entries != m_library.SongCount)
        add(finding(Severity::Warning, QStringLiteral("play-counts-mismatch"),
                    QStringLiteral("The Play Counts file has entries for %1, but the database lists %2.")
                        .arg(plural(header.entries, QStringLiteral("song"), QStringLiteral("songs")))
                        .arg(m_library.SongCount),
                    QStringLiteral("It belongs to another database, so its plays would land on the wrong songs: "
                                   "sync the iPod again, which reads and clears the file."),
                    details));
    else
        add(finding(Severity::Info, QStringLiteral("play-counts"),
                    QStringLiteral("The Play Counts file has an entry for each of the database's songs."), {},
                    details));
}

void Checker::modelFindings()
{
    if (!m_model)
        m_model = identifyModel(m_report.ipod);
    const IpodModel &model = *m_model;
    if (model.source.isEmpty()) {
        add(finding(Severity::Info, QStringLiteral("model-unknown"),
                    QStringLiteral("Nothing on the iPod names its model: there is no usable SysInfo or "
                                   "SysInfoExtended in iPod_Control/Device.")));
        return;
    }
    m_report.model = model;
    QString text = QStringLiteral("The iPod is an %1").arg(model.displayName());
    if (model.known() && !model.modelNumber.isEmpty())
        text += QStringLiteral(" (%1)").arg(model.modelNumber);
    if (!model.serialNumber.isEmpty())
        text += QStringLiteral(", serial number %1").arg(model.serialNumber);
    add(finding(Severity::Info, QStringLiteral("model"), text + QLatin1Char('.'), {},
                {{QStringLiteral("source"), model.source}}));
}

void Checker::spaceFindings()
{
    struct statvfs info
    {
    };
    if (::statvfs(QFile::encodeName(m_report.ipod).constData(), &info) != 0) {
        add(finding(Severity::Warning, QStringLiteral("space-unknown"),
                    QStringLiteral("The iPod's free space cannot be read."),
                    QStringLiteral("Check that the iPod is still mounted.")));
        return;
    }
    const auto block = static_cast<qint64>(info.f_frsize);
    const qint64 total = block * static_cast<qint64>(info.f_blocks);
    const qint64 free = block * static_cast<qint64>(info.f_bavail);
    const qint64 used = total - block * static_cast<qint64>(info.f_bfree);
    add(finding(Severity::Info, QStringLiteral("space"),
                QStringLiteral("%1 free and %2 used of %3.").arg(sizeText(free), sizeText(used), sizeText(total)), {},
                {{QStringLiteral("free"), free}, {QStringLiteral("used"), used}, {QStringLiteral("total"), total}}));
}

QJsonObject modelJson(const IpodModel &model)
{
    return {{QStringLiteral("number"), model.modelNumber},
            {QStringLiteral("name"), model.name},
            {QStringLiteral("display_name"), model.displayName()},
            {QStringLiteral("capacity_mb"), model.capacityMb},
            {QStringLiteral("checksum"), checksumKindName(model.checksum)},
            {QStringLiteral("serial_number"), model.serialNumber},
            {QStringLiteral("firewire_guid"), model.fireWireGuid},
            {QStringLiteral("family_id"), model.familyId},
            {QStringLiteral("source"), model.source}};
}

} // namespace

QString severityName(Severity severity)
{
    switch (severity) {
    case Severity::Error:
        return QStringLiteral("error");
    case Severity::Warning:
        return QStringLiteral("warning");
    case Severity::Info:
        break;
    }
    return QStringLiteral("info");
}

QString remedyCaption(Remedy remedy)
{
    switch (remedy) {
    case Remedy::ReadTags:
        return QStringLiteral("Read the songs from their tags");
    case Remedy::ShowOrphans:
        return QStringLiteral("Show the songs not in the database");
    case Remedy::CheckMissing:
        return QStringLiteral("Check for missing files");
    case Remedy::None:
        break;
    }
    return QString();
}

CheckupReport IpodCheckup::run(const ScanControl &control) const
{
    return Checker(m_folder, control).run();
}

void sortWorstFirst(std::vector<Finding> &findings)
{
    std::stable_sort(findings.begin(), findings.end(),
                     [](const Finding &a, const Finding &b) { return a.severity < b.severity; });
}

QByteArray checkupToJson(const CheckupReport &report)
{
    QJsonArray findings;
    for (const Finding &f : report.findings)
        findings.append(QJsonObject{{QStringLiteral("severity"), severityName(f.severity)},
                                    {QStringLiteral("code"), f.code},
                                    {QStringLiteral("text"), f.text},
                                    {QStringLiteral("action"), f.action},
                                    {QStringLiteral("details"), f.details}});
    const QJsonObject root{
        {QStringLiteral("ipod"), report.ipod},
        {QStringLiteral("model"), report.model ? QJsonValue(modelJson(*report.model)) : QJsonValue()},
        {QStringLiteral("findings"), findings}};
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

} // namespace corvanel::checkup
