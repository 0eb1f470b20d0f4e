#include "LibrarySource.h"
#include "LibraryJson.h"
#include "ParseiTunesDB.h"
#include "ShuffleDatabase.h"
#include "SqliteLibrary.h"

#include <NativePath.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <algorithm>
#include <optional>

namespace corvanel::itunesdb {

namespace {

constexpr qsizetype VersionAt = 0x10; // of "mhbd"

enum Candidate : std::size_t { Compressed, Database, Sqlite, Shuffle };

// What a database's first bytes say of its format: "0x75" for an "mhbd" header of version
// 0x75, "bdhs" or "1G/2G" for a shuffle's song list; empty when they say nothing.
QString versionOf(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    const QByteArray head = file.read(VersionAt + 4);
    if (head.size() == VersionAt + 4 && head.startsWith("mhbd"))
        return QStringLiteral("0x%1").arg(qFromLittleEndian<quint32>(head.constData() + VersionAt), 0, 16);
    if (head.startsWith("bdhs"))
        return shuffleLayoutName(ShuffleList::Layout::Chunked);
    if (head.size() >= 9 && head.at(6) == 0 && head.at(7) == 0 && head.at(8) == 0x12)
        return shuffleLayoutName(ShuffleList::Layout::Fixed);
    return QString();
}

class Chooser
{
public:
    Chooser(MusicLibrary &library, const ScanControl &control, const LoadSteps &steps)
        : m_library(library), m_control(control), m_steps(steps), m_drive(library.iPodDrive)
    {
        NativePathResolver paths(m_drive);
        m_cdbPath = paths.resolve(QString::fromUtf16(ITunesCdbStoredPath));
        m_dbPath = paths.resolve(QString::fromUtf16(ITunesDbStoredPath));
        m_sdPath = paths.resolve(QString::fromUtf16(ShuffleListStoredPath));
        const std::pair<SourceKind, QString> files[] = {{SourceKind::ITunesCdb, m_cdbPath},
                                                        {SourceKind::ITunesDb, m_dbPath},
                                                        {SourceKind::Sqlite, QString()},
                                                        {SourceKind::ITunesSd, m_sdPath}};
        for (const auto &[kind, path] : files) {
            SourceCandidate candidate;
            candidate.kind = kind;
            candidate.found = kind == SourceKind::Sqlite ? hasSqliteLibrary(m_drive) : QFileInfo(path).isFile();
            if (candidate.found && !path.isEmpty())
                candidate.version = versionOf(path);
            m_choice.candidates.push_back(candidate);
        }
    }

    LoadReport run()
    {
        std::optional<LoadReport> report = readCompressed();
        if (!report)
            report = readDatabase();
        if (!report)
            report = readSqlite();
        if (!report)
            report = readShuffle();
        if (!report)
            report = fallback();
        report->source.candidates = m_choice.candidates;
        report->source.reason = m_choice.reason;
        // What was passed over for damage comes first, as it was met first.
        std::vector<LoadProblem> &problems = report->problems;
        for (auto it = m_passedOver.rbegin(); it != m_passedOver.rend(); ++it) {
            const auto same = std::find_if(problems.begin(), problems.end(),
                                           [&](const LoadProblem &problem) { return problem.kind == it->kind; });
            if (same != problems.end())
                same->count += it->count;
            else
                problems.insert(problems.begin(), *it);
        }
        return std::move(*report);
    }

private:
    SourceCandidate &candidate(Candidate which) { return m_choice.candidates[which]; }

    void reset()
    {
        m_library.clear();
        m_library.iPodDrive = m_drive;
    }

    void noteRead(Candidate which)
    {
        candidate(which).read = true;
        candidate(which).songs = m_library.SongCount;
        candidate(which).playlists = m_library.PlaylistCount;
    }

    LoadReport chosen(LoadReport report, SourceKind kind, const QString &reason)
    {
        report.source.chosen = kind;
        m_choice.reason = reason;
        return report;
    }

    // Keeps why a database that is there cannot be read, for the user to hear of it whatever is
    // read instead.
    void passOver(Candidate which, const QString &path, const QString &why)
    {
        candidate(which).note = why;
        m_passedOver.push_back({LoadProblem::Kind::DatabaseUnreadable, 1, path + QStringLiteral(": ") + why});
    }

    std::optional<LoadReport> readCompressed()
    {
        if (!candidate(Compressed).found)
            return std::nullopt;
        LoadReport report = ParseiTunesDB(m_cdbPath, m_library, m_control.status, {}, m_steps.sizes);
        noteRead(Compressed);
        // It serves when it inflates, or holds plain records after all; not when what follows its
        // header is neither.
        const bool inflated = report.source.chosen == SourceKind::ITunesCdb;
        const std::optional<QString> failure = loadFailure(m_library, report);
        if (!failure && (inflated || report.unknownTags == 0))
            return chosen(std::move(report), SourceKind::ITunesCdb,
                          QStringLiteral("the iPod keeps a compressed database, which it reads instead of the "
                                         "iTunesDB"));
        const LoadProblem *damage = report.find(LoadProblem::Kind::DatabaseUnreadable);
        passOver(Compressed, m_cdbPath,
                 damage    ? damage->detail.section(QStringLiteral(": "), -1)
                 : failure ? *failure
                           : QStringLiteral("what follows its header is neither compressed nor database records"));
        reset();
        return std::nullopt;
    }

