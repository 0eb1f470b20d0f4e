// iPods whose database is damaged or incomplete: a broken iTunesDB, songs the database does not list.
#include "BuilderSupport.h"
#include "IpodBuilder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <cstring>
#include <optional>

namespace mkipod {

using namespace detail;

namespace {

QString databasePath(const QString &root)
{
    return QDir(root).filePath(QStringLiteral("iPod_Control/iTunes/iTunesDB"));
}

bool readAll(const QString &path, QByteArray *bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    *bytes = file.readAll();
    return file.error() == QFileDevice::NoError;
}

// Bounds-checked reads over a database that may be of any shape.
class Records
{
public:
    explicit Records(const QByteArray &bytes) : m_bytes(bytes) {}

    bool has(qsizetype at, qsizetype n) const { return at >= 0 && n >= 0 && at <= m_bytes.size() - n; }
    bool isTag(qsizetype at, const char *tag) const
    {
        return has(at, 4) && std::memcmp(m_bytes.constData() + at, tag, 4) == 0;
    }
    uint32_t u32(qsizetype at) const
    {
        if (!has(at, 4))
            return 0;
        const auto *p = reinterpret_cast<const uint8_t *>(m_bytes.constData() + at);
        return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
    }
    // A string object's text (UTF-16LE, or UTF-8 when its encoding field says 2).
    std::optional<QString> stringObject(qsizetype at) const
    {
        const uint32_t length = u32(at + 28);
        if (!isTag(at, "mhod") || !has(at + 40, qsizetype(length)) || u32(at + 8) < 40 + length)
            return std::nullopt;
        const char *text = m_bytes.constData() + at + 40;
        if (u32(at + 24) == 2)
            return QString::fromUtf8(text, qsizetype(length));
        QString s(qsizetype(length / 2), Qt::Uninitialized);
        for (qsizetype i = 0; i < s.size(); ++i)
            s[i] = QChar(uint16_t(uint8_t(text[2 * i]) | uint8_t(text[2 * i + 1]) << 8));
        return s;
    }

    // The title of the first playlist of the playlist data set (type 2; type 3 when there is none):
    // the master playlist, which carries the iPod's name.
    std::optional<QString> masterPlaylistName() const
    {
        if (!isTag(0, "mhbd"))
            return std::nullopt;
        std::optional<QString> fromPodcastSet;
        for (qsizetype set = u32(4); isTag(set, "mhsd");) {
            const uint32_t setLength = u32(set + 8);
            const uint32_t type = u32(set + 12);
            if (type == 2 || type == 3) {
                std::optional<QString> name = firstPlaylistTitle(set + u32(set + 4));
                if (type == 2 && name)
                    return name;
                if (!fromPodcastSet)
                    fromPodcastSet = name;
            }
            if (setLength < 16)
                break;
            set += setLength;
        }
        return fromPodcastSet;
    }

    // The file names (without folders) of every location object (type 2) in the file.
    QSet<QString> locationFileNames() const
    {
        QSet<QString> names;
        for (qsizetype at = m_bytes.indexOf("mhod"); at >= 0; at = m_bytes.indexOf("mhod", at + 4)) {
            if (u32(at + 4) != 0x18 || u32(at + 12) != 2)
                continue;
            if (const std::optional<QString> location = stringObject(at))
                names.insert(location->section(QLatin1Char(':'), -1).toUpper());
        }
        return names;
    }

private:
    std::optional<QString> firstPlaylistTitle(qsizetype list) const
    {
        if (!isTag(list, "mhlp"))
            return std::nullopt;
        const qsizetype playlist = list + u32(list + 4);
        if (!isTag(playlist, "mhyp"))
            return std::nullopt;
        const qsizetype end = playlist + u32(playlist + 8);
        for (qsizetype at = playlist + u32(playlist + 4); at < end && isTag(at, "mhod");) {
            const uint32_t length = u32(at + 8);
            if (u32(at + 12) == 1)
                return stringObject(at);
            if (length < 24)
                break;
            at += length;
        }
        return std::nullopt;
    }

