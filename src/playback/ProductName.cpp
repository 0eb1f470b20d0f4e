#include "ProductName.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QStandardPaths>
#include <QTextStream>

#include <algorithm>

namespace corvanel::playback {

namespace {

// The string escapes of desktop entry values: \s \n \t \r \\.
QString unescapeValue(const QString &raw)
{
    QString out;
    out.reserve(raw.size());
    for (qsizetype i = 0; i < raw.size(); ++i) {
        const QChar c = raw.at(i);
        if (c != QLatin1Char('\\') || i + 1 == raw.size()) {
            out += c;
            continue;
        }
        const QChar next = raw.at(++i);
        switch (next.unicode()) {
        case 's':
            out += QLatin1Char(' ');
            break;
        case 'n':
            out += QLatin1Char('\n');
            break;
        case 't':
            out += QLatin1Char('\t');
            break;
        case 'r':
            out += QLatin1Char('\r');
            break;
        case '\\':
            out += QLatin1Char('\\');
            break;
        default:
            // Kept for the Exec quoting rules, which have their own escapes.
            out += QLatin1Char('\\');
            out += next;
            break;
        }
    }
    return out;
}

// Locale keys in the order an entry's localised values are tried: lang_COUNTRY, lang.
QStringList localeKeys()
{
    const QString name = QLocale::system().name(); // e.g. "de_DE"
    QStringList keys;
    if (name.isEmpty() || name == QLatin1String("C"))
        return keys;
    keys << name;
    if (const qsizetype cut = name.indexOf(QLatin1Char('_')); cut > 0)
        keys << name.left(cut);
    return keys;
}

QString canonicalOrClean(const QString &path)
{
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : canonical;
}

QStringList splitPathList(const QByteArray &value)
{
    QStringList out;
    for (const QString &part : QString::fromLocal8Bit(value).split(QLatin1Char(':'), Qt::SkipEmptyParts))
        if (QDir::isAbsolutePath(part))
            out << QDir::cleanPath(part);
    return out;
}

} // namespace

QStringList splitExecLine(const QString &exec)
{
    QStringList args;
    QString current;
    bool inQuotes = false;
    bool haveArg = false;
    for (qsizetype i = 0; i < exec.size(); ++i) {
        const QChar c = exec.at(i);
        if (inQuotes) {
            if (c == QLatin1Char('\\') && i + 1 < exec.size() && QStringLiteral("\"`$\\").contains(exec.at(i + 1))) {
                current += exec.at(++i);
            } else if (c == QLatin1Char('"')) {
                inQuotes = false;
            } else {
                current += c;
            }
        } else if (c == QLatin1Char('"')) {
            inQuotes = true;
            haveArg = true;
        } else if (c == QLatin1Char(' ') || c == QLatin1Char('\t')) {
            if (haveArg)
                args << current;
            current.clear();
            haveArg = false;
        } else {
            current += c;
            haveArg = true;
        }
    }
    if (haveArg)
        args << current;
    return args;
}

std::optional<DesktopEntry> readDesktopEntry(const QString &file, const QString &id)
{
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly | QIODevice::Text))
        return std::nullopt;
    QTextStream stream(&in);
    stream.setEncoding(QStringConverter::Utf8);

    QHash<QString, QString> values;
    bool inMainGroup = false;
    while (!stream.atEnd()) {
        const QString line = stream.readLine().trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        if (line.startsWith(QLatin1Char('['))) {
            inMainGroup = line == QLatin1String("[Desktop Entry]");
            continue;
        }
        if (!inMainGroup)
            continue;
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq <= 0)
            continue;
        const QString key = line.left(eq).trimmed();
        if (!values.contains(key))
            values.insert(key, unescapeValue(line.mid(eq + 1).trimmed()));
    }

    if (values.value(QStringLiteral("Type")) != QLatin1String("Application") ||
        values.value(QStringLiteral("Hidden")) == QLatin1String("true"))
        return std::nullopt;
    auto localised = [&values](const QString &key) {
        for (const QString &locale : localeKeys())
            if (const auto it = values.constFind(key + QLatin1Char('[') + locale + QLatin1Char(']'));
                it != values.constEnd() && !it->isEmpty())
                return *it;
        return values.value(key);
    };
    DesktopEntry entry;
    entry.id = id;
    entry.file = file;
    entry.name = localised(QStringLiteral("Name"));
    entry.genericName = localised(QStringLiteral("GenericName"));
    entry.comment = localised(QStringLiteral("Comment"));
    entry.exec = values.value(QStringLiteral("Exec"));
    entry.noDisplay = values.value(QStringLiteral("NoDisplay")) == QLatin1String("true");
    return entry;
}

