#pragma once

#include <QProcessEnvironment>
#include <QTemporaryDir>

/**
 * The environment for running the app or the command in a private home: settings, data and
 * runtime folders inside `home`, offscreen, no session bus (credentials go to the private file,
 * notifications nowhere), and the REST API on a port the system picks (see announcedPort()).
 */
inline QProcessEnvironment privateHomeEnvironment(const QTemporaryDir &home)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("OMP_THREAD_LIMIT", "1");
    env.insert("HOME", home.path());
    for (const QString dir : {"CONFIG", "DATA", "CACHE"})
        env.insert("XDG_" + dir + "_HOME", home.filePath(dir.toLower()));
    env.insert("XDG_RUNTIME_DIR", home.path());
    env.insert("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + home.filePath("no-bus"));
    env.insert("NAMORIX_API_PORT", "0");
    return env;
}
