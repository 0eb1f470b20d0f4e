// The Updater: started by the main program with its process ID, it ends that program,
// installs the downloaded replacement files of its own folder and starts the program again.
#include "frmUpdating.h"

#include <QApplication>
#include <QMessageBox>
#include <QProcess>
#include <QTimer>

#include <cstdio>

using namespace corvanel;
using namespace corvanel::updater;

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Updater"));
    const QString folder = QCoreApplication::applicationDirPath();
    const QString commandLine = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();

    UpdatingHooks hooks;
    // Tests answer the boxes themselves: with CORVANEL_UPDATER_MESSAGES=stderr each box is
    // written to the error output as "title|text" and answered at once.
    if (qEnvironmentVariable("CORVANEL_UPDATER_MESSAGES") == QLatin1String("stderr")) {
        hooks.message = [](const QString &title, const QString &text) {
            std::fprintf(stderr, "%s|%s\n", qPrintable(title), qPrintable(text));
            std::fflush(stderr);
        };
    } else {
        hooks.message = [](const QString &title, const QString &text) {
            QMessageBox::information(nullptr, title, text);
        };
    }
    hooks.startProgram = [folder](const QString &program) { return QProcess::startDetached(program, {}, folder); };
    hooks.quit = [] { QTimer::singleShot(0, qApp, &QCoreApplication::quit); };

    frmUpdating window(folder, commandLine, hooks);
    QTimer::singleShot(0, &window, &frmUpdating::Form_Load);
    return app.exec();
}
