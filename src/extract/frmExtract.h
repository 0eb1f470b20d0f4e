#pragma once
// The extraction window: the songs to copy, the destination folder and the name template,
// and the progress of the copy. The copying itself is SongExtractor's.
#include <QDialog>
#include <QPixmap>

#include <cstdint>
#include <vector>

namespace corvanel::library {
class MusicLibrary;
}
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QWidget;

namespace corvanel::extract {

using namespace corvanel::library;

class SongExtractor;

// The stored destination ("ExtractDIR"); the program's own folder when none is stored.
QString storedExtractDir();
void storeExtractDir(const QString &folder);

class frmExtract : public QDialog
{
    Q_OBJECT

public:
    explicit frmExtract(const MusicLibrary &library, QWidget *owner = nullptr);
    ~frmExtract() override;

    void AddSongs(const std::vector<int32_t> &Songs);
    SongExtractor &extractor() { return *m_extractor; }

    void cmdRemovePlayer_Click();
    void cmdHelp_Click();
    void cmdBrowse_Click();
    void cmdExtract_Click();

    QLabel *lblSongs = nullptr;
    QListWidget *lstSongs = nullptr;
    QPushButton *cmdRemovePlayer = nullptr;
    QLabel *Label2 = nullptr;
    QLineEdit *txtDir = nullptr;
    QPushButton *cmdBrowse = nullptr;
    QLabel *Label1 = nullptr;
    QLineEdit *txtFormat = nullptr;
    QLabel *lblFormatInfo = nullptr;
    QPushButton *cmdHelp = nullptr;
    QPushButton *cmdExtract = nullptr;
    QPushButton *cmdClose = nullptr;
    QGroupBox *fraExtract = nullptr;
    QLabel *Label3 = nullptr;
    QWidget *shpWhole = nullptr;
    QWidget *shpProgress = nullptr;

protected:
    void paintEvent(QPaintEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void reject() override;

private:
    void buildList();
    void buildDestination();
    void buildButtons();
    void buildProgress();
    void showRows();
    void showProgress(double position, int count);
    void endCopy();

    std::unique_ptr<SongExtractor> m_extractor;
    QPixmap m_tile;
    bool m_stopRequested = false;
};

} // namespace corvanel::extract