    const QByteArray &m_bytes;
};

// Zeros where the records were, with a few bytes of deterministic garbage every so often,
// as a file whose sectors were overwritten might look.
QByteArray corruptedBytes(qsizetype size)
{
    QByteArray bytes(size, '\0');
    uint32_t state = 0x2545F491u;
    for (qsizetype at = 37; at < size; at += 97 + qsizetype(state % 211)) {
        for (qsizetype k = 0; k < 6 && at + k < size; ++k) {
            state ^= state << 13;
            state ^= state >> 17;
            state ^= state << 5;
            bytes[at + k] = char(state);
        }
    }
    return bytes;
}

struct ExtraKind
{
    AudioSpec::Kind kind;
    const char *extension;
};
constexpr ExtraKind kExtraKinds[] = {
    {AudioSpec::Kind::Mp3, "mp3"}, {AudioSpec::Kind::Aac, "m4a"}, {AudioSpec::Kind::Wav, "wav"}};

} // namespace

bool damageDatabase(const QString &root, DatabaseDamage damage, QString *error)
{
    try {
        const QString path = databasePath(root);
        if (!QDir(QFileInfo(path).absolutePath()).exists())
            return fail(error, QStringLiteral("No iPod at %1: the folder iPod_Control/iTunes is missing").arg(root));
        const bool exists = QFileInfo(path).isFile();

        switch (damage) {
        case DatabaseDamage::Removed:
            if (exists && !QFile::remove(path))
                return fail(error, QStringLiteral("Cannot remove %1").arg(path));
            return true;
        case DatabaseDamage::Corrupted: {
            if (!exists)
                return fail(error, QStringLiteral("There is no %1 to corrupt").arg(path));
            const qint64 size = QFileInfo(path).size();
            if (size > (qint64(1) << 31))
                return fail(error, QStringLiteral("%1 is too large to corrupt in memory").arg(path));
            return writeFile(path, corruptedBytes(qsizetype(size)), error);
        }
        case DatabaseDamage::Emptied: {
            QString name = QStringLiteral("iPod");
            QByteArray old;
            if (exists && readAll(path, &old)) {
                const std::optional<QString> master = Records(old).masterPlaylistName();
                if (master && !master->isEmpty())
                    name = *master;
            }
            Database db;
            db.playlists = {Playlist{name, {}, true}};
            const QByteArray bytes = buildITunesDb(db);
            if (bytes.isEmpty())
                return fail(error, QStringLiteral("Out of memory while building the iTunesDB"));
            if (!writeFile(path, bytes, error))
                return false;
            // Its entries are positions among tracks that are gone.
            const QString otg = QDir(root).filePath(QStringLiteral("iPod_Control/iTunes/OTGPlaylistInfo"));
            if (QFile::exists(otg) && !QFile::remove(otg))
                return fail(error, QStringLiteral("Cannot remove %1").arg(otg));
            return true;
        }
        }
        return fail(error, QStringLiteral("Unknown kind of damage"));
    } catch (...) {
        return fail(error, QStringLiteral("Unexpected failure while damaging the database at %1").arg(root));
    }
}

bool addExtraSongs(const QString &root, int count, QString *error, QStringList *written)
{
    try {
        if (written)
            written->clear();
        if (count < 0 || count > kMaxExtraSongs)
            return fail(
                error,
                QStringLiteral("The number of extra songs must be 0 .. %1, not %2").arg(kMaxExtraSongs).arg(count));
        const QDir music(QDir(root).filePath(QStringLiteral("iPod_Control/Music")));
        if (!music.exists())
            return fail(error, QStringLiteral("No iPod at %1: the folder iPod_Control/Music is missing").arg(root));

        // Names in use: every file in the Music folders and every database location, compared as
        // the iPod's file system does, without case.
        QSet<QString> used;
        QByteArray database;
        if (readAll(databasePath(root), &database))
            for (const QString &name : Records(database).locationFileNames())
                used.insert(name.section(QLatin1Char('.'), 0, 0));
        QStringList folders = music.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
        for (const QString &folder : folders)
            for (const QString &file : QDir(music.filePath(folder)).entryList(QDir::Files | QDir::Hidden))
                used.insert(file.section(QLatin1Char('.'), 0, 0).toUpper());
        folders = folders.filter(QRegularExpression(QStringLiteral("^F\\d\\d$")));
        if (folders.isEmpty()) {
            if (!music.mkpath(QStringLiteral("F00")))
                return fail(error, QStringLiteral("Cannot create the folder %1").arg(music.filePath("F00")));
            folders << QStringLiteral("F00");
        }

        QStringList relative;
        uint32_t candidate = 0x51A7u;
        for (int i = 0; i < count; ++i) {
            QString name;
            do
                name = fourLetters(candidate++);
            while (used.contains(name));
            used.insert(name);
            const QString folder = folders[(i * 7 + 3) % folders.size()];
            relative << QStringLiteral("iPod_Control/Music/%1/%2.%3")
                            .arg(folder, name, QLatin1String(kExtraKinds[i % 3].extension));
        }

        const bool ok = runParallel(
            count,
            [&](int i, QString *message) {
                const AudioSpec spec{kExtraKinds[i % 3].kind, 6 + i % 3, 900 + i};
                const SongTags tags{QStringLiteral("Forgotten Song %1").arg(i + 1),
                                    QStringLiteral("Lost Artist"),
                                    QStringLiteral("Orphans"),
                                    QStringLiteral("Rock"),
                                    i + 1,
                                    count};
                return writeAudio(QDir(root).filePath(relative[i]), spec, tags, message);
            },
            error);
        if (!ok) {
            // The names were free, so whatever is there now is a part-written song of this call.
            for (const QString &file : relative)
                QFile::remove(QDir(root).filePath(file));
            return false;
        }
        if (written)
            *written = relative;
        return true;
    } catch (...) {
        return fail(error, QStringLiteral("Unexpected failure while adding songs to %1").arg(root));
    }
}

} // namespace mkipod
