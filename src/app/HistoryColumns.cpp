#include "HistoryColumns.h"

#include <QDateTime>
#include <QLocale>
#include <algorithm>

namespace corvanel::app {

namespace {
constexpr int kRatingPerStar = 20;
constexpr int kMostStars = 5;
} // namespace

QString HistoryColumns::heading(int column)
{
    switch (column) {
    case ColPlays:
        return QStringLiteral("Plays");
    case ColRating:
        return QStringLiteral("Rating");
    case ColLastPlayed:
        return QStringLiteral("Last Played");
    default:
        return QString();
    }
}

QString HistoryColumns::text(const Song &song, int column)
{
    switch (column) {
    case ColPlays:
        return QString::number(song.PlayCount);
    case ColRating:
        return stars(song.Rating);
    case ColLastPlayed:
        return localTime(song.LastPlayed);
    default:
        return QString();
    }
}

int64_t HistoryColumns::sortKey(const Song &song, int column)
{
    switch (column) {
    case ColPlays:
        return song.PlayCount;
    case ColRating:
        return song.Rating / kRatingPerStar;
    case ColLastPlayed:
        return song.LastPlayed;
    default:
        return 0;
    }
}

QString HistoryColumns::stars(int32_t rating)
{
    const int filled = std::clamp(rating / kRatingPerStar, 0, kMostStars);
    if (filled == 0)
        return QString();
    return QString(filled, QChar(0x2605)) + QString(kMostStars - filled, QChar(0x2606));
}

QString HistoryColumns::localTime(int64_t unixSeconds)
{
    if (unixSeconds == 0)
        return QString();
    return QLocale().toString(QDateTime::fromSecsSinceEpoch(unixSeconds).toLocalTime(), QLocale::ShortFormat);
}

} // namespace corvanel::app
