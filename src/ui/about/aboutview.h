#pragma once

#include <QDialog>

/**
 * The about window: the icon, "Namorix", version and build, what the app does, whether files are
 * read in a complete sandbox, who makes it. Version and build come from the build system; an
 * absent one reads "–".
 */
class AboutView final : public QDialog
{
    Q_OBJECT

public:
    AboutView(const QString &version, const QString &build, QWidget *parent = nullptr);

    /** The window for this build of the application, deleted when closed. */
    [[nodiscard]] static AboutView *forThisBuild(QWidget *parent = nullptr);

    [[nodiscard]] QString versionLine() const { return m_versionLine; }

private:
    QString m_versionLine;
};
