#include "frmDefaultPlayer.h"

#include "CaptionBar.h"
#include "SkinFrame.h"
#include "SkinStyle.h"
#include "frmBack.h"

#include "Dialogs.h"
#include "ExternalPlayers.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

namespace corvanel::playback {

using namespace corvanel::platform;
using namespace corvanel::skin;

frmDefaultPlayer::frmDefaultPlayer(std::function<void()> onUnload, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), m_onUnload(std::move(onUnload))
{
    setObjectName(QStringLiteral("frmDefaultPlayer"));
    setWindowTitle(QStringLiteral("Players"));
    setWindowIcon(frmBack::appIcon());
    skin::applyStyle(this);
    setFixedSize(480, 340);
    auto *caption = new skin::CaptionBar(this, QStringLiteral("Corvanel"));
    imgCaption = caption->imgCaption;
    imgPod = caption->imgPod;
    lblCaption = caption->lblCaption;
    imgClose = caption->imgClose;
    connect(caption, &skin::CaptionBar::closeRequested, this, &QDialog::close);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(18, skin::CaptionBar::kHeight + 14, 18, 18);
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
    const auto chosen = corvanel::platform::dialogs().chooseProgram(QStringLiteral("Select Media Player"),
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

void frmDefaultPlayer::showEvent(QShowEvent *event)
{
    // Shown again after a close: a fresh load, as a newly opened dialog would have.
    if (m_unloaded)
        Form_Load();
    QDialog::showEvent(event);
}

} // namespace corvanel::playback
