#include "Shell.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QUrl>

namespace corvanel::platform {

namespace {

Shell &builtInShell()
{
    static DesktopShell instance;
    return instance;
}

} // namespace

static ServiceSlot<Shell> &slot()
{
    static ServiceSlot<Shell> instance(&builtInShell);
    return instance;
}

Shell &shell()
{
    return slot().get();
}

void setShell(Shell *service)
{
    slot().install(service);
}

Shell *installedShell()
{
    return slot().installed();
}

QUrl documentUrl(const QString &pathOrUrl)
{
    // "scheme://..." and "mailto:" are addresses; anything else is a file name, even one with
    // a colon in it.
    static const QRegularExpression address(QStringLiteral("^([A-Za-z][A-Za-z0-9+.-]*://|mailto:)"),
                                            QRegularExpression::CaseInsensitiveOption);
    if (address.match(pathOrUrl).hasMatch())
        return QUrl(pathOrUrl, QUrl::TolerantMode);
    return QUrl::fromLocalFile(QFileInfo(pathOrUrl).absoluteFilePath());
}

bool OpenDocument(const QString &file, const QString &parameters)
{
    if (parameters.trimmed().isEmpty())
        return shell().openDocument(file);
    const QFileInfo info(file);
    if (info.isFile() && info.isExecutable())
        return shell().startProgram(info.absoluteFilePath(), QProcess::splitCommand(parameters));
    // A document cannot take parameters; it is opened as it is.
    return shell().openDocument(file);
}

DesktopShell::DesktopShell(QDBusConnection bus) : m_bus(std::move(bus)) {}

bool DesktopShell::openDocument(const QString &pathOrUrl)
{
    if (pathOrUrl.trimmed().isEmpty())
        return false;
    return QDesktopServices::openUrl(documentUrl(pathOrUrl));
}

bool DesktopShell::startProgram(const QString &program, const QStringList &arguments)
{
    if (program.isEmpty())
        return false;
    return QProcess::startDetached(program, arguments);
}

bool DesktopShell::showInFileManager(const QString &path)
{
    const QFileInfo info(path);
    const QString folder = info.isDir() ? info.absoluteFilePath() : info.absolutePath();
    if (!m_bus.isConnected())
        return openDocument(folder);

    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << QStringList{QUrl::fromLocalFile(info.absoluteFilePath()).toString()} << QString();
    // Asked without waiting: starting a file manager can take a while and the window must
    // stay responsive. When nobody answers, the folder is opened instead.
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call));
    const std::weak_ptr<int> alive = m_alive;
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     [this, alive, folder](QDBusPendingCallWatcher *finished) {
                         if (finished->isError()) {
                             if (alive.expired())
                                 QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
                             else
                                 openDocument(folder);
                         }
                         finished->deleteLater();
                     });
    return true;
}

bool RecordingShell::openDocument(const QString &pathOrUrl)
{
    calls.push_back({Call::Kind::OpenDocument, pathOrUrl, {}});
    return result;
}

bool RecordingShell::startProgram(const QString &program, const QStringList &arguments)
{
    calls.push_back({Call::Kind::StartProgram, program, arguments});
    return result;
}

bool RecordingShell::showInFileManager(const QString &path)
{
    calls.push_back({Call::Kind::ShowInFileManager, path, {}});
    return result;
}

} // namespace corvanel::platform
