#include "frmMenus.h"

#include "SkinStyle.h"

#include "SettingsStore.h"

#include <QAction>
#include <QMenu>

namespace corvanel::app {

using namespace corvanel::platform;
using namespace corvanel::skin;

namespace {

const QString kPlayerName = QStringLiteral("mnuPlayer");

} // namespace

frmMenus::frmMenus(QObject *parent) : QObject(parent)
{
    build();
    connectBuiltIns();
}

frmMenus::~frmMenus() = default;

QMenu *frmMenus::addTopMenu(const QString &name, const QString &title)
{
    auto owned = std::make_unique<QMenu>(title);
    QMenu *menu = owned.get();
    skin::applyStyle(menu);
    menu->setObjectName(name);
    menu->menuAction()->setObjectName(name);
    m_topMenus.push_back(std::move(owned));
    m_menuOrder.append(name);
    m_menus.insert(name, menu);
    return menu;
}

QMenu *frmMenus::addSubmenu(QMenu *parent, const QString &name, const QString &title)
{
    QMenu *menu = parent->addMenu(title);
    menu->setObjectName(name);
    menu->menuAction()->setObjectName(name);
    m_menus.insert(name, menu);
    m_items.insert(name, menu->menuAction());
    return menu;
}

QAction *frmMenus::addItem(QMenu *parent, const QString &name, const QString &caption)
{
    QAction *action = parent->addAction(caption);
    action->setObjectName(name);
    if (!m_items.contains(name))
        m_items.insert(name, action);
    return action;
}

QAction *frmMenus::addCheckItem(QMenu *parent, const QString &name, const QString &caption, bool checked)
{
    QAction *action = addItem(parent, name, caption);
    action->setCheckable(true);
    action->setChecked(checked);
    return action;
}

void frmMenus::addSeparator(QMenu *parent, const QString &name)
{
    QAction *action = parent->addSeparator();
    action->setObjectName(name);
    m_items.insert(name, action);
}

void frmMenus::build()
{
    mnuIcon = addTopMenu(QStringLiteral("mnuIcon"), QStringLiteral("&MainIcon"));
    mnuRestore = addItem(mnuIcon, QStringLiteral("mnuRestore"), QStringLiteral("&Restore"));
    mnuMove = addItem(mnuIcon, QStringLiteral("mnuMove"), QStringLiteral("&Move"));
    mnuSize = addItem(mnuIcon, QStringLiteral("mnuSize"), QStringLiteral("&Size"));
    mnuMinimize = addItem(mnuIcon, QStringLiteral("mnuMinimize"), QStringLiteral("M&inimize"));
    mnuMaximize = addItem(mnuIcon, QStringLiteral("mnuMaximize"), QStringLiteral("M&aximize"));
    addSeparator(mnuIcon, QStringLiteral("sep2"));
    mnuClose = addItem(mnuIcon, QStringLiteral("mnuClose"), QStringLiteral("&Close"));
    for (QAction *action : {mnuRestore, mnuMove, mnuSize, mnuMaximize})
        action->setEnabled(false);

    mnuFIle = addTopMenu(QStringLiteral("mnuFIle"), QStringLiteral("&File"));
    mnuOpenInDefaultAsPlaylist =
        addItem(mnuFIle, QStringLiteral("mnuOpenInDefaultAsPlaylist"), QStringLiteral("Open as &Playlist"));
    mnuDefault = addItem(mnuFIle, QStringLiteral("mnuDefault"), QStringLiteral("Open in &Default"));
    mnuExit = addItem(mnuFIle, QStringLiteral("mnuExit"), QStringLiteral("&Exit"));

    mnuOptions = addTopMenu(QStringLiteral("mnuOptions"), QStringLiteral("&Options"));
    mnuTrayMin = addSubmenu(mnuOptions, QStringLiteral("mnuTrayMin"), QStringLiteral("&Minimize to Tray"));
    mnuTrayMinYes = addCheckItem(mnuTrayMin, QStringLiteral("mnuTrayMinYes"), QStringLiteral("&Yes"), true);
    mnuTrayMinNo = addCheckItem(mnuTrayMin, QStringLiteral("mnuTrayMinNo"), QStringLiteral("&No"), false);
    mnuSpectrum = addCheckItem(mnuOptions, QStringLiteral("mnuSpectrum"), QStringLiteral("&Spectrum Analyser"), false);
    mnuSpecColor = addItem(mnuOptions, QStringLiteral("mnuSpecColor"), QStringLiteral("Spectrum Analyser Color"));
    mnuPlayIn = addSubmenu(mnuOptions, QStringLiteral("mnuPlayIn"), QStringLiteral("&External Player"));
    QAction *defaultPlayer = addCheckItem(mnuPlayIn, kPlayerName, QStringLiteral("[Default Player]"), true);
    defaultPlayer->setProperty("index", 0);
    m_players.append(defaultPlayer);
    mnuAddPlayer = addItem(mnuPlayIn, QStringLiteral("mnuAddPlayer"), QStringLiteral("Add New Player..."));
    mnuDblClick = addSubmenu(mnuOptions, QStringLiteral("mnuDblClick"), QStringLiteral("&Double Click Action"));
    mnuEmbedded = addCheckItem(mnuDblClick, QStringLiteral("mnuEmbedded"), QStringLiteral("Open In &Embedded"), true);
    mnuDefaultOpen =
        addCheckItem(mnuDblClick, QStringLiteral("mnuDefaultOpen"), QStringLiteral("Open In E&xternal"), false);
    mnuUnsupportedFiles = addCheckItem(mnuOptions, QStringLiteral("mnuUnsupportedFiles"),
                                       QStringLiteral("&Force Unsupported to External Player"), false);
    mnuEject = addCheckItem(mnuOptions, QStringLiteral("mnuEject"), QStringLiteral("E&ject on Corvanel Close"), false);
    mnuNotify = addCheckItem(mnuOptions, QStringLiteral("mnuNotify"), QStringLiteral("Notify on Song Change"), false);

    mnuExtras = addTopMenu(QStringLiteral("mnuExtras"), QStringLiteral("&Extras"));
    mnuHacks = addItem(mnuExtras, QStringLiteral("mnuHacks"), QStringLiteral("&iPod Hacks"));
    mnuPowerSave = addItem(mnuExtras, QStringLiteral("mnuPowerSave"), QStringLiteral("Power Save Mode"));
    mnuiPodInfo = addItem(mnuExtras, QStringLiteral("mnuiPodInfo"), QStringLiteral("iPod Information"));
    addSeparator(mnuExtras, QStringLiteral("seperator"));
    mnuCheckForMissing =
        addItem(mnuExtras, QStringLiteral("mnuCheckForMissing"), QStringLiteral("Check for &Missing Files"));
    mnuCheckForDuplicates =
        addItem(mnuExtras, QStringLiteral("mnuCheckForDuplicates"), QStringLiteral("Check For &Duplicates"));
    mnuCheckForNotInDatabase = addItem(mnuExtras, QStringLiteral("mnuCheckForNotInDatabase"),
                                       QStringLiteral("Check for Songs &Not in the Database"));
    mnuExportPlays = addItem(mnuExtras, QStringLiteral("mnuExportPlays"), QStringLiteral("Export Play History\u2026"));
    mnuCheckup = addItem(mnuExtras, QStringLiteral("mnuCheckup"), QStringLiteral("iPod Check-up"));
    addSeparator(mnuExtras, QStringLiteral("aseperator"));
    mnuEjectAndClose =
        addItem(mnuExtras, QStringLiteral("mnuEjectAndClose"), QStringLiteral("Eject iPod and close Corvanel"));
    addSeparator(mnuExtras, QStringLiteral("sep4"));
    mnuCopyToiPod = addItem(mnuExtras, QStringLiteral("mnuCopyToiPod"), QStringLiteral("&Copy Corvanel to iPod"));
    addSeparator(mnuExtras, QStringLiteral("asep"));
    mnuiPod = addItem(mnuExtras, QStringLiteral("mnuiPod"), QStringLiteral("iPod I&nterface"));

    mnuHelp = addTopMenu(QStringLiteral("mnuHelp"), QStringLiteral("&Help"));
    mnuUpdate = addItem(mnuHelp, QStringLiteral("mnuUpdate"), QStringLiteral("Get Latest Version"));
    mnuWebsite = addItem(mnuHelp, QStringLiteral("mnuWebsite"), QStringLiteral("&Website - Halvetra"));
    addSeparator(mnuHelp, QStringLiteral("sep1"));
    mnuAbout = addItem(mnuHelp, QStringLiteral("mnuAbout"), QStringLiteral("&About"));

    mnuPopup = addTopMenu(QStringLiteral("mnuPopup"), QStringLiteral("Popup"));
    mnuNowPlaying = addItem(mnuPopup, QStringLiteral("mnuNowPlaying"), QStringLiteral("Now Playing"));
    mnuNow = addItem(mnuPopup, QStringLiteral("mnuNow"), QString());
    addSeparator(mnuPopup, QStringLiteral("wowsep"));
    mnuShow = addItem(mnuPopup, QStringLiteral("mnuShow"), QStringLiteral("&Show"));
    mnuPlay = addItem(mnuPopup, QStringLiteral("mnuPlay"), QStringLiteral("&Play >"));
    mnuPause = addItem(mnuPopup, QStringLiteral("mnuPause"), QStringLiteral("P&ause ||"));
    mnuPrev = addItem(mnuPopup, QStringLiteral("mnuPrev"), QStringLiteral("P&revious <<"));
    mnuNext = addItem(mnuPopup, QStringLiteral("mnuNext"), QStringLiteral("&Next >>"));
    for (QAction *action : {mnuNowPlaying, mnuNow, mnuPause})
        action->setEnabled(false);

    mnuAFile = addTopMenu(QStringLiteral("mnuAFile"), QStringLiteral("AFile"));
    mnuDouble = addItem(mnuAFile, QStringLiteral("mnuDouble"), QStringLiteral("Play File"));
    mnuInEmbedded = addItem(mnuAFile, QStringLiteral("mnuInEmbedded"), QStringLiteral("Open In Embedded"));
    mnuInExternal = addItem(mnuAFile, QStringLiteral("mnuInExternal"), QStringLiteral("Open In External"));
    addSeparator(mnuAFile, QStringLiteral("aseperator2"));
    mnuExtract = addItem(mnuAFile, QStringLiteral("mnuExtract"), QStringLiteral("Extract"));
    addSeparator(mnuAFile, QStringLiteral("anotehrsep"));
    mnuInfo = addItem(mnuAFile, QStringLiteral("mnuInfo"), QStringLiteral("View Information"));
    mnuShowFile = addItem(mnuAFile, QStringLiteral("mnuShowFile"), QStringLiteral("Show File"));
}

void frmMenus::connectBuiltIns()
{
    // The two option pairs set both marks explicitly, so choosing the checked one again
    // keeps it checked instead of toggling it off.
    connect(mnuTrayMinYes, &QAction::triggered, this, [this] {
        mnuTrayMinYes->setChecked(true);
        mnuTrayMinNo->setChecked(false);
    });
    connect(mnuTrayMinNo, &QAction::triggered, this, [this] {
        mnuTrayMinNo->setChecked(true);
        mnuTrayMinYes->setChecked(false);
    });
    connect(mnuEmbedded, &QAction::triggered, this, [this] {
        mnuEmbedded->setChecked(true);
        mnuDefaultOpen->setChecked(false);
    });
    connect(mnuDefaultOpen, &QAction::triggered, this, [this] {
        mnuDefaultOpen->setChecked(true);
        mnuEmbedded->setChecked(false);
    });
    // mnuUnsupportedFiles and mnuEject are check items: triggering toggles the mark.
    connect(mnuUnsupportedFiles, &QAction::triggered, this, &frmMenus::onForceUnsupported);
    connect(mnuPlay, &QAction::triggered, this, &frmMenus::onPlay);
    connect(mnuPause, &QAction::triggered, this, &frmMenus::onPause);
    connect(m_players.front(), &QAction::triggered, this, [this] { onPlayerTriggered(m_players.front()); });
}

void frmMenus::onForceUnsupported()
{
    // Stored the moment it changes, so that it survives a run that does not end through
    // the main window.
    corvanel::platform::saveSetting(QStringLiteral("Options"), QStringLiteral("ForceUnsupported"),
                                    corvanel::platform::fromBoolean(mnuUnsupportedFiles->isChecked()));
}

void frmMenus::onPlay()
{
    emit playRequested();
    mnuPlay->setEnabled(false);
    mnuPause->setEnabled(true);
}

void frmMenus::onPause()
{
    emit pauseRequested();
    mnuPause->setEnabled(false);
    mnuPlay->setEnabled(true);
}

void frmMenus::onPlayerTriggered(QAction *entry)
{
    emit playerChosen(static_cast<int>(m_players.indexOf(entry)));
}

QMenu *frmMenus::menu(const QString &name) const
{
    return m_menus.value(name, nullptr);
}

QAction *frmMenus::item(const QString &name) const
{
    return m_items.value(name, nullptr);
}

QStringList frmMenus::menuNames() const
{
    return m_menuOrder;
}

void frmMenus::popup(const QString &name, const QPoint &global)
{
    if (QMenu *shown = menu(name))
        shown->popup(global);
}

QAction *frmMenus::addPlayerEntry(const QString &caption, const QString &tag)
{
    auto *entry = new QAction(caption, mnuPlayIn);
    entry->setObjectName(kPlayerName);
    entry->setCheckable(true);
    entry->setData(tag);
    entry->setProperty("index", static_cast<int>(m_players.size()));
    mnuPlayIn->insertAction(mnuAddPlayer, entry);
    m_players.append(entry);
    connect(entry, &QAction::triggered, this, [this, entry] { onPlayerTriggered(entry); });
    return entry;
}

void frmMenus::removePlayerEntries()
{
    while (m_players.size() > 1) {
        QAction *entry = m_players.takeLast();
        mnuPlayIn->removeAction(entry);
        delete entry;
    }
}

QList<QAction *> frmMenus::playerEntries() const
{
    return m_players;
}

} // namespace corvanel::app
