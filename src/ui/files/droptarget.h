#pragma once

#include <QList>
#include <QUrl>
#include <QWidget>

class QLabel;
class QPushButton;
class QPropertyAnimation;

/**
 * The large target shown while there is nothing to review: takes file URLs dropped from any file
 * manager (text/uri-list) and offers the two pick buttons. Hovering fades in the accent fill and
 * grows the icon; a drop makes the icon spring. The compact look (the tray panel's) is a 100-point
 * dashed box with icon and one line, no buttons.
 */
class DropTarget final : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(qreal dropScale READ dropScale WRITE setDropScale)
    Q_PROPERTY(qreal dropOpacity READ dropOpacity WRITE setDropOpacity)

public:
    enum class Look { Window, Compact };

    explicit DropTarget(QWidget *parent = nullptr);
    explicit DropTarget(Look look, QWidget *parent = nullptr);

    [[nodiscard]] bool isTargeted() const { return m_targeted; }
    [[nodiscard]] qreal dropScale() const { return m_dropScale; }
    [[nodiscard]] qreal dropOpacity() const { return m_dropOpacity; }
    void setDropScale(qreal scale);
    void setDropOpacity(qreal opacity);
    /** While dropped folders are counted the title says so. */
    void setCounting(bool counting);

    /** The local files among `urls`, in their order. */
    [[nodiscard]] static QList<QUrl> fileUrls(const QList<QUrl> &urls);

Q_SIGNALS:
    void filesDropped(const QList<QUrl> &urls);
    void pickFilesRequested();
    void pickFolderRequested();
    /** The stop button while files are counted. */
    void stopRequested();

protected:
    void paintEvent(QPaintEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragLeaveEvent(QDragLeaveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    void setTargeted(bool targeted);
    void animate(QPropertyAnimation *animation, qreal to, int durationMs, const QEasingCurve &curve);

    const Look m_look;
    bool m_targeted = false;
    qreal m_dropScale = 1.0;
    qreal m_dropOpacity = 0.0;
    QWidget *m_icon;
    QLabel *m_title;
    QPushButton *m_stop;
    QPropertyAnimation *m_scaleAnimation;
    QPropertyAnimation *m_opacityAnimation;
};
