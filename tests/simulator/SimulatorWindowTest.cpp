// The simulator window over a real main window: opening and closing it, the wheel driven by
// synthetic mouse movements, the buttons, the keys. Timers are not waited for: a test runs the
// hold timer's tick itself.
#include "SimulatorFixture.h"

#include "EmbeddedPlayer.h"
#include "NowPlayingScreen.h"
#include "PlayerController.h"
#include "frmiPodControls.h"

#include <QApplication>
#include <QPointer>
#include <QTimer>
#include <QWheelEvent>

#include <cmath>

namespace {

class SimulatorWindowTest : public SimulatorFixture
{
protected:
    void TearDown() override { delete pod.data(); }

    // Opens the simulator from the Extras menu, as a user does (over a new main window when
    // there is none).
    void openPod(const QString &ipod = fourSourceIpod())
    {
        if (!window)
            openIpod(ipod);
        QAction *item = window->menus().item("mnuiPod");
        ASSERT_TRUE(item->isEnabled());
        item->trigger();
        for (QWidget *widget : QApplication::topLevelWidgets())
            if (auto *found = qobject_cast<sim::frmiPod *>(widget); found && found->isVisible())
                pod = found;
        ASSERT_TRUE(pod);
        pod->setTickSource([] { return qint64(123456); });
    }
    QStringList shown() const { return pod->menus().MenuList.entries(); }
    int highlighted() const { return pod->menus().MenuList.highlighted(); }
    QString title() const { return pod->lblTitle->text(); }
    void key(Qt::Key k) { QTest::keyClick(pod, k); }
    void chooseWithKeys(const QString &entry)
    {
        const int at = static_cast<int>(shown().indexOf(entry));
        ASSERT_GE(at, 0) << entry.toStdString();
        while (highlighted() < at)
            key(Qt::Key_Down);
        while (highlighted() > at)
            key(Qt::Key_Up);
        key(Qt::Key_Return);
    }

