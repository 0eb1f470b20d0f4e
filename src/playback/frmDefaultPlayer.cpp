#include "frmDefaultPlayer.h"

#include "SkinFrame.h"
#include "frmBack.h"

#include "Dialogs.h"
#include "ExternalPlayers.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWindow>

namespace {

constexpr int kCaptionHeight = 30;
constexpr int kIconSize = 20;

const char *const kStyle = R"(
QWidget { font-family: Verdana, "DejaVu Sans", sans-serif; font-size: 9pt; color: #e8ecf2; }
QLabel#lblCaption { font-weight: bold; font-size: 9pt; color: #ffffff; }
QLabel#lblText { color: #9fb4cc; font-weight: bold; font-size: 8pt; letter-spacing: 1px; }
QListWidget { background: rgba(12, 16, 22, 200); border: 1px solid rgba(255,255,255,28); border-radius: 6px;
  outline: 0; }
QListWidget:focus { border: 1px solid #e8892b; }
QListWidget::item { padding: 3px 6px; }
QListWidget::item:selected { background: #e8892b; color: white; }
QListWidget::item:hover:!selected { background: rgba(255,255,255,18); }
QPushButton { background: qlineargradient(x1:0,y1:0,x2:0,y2:1, stop:0 #4a5563, stop:1 #323a45);
  border: 1px solid #1b2027; border-radius: 5px; padding: 5px 18px; color: #f1f4f8; }
QPushButton:hover { background: qlineargradient(x1:0,y1:0,x2:0,y2:1, stop:0 #f19a3e, stop:1 #d0731c); }
QPushButton:pressed { background: #b9621a; }
QPushButton:disabled { color: #7d8793; background: #2b3139; }
QScrollBar:vertical { background: transparent; width: 10px; margin: 2px; }
QScrollBar::handle:vertical { background: rgba(255,255,255,60); border-radius: 4px; min-height: 24px; }
QScrollBar:horizontal { background: transparent; height: 10px; margin: 2px; }
QScrollBar::handle:horizontal { background: rgba(255,255,255,60); border-radius: 4px; min-width: 24px; }
QScrollBar::add-line, QScrollBar::sub-line { width: 0; height: 0; }
QFileDialog, QMessageBox { background: #2a3038; }
QFileDialog QListView, QFileDialog QTreeView, QFileDialog QLineEdit, QFileDialog QComboBox {
  background: rgba(12, 16, 22, 200); border: 1px solid rgba(255,255,255,28); border-radius: 4px; }
QFileDialog QLineEdit, QFileDialog QComboBox { padding: 3px 6px; }
QFileDialog QComboBox QAbstractItemView { background: #2a3038; selection-background-color: #e8892b; }
QFileDialog QTreeView::item:selected, QFileDialog QListView::item:selected { background: #e8892b; color: white; }
QFileDialog QHeaderView::section { background: #323a45; color: #cfd8e3; border: 0; padding: 3px 6px; }
QFileDialog QToolButton { background: transparent; border: 0; padding: 2px; }
QFileDialog QToolButton:hover { background: rgba(255,255,255,24); border-radius: 3px; }
)";

QLabel *image(const QString &name, QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setObjectName(name);
    return label;
}

bool isLeft(QEvent *event)
{
    return static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton;
}

} // namespace

frmDefaultPlayer::frmDefaultPlayer(std::function<void()> onUnload, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), m_onUnload(std::move(onUnload))
{
    setObjectName(QStringLiteral("frmDefaultPlayer"));
    setWindowTitle(QStringLiteral("Players"));
    setWindowIcon(frmBack::appIcon());
    const frmBack back(devicePixelRatioF());
    m_close = back.imgClose();
    m_closeLit = back.imgCloseHover();
    setStyleSheet(QString::fromLatin1(kStyle));
    setFixedSize(480, 340);

    imgCaption = image(QStringLiteral("imgCaption"), this);
    imgCaption->setGeometry(0, 0, width(), kCaptionHeight);
    imgCaption->setPixmap(back.captionPicture(width()));
    imgPod = image(QStringLiteral("imgPod"), this);
    imgPod->setGeometry(9, (kCaptionHeight - kIconSize) / 2, kIconSize, kIconSize);
    imgPod->setPixmap(back.podIcon());
    lblCaption = new QLabel(QStringLiteral("Corvanel"), this);
    lblCaption->setObjectName(QStringLiteral("lblCaption"));
    lblCaption->setGeometry(9 + kIconSize + 8, 0, width() - 80, kCaptionHeight);
    imgClose = image(QStringLiteral("imgClose"), this);
    imgClose->setGeometry(width() - 9 - kIconSize, (kCaptionHeight - kIconSize) / 2, kIconSize, kIconSize);
    imgClose->setPixmap(m_close);
    imgClose->setCursor(Qt::PointingHandCursor);
    imgClose->setToolTip(QStringLiteral("Close"));
    imgClose->setAttribute(Qt::WA_Hover);
    for (QLabel *watched : {imgCaption, imgPod, lblCaption, imgClose})
        watched->installEventFilter(this);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(18, kCaptionHeight + 14, 18, 18);
    layout->setSpacing(8);
    lblText = new QLabel(QStringLiteral("Please Select External Players:"), this);
    lblText->setObjectName(QStringLiteral("lblText"));
    layout->addWidget(lblText);
    lstPlayers = new QListWidget(this);
    lstPlayers->setObjectName(QStringLiteral("lstPlayers"));
    lstPlayers->setSelectionMode(QAbstractItemView::SingleSelection);
    lstPlayers->setTextElideMode(Qt::ElideMiddle);
    layout->addWidget(lstPlayers, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    cmdAdd = new QPushButton(QStringLiteral("Add"), this);
    cmdAdd->setObjectName(QStringLiteral("cmdAdd"));
    cmdRemovePlayer = new QPushButton(QStringLiteral("Remove"), this);
    cmdRemovePlayer->setObjectName(QStringLiteral("cmdRemovePlayer"));
    for (QPushButton *b : {cmdAdd, cmdRemovePlayer}) {
        b->setCursor(Qt::PointingHandCursor);
        b->setAutoDefault(false);
        buttons->addWidget(b);
    }
    layout->addLayout(buttons);

    connect(cmdAdd, &QPushButton::clicked, this, &frmDefaultPlayer::cmdAdd_Click);
    connect(cmdRemovePlayer, &QPushButton::clicked, this, &frmDefaultPlayer::cmdRemovePlayer_Click);
    Form_Load();
}

frmDefaultPlayer::~frmDefaultPlayer() = default;

void frmDefaultPlayer::Form_Load()
{
    lstPlayers->clear();
    lstPlayers->addItems(players::storedPlayers());
    m_unloaded = false;
}

void frmDefaultPlayer::Form_Unload()
{
    players::storePlayers(players());
    if (m_onUnload)
        m_onUnload();
}

void frmDefaultPlayer::done(int result)
{
    if (!m_unloaded) {
        m_unloaded = true;
        Form_Unload();
    }
    QDialog::done(result);
}

void frmDefaultPlayer::cmdAdd_Click()
{
    const auto chosen = corvanel::dialogs().chooseProgram(QStringLiteral("Select Media Player"),
                                                          QCoreApplication::applicationDirPath());
    if (chosen && !chosen->isEmpty()) {
        lstPlayers->addItem(*chosen);
        lstPlayers->setCurrentRow(lstPlayers->count() - 1);
    }
}

void frmDefaultPlayer::cmdRemovePlayer_Click()
{
    const QList<QListWidgetItem *> selected = lstPlayers->selectedItems();
    if (selected.isEmpty())
        return;
    delete lstPlayers->takeItem(lstPlayers->row(selected.first()));
}

QStringList frmDefaultPlayer::players() const
{
    QStringList rows;
    rows.reserve(lstPlayers->count());
    for (int i = 0; i < lstPlayers->count(); ++i)
        rows << lstPlayers->item(i)->text();
    return rows;
}

void frmDefaultPlayer::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    paintSkinnedBackground(painter, *this, m_tile);
}

void frmDefaultPlayer::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    setMask(roundedMask(size()));
}

void frmDefaultPlayer::showEvent(QShowEvent *event)
{
    // Shown again after a close: a fresh load, as a newly opened dialog would have.
    if (m_unloaded)
        Form_Load();
    QDialog::showEvent(event);
}

bool frmDefaultPlayer::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if ((watched == imgCaption || watched == lblCaption) && type == QEvent::MouseButtonPress && isLeft(event)) {
        if (QWindow *handle = windowHandle())
            handle->startSystemMove();
        return true;
    }
    if (watched == imgPod && type == QEvent::MouseButtonDblClick && isLeft(event)) {
        close();
        return true;
    }
    if (watched == imgClose) {
        if (type == QEvent::HoverEnter)
            imgClose->setPixmap(m_closeLit);
        else if (type == QEvent::HoverLeave)
            imgClose->setPixmap(m_close);
        else if (type == QEvent::MouseButtonRelease && isLeft(event) &&
                 imgClose->rect().contains(static_cast<QMouseEvent *>(event)->position().toPoint())) {
            close();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}
