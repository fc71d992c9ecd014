#include "navigationstate.h"

#include "common/processwide.h"

QString labelKey(SidebarItem item)
{
    return QStringLiteral("sidebar.") + rawValue(item);
}

NavigationState::NavigationState(QObject *parent)
    : QObject(parent)
{
}

NavigationState &NavigationState::shared()
{
    return processWide<NavigationState>([] { return new NavigationState; });
}

void NavigationState::setSelectedTab(SidebarItem tab)
{
    if (tab == m_selectedTab)
        return;
    m_selectedTab = tab;
    Q_EMIT selectedTabChanged(tab);
}
