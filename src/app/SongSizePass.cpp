#include "SongSizePass.h"

#include "iTunesDBReader.h"

namespace corvanel::app {

SongSizePass::SongSizePass(MusicLibrary &library, QObject *parent)
    : QObject(parent), m_library(library), m_task(new ScanTask(this))
{
    connect(m_task, &ScanTask::finished, this, &SongSizePass::store);
}

SongSizePass::~SongSizePass()
{
    delete m_task;
}

void SongSizePass::start()
{
    if (m_task->running())
        return;
    // The worker reads its own copy of the paths: the library may grow meanwhile.
    m_paths.clear();
    m_paths.reserve(static_cast<std::size_t>(m_library.SongCount));
    for (int32_t i = 0; i < m_library.SongCount; ++i)
        m_paths.push_back(m_library.Songs[static_cast<std::size_t>(i)].Path);
    m_report = {};
    m_task->start([this, drive = m_library.iPodDrive](const ScanControl &control) {
        m_sizes = corvanel::itunesdb::measureSongFiles(drive, m_paths, m_report, control.cancel);
    });
}

void SongSizePass::store()
{
    if (m_task->cancelRequested())
        return;
    const auto count = static_cast<int32_t>(std::min(m_sizes.size(), m_library.Songs.size()));
    for (int32_t i = 0; i < count; ++i)
        m_library.Songs[static_cast<std::size_t>(i)].FileSize = m_sizes[static_cast<std::size_t>(i)];
    emit measured(count, m_report);
}

} // namespace corvanel::app
