#include "MusicFolderWalk.h"

#include "TagReader.h"

#include <NativePath.h>

#include <QFile>
#include <QSet>
#include <algorithm>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace corvanel::itunesdb {

namespace {

struct DirCloser
{
    void operator()(DIR *dir) const { ::closedir(dir); }
};
using Dir = std::unique_ptr<DIR, DirCloser>;

// The entry of `folder` named `name` without regard to case, exact names first.
std::optional<QByteArray> childIgnoringCase(const QByteArray &folder, const QString &name)
{
    Dir dir(::opendir(folder.constData()));
    if (!dir)
        return std::nullopt;
    std::optional<QByteArray> found;
    while (const dirent *entry = ::readdir(dir.get())) {
        const QString entryName = QFile::decodeName(entry->d_name);
        if (entryName == name)
            return QByteArray(entry->d_name);
        if (!found && entryName.compare(name, Qt::CaseInsensitive) == 0)
            found = QByteArray(entry->d_name);
    }
    return found;
}

QByteArray canonical(const QByteArray &path)
{
    std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(path.constData(), nullptr), &std::free);
    return resolved ? QByteArray(resolved.get()) : QByteArray();
}

// True when `path`, with every link resolved, is `root` or below it.
bool isInside(const QByteArray &root, const QByteArray &path)
{
    const QByteArray target = canonical(path);
    if (root.isEmpty() || target.isEmpty())
        return false;
    return root == "/" || target == root || (target.startsWith(root) && target.at(root.size()) == '/');
}

class Walker
{
public:
    Walker(QByteArray root, const std::atomic<bool> *cancel, std::size_t enough,
           const std::function<void(const MusicFile &file)> &found)
        : m_root(std::move(root)), m_cancel(cancel), m_enough(enough), m_found(found)
    {
    }

    // Walks `folder` (a file name) whose stored form is `stored` ("\iPod_Control\Music").
    // Everything reached without a link comes first; links are followed afterwards, so a
    // folder or file reached both ways is listed under its own name.
    void walk(const QByteArray &folder, const QString &stored, MusicListing &out)
    {
        struct stat info
        {
        };
        if (::stat(folder.constData(), &info) != 0 || !enterOnce(info))
            return;
        m_pending.push_back({folder, stored, true});
        while (!out.cancelled && out.files.size() < m_enough && (!m_pending.empty() || !m_links.empty())) {
            if (m_cancel && m_cancel->load(std::memory_order_relaxed)) {
                out.cancelled = true;
                return;
            }
            if (!m_pending.empty()) {
                // Folders to do are kept on a stack, so a deep tree cannot exhaust the call stack.
                const Entry next = std::move(m_pending.back());
                m_pending.pop_back();
                listFolder(next, out);
            } else {
                const Entry next = std::move(m_links.back());
                m_links.pop_back();
                followLink(next, out);
            }
        }
    }

private:
    struct Entry
    {
        QByteArray path;
        QString stored;
        bool exact = true; // `stored` names `path` again (see MusicFile::pathExact)
    };

    bool enterOnce(const struct stat &info)
    {
        const auto key = std::make_pair(static_cast<quint64>(info.st_dev), static_cast<quint64>(info.st_ino));
        if (m_seen.contains(key))
            return false;
        m_seen.insert(key);
        return true;
    }

    // A folder is entered once; a song file is listed once, when its name is one the iPod can store.
    void take(const Entry &entry, const struct stat &info, MusicListing &out)
    {
        if (S_ISDIR(info.st_mode)) {
            if (enterOnce(info))
                m_pending.push_back(entry);
            return;
        }
        const QStringView name = QStringView(entry.stored).mid(entry.stored.lastIndexOf(QLatin1Char('\\')) + 1);
        if (!S_ISREG(info.st_mode) || !isSongFileName(name))
            return;
        const bool exact = entry.exact && corvanel::library::NativePathResolver::isSafe(entry.stored);
        if (enterOnce(info)) {
            out.files.push_back({entry.stored, entry.path, static_cast<qint64>(info.st_size), exact});
            if (m_found)
                m_found(out.files.back());
        }
    }

    // A link is followed only to a place inside the iPod.
    void followLink(const Entry &link, MusicListing &out)
    {
        struct stat info
        {
        };
        if (::stat(link.path.constData(), &info) != 0 || !isInside(m_root, link.path)) {
            ++out.refused;
            return;
        }
        take(link, info, out);
    }

