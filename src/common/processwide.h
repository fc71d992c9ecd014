#pragma once

#include <QCoreApplication>
#include <QThread>

/**
 * The one instance of a settings or state object, made by `make` on first use (thread-safe)
 * and never destroyed. It belongs to the GUI thread whichever thread touched it first.
 */
template <typename T, typename Make> T &processWide(Make make)
{
    static T *instance = [&] {
        T *object = make();
        if (QCoreApplication *app = QCoreApplication::instance(); app && object->thread() != app->thread())
            object->moveToThread(app->thread());
        return object;
    }();
    return *instance;
}
