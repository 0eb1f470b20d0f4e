#pragma once
// The copy loop of extraction, without a window: the list of songs to extract, and copying
// them off the iPod into a folder under names made by a template. The copying runs on a
// worker thread; progress and the outcome arrive as signals on the owner's thread.
#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <thread>
#include <vector>

namespace corvanel::library {
class MusicLibrary;
}
namespace corvanel::library {
struct Song;
}

namespace corvanel::extract {

using namespace corvanel::library;

class SongExtractor : public QObject
{
    Q_OBJECT

public:
    explicit SongExtractor(const MusicLibrary &library, QObject *parent = nullptr);
    // Stops a running copy and waits for it: the current file's temporary copy is removed.
    ~SongExtractor() override;

    // Makes a new list from song indexes: each song once, in the order given.
    void AddSongs(const std::vector<int32_t> &Songs);
    const std::vector<int32_t> &songs() const { return m_songs; }
    // One row per listed song: "Artist - Title".
    QStringList rows() const;
    // Takes the given rows (indexes into rows()) off the list.
    void removeRows(QList<int> rows);

    // Why no song may be copied into `destination`, or nothing when they may: an empty folder
    // name, or the iPod itself or a folder inside it.
    std::optional<QString> destinationRefusal(const QString &destination) const;

    // Copies the listed songs into `destination` in the background. A destination without a
    // trailing "/" gets one first, and destinationChanged tells of it. A refused destination
    // fails at once, before anything is copied. Ignored while running.
    void StartExtract(const QString &destination, const QString &format);
    // Asks a running copy to stop; stopped follows once it has.
    void stop();
    bool running() const { return m_worker.joinable(); }

    // The same loop on the calling thread, for the command line. `progress` hears of the
    // position as in the progress signal; `cancel`, when given, stops the copy between blocks
    // as stop() does. Returns the error text on failure (and when cancelled).
    std::optional<QString> extractNow(const QString &destination, const QString &format,
                                      const std::function<void(double position, int count)> &progress = {},
                                      const std::atomic<bool> *cancel = nullptr);

    // Whether each folder that receives songs with a cover also gets "cover.jpg" (on at first).
    void setCovers(bool on) { m_covers = on; }
    bool covers() const { return m_covers; }

    // The text of a failed extraction for an errno value.
    static QString errorText(int error);
    // The destination with its trailing "/".
    static QString withTrailingSeparator(const QString &destination);

signals:
    void destinationChanged(const QString &destination);
    // `position` runs from 0 to count - 1 (songs before the current one, plus the share of
    // it that is copied): the progress bar's width is position / (count - 1).
    void progress(double position, int count);
    void finished();
    void failed(const QString &message);
    void stopped();

private:
    struct Outcome
    {
        int error = 0;
        bool stopped = false;
        QString message = {}; // the error text, when errorText(error) would not say it
        QString text() const { return message.isEmpty() ? errorText(error) : message; }
    };
    Outcome copyLoop(const std::vector<Song> &songs, const QString &destination, const QString &format,
                     const std::atomic<bool> &stop, const std::function<void(double)> &progress);
    std::vector<Song> listedSongs() const;
    void join();

    const MusicLibrary &m_library;
    std::vector<int32_t> m_songs;
    std::thread m_worker;
    std::atomic<bool> m_stop{false};
    bool m_covers = true;
};

} // namespace corvanel::extract
