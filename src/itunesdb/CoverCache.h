#pragma once
#include "ArtworkLibrary.h"

#include <QHash>
#include <QImage>
#include <QObject>
#include <QThreadPool>
#include <list>
#include <memory>

namespace corvanel::itunesdb {

// Covers decoded on a worker thread and kept in a small cache with a fixed byte budget; the
// least recently used cover leaves first. Asking never blocks: a cached cover is answered at
// once, any other is decoded in the background and announced by coverReady.
class CoverCache : public QObject
{
    Q_OBJECT
public:
    static constexpr qsizetype DefaultBudget = 8 * 1024 * 1024;

    explicit CoverCache(std::shared_ptr<ArtworkLibrary> artwork, qsizetype budgetBytes = DefaultBudget,
                        QObject *parent = nullptr);
    ~CoverCache() override;

    // Asks for the song's cover; coverReady follows, at once when it is cached, with a null
    // image when the song has none.
    void request(const library::Song &song);
    // The cover when it is cached, else a null image.
    QImage cached(const library::Song &song) const;

    qsizetype usedBytes() const { return m_used; }
    // Waits until the background work asked for so far is done (tests and shutdown).
    void waitForIdle();

signals:
    void coverReady(double songId, const QImage &cover);

private:
    void store(const QString &key, const QImage &cover);
    QString keyOf(const library::Song &song) const;

    std::shared_ptr<ArtworkLibrary> m_artwork;
    qsizetype m_budget;
    qsizetype m_used = 0;
    std::list<std::pair<QString, QImage>> m_order; // most recently used first
    QHash<QString, std::list<std::pair<QString, QImage>>::iterator> m_entries;
    QHash<double, QString> m_keys; // song id -> cover key, once known
    QThreadPool m_pool;
};

} // namespace corvanel::itunesdb
