#include "SkinFrame.h"
#include "TrayIcon.h"

#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <memory>

using namespace corvanel;
using namespace corvanel::app;
using namespace corvanel::skin;

namespace {

// A frameless window with the frame at its top, as the main window uses it.
struct Window
{
    Window()
    {
        window = std::make_unique<QWidget>(nullptr, Qt::FramelessWindowHint);
        frame = new SkinFrame(window.get());
        window->resize(480, 320);
        frame->setGeometry(0, 0, 480, skin::kFrameTop);
        window->move(100, 80);
        window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        frame->setCursorPositionSource([this] { return cursor; });
    }

    std::unique_ptr<QWidget> window;
    SkinFrame *frame = nullptr;
    QPoint cursor;
};

void moveMouseOver(QWidget *widget)
{
    QMouseEvent move(QEvent::MouseMove, QPointF(5, 5), widget->mapToGlobal(QPointF(5, 5)), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(widget, &move);
}

} // namespace

TEST(SkinFrame, LitButtonStaysWhileTheCursorIsStrictlyInsideAndEndsWhenItLeaves)
{
    Window w;
    SkinFrame &f = *w.frame;
    struct Button
    {
        SkinImage *image, *lit, *otherLit;
        QTimer *timer;
        void (SkinFrame::*tick)();
    };
    for (const Button &b :
         {Button{f.imgClose, f.imgCloseHover, f.imgMinimizeHover, f.tmrHideClose, &SkinFrame::tmrHideClose_Timer},
          Button{f.imgMinimize, f.imgMinimizeHover, f.imgCloseHover, f.tmrHideMinimize,
                 &SkinFrame::tmrHideMinimize_Timer}}) {
        SCOPED_TRACE(b.image->objectName().toStdString());
        moveMouseOver(b.image);
        EXPECT_TRUE(b.lit->isVisible());
        EXPECT_TRUE(b.timer->isActive());
        EXPECT_FALSE(b.otherLit->isVisible()) << "each button has its own image and timer";
        const QPoint topLeft = b.image->mapToGlobal(QPoint(0, 0));
        w.cursor = topLeft + QPoint(1, 1);
        (f.*b.tick)();
        EXPECT_TRUE(b.lit->isVisible());
        EXPECT_TRUE(b.timer->isActive());
        // On the image's left edge counts as outside.
        w.cursor = topLeft + QPoint(0, 5);
        (f.*b.tick)();
        EXPECT_FALSE(b.lit->isVisible());
        EXPECT_FALSE(b.timer->isActive());
    }

    // The real timer ends it on its own once the cursor is away.
    moveMouseOver(f.imgClose);
    w.cursor = f.imgClose->mapToGlobal(QPoint(f.imgClose->width(), 5));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !f.imgCloseHover->isVisible(); }, 10000));
}

