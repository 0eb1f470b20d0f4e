#include "frmExtract.h"

#include "CaptionBar.h"
#include "Dialogs.h"
#include "ExtractNames.h"
#include "SettingsStore.h"
#include "SkinFrame.h"
#include "SkinStyle.h"
#include "SongExtractor.h"
#include "frmBack.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

namespace corvanel::extract {

using namespace corvanel::platform;
using namespace corvanel::skin;
namespace {

const QString kFormatInfo = QStringLiteral(
    "This is the format of the filename. Putting an item in square brackets ensures replacing by the actual song "
    "genre information. Note: \\ means a new directory is made. So [GENRE]\\[TITLE] will make new folders for each "
    "genre etc. Click the Help On Format for more information.");
const QString kFormatHelp = QStringLiteral(
    "Putting the item to be replaced (Eg - Genre) in square brackets (Eg - [Genre]) will make the term be replaced "
    "by the Genre of that song in the filename. In case a field is not found, then it is replaced by Uknown. Eg "
    "-Unknown Genre. If no track number is found, then it is replaced with 00. Replaceable values: "
    "[Genre][Track number][Title][Artist][Album]");

template <typename T> T *named(T *widget, const char *name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

QPushButton *button(const char *name, const QString &caption, QWidget *parent)
{
    auto *b = named(new QPushButton(caption, parent), name);
    b->setCursor(Qt::PointingHandCursor);
    b->setAutoDefault(false);
    return b;
}

} // namespace

QString storedExtractDir()
{
    return getSetting(QStringLiteral("Options"), QStringLiteral("ExtractDIR"), QCoreApplication::applicationDirPath());
}

void storeExtractDir(const QString &folder)
{
    saveSetting(QStringLiteral("Options"), QStringLiteral("ExtractDIR"), folder);
}

frmExtract::frmExtract(const MusicLibrary &library, QWidget *owner)
    : QDialog(owner, Qt::Dialog | Qt::FramelessWindowHint), m_extractor(std::make_unique<SongExtractor>(library))
{
    setObjectName(QStringLiteral("frmExtract"));
    setWindowTitle(QStringLiteral("Extract Songs"));
    setWindowIcon(frmBack::appIcon());
    skin::applyStyle(this);
    setFixedSize(520, 520);
    auto *caption = new skin::CaptionBar(this, QStringLiteral("Extract Songs"));
    connect(caption, &skin::CaptionBar::closeRequested, this, &QDialog::close);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(18, skin::CaptionBar::kHeight + 12, 18, 16);
    layout->setSpacing(6);
    buildList();
    buildDestination();
    buildButtons();
    buildProgress();

    connect(m_extractor.get(), &SongExtractor::destinationChanged, txtDir, &QLineEdit::setText);
    connect(m_extractor.get(), &SongExtractor::progress, this, &frmExtract::showProgress);
    connect(m_extractor.get(), &SongExtractor::finished, this, [this] {
        if (!m_stopRequested)
            corvanel::platform::dialogs().inform(QStringLiteral("Extracted!"),
                                                 QStringLiteral("All the songs were extracted successfully!"));
        endCopy();
    });
    connect(m_extractor.get(), &SongExtractor::failed, this, [this](const QString &message) {
        corvanel::platform::dialogs().critical(QStringLiteral("Error!"), message);
        endCopy();
    });
    connect(m_extractor.get(), &SongExtractor::stopped, this, &frmExtract::endCopy);
}

frmExtract::~frmExtract() = default;

void frmExtract::buildList()
{
    auto *layout = static_cast<QVBoxLayout *>(this->layout());
    lblSongs = named(new QLabel(QStringLiteral("These songs will be extracted:"), this), "lblSongs");
    lstSongs = named(new QListWidget(this), "lstSongs");
    lstSongs->setSelectionMode(QAbstractItemView::ExtendedSelection);
    cmdRemovePlayer = button("cmdRemovePlayer", QStringLiteral("Remove"), this);
    auto *row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(cmdRemovePlayer);
    layout->addWidget(lblSongs);
    layout->addWidget(lstSongs, 1);
    layout->addLayout(row);
    connect(cmdRemovePlayer, &QPushButton::clicked, this, &frmExtract::cmdRemovePlayer_Click);
}

void frmExtract::buildDestination()
{
    auto *layout = static_cast<QVBoxLayout *>(this->layout());
    Label2 = named(new QLabel(QStringLiteral("Directory to extract to:"), this), "Label2");
    txtDir = named(new QLineEdit(storedExtractDir(), this), "txtDir");
    cmdBrowse = button("cmdBrowse", QStringLiteral("Browse"), this);
    auto *dirRow = new QHBoxLayout;
    dirRow->addWidget(txtDir, 1);
    dirRow->addWidget(cmdBrowse);
    Label1 = named(new QLabel(QStringLiteral("Format to extract to:"), this), "Label1");
    txtFormat = named(new QLineEdit(kDefaultFormat, this), "txtFormat");
    lblFormatInfo = named(new QLabel(kFormatInfo, this), "lblFormatInfo");
    lblFormatInfo->setWordWrap(true);
    layout->addWidget(Label2);
    layout->addLayout(dirRow);
    layout->addWidget(Label1);
    layout->addWidget(txtFormat);
    layout->addWidget(lblFormatInfo);
    // Every change is kept at once: typed, browsed or completed by the copy.
    connect(txtDir, &QLineEdit::textChanged, this, &storeExtractDir);
    connect(cmdBrowse, &QPushButton::clicked, this, &frmExtract::cmdBrowse_Click);
}

void frmExtract::buildButtons()
{
    cmdHelp = button("cmdHelp", QStringLiteral("Help On Format"), this);
    cmdExtract = button("cmdExtract", QStringLiteral("&Extract!"), this);
    cmdClose = button("cmdClose", QStringLiteral("&Cancel"), this);
    auto *row = new QHBoxLayout;
    row->addWidget(cmdHelp);
    row->addStretch(1);
    row->addWidget(cmdExtract);
    row->addWidget(cmdClose);
    static_cast<QVBoxLayout *>(layout())->addLayout(row);
    connect(cmdHelp, &QPushButton::clicked, this, &frmExtract::cmdHelp_Click);
    connect(cmdExtract, &QPushButton::clicked, this, &frmExtract::cmdExtract_Click);
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::close);
}

void frmExtract::buildProgress()
{
    // Out of view until the copy starts; then it covers the top of the window.
    fraExtract = named(new QGroupBox(QStringLiteral("Extracting"), this), "fraExtract");
    fraExtract->setGeometry(12, skin::CaptionBar::kHeight + 8, width() - 24, 96);
    Label3 = named(new QLabel(QStringLiteral("Please wait, extracting songs from your iPod..."), fraExtract), "Label3");
    Label3->setGeometry(14, 26, fraExtract->width() - 28, 20);
    shpWhole = named(new QWidget(fraExtract), "shpWhole");
    shpWhole->setGeometry(14, 56, fraExtract->width() - 28, 16);
    shpWhole->setStyleSheet(QStringLiteral("background: #15181d; border: 1px solid #4a5260; border-radius: 3px;"));
    shpProgress = named(new QWidget(shpWhole), "shpProgress");
    shpProgress->setGeometry(0, 0, 0, shpWhole->height());
    shpProgress->setStyleSheet(QStringLiteral("background: #e8892b; border-radius: 3px;"));
    fraExtract->hide();
    // Styled now, so that showing it when the copy starts costs the window nothing.
    for (QWidget *part : fraExtract->findChildren<QWidget *>())
        part->ensurePolished();
    fraExtract->ensurePolished();
}

void frmExtract::AddSongs(const std::vector<int32_t> &Songs)
{
    m_extractor->AddSongs(Songs);
    showRows();
}

void frmExtract::showRows()
{
    lstSongs->clear();
    lstSongs->addItems(m_extractor->rows());
}

void frmExtract::cmdRemovePlayer_Click()
{
    QList<int> rows;
    for (const QModelIndex &index : lstSongs->selectionModel()->selectedRows())
        rows << index.row();
    m_extractor->removeRows(rows);
    showRows();
}

void frmExtract::cmdHelp_Click()
{
    corvanel::platform::dialogs().inform(QStringLiteral("Help On Format"), kFormatHelp);
}

void frmExtract::cmdBrowse_Click()
{
    const std::optional<QString> folder =
        corvanel::platform::dialogs().chooseFolder(QStringLiteral("Choose Folder"), txtDir->text());
    if (folder && !folder->isEmpty())
        txtDir->setText(*folder);
}

void frmExtract::cmdExtract_Click()
{
    if (m_extractor->running())
        return;
    // A folder that cannot take the songs is said at once; the window stays for another one.
    if (const std::optional<QString> refusal = m_extractor->destinationRefusal(txtDir->text())) {
        corvanel::platform::dialogs().critical(QStringLiteral("Error!"), *refusal);
        return;
    }
    fraExtract->show();
    fraExtract->raise();
    for (QWidget *w :
         std::initializer_list<QWidget *>{lstSongs, cmdRemovePlayer, txtDir, cmdBrowse, txtFormat, cmdHelp, cmdExtract})
        w->setEnabled(false);
    setCursor(Qt::WaitCursor);
    m_extractor->StartExtract(txtDir->text(), txtFormat->text());
}

void frmExtract::showProgress(double position, int count)
{
    if (count < 2)
        return;
    const double share = std::clamp(position / (count - 1), 0.0, 1.0);
    shpProgress->resize(static_cast<int>(share * shpWhole->width()), shpWhole->height());
}

void frmExtract::endCopy()
{
    unsetCursor();
    accept();
}

void frmExtract::closeEvent(QCloseEvent *event)
{
    // Closing during a copy stops it; the window goes once the current file is settled.
    if (m_extractor->running()) {
        m_stopRequested = true;
        m_extractor->stop();
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void frmExtract::reject()
{
    if (m_extractor->running()) {
        m_stopRequested = true;
        m_extractor->stop();
        return;
    }
    QDialog::reject();
}

void frmExtract::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    paintSkinnedBackground(painter, *this, m_tile);
}

} // namespace corvanel::extract
