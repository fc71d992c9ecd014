#pragma once

#include <QFrame>

#include <functional>

class QHBoxLayout;
class QLabel;
class QToolButton;

/**
 * What came of the user's last action in the files section ("18 Dateien umbenannt"), with the
 * actions that take it back or try again. It stays until the user closes it or a newer result
 * replaces it, and screen readers hear it as it appears.
 */
class ResultBar final : public QFrame
{
    Q_OBJECT

public:
    enum class Tone { done, problem };
    struct Action {
        QString text;
        std::function<void()> run;
    };

    explicit ResultBar(QWidget *parent = nullptr);

    void showResult(const QString &text, Tone tone, const QList<Action> &actions = {});
    [[nodiscard]] QString text() const;

private:
    QLabel *m_icon;
    QLabel *m_text;
    QHBoxLayout *m_actions;
    QToolButton *m_close;
};
