// The player on a D-Bus daemon of the test's own: the names and properties a desktop reads,
// each method against the real player (the engine renders offline, so the test sets the pace),
// the signals a song change sends, and the song-change notifications.
#include "PrivateBus.h"
#include "WindowFixture.h"

#include "EmbeddedPlayer.h"
#include "FSound.h"
#include "IpodBuilder.h"
#include "MprisService.h"
#include "PlayerController.h"
#include "SongNotifier.h"

#include <QDBusConnectionInterface>
#include <QDBusReply>
#include <QDBusVariant>
#include <QTimer>

using namespace corvanel::playback;

namespace {

const QString kRoot = QStringLiteral("org.mpris.MediaPlayer2");
const QString kPlayer = QStringLiteral("org.mpris.MediaPlayer2.Player");

// Three songs of two seconds, made once for the program.
QString songFolder()
{
    static QTemporaryDir dir;
    for (int i = 1; i <= 3; ++i) {
        const QString path = dir.filePath(QStringLiteral("iPod_Control/Music/F00/S%1.mp3").arg(i));
        if (!QFile::exists(path)) {
            QDir().mkpath(QFileInfo(path).absolutePath());
            EXPECT_TRUE(mkipod::writeAudio(path, {mkipod::AudioSpec::Kind::Mp3, 2, i}));
        }
    }
    return dir.path();
}

// Records the signals of the player's object as the desktop receives them.
class SignalLog : public QObject
{
    Q_OBJECT
public:
    QList<QVariantMap> changes; // PropertiesChanged of the Player interface
    QList<qlonglong> seeks;

    QStringList statuses() const
    {
        QStringList out;
        for (const QVariantMap &change : changes)
            if (change.contains(QStringLiteral("PlaybackStatus")))
                out << change.value(QStringLiteral("PlaybackStatus")).toString();
        return out;
    }
    QStringList titles() const
    {
        QStringList out;
        for (const QVariantMap &change : changes)
            if (change.contains(QStringLiteral("Metadata")))
                out << qdbus_cast<QVariantMap>(change.value(QStringLiteral("Metadata")))
                           .value(QStringLiteral("xesam:title"))
                           .toString();
        return out;
    }

public slots:
    void propertiesChanged(const QString &interface, const QVariantMap &changed, const QStringList &)
    {
        if (interface == kPlayer)
            changes << changed;
    }
    void seeked(qlonglong position) { seeks << position; }
};

// A desktop's notification service that records each notification and numbers it from 42.
class NotificationsStandIn : public QDBusVirtualObject
{
public:
    explicit NotificationsStandIn(const QString &address)
        : m_bus(QDBusConnection::connectToBus(address, QStringLiteral("notifications")))
    {
        m_bus.registerVirtualObject(QStringLiteral("/org/freedesktop/Notifications"), this);
        m_bus.registerService(QStringLiteral("org.freedesktop.Notifications"));
    }
    ~NotificationsStandIn() override
    {
        m_bus.unregisterObject(QStringLiteral("/org/freedesktop/Notifications"));
        QDBusConnection::disconnectFromBus(QStringLiteral("notifications"));
    }
    QString introspect(const QString &) const override { return QString(); }
    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override
    {
        if (message.member() != QLatin1String("Notify"))
            return false;
        calls << message.arguments();
        connection.send(message.createReply(QVariant::fromValue(uint(41 + calls.size()))));
        return true;
    }

    QList<QVariantList> calls; // app, replaces, icon, summary, body, actions, hints, timeout

private:
    QDBusConnection m_bus;
};

class MprisTest : public WindowFixture
{
protected:
    void SetUp() override
    {
        CORVANEL_REQUIRE_BUS(bus);
        FSOUND_SetOutput(FSOUND_OUTPUT_NOSOUND_NONREALTIME);
        auto songs = buildLibrary({{1, "One", "Ana", "First", "Pop", 1, 2000},
                                   {2, "Two", "Ana", "First", "Pop", 2, 2000},
                                   {3, "Three", "Bo", "Second", "Jazz", 3, 2000}});
        songs->iPodDrive = songFolder();
        player = &open(std::move(songs)).player();
        player->tmrCheckfMod->stop(); // the test runs the timer's step itself
        MprisService::Hooks hooks;
        hooks.raise = [this] { ++raised; };
        hooks.quit = [this] { ++quits; };
        service = std::make_unique<MprisService>(player->controller(), hooks);
        ASSERT_TRUE(service->start(serviceBus));
        const QString name = QString::fromLatin1(MprisService::kServiceName);
        const QString path = QString::fromLatin1(MprisService::kObjectPath);
        client.connect(name, path, QStringLiteral("org.freedesktop.DBus.Properties"),
                       QStringLiteral("PropertiesChanged"), &log,
                       SLOT(propertiesChanged(QString, QVariantMap, QStringList)));
        client.connect(name, path, kPlayer, QStringLiteral("Seeked"), &log, SLOT(seeked(qlonglong)));
    }
    void TearDown() override
    {
        service.reset();
        window.reset();
        FSOUND_SetOutput(FSOUND_OUTPUT_DEVICE);
        QDBusConnection::disconnectFromBus(QStringLiteral("mpris-service"));
        QDBusConnection::disconnectFromBus(QStringLiteral("mpris-client"));
    }