    std::optional<LoadReport> readDatabase()
    {
        if (!candidate(Database).found)
            return std::nullopt;
        // An iTunesDB with songs is always the one chosen: only then does the work beside it run.
        std::function<void()> alongside;
        if (m_steps.alongside)
            alongside = [this] {
                if (m_library.SongCount > 0)
                    m_steps.alongside();
            };
        LoadReport report = ParseiTunesDB(m_dbPath, m_library, m_control.status, {}, m_steps.sizes, alongside);
        noteRead(Database);
        if (report.isDatabase && m_library.SongCount > 0)
            return chosen(std::move(report), SourceKind::ITunesDb,
                          candidate(Compressed).found
                              ? QStringLiteral("the compressed database cannot be read; the iTunesDB has songs")
                              : QStringLiteral("the iTunesDB has songs"));
        candidate(Database).note = report.isDatabase ? QStringLiteral("it lists no songs")
                                                     : loadFailure(m_library, report).value_or(QString());
        if (!candidate(Sqlite).found && !candidate(Shuffle).found) {
            m_fallback = std::move(report); // the library holds it still
            return std::nullopt;
        }
        reset();
        return std::nullopt;
    }

    std::optional<LoadReport> readSqlite()
    {
        if (!candidate(Sqlite).found)
            return std::nullopt;
        LoadReport report = readSqliteLibrary(m_drive, m_library, m_control.progress);
        noteRead(Sqlite);
        if (m_library.SongCount > 0) {
            report.isDatabase = true;
            return chosen(std::move(report), SourceKind::Sqlite,
                          QStringLiteral("the iPod keeps its library in SQLite files, and no iTunes database "
                                         "of it has songs"));
        }
        // A library whose songs cannot be read at all is damaged, not empty.
        if (const LoadProblem *failed = report.find(LoadProblem::Kind::CopyFailed); failed && !report.isDatabase)
            passOver(Sqlite, NativePathResolver(m_drive).resolve(QString::fromUtf16(SqliteLibraryFolder)),
                     failed->detail);
        else
            candidate(Sqlite).note = QStringLiteral("it lists no songs");
        reset();
        return std::nullopt;
    }

    std::optional<LoadReport> readShuffle()
    {
        if (!candidate(Shuffle).found)
            return std::nullopt;
        std::expected<ShuffleList, QString> list = readShuffleList(m_sdPath);
        if (!list) {
            passOver(Shuffle, m_sdPath, list.error());
            return std::nullopt;
        }
        if (list->tracks.empty()) {
            candidate(Shuffle).read = true;
            candidate(Shuffle).songs = 0;
            candidate(Shuffle).note = QStringLiteral("it lists no songs");
            return std::nullopt;
        }
        LoadReport report = loadShuffleList(*list, m_library, m_control);
        noteRead(Shuffle);
        return chosen(std::move(report), SourceKind::ITunesSd,
                      QStringLiteral("the iPod is a shuffle whose song list names the songs; no other database "
                                     "of it has songs"));
    }

    // No database gives songs: the iTunesDB's reading stands, or why there is none.
    LoadReport fallback()
    {
        m_choice.reason = QStringLiteral("no database on the iPod gives songs");
        if (m_fallback) {
            m_fallback->source.chosen = SourceKind::ITunesDb;
            return std::move(*m_fallback);
        }
        reset();
        if (candidate(Database).found)
            return ParseiTunesDB(m_dbPath, m_library, m_control.status, {}, m_steps.sizes);
        LoadReport report;
        if (m_passedOver.empty())
            report.add(LoadProblem::Kind::CopyFailed, m_dbPath);
        return report;
    }

    MusicLibrary &m_library;
    const ScanControl &m_control;
    const LoadSteps &m_steps;
    QString m_drive;
    QString m_cdbPath;
    QString m_dbPath;
    QString m_sdPath;
    SourceChoice m_choice;
    std::vector<LoadProblem> m_passedOver;
    std::optional<LoadReport> m_fallback;
};

} // namespace

LoadReport loadIpodLibrary(MusicLibrary &library, const ScanControl &control, const LoadSteps &steps)
{
    return Chooser(library, control, steps).run();
}

LoadReport loadLibraryFile(const QString &DBFile, MusicLibrary &library, const ScanControl &control,
                           const LoadSteps &steps)
{
    const QString relative = QDir(library.iPodDrive).relativeFilePath(QFileInfo(DBFile).absoluteFilePath());
    const QString own = QString::fromUtf16(ITunesDbStoredPath).mid(1).replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (!library.iPodDrive.isEmpty() && relative.compare(own, Qt::CaseInsensitive) == 0)
        return loadIpodLibrary(library, control, steps);
    return ParseiTunesDB(DBFile, library, control.status, {}, steps.sizes, steps.alongside);
}

} // namespace corvanel::itunesdb
