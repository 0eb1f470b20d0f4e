#pragma once
// The update window: fetches the server's listing, downloads every newer file into the
// program folder and offers to restart into the Updater.
#include <QPixmap>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <functional>

class QGroupBox;
class QLabel;
class QVBoxLayout;
class QProgressBar;
class QFrame;

namespace corvanel::update {

class DataConnection;

struct UpdaterSetup
{
    // Where the programs live and the downloads go.
    QString programFolder;
    // The listing's address; empty: listingAddress().
    QString listingAddress;
    // The local version number; negative: the running program's own.
    int localVersion = -1;
    // The hand-over to the Updater that the main program provides (RunUpdater(FromStartup)).
    std::function<void(bool FromStartup)> runUpdater;
};

class frmUpdater : public QWidget
{
    Q_OBJECT

public:
    explicit frmUpdater(QWidget *owner = nullptr, UpdaterSetup setup = {});
    ~frmUpdater() override;

    QLabel *lblCaption = nullptr;
    QLabel *imgCaption = nullptr;
    QLabel *imgClose = nullptr;
    QLabel *imgPod = nullptr;
    QGroupBox *fraInfo = nullptr;
    QLabel *lblUpdate = nullptr;
    QLabel *lblstatus = nullptr;
    QFrame *PicPosition = nullptr;
    QProgressBar *shpProgress = nullptr;
    DataConnection *RemoteFile = nullptr;

    // The whole check; runs once, when the window is first shown.
    void StartUpdater();
    // Starts one download of URL into the file DLTo and returns at once.
    void DownloadURL(const QString &URL, const QString &DLTo);
    // Files whose download was started.
    int fileCounter() const { return m_fileCounter; }
    bool isClosing() const { return m_closing; }

signals:
    // The check is over (whatever the outcome) and the window closes.
    void finished();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private slots:
    void RemoteFile_BytesReceived(qint64 count, int id);
    void RemoteFile_Disconnected(int id);
    void RemoteFile_DownloadFailed(int Why, int id);

private:
    enum class Stage { Idle, Listing, Files, Done };

    void buildInfo(QVBoxLayout *layout);

    void ProcessFile();
    void processNextLine();
    void finishCheck();
    QString listingCopy() const;
    void WasError();
    void discardPartial();
    void endCheck();

    UpdaterSetup m_setup;
    Stage m_stage = Stage::Idle;
    bool m_started = false;
    bool m_closing = false;
    bool m_failed = false;
    bool m_managed = false; // installed by a package: newer versions are told, not fetched
    int m_newerLines = 0;
    int m_fileCounter = 0;
    int m_localVersion = 0;
    QStringList m_lines;
    qsizetype m_nextLine = 0;
    QString m_partialFile; // the download being written
    QString m_target;      // its name once complete
    QPixmap m_tile;        // the backdrop tile at the window's scale factor
};

// Opens the update window owned by mainWindow (or raises the open one) and returns it. The
// window deletes itself when it closes. runUpdater is called with false when the user agrees
// to restart into the Updater. The window wears skin.
frmUpdater *openUpdateWindow(QWidget *mainWindow, std::function<void(bool FromStartup)> runUpdater,
                             const QString &programFolder = QString());
// The open update window, if any.
frmUpdater *updateWindow();

} // namespace corvanel::update
