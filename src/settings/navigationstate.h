#pragma once

#include "common/rawenum.h"

#include <QObject>

/** The main window's sections, in sidebar order. */
enum class SidebarItem { files, history, templates, watch };

template <> struct RawEnumTraits<SidebarItem> {
    static constexpr RawEnumTable<SidebarItem, 4> cases{{
        {SidebarItem::files, "files"},
        {SidebarItem::history, "history"},
        {SidebarItem::templates, "templates"},
        {SidebarItem::watch, "watch"},
    }};
};

/** The string-table key of a section's label, e.g. "sidebar.files". */
[[nodiscard]] QString labelKey(SidebarItem item);

/**
 * Which section the main window shows. Shared so that folder routing, analysis starts and the
 * REST API can switch the window; not persisted, so every launch starts in `files`.
 */
class NavigationState final : public QObject
{
    Q_OBJECT
    Q_PROPERTY(SidebarItem selectedTab READ selectedTab WRITE setSelectedTab NOTIFY selectedTabChanged)

public:
    explicit NavigationState(QObject *parent = nullptr);
    Q_DISABLE_COPY_MOVE(NavigationState)

    static NavigationState &shared();

    SidebarItem selectedTab() const { return m_selectedTab; }
    void setSelectedTab(SidebarItem tab);
    /** What every path that starts an analysis in the main window calls. */
    void showFiles() { setSelectedTab(SidebarItem::files); }

Q_SIGNALS:
    void selectedTabChanged(SidebarItem tab);

private:
    SidebarItem m_selectedTab = SidebarItem::files;
};