QStringList DesktopEntryIndex::applicationFolders()
{
    QStringList dataHome = splitPathList(qgetenv("XDG_DATA_HOME"));
    if (dataHome.isEmpty())
        dataHome << QDir::homePath() + QStringLiteral("/.local/share");
    QStringList dataDirs = splitPathList(qgetenv("XDG_DATA_DIRS"));
    if (dataDirs.isEmpty())
        dataDirs << QStringLiteral("/usr/local/share") << QStringLiteral("/usr/share");
    QStringList folders;
    for (const QString &dir : QStringList{dataHome.first()} + dataDirs) {
        const QString folder = dir + QStringLiteral("/applications");
        if (!folders.contains(folder))
            folders << folder;
    }
    return folders;
}

DesktopEntryIndex::DesktopEntryIndex() : DesktopEntryIndex(applicationFolders()) {}

DesktopEntryIndex::DesktopEntryIndex(const QStringList &applicationFolders)
{
    QHash<QString, bool> seen;
    for (const QString &folder : applicationFolders) {
        const QDir root(folder);
        QStringList files;
        QDirIterator it(folder, {QStringLiteral("*.desktop")}, QDir::Files | QDir::Readable,
                        QDirIterator::Subdirectories | QDirIterator::FollowSymlinks);
        while (it.hasNext())
            files << it.next();
        // Listing order is the filesystem's; sorting keeps the choice among equals stable.
        files.sort();
        for (const QString &file : files) {
            QString id = root.relativeFilePath(file);
            id.replace(QLatin1Char('/'), QLatin1Char('-'));
            if (seen.contains(id))
                continue;
            // An entry that cannot be read or is hidden still hides later ones of its id.
            seen.insert(id, true);
            if (auto entry = readDesktopEntry(file, id))
                m_entries.push_back(std::move(*entry));
        }
    }
}

QString DesktopEntryIndex::programOf(const DesktopEntry &entry) const
{
    QStringList args = splitExecLine(entry.exec);
    // "env NAME=value program ..." runs program.
    if (!args.isEmpty() && args.first() == QLatin1String("env")) {
        args.removeFirst();
        while (!args.isEmpty() && args.first().contains(QLatin1Char('=')) && !args.first().startsWith(QLatin1Char('/')))
            args.removeFirst();
    }
    if (args.isEmpty())
        return {};
    const QString &program = args.first();
    if (QDir::isAbsolutePath(program))
        return canonicalOrClean(program);
    if (program.contains(QLatin1Char('/')))
        return {};
    auto it = m_resolved.constFind(program);
    if (it == m_resolved.constEnd()) {
        const QString found = QStandardPaths::findExecutable(program);
        it = m_resolved.insert(program, found.isEmpty() ? QString() : canonicalOrClean(found));
    }
    return *it;
}

std::optional<DesktopEntry> DesktopEntryIndex::entryFor(const QString &programPath) const
{
    if (programPath.trimmed().isEmpty())
        return std::nullopt;
    const QString wanted = canonicalOrClean(programPath);
    const DesktopEntry *hiddenMatch = nullptr;
    for (const DesktopEntry &entry : m_entries) {
        if (entry.name.isEmpty() || programOf(entry) != wanted)
            continue;
        if (!entry.noDisplay)
            return entry;
        if (!hiddenMatch)
            hiddenMatch = &entry;
    }
    if (hiddenMatch)
        return *hiddenMatch;
    return std::nullopt;
}

int GetFileInfo(const DesktopEntryIndex &index, const QString &Path, FileInfo &Info)
{
    Info = FileInfo{};
    const auto entry = index.entryFor(Path);
    if (!entry)
        return 2;
    Info.FileDescription = entry->genericName.isEmpty() ? entry->comment : entry->genericName;
    Info.InternalName = entry->id;
    Info.OriginalFileName = QFileInfo(Path).fileName();
    Info.ProductName = entry->name;
    return 1;
}

int GetFileInfo(const QString &Path, FileInfo &Info)
{
    return GetFileInfo(DesktopEntryIndex(), Path, Info);
}

QString GetProductName(const DesktopEntryIndex &index, const QString &Path)
{
    FileInfo info;
    if (GetFileInfo(index, Path, info) != 1)
        return {};
    return info.ProductName;
}

QString GetProductName(const QString &Path)
{
    return GetProductName(DesktopEntryIndex(), Path);
}

} // namespace corvanel::playback
