#pragma once
// Measures the songs' file sizes once the main window is up. On an iPod that is one slow
// look-up per song, so the files are looked at on a worker thread while the window is in use;
// the sizes go into the library in one step on this object's thread when all are known.
#include "LoadReport.h"
#include "MusicLibrary.h"
#include "ScanTask.h"

#include <QObject>
#include <vector>

namespace corvanel::app {

using namespace corvanel::library;

class SongSizePass : public QObject
{
    Q_OBJECT
public:
    explicit SongSizePass(MusicLibrary &library, QObject *parent = nullptr);
    ~SongSizePass() override; // stops the worker before the members it writes go

    // Measures the songs the library holds now (songs added later keep their own sizes).
    void start();
    bool running() const { return m_task->running(); }

signals:
    // The sizes are in the library: songs 0 .. count - 1. `problems` counts the files that
    // could not be measured.
    void measured(int32_t count, const corvanel::itunesdb::LoadReport &problems);

private:
    void store();

    MusicLibrary &m_library;
    ScanTask *m_task;
    std::vector<QString> m_paths;
    std::vector<double> m_sizes;
    corvanel::itunesdb::LoadReport m_report;
};

} // namespace corvanel::app
