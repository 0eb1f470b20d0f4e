#pragma once
// The shell operations of the program: opening a document or address with the desktop's
// association, starting a program, showing a file in the file manager.
#include "ServiceSlot.h"

#include <QDBusConnection>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <memory>
#include <vector>

namespace corvanel::platform {

class Shell
{
public:
    virtual ~Shell() = default;

    // Opens a local file or folder, or an address such as "https://..." or "mailto:...",
    // with the desktop's association. False when the request could not be made.
    virtual bool openDocument(const QString &pathOrUrl) = 0;
    // Starts a program with these arguments, each one argv element (no shell involved).
    virtual bool startProgram(const QString &program, const QStringList &arguments) = 0;
    // Shows the file selected in the file manager; without a file manager, opens its folder.
    virtual bool showInFileManager(const QString &path) = 0;
};

// The program-wide service; the desktop implementation until another is installed.
Shell &shell();
void setShell(Shell *service);
Shell *installedShell();

using ScopedShell = ScopedService<Shell, &installedShell, &setShell>;

// A local path, or a text that already is an address, as the URL to open.
QUrl documentUrl(const QString &pathOrUrl);

// Opens a file with parameters, the way the program's "open" requests are phrased: without
// parameters the file is opened as a document; with them the file is started as a program
// and the parameter text is split into arguments (double quotes group, no shell).
bool OpenDocument(const QString &file, const QString &parameters = QString());

class DesktopShell : public Shell
{
public:
    // The bus asked for the file manager; the session bus unless a test gives another.
    explicit DesktopShell(QDBusConnection bus = QDBusConnection::sessionBus());

    bool openDocument(const QString &pathOrUrl) override;
    bool startProgram(const QString &program, const QStringList &arguments) override;
    bool showInFileManager(const QString &path) override;

private:
    QDBusConnection m_bus;
    // Lets an answer from the bus that arrives after this object is gone see that it is.
    std::shared_ptr<int> m_alive = std::make_shared<int>(0);
};

class RecordingShell : public Shell
{
public:
    struct Call
    {
        enum class Kind { OpenDocument, StartProgram, ShowInFileManager };
        Kind kind;
        QString target;
        QStringList arguments;
    };

    std::vector<Call> calls;
    // What every operation answers.
    bool result = true;

    bool openDocument(const QString &pathOrUrl) override;
    bool startProgram(const QString &program, const QStringList &arguments) override;
    bool showInFileManager(const QString &path) override;

    void clear() { calls.clear(); }
    std::size_t count() const { return calls.size(); }
    const Call &last() const { return calls.back(); }
};

} // namespace corvanel::platform