    // The wheel, driven with mouse events in its own pixels.
    void wheelEvent(QEvent::Type type, const QPointF &at, Qt::MouseButtons buttons)
    {
        const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent event(type, at, pod->PicScrollWheel->mapToGlobal(at), button, buttons, Qt::NoModifier);
        QCoreApplication::sendEvent(pod->PicScrollWheel, &event);
    }
    void press(const QPointF &at) { wheelEvent(QEvent::MouseButtonPress, at, Qt::LeftButton); }
    void drag(const QPointF &at) { wheelEvent(QEvent::MouseMove, at, Qt::LeftButton); }
    void hover(const QPointF &at) { wheelEvent(QEvent::MouseMove, at, Qt::NoButton); }
    // A point of the ring at this angle; angles grow clockwise on the screen.
    QPointF ring(double degrees) const
    {
        const QPointF centre = QRectF(pod->PicScrollWheel->rect()).center();
        const double radians = degrees * M_PI / 180;
        return centre + QPointF(std::cos(radians), std::sin(radians)) * 60;
    }
    // The mouse wheel over the click wheel: the wheel and the screen leave it to the window.
    void mouseWheel(int notches)
    {
        const QPointF at = QRectF(pod->PicScrollWheel->geometry()).center();
        QWheelEvent event(at, pod->mapToGlobal(at), QPoint(), QPoint(0, notches * 120), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(pod, &event);
    }

    QPointer<sim::frmiPod> pod;
};

TEST_F(SimulatorWindowTest, OpensFromExtrasHidingTheBrowserAndHoldingMenuSleeps)
{
    openIpod(fourSourceIpod());
    window->browser().SelectOneVal(SongBrowser::Genre, 2);
    openPod();
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(title(), "iPod");
    EXPECT_EQ(browserCurrent(SongBrowser::Genre), 0) << "the load puts the lists on their first entries";
    EXPECT_FALSE(pod->mask().isEmpty()) << "rounded corners";
    EXPECT_FALSE(pod->mask().contains(QPoint(2, 2)));

    QTest::mousePress(pod->lblMenu, Qt::LeftButton);
    EXPECT_EQ(pod->lblMenu->Tag, "123456");
    EXPECT_TRUE(pod->tmrSleep->isActive());
    pod->tmrSleep_Timer(); // the tick three seconds on, the button still down
    EXPECT_FALSE(pod->isVisible());
    EXPECT_TRUE(window->isVisible()) << "the browser comes back";
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(pod) << "the window is released when closed";
}

TEST_F(SimulatorWindowTest, AShortPressGoesUpOneMenuAndALaterTickDoesNothing)
{
    openPod();
    chooseWithKeys("Browse");
    QTest::mousePress(pod->lblMenu, Qt::LeftButton);
    QTest::mouseRelease(pod->lblMenu, Qt::LeftButton);
    EXPECT_EQ(pod->lblMenu->Tag, "0");
    EXPECT_EQ(title(), "iPod");
    pod->tmrSleep_Timer();
    EXPECT_TRUE(pod->isVisible());
    EXPECT_EQ(title(), "iPod");
}

TEST_F(SimulatorWindowTest, TwoSourcesGiveAnEmptyPlaylistsMenuWhereNothingActs)
{
    openPod(twoSourceIpod());
    chooseWithKeys("Playlists");
    ASSERT_TRUE(shown().isEmpty());
    EXPECT_EQ(highlighted(), -1);
    sim::clsiPodMenu *playlists = pod->menus().CurrentMenu;
    QTest::mouseClick(pod->lblSelect, Qt::LeftButton);
    key(Qt::Key_Return);
    QTest::mousePress(pod->lblMenu, Qt::LeftButton);
    pod->tmrSleep_Timer(); // even the held button's "Sleep" finds nothing to act on
    EXPECT_EQ(pod->menus().CurrentMenu, playlists);
    EXPECT_EQ(title(), "Playlists");
    EXPECT_EQ(browserCurrent(SongBrowser::Source), 0);
    EXPECT_TRUE(pod->isVisible());
}

TEST_F(SimulatorWindowTest, QuitClosesBothWindowsAndClosingTheBrowserClosesTheSimulator)
{
    openPod();
    chooseWithKeys("Quit Corvanel");
    EXPECT_FALSE(pod->isVisible());
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(window->player().controller().engineOpen()) << "the browser shut down";

    openIpod(fourSourceIpod());
    openPod();
    window->mnuShow_Click(); // from the tray, while the simulator is open
    window->close();
    EXPECT_TRUE(!pod || !pod->isVisible());
    EXPECT_FALSE(window->isVisible());
}

// Circling clockwise walks down the list, counter-clockwise up, a step at a time, and stops at the ends.
TEST_F(SimulatorWindowTest, CirclingWalksTheListEitherWayAndStopsAtTheEnds)
{
    openPod();
    chooseWithKeys("Browse");
    chooseWithKeys("Songs");
    for (const double turn : {9.0, -9.0}) {
        double angle = 10;
        press(ring(angle));
        for (int step = 0; step < 40; ++step) {
            const int before = highlighted();
            drag(ring(angle += turn));
            EXPECT_LE(std::abs(highlighted() - before), 1);
            EXPECT_GE((highlighted() - before) * turn, 0.0) << "never against the turn";
        }
        EXPECT_EQ(highlighted(), turn > 0 ? 6 : 0);
    }
}

TEST_F(SimulatorWindowTest, CentreLinesAndMovesWithoutTheButtonGiveNoStep)
{
    openPod();
    sim::ScrollWheel &wheel = pod->wheel();
    press(QPointF(80, 10));
    for (double y = 12; y < 75; y += 3)
        drag(QPointF(80, y)); // down the vertical centre line
    for (double x = 10; x < 75; x += 3)
        drag(QPointF(x, 80)); // along the horizontal one
    EXPECT_EQ(wheel.DownTicks, 0);
    EXPECT_EQ(wheel.UpTicks, 0);

    for (double angle = 10; angle < 370; angle += 9)
        hover(ring(angle));
    EXPECT_EQ(wheel.DownTicks, 0);
    EXPECT_EQ(wheel.UpTicks, 0);
    EXPECT_EQ(highlighted(), 0);
    EXPECT_FLOAT_EQ(wheel.LastX, static_cast<float>(ring(361).x()));
    EXPECT_FLOAT_EQ(wheel.LastY, static_cast<float>(ring(361).y()));
}

TEST_F(SimulatorWindowTest, KeysAndTheMouseWheelStepSelectAndGoBack)
{
    openPod();
    key(Qt::Key_Down);
    key(Qt::Key_Enter);
    EXPECT_EQ(title(), "Browse");
    mouseWheel(-2);
    EXPECT_EQ(pod->menus().MenuList.text(), "Songs");
    mouseWheel(1);
    mouseWheel(-1);
    key(Qt::Key_Return);
    EXPECT_EQ(title(), "Songs");
    mouseWheel(+3);
    EXPECT_EQ(highlighted(), 0) << "the first entry is as far as it goes";
    key(Qt::Key_Escape);
    EXPECT_EQ(pod->menus().MenuList.text(), "Songs");
    key(Qt::Key_Backspace);
    EXPECT_EQ(title(), "iPod");
    EXPECT_EQ(pod->menus().MenuList.text(), "Browse");

    // The lit screen shows below the entries.
    const QColor unlit = pod->menus().MenuList.backColor();
    chooseWithKeys("Backlight");
    const QImage screen = pod->lstMenu->grab().toImage();
    EXPECT_NE(pod->menus().MenuList.backColor(), unlit);
    EXPECT_EQ(screen.pixelColor(2, screen.height() - 2), pod->menus().MenuList.backColor());
}

TEST_F(SimulatorWindowTest, TheWheelAloneReachesAndPlaysASong)
{
    openPod();
    // Circle until the wanted entry is highlighted, then press the centre button.
    auto circleTo = [this](const QString &entry) {
        double angle = 10;
        press(ring(angle));
        for (int step = 0; step < 200 && pod->menus().MenuList.text() != entry; ++step)
            drag(ring(angle += 9));
        ASSERT_EQ(pod->menus().MenuList.text(), entry);
        QTest::mouseClick(pod->lblSelect, Qt::LeftButton);
    };
    for (const char *entry : {"Browse", "Genres", "Jazz", "Miles Davis", "Kind of Blue", "Freddie Freeloader"})
        circleTo(QString::fromUtf8(entry));
    EXPECT_EQ(title(), "Now Playing");
    EXPECT_TRUE(window->player().controller().Playing);
    EXPECT_EQ(window->lblTitle->text(), "Freddie Freeloader");
    EXPECT_EQ(pod->picNowPlaying->nowPlaying().title, "Freddie Freeloader");
    EXPECT_TRUE(pod->picNowPlaying->nowPlaying().cover.isNull()) << "this iPod has no ArtworkDB";
    EXPECT_FALSE(window->isVisible()) << "the browser stays hidden while a song plays";
    // The wheel moves nothing under the screen; the menu button leaves it for the songs it was
    // chosen from, with the chosen one still highlighted.
    mouseWheel(+1);
    key(Qt::Key_Up);
    for (double angle = 10; angle > -80; angle -= 9) // counter-clockwise, towards the top
        drag(ring(angle));
    key(Qt::Key_Backspace);
    EXPECT_EQ(title(), "Kind of Blue");
    EXPECT_EQ(pod->menus().MenuList.text(), "Freddie Freeloader");
    EXPECT_FALSE(pod->picNowPlaying->isVisible());
}

} // namespace
