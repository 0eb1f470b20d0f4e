#include "clsBrowseFolderDialog.h"

#include "CaptionBar.h"
#include "SkinFrame.h"
#include "SkinStyle.h"
#include "frmBack.h"

#include "Dialogs.h"

#include <QDir>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QSizeGrip>
#include <QSortFilterProxyModel>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>
#include <filesystem>
#include <system_error>

namespace corvanel::platform {

using namespace corvanel::skin;

namespace {

const QString kNewFolder = QStringLiteral("New Folder");

// Shows the root folder as the one item at the top of the tree: above it only the folders
// leading to it, below it everything.
class WithinRootProxy : public QSortFilterProxyModel
{
public:
    WithinRootProxy(const QString &root, QObject *parent) : QSortFilterProxyModel(parent), m_root(root) {}

protected:
    bool filterAcceptsRow(int row, const QModelIndex &parent) const override
    {
        if (m_root.isEmpty())
            return true;
        const auto *files = static_cast<const QFileSystemModel *>(sourceModel());
        const QString path = files->filePath(files->index(row, 0, parent));
        return isWithin(path, m_root) || isWithin(m_root, path);
    }

private:
    QString m_root;
};

// "" when name will do for a new folder, else why not.
QString folderNameProblem(const QString &name)
{
    if (name.isEmpty())
        return QStringLiteral("Please type a name for the new folder.");
    if (name == QLatin1String(".") || name == QLatin1String("..") || name.contains(QLatin1Char('/')) ||
        name.contains(QChar(0)))
        return QStringLiteral("A folder name cannot be \".\" or \"..\" or contain \"/\".");
    return {};
}

// "New Folder", or "New Folder (2)" and so on when that is taken in parent.
QString freeFolderName(const QString &parent)
{
    const QDir dir(parent);
    QString name = kNewFolder;
    for (int n = 2; QFileInfo::exists(dir.filePath(name)) && n < 1000; ++n)
        name = QStringLiteral("%1 (%2)").arg(kNewFolder).arg(n);
    return name;
}

// Makes the folder; "" on success, else the reason it could not be made.
QString makeFolder(const QString &path)
{
    if (QFileInfo(path).exists() || QFileInfo(path).isSymLink())
        return QStringLiteral("\"%1\" already exists.").arg(QDir::toNativeSeparators(path));
    std::error_code error;
    std::filesystem::create_directory(std::filesystem::path(QFile::encodeName(path).toStdString()), error);
    if (error)
        return QStringLiteral("The folder \"%1\" could not be made: %2.")
            .arg(QDir::toNativeSeparators(path), QString::fromLocal8Bit(error.message().c_str()));
    return {};
}

} // namespace

QString existingFolder(const QString &path)
{
    if (path.isEmpty())
        return {};
    const QFileInfo info(path);
    return info.isDir() ? QDir::cleanPath(info.absoluteFilePath()) : QString();
}

bool isWithin(const QString &path, const QString &root)
{
    if (root.isEmpty())
        return true;
    const QString p = QDir::cleanPath(path);
    const QString r = QDir::cleanPath(root);
    if (p.isEmpty())
        return false;
    return p == r || p.startsWith(r.endsWith(QLatin1Char('/')) ? r : r + QLatin1Char('/'));
}

QString resolveTyped(const QString &typed, const QString &baseFolder)
{
    QString text = typed.trimmed();
    if (text.isEmpty())
        return {};
    if (text == QLatin1String("~") || text.startsWith(QLatin1String("~/")))
        text = QDir::homePath() + text.mid(1);
    const QString base = baseFolder.isEmpty() ? QDir::homePath() : baseFolder;
    return QDir::cleanPath(QDir(base).absoluteFilePath(text));
}

QString displayNameOf(const QString &path)
{
    const QString name = QFileInfo(path).fileName();
    return name.isEmpty() ? QDir::toNativeSeparators(path) : name;
}

QString folderOf(const QString &path)
{
    if (path.isEmpty())
        return {};
    const QFileInfo info(path);
    return QDir::cleanPath(info.isDir() ? info.absoluteFilePath() : info.absolutePath());
}

clsBrowseFolderDialog::clsBrowseFolderDialog(const BrowseFolderSetup &setup, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), m_root(existingFolder(setup.rootDir)),
      m_includeFiles(setup.includeFiles)
{
    setObjectName(QStringLiteral("clsBrowseFolder"));
    setWindowTitle(setup.title);
    setWindowIcon(frmBack::appIcon());
    skin::applyStyle(this);
    resize(460, 500);
    if (setup.newFolder)
        setMinimumSize(380, 380);
    else
        setFixedSize(size());
    auto *caption = new skin::CaptionBar(this, QStringLiteral("Corvanel"));
    imgCaption = caption->imgCaption;
    imgPod = caption->imgPod;
    lblCaption = caption->lblCaption;
    imgClose = caption->imgClose;
    connect(caption, &skin::CaptionBar::closeRequested, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(18, skin::CaptionBar::kHeight + 14, 18, 14);
    layout->setSpacing(8);
    lblText = new QLabel(setup.title, this);
    lblText->setObjectName(QStringLiteral("lblText"));
    lblText->setWordWrap(true);
    layout->addWidget(lblText);
    buildTree();
    layout->addWidget(tvwFolders, 1);
    if (setup.editBox) {
        txtPath = new QLineEdit(this);
        txtPath->setObjectName(QStringLiteral("txtPath"));
        txtPath->setClearButtonEnabled(true);
        connect(txtPath, &QLineEdit::textEdited, this, &clsBrowseFolderDialog::typedTextEdited);
        layout->addWidget(txtPath);
    }
    if (setup.statusText) {
        lblStatus = new QLabel(this);
        lblStatus->setObjectName(QStringLiteral("lblStatus"));
        // A long path is cut off rather than widening the window; the tooltip has it whole.
        lblStatus->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        layout->addWidget(lblStatus);
    }
    buildButtons(layout, setup.newFolder);
    connect(tvwFolders->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &clsBrowseFolderDialog::onCurrentChanged);
    preselect(setup.initialDir);
    tvwFolders->setFocus();
}

clsBrowseFolderDialog::~clsBrowseFolderDialog() = default;

void clsBrowseFolderDialog::buildTree()
{
    m_model = new QFileSystemModel(this);
    QDir::Filters filter = QDir::AllDirs | QDir::Drives | QDir::NoDotAndDotDot;
    if (m_includeFiles)
        filter |= QDir::Files;
    m_model->setFilter(filter);
    m_model->setReadOnly(true);
    m_model->setRootPath(m_root.isEmpty() ? QDir::rootPath() : m_root);
    m_proxy = new WithinRootProxy(m_root, this);
    m_proxy->setSourceModel(m_model);

    tvwFolders = new QTreeView(this);
    tvwFolders->setObjectName(QStringLiteral("tvwFolders"));
    tvwFolders->setModel(m_proxy);
    tvwFolders->setHeaderHidden(true);
    for (int column = 1; column < m_model->columnCount(); ++column)
        tvwFolders->hideColumn(column);
    tvwFolders->setSelectionMode(QAbstractItemView::SingleSelection);
    tvwFolders->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tvwFolders->setUniformRowHeights(true);
    tvwFolders->setTextElideMode(Qt::ElideMiddle);
    m_followTimer = new QTimer(this);
    m_followTimer->setSingleShot(true);
    connect(m_followTimer, &QTimer::timeout, this, &clsBrowseFolderDialog::followCurrent);
    connect(m_model, &QFileSystemModel::directoryLoaded, this, &clsBrowseFolderDialog::scheduleFollow);
    connect(m_proxy, &QAbstractItemModel::rowsInserted, this, &clsBrowseFolderDialog::scheduleFollow);
    connect(m_proxy, &QAbstractItemModel::layoutChanged, this, &clsBrowseFolderDialog::scheduleFollow);
    connect(tvwFolders->verticalScrollBar(), &QScrollBar::actionTriggered, this, [this] { m_follow = false; });
    tvwFolders->installEventFilter(this);
    tvwFolders->viewport()->installEventFilter(this);
    if (!m_root.isEmpty()) {
        // The root folder is the top item: the tree hangs from the folder holding it.
        const QString above = QFileInfo(m_root).absolutePath();
        if (m_root != QDir::rootPath())
            tvwFolders->setRootIndex(m_proxy->mapFromSource(m_model->index(above)));
        tvwFolders->expand(viewIndex(m_root));
    }
}

void clsBrowseFolderDialog::buildButtons(QVBoxLayout *layout, bool newFolder)
{
    auto *row = new QHBoxLayout;
    row->setSpacing(8);
    if (newFolder) {
        cmdNewFolder = new QPushButton(kNewFolder, this);
        cmdNewFolder->setObjectName(QStringLiteral("cmdNewFolder"));
        connect(cmdNewFolder, &QPushButton::clicked, this, &clsBrowseFolderDialog::newFolder);
        row->addWidget(cmdNewFolder);
    }
    row->addStretch(1);
    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    for (QPushButton *button : {cmdNewFolder, cmdOK, cmdCancel}) {
        if (!button)
            continue;
        button->setCursor(Qt::PointingHandCursor);
        button->setAutoDefault(false);
        button->setMinimumWidth(84);
    }
    cmdOK->setDefault(true);
    connect(cmdOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
    row->addWidget(cmdOK);
    row->addWidget(cmdCancel);
    layout->addLayout(row);
    if (newFolder) {
        // The new look can be resized: a grip in the bottom-right corner.
        auto *grip = new QSizeGrip(this);
        grip->setObjectName(QStringLiteral("grip"));
        layout->addWidget(grip, 0, Qt::AlignBottom | Qt::AlignRight);
        layout->setSpacing(4);
    }
}

void clsBrowseFolderDialog::preselect(const QString &initialDir)
{
    const QString initial = existingFolder(initialDir);
    if (!initial.isEmpty() && selectPath(initial))
        return;
    if (selectPath(QDir::homePath()))
        return;
    selectPath(m_root.isEmpty() ? QDir::rootPath() : m_root);
}

QModelIndex clsBrowseFolderDialog::viewIndex(const QString &path) const
{
    return m_proxy->mapFromSource(m_model->index(path));
}

QString clsBrowseFolderDialog::currentPath() const
{
    const QModelIndex current = tvwFolders->currentIndex();
    if (!current.isValid())
        return {};
    return m_model->filePath(m_proxy->mapToSource(current));
}

bool clsBrowseFolderDialog::selectPath(const QString &path)
{
    if (path.isEmpty())
        return false;
    const QFileInfo info(path);
    if (!info.exists() || (!info.isDir() && !m_includeFiles))
        return false;
    const QString clean = QDir::cleanPath(info.absoluteFilePath());
    if (!isWithin(clean, m_root))
        return false;
    const QModelIndex index = viewIndex(clean);
    if (!index.isValid())
        return false;
    for (QModelIndex up = index.parent(); up.isValid(); up = up.parent())
        tvwFolders->expand(up);
    tvwFolders->setCurrentIndex(index);
    tvwFolders->scrollTo(index);
    m_follow = true;
    scheduleFollow();
    return true;
}

void clsBrowseFolderDialog::scheduleFollow()
{
    if (m_follow)
        m_followTimer->start(0);
}

void clsBrowseFolderDialog::followCurrent()
{
    const QModelIndex current = tvwFolders->currentIndex();
    if (m_follow && current.isValid())
        tvwFolders->scrollTo(current, QAbstractItemView::PositionAtCenter);
}

bool clsBrowseFolderDialog::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::Wheel:
    case QEvent::KeyPress:
        m_follow = false;
        break;
    default:
        break;
    }
    return QDialog::eventFilter(watched, event);
}

void clsBrowseFolderDialog::onCurrentChanged(const QModelIndex &current)
{
    const QString path = current.isValid() ? m_model->filePath(m_proxy->mapToSource(current)) : QString();
    if (txtPath)
        txtPath->setText(QDir::toNativeSeparators(path));
    emit currentPathChanged(path);
}

void clsBrowseFolderDialog::setStatus(const QString &text)
{
    if (!lblStatus)
        return;
    lblStatus->setText(text);
    lblStatus->setToolTip(text);
}

QString clsBrowseFolderDialog::status() const
{
    return lblStatus ? lblStatus->text() : QString();
}

QString clsBrowseFolderDialog::typedText() const
{
    return txtPath ? txtPath->text() : QString();
}

void clsBrowseFolderDialog::setOkEnabled(bool enabled)
{
    cmdOK->setEnabled(enabled);
}

bool clsBrowseFolderDialog::okEnabled() const
{
    return cmdOK->isEnabled();
}

void clsBrowseFolderDialog::accept()
{
    emit acceptRequested();
}

void clsBrowseFolderDialog::newFolder()
{
    QString parent = folderOf(currentPath());
    if (parent.isEmpty())
        parent = m_root.isEmpty() ? QDir::homePath() : m_root;
    const std::optional<QString> typed = corvanel::platform::dialogs().input(
        kNewFolder, QStringLiteral("Name of the new folder:"), freeFolderName(parent));
    if (!typed)
        return;
    const QString name = typed->trimmed();
    QString problem = folderNameProblem(name);
    const QString path = QDir(parent).filePath(name);
    if (problem.isEmpty())
        problem = makeFolder(path);
    if (!problem.isEmpty()) {
        corvanel::platform::dialogs().message({kNewFolder, problem, MessageIcon::Warning, MessageButtons::Ok});
        return;
    }
    selectPath(path);
    tvwFolders->setFocus();
}

void clsBrowseFolderDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    scheduleFollow();
}

void clsBrowseFolderDialog::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    paintSkinnedBackground(painter, *this, m_tile);
}

} // namespace corvanel::platform
