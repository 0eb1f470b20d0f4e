#include "mdl.h"

#include "Dialogs.h"
#include "Shell.h"
#include "SkinFrame.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QWidget>
#include <QWindow>

namespace corvanel::app {

using namespace corvanel::platform;
using namespace corvanel::skin;

namespace mdl {

bool OpenDocument(const QString &file, const QString &parameters)
{
    return corvanel::platform::OpenDocument(file, parameters);
}

void DragWindow(QWidget *window)
{
    if (window && window->window()->windowHandle())
        window->window()->windowHandle()->startSystemMove();
}

void RoundWindow(QWidget *window, int cornerSize)
{
    if (window)
        window->setMask(roundedMask(window->size(), cornerSize));
}

QString programFolder()
{
    return QCoreApplication::applicationDirPath();
}

bool updatePending(const QString &folder)
{
    return !QDir(folder).entryList({QStringLiteral("*.new")}, QDir::Files | QDir::Hidden).isEmpty();
}

bool RunUpdater(bool FromStartup, QWidget *mainWindow, const QString &folder)
{
    const QString updater = folder + QStringLiteral("/updater");
    if (!QFileInfo(updater).isFile()) {
        corvanel::platform::dialogs().inform(
            QStringLiteral("Updater Missing!"),
            QStringLiteral("The Corvanel Updater feature has been deleted! Please go to the website and download "
                           "the latest version of Corvanel..."));
        QDir dir(folder);
        for (const QString &name : dir.entryList({QStringLiteral("*.new")}, QDir::Files | QDir::Hidden))
            dir.remove(name);
        return false;
    }
    corvanel::platform::shell().startProgram(updater, {QString::number(QCoreApplication::applicationPid())});
    if (!FromStartup && mainWindow)
        mainWindow->close();
    return true;
}

} // namespace mdl

} // namespace corvanel::app