    // Calls a method as a desktop does; the work it queues runs before the result is read.
    QDBusMessage call(const QString &interface, const QString &method, const QVariantList &arguments = {})
    {
        QDBusMessage message =
            QDBusMessage::createMethodCall(QString::fromLatin1(MprisService::kServiceName),
                                           QString::fromLatin1(MprisService::kObjectPath), interface, method);
        message.setArguments(arguments);
        const QDBusMessage reply = client.call(message, QDBus::BlockWithGui);
        settle();
        return reply;
    }
    QVariant property(const QString &interface, const QString &name)
    {
        const QDBusMessage reply =
            call(QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"), {interface, name});
        return reply.arguments().value(0).value<QDBusVariant>().variant();
    }
    QVariantMap metadata() { return qdbus_cast<QVariantMap>(property(kPlayer, QStringLiteral("Metadata"))); }
    QString status() { return property(kPlayer, QStringLiteral("PlaybackStatus")).toString(); }
    qlonglong position() { return property(kPlayer, QStringLiteral("Position")).toLongLong(); }
    // Lets queued work and the signals on their way arrive.
    void settle()
    {
        for (int i = 0; i < 5; ++i) {
            QCoreApplication::processEvents();
            QThread::msleep(5);
        }
    }
    // Plays about 200 ms of sound and runs the player's timer once.
    void tick()
    {
        std::vector<float> out(8820 * 2);
        FSOUND_Offline_Render(out.data(), 8820);
        player->tmrCheckfMod_Timer();
        settle();
    }

    PrivateBus bus;
    QDBusConnection serviceBus = QDBusConnection::connectToBus(bus.address, QStringLiteral("mpris-service"));
    QDBusConnection client = QDBusConnection::connectToBus(bus.address, QStringLiteral("mpris-client"));
    EmbeddedPlayer *player = nullptr;
    std::unique_ptr<MprisService> service;
    SignalLog log;
    int raised = 0;
    int quits = 0;
};

} // namespace

TEST_F(MprisTest, NamesAndFixedProperties)
{
    EXPECT_TRUE(client.interface()->isServiceRegistered(QString::fromLatin1(MprisService::kServiceName)));
    const struct
    {
        QString interface, name;
        QVariant value;
    } fixed[] = {
        {kRoot, "Identity", "Corvanel"},
        {kRoot, "DesktopEntry", "corvanel"},
        {kRoot, "CanQuit", true},
        {kRoot, "CanRaise", true},
        {kRoot, "HasTrackList", false},
        {kRoot, "SupportedUriSchemes", QStringList()},
        {kRoot, "SupportedMimeTypes", QStringList()},
        {kPlayer, "PlaybackStatus", "Stopped"},
        {kPlayer, "Rate", 1.0},
        {kPlayer, "MinimumRate", 1.0},
        {kPlayer, "MaximumRate", 1.0},
        {kPlayer, "CanControl", true},
        {kPlayer, "CanPlay", true},
        {kPlayer, "CanGoNext", true},
        {kPlayer, "CanSeek", false},
    };
    for (const auto &f : fixed)
        EXPECT_EQ(property(f.interface, f.name), f.value) << qPrintable(f.name);
    EXPECT_EQ(metadata().value("mpris:trackid").value<QDBusObjectPath>().path(),
              "/org/mpris/MediaPlayer2/TrackList/NoTrack");

    call(kRoot, "Raise");
    call(kRoot, "Quit");
    EXPECT_EQ(raised, 1);
    EXPECT_EQ(quits, 1);

    // The name taken, or no bus at all: no remote control, and nothing else happens.
    {
        MprisService second(player->controller(), {});
        EXPECT_FALSE(second.start(QDBusConnection::connectToBus(bus.address, QStringLiteral("mpris-other"))));
        EXPECT_FALSE(second.start(QDBusConnection(QStringLiteral("no such bus"))));
        EXPECT_FALSE(second.active());
    }
    QDBusConnection::disconnectFromBus(QStringLiteral("mpris-other"));
    EXPECT_EQ(status(), "Stopped");
}

TEST_F(MprisTest, MethodsDriveThePlayerAsItsButtonsDo)
{
    window->selectSongRow(0);
    call(kPlayer, "Play");
    EXPECT_TRUE(player->controller().Playing);
    EXPECT_TRUE(player->picPause->isVisibleTo(window.get()));
    EXPECT_EQ(status(), "Playing");
    const QVariantMap song = metadata();
    EXPECT_EQ(song.value("xesam:title"), "One");
    EXPECT_EQ(song.value("xesam:artist"), QStringList{"Ana"});
    EXPECT_EQ(song.value("xesam:album"), "First");
    EXPECT_EQ(song.value("mpris:length").toLongLong(), 2000000);
    const QDBusObjectPath track = song.value("mpris:trackid").value<QDBusObjectPath>();
    EXPECT_EQ(track.path(), "/org/corvanel/song/1");
    EXPECT_EQ(property(kPlayer, "CanSeek"), true);

    call(kPlayer, "Pause");
    EXPECT_EQ(status(), "Paused");
    EXPECT_TRUE(player->picPlay->isVisibleTo(window.get()));
    call(kPlayer, "PlayPause");
    EXPECT_EQ(status(), "Playing");

    call(kPlayer, "Seek", {qlonglong(500000)});
    EXPECT_NEAR(position(), 500000, 20000);
    call(kPlayer, "SetPosition", {QVariant::fromValue(track), qlonglong(1500000)});
    EXPECT_NEAR(position(), 1500000, 20000);
    for (const QVariantList &ignored :
         {QVariantList{QVariant::fromValue(QDBusObjectPath("/org/corvanel/song/2")), qlonglong(0)},
          QVariantList{QVariant::fromValue(track), qlonglong(2000001)}})
        call(kPlayer, "SetPosition", ignored);
    EXPECT_NEAR(position(), 1500000, 20000);
    ASSERT_EQ(log.seeks.size(), 2);
    EXPECT_NEAR(log.seeks[0], 500000, 20000);
    EXPECT_NEAR(log.seeks[1], 1500000, 20000);

    call(QStringLiteral("org.freedesktop.DBus.Properties"), "Set",
         {kPlayer, "Volume", QVariant::fromValue(QDBusVariant(0.5))});
    EXPECT_EQ(player->controller().volume(), 128);
    EXPECT_DOUBLE_EQ(property(kPlayer, "Volume").toDouble(), 128 / 255.0);

    call(kPlayer, "Next");
    EXPECT_EQ(metadata().value("xesam:title"), "Two");
    EXPECT_EQ(window->selectedSongRow(), 1);
    call(kPlayer, "Previous");
    EXPECT_EQ(metadata().value("xesam:title"), "One");

    // Stop, then Play: the same song from its start.
    tick();
    call(kPlayer, "Stop");
    EXPECT_EQ(status(), "Stopped");
    EXPECT_FALSE(player->controller().Playing);
    call(kPlayer, "Play");
    EXPECT_EQ(status(), "Playing");
    EXPECT_EQ(metadata().value("xesam:title"), "One");
    EXPECT_LT(position(), 100000);

    call(kPlayer, "OpenUri", {QStringLiteral("file:///tmp/x.mp3")});
    EXPECT_EQ(metadata().value("xesam:title"), "One");
}

// Continuous play moves on by itself: the desktop hears of each song and of the end.
TEST_F(MprisTest, SongChangesAndTheEndAreSignalled)
{
    window->selectSongRow(1);
    call(kPlayer, "Play");
    call(QStringLiteral("org.freedesktop.DBus.Properties"), "Set",
         {kPlayer, "Volume", QVariant::fromValue(QDBusVariant(1.0))});
    for (int i = 0; i < 60 && player->controller().Playing; ++i)
        tick();
    EXPECT_EQ(log.titles(), (QStringList{"Two", "Three"}));
    EXPECT_EQ(log.statuses(), (QStringList{"Playing", "Stopped"}));
    bool volumeSignalled = false;
    for (const QVariantMap &change : log.changes)
        volumeSignalled |= change.value("Volume").toDouble() == 1.0;
    EXPECT_TRUE(volumeSignalled);
}

// With the option on and another window in front, each song of continuous play is told once,
// the next notification replacing the last.
TEST_F(MprisTest, SongChangesNotifyOnlyBehindOtherWindows)
{
    NotificationsStandIn desktop(bus.address);
    bool enabled = true;
    bool focused = false;
    SongNotifier notifier(player->controller(), client, {[&] { return enabled; }, [&] { return focused; }});
    const auto arrived = [&](qsizetype count, int rounds = 200) {
        for (int i = 0; i < rounds && desktop.calls.size() < count; ++i)
            settle();
        settle();
        return desktop.calls.size();
    };
    window->selectSongRow(0);
    player->picPlay_Click();
    ASSERT_EQ(arrived(1), 1);
    EXPECT_EQ(desktop.calls[0].mid(0, 5), (QVariantList{"Corvanel", 0u, "corvanel", "One", "Ana\nFirst"}));
    player->picNext_Click();
    ASSERT_EQ(arrived(2), 2);
    EXPECT_EQ(desktop.calls[1].mid(1, 1), QVariantList{42u});
    EXPECT_EQ(desktop.calls[1].value(3), "Two");

    focused = true;
    player->picNext_Click();
    enabled = false;
    focused = false;
    player->picPrev_Click();
    EXPECT_EQ(arrived(3, 20), 2);
}

#include "MprisTest.moc"
