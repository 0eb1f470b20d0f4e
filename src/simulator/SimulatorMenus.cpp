#include "SimulatorMenus.h"

namespace corvanel::simulator {

SimulatorMenus::SimulatorMenus(BrowserLink &browser, QObject *parent) : QObject(parent), m_browser(browser) {}

SimulatorMenus::~SimulatorMenus() = default;

void SimulatorMenus::start()
{
    m_top = std::make_unique<clsiPodMenu>(*this);
    CurrentMenu = m_top.get();
    m_top->InitMenu(m_top.get(), QStringLiteral("iPod"));
    for (const BrowserLink::List list :
         {BrowserLink::List::Source, BrowserLink::List::Genre, BrowserLink::List::Artist, BrowserLink::List::Album})
        m_browser.SelectOneVal(list, 0);
}

void SimulatorMenus::setTitle(const QString &title)
{
    if (title == m_title)
        return;
    m_title = title;
    emit titleChanged(title);
}

} // namespace corvanel::simulator
