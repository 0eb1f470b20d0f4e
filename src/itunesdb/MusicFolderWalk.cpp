#include "MusicFolderWalk.h"

#include "TagReader.h"

#include <NativePath.h>

#include <QFile>
#include <QSet>
#include <algorithm>
#include <cstdlib>
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
    Walker(QByteArray root, const std::atomic<bool> *cancel, std::size_t enough)
        : m_root(std::move(root)), m_cancel(cancel), m_enough(enough)
    {
    }

    // Walks `folder` (a file name) whose stored form is `stored` ("\iPod_Control\Music").
    void walk(const QByteArray &folder, const QString &stored, MusicListing &out)
    {
        struct stat info
        {
        };
        if (::stat(folder.constData(), &info) != 0 || !enterOnce(info))
            return;
        // Folders to do are kept on a stack, so a deep tree cannot exhaust the call stack.
        std::vector<std::pair<QByteArray, QString>> pending{{folder, stored}};
        while (!pending.empty() && out.files.size() < m_enough) {
            if (m_cancel && m_cancel->load(std::memory_order_relaxed)) {
                out.cancelled = true;
                return;
            }
            auto [path, storedFolder] = std::move(pending.back());
            pending.pop_back();
            listFolder(path, storedFolder, out, pending);
        }
    }

private:
    bool enterOnce(const struct stat &info)
    {
        const auto key = std::make_pair(static_cast<quint64>(info.st_dev), static_cast<quint64>(info.st_ino));
        if (m_seen.contains(key))
            return false;
        m_seen.insert(key);
        return true;
    }

    bool staysInside(const QByteArray &path) const { return isInside(m_root, path); }

    void listFolder(const QByteArray &path, const QString &storedFolder, MusicListing &out,
                    std::vector<std::pair<QByteArray, QString>> &pending)
    {
        Dir dir(::opendir(path.constData()));
        if (!dir)
            return;
        const int dirFd = ::dirfd(dir.get());
        while (const dirent *entry = ::readdir(dir.get())) {
            if (out.files.size() >= m_enough)
                return;
            const char *raw = entry->d_name;
            if (raw[0] == '.')
                continue; // ".", "..", and hidden files such as "._ABCD.mp3"
            const QString name = QFile::decodeName(raw);
            const QByteArray full = path + '/' + raw;
            struct stat link
            {
            };
            if (::fstatat(dirFd, raw, &link, AT_SYMLINK_NOFOLLOW) != 0)
                continue;
            const bool isLink = S_ISLNK(link.st_mode);
            if (!S_ISDIR(link.st_mode) && !isLink && !isSongFileName(name))
                continue;
            struct stat info = link;
            if (isLink && (::fstatat(dirFd, raw, &info, 0) != 0 || !staysInside(full))) {
                ++out.refused;
                continue;
            }
            const QString stored = storedFolder + QLatin1Char('\\') + name;
            if (S_ISDIR(info.st_mode)) {
                if (enterOnce(info))
                    pending.emplace_back(full, stored);
                continue;
            }
            if (!S_ISREG(info.st_mode) || !isSongFileName(name))
                continue;
            if (name.contains(QLatin1Char('\\')) || !corvanel::library::NativePathResolver::isSafe(stored)) {
                ++out.refused;
                continue;
            }
            if (enterOnce(info))
                out.files.push_back({stored, full, static_cast<qint64>(info.st_size)});
        }
    }

    QByteArray m_root;
    const std::atomic<bool> *m_cancel;
    std::size_t m_enough;
    QSet<std::pair<quint64, quint64>> m_seen; // device and inode of every folder and file met
};

} // namespace

MusicListing listMusicFiles(const QString &iPodDrive, const std::atomic<bool> *cancel, std::size_t enough)
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
    Walker walker(root, cancel, enough);
    walker.walk(musicPath,
                QLatin1Char('\\') + QFile::decodeName(*control) + QLatin1Char('\\') + QFile::decodeName(*music), out);
    std::sort(out.files.begin(), out.files.end(), [](const MusicFile &a, const MusicFile &b) {
        const int order = a.storedPath.compare(b.storedPath, Qt::CaseInsensitive);
        return order != 0 ? order < 0 : a.storedPath < b.storedPath;
    });
    return out;
}

} // namespace corvanel::itunesdb
