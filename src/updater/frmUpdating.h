#pragma once
// The Updater's one window: shows that the update runs while its installer does the work, and
// closes when the installer is done.
#include "UpdateInstaller.h"

#include <QString>
#include <QWidget>

class QLabel;

namespace corvanel::updater {

class frmUpdating : public QWidget
{
    Q_OBJECT

public:
    frmUpdating(QString folder, QString commandLine, UpdatingHooks hooks, QWidget *parent = nullptr);

    QLabel *Label1 = nullptr;

    // The window's load: shows the window and starts the installer.
    void Form_Load();
    UpdateInstaller &installer() { return m_installer; }

private:
    UpdateInstaller m_installer;
};

} // namespace corvanel::updater
