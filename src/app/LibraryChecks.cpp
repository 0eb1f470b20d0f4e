#include "LibraryChecks.h"

#include "SongFileCheck.h"

#include <QFile>
#include <QHash>
#include <vector>

namespace corvanel::app {

using namespace corvanel::library;

namespace {

const QString kLineBreak = QStringLiteral("\r\n");
const QString kBetween = QStringLiteral(" - ");

// A song seen through the three fields that make two songs the same.
struct SameSongKey
{
    const Song *song;
    bool operator==(const SameSongKey &other) const
    {
        return song->Title == other.song->Title && song->Artist == other.song->Artist &&
               song->Album == other.song->Album;
    }
};

size_t qHash(const SameSongKey &key, size_t seed = 0)
{
    return qHashMulti(seed, key.song->Title, key.song->Artist, key.song->Album);
}

void appendLine(QString &report, const Song &song)
{
    report += kLineBreak;
    report += song.Artist;
    report += kBetween;
    report += song.Title;
}

} // namespace

CheckResult findDuplicates(const MusicLibrary &library)
{
    const std::size_t n = library.Songs.size();
    // Songs grouped by their three fields; group ids in order of first appearance.
    std::vector<int32_t> groupOf(n);
    std::vector<int32_t> groupSize;
    QHash<SameSongKey, int32_t> groups;
    groups.reserve(static_cast<qsizetype>(n));
    for (std::size_t i = 0; i < n; ++i) {
        const SameSongKey key{&library.Songs[i]};
        auto it = groups.find(key);
        if (it == groups.end()) {
            it = groups.insert(key, static_cast<int32_t>(groupSize.size()));
            groupSize.push_back(0);
        }
        groupOf[i] = *it;
        ++groupSize[static_cast<std::size_t>(*it)];
    }

    // Song i, the r-th of a group of size s, is compared with the s-1 others: the r earlier
    // ones have all been reported already (each had a later partner), the s-1-r later ones
    // have not, so song i gets one line for each later member of its group.
    CheckResult result;
    std::vector<int32_t> seen(groupSize.size(), 0);
    for (std::size_t i = 0; i < n; ++i) {
        const auto g = static_cast<std::size_t>(groupOf[i]);
        const int32_t later = groupSize[g] - 1 - seen[g]++;
        for (int32_t k = 0; k < later; ++k)
            appendLine(result.report, library.Songs[i]);
        result.count += later;
    }
    return result;
}

CheckResult findMissing(const MusicLibrary &library, const std::atomic<bool> *cancel)
{
    CheckResult result;
    SongFileCheck files(library.iPodDrive);
    for (const Song &song : library.Songs) {
        if (cancel && cancel->load(std::memory_order_relaxed))
            break;
        if (files.missing(song)) {
            appendLine(result.report, song);
            ++result.count;
        }
    }
    return result;
}

MissingFilesCheck::~MissingFilesCheck()
{
    m_cancel.store(true);
    join();
}

void MissingFilesCheck::join()
{
    if (m_worker.joinable())
        m_worker.join();
}

bool MissingFilesCheck::start(const MusicLibrary &library)
{
    if (m_running)
        return false;
    join();
    m_running = true;
    m_cancel.store(false);
    m_worker = std::thread([this, &library] {
        CheckResult result = findMissing(library, &m_cancel);
        if (m_cancel.load())
            return;
        // Queued to this object's thread; dropped if the object is gone by then.
        QMetaObject::invokeMethod(
            this,
            [this, result = std::move(result)] {
                m_running = false;
                join();
                emit finished(result);
            },
            Qt::QueuedConnection);
    });
    return true;
}

corvanel::platform::Message duplicatesMessage(const CheckResult &result)
{
    if (result.count != 0)
        return {QStringLiteral("Duplicates Found!"),
                QStringLiteral("The following duplicates were found in your library...") + result.report,
                corvanel::platform::MessageIcon::Information, corvanel::platform::MessageButtons::Ok};
    return {QStringLiteral("Duplicate!"), QStringLiteral("There are no duplicates in your library!"),
            corvanel::platform::MessageIcon::Information, corvanel::platform::MessageButtons::Ok};
}

corvanel::platform::Message missingMessage(const CheckResult &result)
{
    if (result.count == 0)
        return {QStringLiteral("No errors!"), QStringLiteral("All files were found on your iPod"),
                corvanel::platform::MessageIcon::Information, corvanel::platform::MessageButtons::Ok};
    return {QStringLiteral("Missing Files!"),
            QStringLiteral("The following files were missing on your iPod: ") + result.report,
            corvanel::platform::MessageIcon::Information, corvanel::platform::MessageButtons::Ok};
}

namespace {
QString megabytes(double bytes)
{
    return QString::number(bytes / (1024.0 * 1024.0), 'f', 1) + QStringLiteral(" MB");
}
} // namespace

corvanel::platform::Message notInDatabaseMessage(const corvanel::itunesdb::OrphanScan &result)
{
    // Tags and paths are joined as they are: a "%1" in a tag stays text.
    const QString title = QStringLiteral("Songs Not in the Database");
    if (result.songs.empty() && result.unreadable.empty() && result.unopenableFolders.empty())
        return {title, QStringLiteral("Every song file on your iPod is in its database."),
                corvanel::platform::MessageIcon::Information, corvanel::platform::MessageButtons::Ok};
    const auto files = static_cast<qint64>(result.songs.size() + result.unreadable.size());
    QString text = megabytes(static_cast<double>(result.totalBytes)) + QStringLiteral(" in all: ") +
                   QString::number(files) + QStringLiteral(" song file") +
                   (files == 1 ? QString() : QStringLiteral("s")) +
                   QStringLiteral(" on your iPod that its database does not list.");
    for (const Song &song : result.songs)
        text += QLatin1Char('\n') + song.Artist + kBetween + song.Title + QStringLiteral(" (") + song.Album +
                QStringLiteral(", ") + song.Genre + QStringLiteral(", track ") + QString::number(song.TrackNumber) +
                QStringLiteral(") ") + megabytes(song.FileSize) + QLatin1Char(' ') + song.Path;
    if (!result.unreadable.empty())
        text += QLatin1Char('\n') + QString::number(result.unreadable.size()) +
                QStringLiteral(" more could not be read as songs, the first being ") + result.unreadable.front().path;
    if (!result.unopenableFolders.empty())
        text += QLatin1Char('\n') + QString::number(result.unopenableFolders.size()) +
                QStringLiteral(" folder(s) could not be opened, the first being ") + result.unopenableFolders.front();
    corvanel::platform::Message message{title, text, corvanel::platform::MessageIcon::Information,
                                        corvanel::platform::MessageButtons::Ok};
    if (!result.songs.empty())
        message.actionButton = QString::fromUtf16(AddToBrowserButton);
    return message;
}

} // namespace corvanel::app
