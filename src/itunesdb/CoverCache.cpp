#include "CoverCache.h"

namespace corvanel::itunesdb {

CoverCache::CoverCache(std::shared_ptr<ArtworkLibrary> artwork, qsizetype budgetBytes, QObject *parent)
    : QObject(parent), m_artwork(std::move(artwork)), m_budget(budgetBytes)
{
    // One worker: covers come one at a time, and the last asked for is wanted most.
    m_pool.setMaxThreadCount(1);
}

CoverCache::~CoverCache()
{
    m_pool.clear();
    m_pool.waitForDone();
}

void CoverCache::waitForIdle()
{
    m_pool.waitForDone();
}

QString CoverCache::keyOf(const library::Song &song) const
{
    return m_keys.value(song.SongID);
}

QImage CoverCache::cached(const library::Song &song) const
{
    const QString key = keyOf(song);
    const auto found = key.isEmpty() ? m_entries.constEnd() : m_entries.constFind(key);
    return found == m_entries.constEnd() ? QImage() : (*found)->second;
}

void CoverCache::request(const library::Song &song)
{
    const QString known = keyOf(song);
    if (const auto found = known.isEmpty() ? m_entries.end() : m_entries.find(known); found != m_entries.end()) {
        m_order.splice(m_order.begin(), m_order, *found);
        emit coverReady(song.SongID, (*found)->second);
        return;
    }
    if (!m_artwork) {
        emit coverReady(song.SongID, QImage());
        return;
    }
    // Only the newest request matters; older ones still waiting are dropped.
    m_pool.clear();
    const std::shared_ptr<ArtworkLibrary> artwork = m_artwork;
    m_pool.start([this, artwork, song] {
        QString key = artwork->coverKey(song);
        QImage cover = key.isEmpty() ? QImage() : artwork->cover(song);
        QMetaObject::invokeMethod(
            this,
            [this, id = song.SongID, key = std::move(key), cover = std::move(cover)] {
                if (!key.isEmpty()) {
                    m_keys.insert(id, key);
                    if (!cover.isNull())
                        store(key, cover);
                }
                emit coverReady(id, cover);
            },
            Qt::QueuedConnection);
    });
}

void CoverCache::store(const QString &key, const QImage &cover)
{
    if (m_entries.contains(key))
        return;
    const qsizetype bytes = cover.sizeInBytes();
    if (bytes > m_budget)
        return;
    m_order.emplace_front(key, cover);
    m_entries.insert(key, m_order.begin());
    m_used += bytes;
    while (m_used > m_budget && !m_order.empty()) {
        m_used -= m_order.back().second.sizeInBytes();
        m_entries.remove(m_order.back().first);
        m_order.pop_back();
    }
}

} // namespace corvanel::itunesdb
