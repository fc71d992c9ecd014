#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <optional>

class QCoreApplication;

/**
 * What `namorix [--hidden] [--log] [FILE|FOLDER|URL …]` was asked to open, and the folder relative paths
 * start from. `hidden`: start in the tray only, without showing the window (autostart).
 * `activationToken`: what the launcher gave this start to bring a window forward with on Wayland
 * (xdg-activation's `XDG_ACTIVATION_TOKEN`), if anything.
 */
struct LaunchArguments {
    QStringList inputs;
    QString workingDirectory;
    bool hidden = false;
    QString activationToken{};
};

namespace CommandLine {

/** Where a launcher puts the Wayland activation token for the program it starts. */
inline constexpr char ActivationTokenVariable[] = "XDG_ACTIVATION_TOKEN";

/**
 * The process's own arguments; `--help` and `--version` print their text and end the process.
 * `--log` turns on the debug lines of every namorix.* category (the trail of each decision).
 */
[[nodiscard]] LaunchArguments parse(const QCoreApplication &app);

/**
 * The files a "namorix://rename?paths=/a,/b" URL names, in order; nullopt when the scheme is not
 * exactly "namorix", the host not exactly "rename" or the first "paths" item has no value. Empty
 * and relative pieces are dropped, so a value of only commas yields an empty list.
 */
[[nodiscard]] std::optional<QList<QUrl>> renameUrlFiles(const QString &url);

/**
 * What to analyse: files and folders (relative ones from the working directory), file:// URLs
 * and the files of rename URLs, in argument order. nullopt when no argument asks for anything
 * (none given, or only URLs that are ignored).
 */
[[nodiscard]] std::optional<QList<QUrl>> analysisInputs(const LaunchArguments &arguments);

} // namespace CommandLine
