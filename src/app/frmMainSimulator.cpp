#include "frmMain.h"

#include "SimulatorLink.h"
#include "frmMenus.h"
#include "frmiPod.h"

#include <QAction>
#include <QEvent>
#include <QPointer>
#include <QScreen>

#include <algorithm>
#include <memory>

namespace corvanel::app {

using namespace corvanel::simulator;

namespace {

using corvanel::simulator::frmiPod;

// Closes the simulator when the browser window itself is closed (it can be shown again from
// the tray while the simulator is open), so that the program ends with its main window.
class CloseWithBrowser : public QObject
{
public:
    explicit CloseWithBrowser(frmiPod *simulator) : QObject(simulator), m_simulator(simulator) {}

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Close)
            m_simulator->close();
        return QObject::eventFilter(watched, event);
    }

private:
    frmiPod *m_simulator;
};

// The top-left corner that keeps a window of this frame inside the screen's free area.
QPoint placeOnScreen(const QRect &frame, const QScreen *screen)
{
    if (!screen)
        return frame.topLeft();
    const QRect area = screen->availableGeometry();
    const int left = std::max(area.left(), std::min(frame.left(), area.right() + 1 - frame.width()));
    const int top = std::max(area.top(), std::min(frame.top(), area.bottom() + 1 - frame.height()));
    return QPoint(left, top);
}

} // namespace

void frmMain::connectSimulator()
{
    QAction *action = m_menus->item(QStringLiteral("mnuiPod"));
    if (!action)
        return;
    auto open = std::make_shared<QPointer<frmiPod>>();
    connect(action, &QAction::triggered, this, [this, open] {
        if (*open) {
            (*open)->raise();
            (*open)->activateWindow();
            return;
        }
        // A window of its own (not a child of the hidden browser), so that the desktop lists it;
        // it shows where the browser was.
        const QPoint centre = frameGeometry().center();
        auto *simulator = new frmiPod(std::make_unique<SimulatorLink>(*this));
        simulator->move(placeOnScreen(QRect(centre - simulator->rect().center(), simulator->size()), screen()));
        simulator->setAttribute(Qt::WA_DeleteOnClose);
        installEventFilter(new CloseWithBrowser(simulator));
        connect(this, &QObject::destroyed, simulator, [simulator] { delete simulator; });
        *open = simulator;
        simulator->show();
        simulator->raise();
        simulator->activateWindow();
    });
}

} // namespace corvanel::app
