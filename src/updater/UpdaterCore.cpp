#include "UpdaterCore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <cerrno>
#include <cstdio>
#include <signal.h>
#include <unistd.h>

namespace corvanel::updater {

qint64 processIdFromArgument(const QString &argument)
{
    const QString text = argument.trimmed();
    qint64 pid = 0;
    for (const QChar c : text) {
        if (!c.isDigit())
            break;
        pid = pid * 10 + c.digitValue();
        if (pid > 0x7FFFFFFF)
            return 0;
    }
    return pid;
}

bool isOurProgram(qint64 pid, const QString &folder)
{
    if (pid <= 0)
        return false;
    char target[4096];
    const QByteArray link = "/proc/" + QByteArray::number(pid) + "/exe";
    const ssize_t length = ::readlink(link.constData(), target, sizeof target - 1);
    if (length <= 0)
        return false;
    const QString executable = QFile::decodeName(QByteArray(target, length));
    const QString ours =
        QFileInfo(QDir(folder).canonicalPath() + QLatin1Char('/') + QLatin1String(kMainProgram)).absoluteFilePath();
    // A program whose file was replaced while it ran still is that program.
    return executable == ours || executable == ours + QLatin1String(" (deleted)");
}

bool processAlive(qint64 pid)
{
    if (pid <= 0)
        return false;
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
    // "pid (name) S ...": the state follows the last ")".
    const QByteArray line = stat.readAll();
    const qsizetype close = line.lastIndexOf(')');
    if (close < 0 || close + 2 >= line.size())
        return true;
    const char state = line.at(close + 2);
    return state != 'Z' && state != 'X';
}

std::optional<QString> firstPendingReplacement(const QString &folder)
{
    const QStringList names =
        QDir(folder).entryList({QStringLiteral("*.new")}, QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    if (names.isEmpty())
        return std::nullopt;
    return names.first();
}

bool isMainProgram(const QString &targetName)
{
    return targetName.compare(QLatin1String(kMainProgram), Qt::CaseInsensitive) == 0;
}

bool copyOver(const QString &source, const QString &target)
{
    const QFileInfo targetInfo(target);
    if (targetInfo.exists() && (targetInfo.isDir() || !(targetInfo.permissions() & QFileDevice::WriteOwner)))
        return false;
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return false;
    QTemporaryFile out(targetInfo.absolutePath() + QStringLiteral("/.updating-XXXXXX"));
    if (!out.open())
        return false;
    QByteArray chunk;
    while (!in.atEnd()) {
        chunk = in.read(1 << 20);
        if (chunk.isEmpty() && in.error() != QFileDevice::NoError)
            return false;
        if (out.write(chunk) != chunk.size())
            return false;
    }
    if (in.error() != QFileDevice::NoError || !out.flush())
        return false;
    // The new file must be whole on disk before its name takes the old one's place.
    if (::fsync(out.handle()) != 0)
        return false;
    const QFileDevice::Permissions permissions = targetInfo.exists() ? targetInfo.permissions() : in.permissions();
    if (!out.setPermissions(permissions))
        return false;
    const QByteArray from = QFile::encodeName(out.fileName());
    const QByteArray to = QFile::encodeName(targetInfo.absoluteFilePath());
    if (std::rename(from.constData(), to.constData()) != 0)
        return false;
    out.setAutoRemove(false);
    return true;
}

} // namespace corvanel::updater