TEST(SkinFrame, ButtonClicksAskToCloseOrMinimize)
{
    Window w;
    SkinFrame &f = *w.frame;
    QSignalSpy closes(&f, &SkinFrame::closeRequested);
    QSignalSpy minimizes(&f, &SkinFrame::minimizeRequested);
    QTest::mouseClick(f.imgClose, Qt::LeftButton, {}, QPoint(10, 10));
    moveMouseOver(f.imgClose);
    QTest::mouseClick(f.imgCloseHover, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(closes.count(), 2);
    QTest::mouseClick(f.imgMinimize, Qt::LeftButton, {}, QPoint(10, 10));
    moveMouseOver(f.imgMinimize);
    QTest::mouseClick(f.imgMinimizeHover, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(minimizes.count(), 2);
    // The maximise picture is decoration only; a press that ends elsewhere is no click.
    QTest::mouseClick(f.imgMaximize, Qt::LeftButton, {}, QPoint(10, 10));
    QTest::mousePress(f.imgClose, Qt::LeftButton, {}, QPoint(10, 10));
    QTest::mouseRelease(f.imgClose, Qt::LeftButton, {}, QPoint(40, 10));
    EXPECT_EQ(closes.count(), 2);
    EXPECT_EQ(minimizes.count(), 2);
}

TEST(SkinFrame, MenuLabelsLookPressedWhileDownAndOpenTheirMenuBelowThemselves)
{
    Window w;
    SkinFrame &f = *w.frame;
    QSignalSpy clicks(&f, &SkinFrame::menuLabelClicked);
    QTest::mousePress(f.mnuOptions, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_TRUE(f.mnuOptions->isPressed());
    EXPECT_EQ(clicks.count(), 0);
    QTest::mouseRelease(f.mnuOptions, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_FALSE(f.mnuOptions->isPressed());
    ASSERT_EQ(clicks.count(), 1);
    EXPECT_EQ(clicks[0][0].toString(), "mnuOptions");
    const QPoint expected = w.window->mapToGlobal(
        QPoint(f.mnuOptions->geometry().left(), f.mnuOptions->geometry().top() + f.mnuOptions->height()));
    EXPECT_EQ(clicks[0][1].toPoint(), expected);

    // The access keys open the menus too.
    w.window->activateWindow();
    QTest::keyClick(w.window.get(), Qt::Key_H, Qt::AltModifier);
    ASSERT_EQ(clicks.count(), 2);
    EXPECT_EQ(clicks[1][0].toString(), "mnuHelp");
}

TEST(SkinFrame, WindowIconClickOpensBelowItAndDoubleClickClosesEvenWhenTheMenuTookTheSecondPress)
{
    Window w;
    SkinFrame &f = *w.frame;
    QSignalSpy clicks(&f, &SkinFrame::iconClicked);
    QSignalSpy doubles(&f, &SkinFrame::iconDoubleClicked);
    // Mouse events with their own times (milliseconds), as the window system stamps them.
    auto send = [&](QEvent::Type type, quint64 time) {
        QMouseEvent event(type, QPointF(4, 4), f.imgPod->mapToGlobal(QPointF(4, 4)), Qt::LeftButton,
                          type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
        event.setTimestamp(time);
        QApplication::sendEvent(f.imgPod, &event);
    };
    auto click = [&](quint64 time) {
        send(QEvent::MouseButtonPress, time);
        send(QEvent::MouseButtonRelease, time + 30);
    };
    const quint64 interval = quint64(QApplication::doubleClickInterval());
    click(1000);
    ASSERT_EQ(clicks.count(), 1);
    EXPECT_EQ(clicks[0][0].toPoint(),
              w.window->mapToGlobal(QPoint(0, f.imgPod->geometry().top() + f.imgPod->height())));
    // The second press arrives as a plain press (the menu closed on it).
    click(1030 + interval - 1);
    EXPECT_EQ(doubles.count(), 1);
    EXPECT_EQ(clicks.count(), 1);

    // A slow second click is a click of its own.
    click(5000);
    click(5030 + interval);
    EXPECT_EQ(clicks.count(), 3);
    EXPECT_EQ(doubles.count(), 1);
    // A real double click, with no menu in between: click, then the double-click event.
    click(9000);
    send(QEvent::MouseButtonDblClick, 9100);
    send(QEvent::MouseButtonRelease, 9130);
    EXPECT_EQ(doubles.count(), 2);
    EXPECT_EQ(clicks.count(), 4);
}

TEST(SkinFrame, CaptionFollowsTheWidthAndAPressOnItStartsADrag)
{
    Window w;
    EXPECT_EQ(w.frame->imgCaption->pixmap().deviceIndependentSize().width(), 480);
    QSignalSpy drags(w.frame, &SkinFrame::dragStarted);
    QTest::mousePress(w.frame->imgCaption, Qt::LeftButton, {}, QPoint(200, 10));
    QTest::mouseRelease(w.frame->imgCaption, Qt::LeftButton, {}, QPoint(200, 10));
    QTest::mousePress(w.frame->lblCaption, Qt::LeftButton, {}, QPoint(20, 10));
    QTest::mouseRelease(w.frame->lblCaption, Qt::LeftButton, {}, QPoint(20, 10));
    EXPECT_EQ(drags.count(), 2);
}

TEST(TrayIcon, DoubleClickShowsAndContextClickAsksForThePopupOnly)
{
    TrayIcon tray;
    QSignalSpy shows(&tray, &TrayIcon::showRequested);
    QSignalSpy popups(&tray, &TrayIcon::popupRequested);
    tray.handleActivation(QSystemTrayIcon::Trigger);
    tray.handleActivation(QSystemTrayIcon::MiddleClick);
    EXPECT_EQ(shows.count() + popups.count(), 0);
    tray.handleActivation(QSystemTrayIcon::DoubleClick);
    EXPECT_EQ(shows.count(), 1);
    tray.handleActivation(QSystemTrayIcon::Context);
    EXPECT_EQ(popups.count(), 1);
    EXPECT_FALSE(tray.icon()->icon().isNull());
}
