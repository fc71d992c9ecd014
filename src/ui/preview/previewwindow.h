#pragma once

#include <QCoroTask>
#include <QUrl>
#include <QWidget>

#include <atomic>
#include <memory>

struct PreviewContent;
class ExtractionSandbox;
class QLabel;
class QPlainTextEdit;
class QStackedWidget;

/**
 * The in-app stand-in for Quick Look: the first PDF page, the upright picture, the start of a text
 * file, or else icon, name, type, size and dates. Pages and pictures are drawn by an extraction
 * helper, never in this process; one the helper cannot draw (or that crashes or stalls it) shows
 * the icon and the reason. A file chosen while another renders wins. Space or Esc closes it; Up
 * and Down ask for the previous or next file.
 */
class PreviewWindow final : public QWidget
{
    Q_OBJECT

public:
    /** Draws with `sandbox`'s helpers; the app's shared ones when none is given. */
    explicit PreviewWindow(QWidget *parent = nullptr, ExtractionSandbox *sandbox = nullptr);

    void showFile(const QUrl &url);
    [[nodiscard]] QUrl file() const { return m_url; }
    /** True once the current file's preview is on screen. */
    [[nodiscard]] bool isReady() const { return m_ready; }
    /** The widget showing the current file (image label, text view or info panel). */
    [[nodiscard]] QWidget *currentView() const;

Q_SIGNALS:
    void stepRequested(int delta);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    /** At most as large as the available area of the screen it opens on. */
    void fitScreen();
    QCoro::Task<> render(QUrl url);
    void present(const PreviewContent &content);
    void scaleImage();

    ExtractionSandbox &m_sandbox;
    QUrl m_url;
    quint64 m_generation = 0;
    std::shared_ptr<std::atomic_bool> m_stale; ///< set once the render under way is no longer wanted
    bool m_ready = false;
    QPixmap m_pixmap;
    QStackedWidget *m_stack;
    QLabel *m_image;
    QPlainTextEdit *m_text;
    QWidget *m_info;
    QLabel *m_infoIcon;
    QLabel *m_infoText;
};
