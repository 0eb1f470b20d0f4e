#include "LoadReport.h"

namespace corvanel::itunesdb {

void LoadReport::add(LoadProblem::Kind kind, const QString &detail)
{
    for (LoadProblem &problem : problems) {
        if (problem.kind == kind) {
            ++problem.count;
            return;
        }
    }
    problems.push_back(LoadProblem{kind, 1, detail});
}

const LoadProblem *LoadReport::find(LoadProblem::Kind kind) const
{
    for (const LoadProblem &problem : problems)
        if (problem.kind == kind)
            return &problem;
    return nullptr;
}

int LoadReport::count(LoadProblem::Kind kind) const
{
    const LoadProblem *problem = find(kind);
    return problem ? problem->count : 0;
}

QString problemKindName(LoadProblem::Kind kind)
{
    switch (kind) {
    case LoadProblem::Kind::CopyFailed:
        return QStringLiteral("database file unreadable");
    case LoadProblem::Kind::DatabaseUnreadable:
        return QStringLiteral("database damaged");
    case LoadProblem::Kind::SongFileUnreadable:
        return QStringLiteral("song file missing");
    case LoadProblem::Kind::DuplicateTrackId:
        return QStringLiteral("duplicate track id");
    case LoadProblem::Kind::PlaylistItemWithoutPlaylist:
        return QStringLiteral("playlist item without playlist");
    case LoadProblem::Kind::OnTheGoBadEntry:
        return QStringLiteral("bad On-The-Go entry");
    case LoadProblem::Kind::OnTheGoUnreadable:
        return QStringLiteral("On-The-Go file unreadable");
    case LoadProblem::Kind::PlaylistIdMissing:
        return QStringLiteral("playlist names a missing track");
    case LoadProblem::Kind::TagsUnreadable:
        return QStringLiteral("song file unreadable");
    case LoadProblem::Kind::PlayCountsDamaged:
        return QStringLiteral("Play Counts file damaged");
    case LoadProblem::Kind::PlayCountsMismatch:
        return QStringLiteral("Play Counts entries do not match the songs");
    case LoadProblem::Kind::DatabasePartUnreadable:
        return QStringLiteral("part of the database unreadable");
    case LoadProblem::Kind::SongWithoutFile:
        return QStringLiteral("song without a file");
    }
    return QString();
}

QString sourceKindName(SourceKind kind)
{
    switch (kind) {
    case SourceKind::ITunesCdb:
        return QStringLiteral("itunescdb");
    case SourceKind::ITunesDb:
        return QStringLiteral("itunesdb");
    case SourceKind::Sqlite:
        return QStringLiteral("sqlite");
    case SourceKind::ITunesSd:
        return QStringLiteral("itunessd");
    case SourceKind::Tags:
        return QStringLiteral("tags");
    case SourceKind::None:
        break;
    }
    return QStringLiteral("none");
}

} // namespace corvanel::itunesdb
