#pragma once
// The two checks of the "&Extras" menu over the whole library: songs listed twice, and songs
// whose file is gone from the iPod. Each gives a count and the report lines, every line being
// a line break followed by "Artist - Title".
#include "Dialogs.h"
#include "MusicLibrary.h"
#include "TagScan.h"

#include <QObject>
#include <QString>
#include <atomic>
#include <cstdint>
#include <thread>

namespace corvanel::app {

using namespace corvanel::library;
using namespace corvanel::platform;

struct CheckResult
{
    int64_t count = 0;
    QString report;
};

// Songs with equal Title, Artist and Album (exact comparison). Of each group of n equal songs,
// in library order, the first is reported n-1 times, the second n-2 times and so on: the
// report and count of comparing every song with every other and skipping a song that has
// already been reported.
CheckResult findDuplicates(const MusicLibrary &library);

// Songs without an ordinary file at iPodDrive + Path: a folder of that name, or a hidden
// file, counts as missing. Names are matched without regard to case, as on the iPod.
// A refused path (see NativePathResolver::isSafe) counts as missing. A set `cancel` ends the
// walk early with what it has found so far.
CheckResult findMissing(const MusicLibrary &library, const std::atomic<bool> *cancel = nullptr);

// The missing-file check off the window's thread: on a USB iPod it stats for seconds.
// `finished` arrives on the thread that owns this object. The library must not change while
// the check runs (it is read-only once loaded).
class MissingFilesCheck : public QObject
{
    Q_OBJECT
public:
    explicit MissingFilesCheck(QObject *parent = nullptr) : QObject(parent) {}
    ~MissingFilesCheck() override; // stops a running check and waits for it

    // Starts the check; false while one is running.
    bool start(const MusicLibrary &library);
    bool running() const { return m_running; }

signals:
    void finished(const CheckResult &result);

private:
    void join();

    std::thread m_worker;
    std::atomic<bool> m_cancel{false};
    bool m_running = false;
};

// The boxes that report the results.
corvanel::platform::Message duplicatesMessage(const CheckResult &result);
corvanel::platform::Message missingMessage(const CheckResult &result);
// The report of the song files the database does not know: their total size on the first
// line, then one line per song with its tags, size and path. When there are songs, the box
// has a button that adds them to the browser.
corvanel::platform::Message notInDatabaseMessage(const corvanel::itunesdb::OrphanScan &result);
inline constexpr auto AddToBrowserButton = u"Add to Browser";

} // namespace corvanel::app