    void listFolder(const Entry &folder, MusicListing &out)
    {
        Dir dir(::opendir(folder.path.constData()));
        struct stat self
        {
        };
        if (!dir || ::fstat(::dirfd(dir.get()), &self) != 0) {
            out.unopenableFolders.push_back(folder.stored);
            return;
        }
        const int dirFd = ::dirfd(dir.get());
        while (const dirent *entry = ::readdir(dir.get())) {
            const char *raw = entry->d_name;
            if (raw[0] == '.')
                continue; // ".", "..", and hidden files such as "._ABCD.mp3"
            const QString name = QFile::decodeName(raw);
            struct stat info
            {
            };
            if (entry->d_type == DT_REG) {
                // An ordinary file costs no look of its own: its size comes when it is read.
                if (!isSongFileName(name))
                    continue;
                info.st_mode = S_IFREG;
                info.st_dev = self.st_dev;
                info.st_ino = entry->d_ino;
                info.st_size = -1;
            } else if (::fstatat(dirFd, raw, &info, AT_SYMLINK_NOFOLLOW) != 0) {
                continue;
            }
            if (!S_ISDIR(info.st_mode) && !S_ISLNK(info.st_mode) && !isSongFileName(name))
                continue;
            // A name the stored form cannot give back: decoding dropped bytes, or a "\" would split it.
            const bool exact = folder.exact && !name.contains(QLatin1Char('\\')) && QFile::encodeName(name) == raw;
            Entry found{folder.path + '/' + raw, folder.stored + QLatin1Char('\\') + name, exact};
            if (S_ISLNK(info.st_mode))
                m_links.push_back(std::move(found));
            else
                take(found, info, out);
        }
    }

    QByteArray m_root;
    const std::atomic<bool> *m_cancel;
    std::size_t m_enough;
    const std::function<void(const MusicFile &file)> &m_found;
    QSet<std::pair<quint64, quint64>> m_seen; // device and inode of every folder and file met
    std::vector<Entry> m_pending;             // folders to list
    std::vector<Entry> m_links;               // links met, followed once nothing else is left
};

} // namespace

std::vector<std::size_t> storedPathOrder(const std::vector<MusicFile> &files)
{
    // Each path is lowered once rather than in every comparison.
    std::vector<std::pair<QString, std::size_t>> keys;
    keys.reserve(files.size());
    for (std::size_t i = 0; i < files.size(); ++i)
        keys.emplace_back(files[i].storedPath.toLower(), i);
    std::sort(keys.begin(), keys.end(), [&](const auto &a, const auto &b) {
        return a.first != b.first ? a.first < b.first : files[a.second].storedPath < files[b.second].storedPath;
    });
    std::vector<std::size_t> order;
    order.reserve(keys.size());
    for (const auto &key : keys)
        order.push_back(key.second);
    return order;
}

MusicListing listMusicFiles(const QString &iPodDrive, const std::atomic<bool> *cancel, std::size_t enough,
                            const std::function<void(const MusicFile &file)> &found)
{
    MusicListing out;
    const QByteArray drive = QFile::encodeName(iPodDrive);
    const std::optional<QByteArray> control = childIgnoringCase(drive, QStringLiteral("iPod_Control"));
    if (!control)
        return out;
    const QByteArray controlPath = drive + '/' + *control;
    const std::optional<QByteArray> music = childIgnoringCase(controlPath, QStringLiteral("Music"));
    if (!music)
        return out;
    const QByteArray musicPath = controlPath + '/' + *music;
    struct stat info
    {
    };
    if (::stat(musicPath.constData(), &info) != 0 || !S_ISDIR(info.st_mode))
        return out;
    const QByteArray root = canonical(drive);
    if (!isInside(root, musicPath))
        return out;
    out.musicFolderFound = true;
    Walker walker(root, cancel, enough, found);
    walker.walk(musicPath,
                QLatin1Char('\\') + QFile::decodeName(*control) + QLatin1Char('\\') + QFile::decodeName(*music), out);
    std::vector<MusicFile> sorted;
    sorted.reserve(out.files.size());
    for (const std::size_t index : storedPathOrder(out.files))
        sorted.push_back(std::move(out.files[index]));
    out.files = std::move(sorted);
    return out;
}

} // namespace corvanel::itunesdb
