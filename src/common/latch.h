#pragma once

#include <QCoroSignal>
#include <QCoroTask>
#include <QObject>

/**
 * A gate that opens once and stays open. Coroutines wait on it without blocking the thread;
 * they resume from the event loop after `open()`, never inside it, so whoever opens the latch
 * is never re-entered by the waiters. Owned through a shared pointer by everyone who waits.
 */
class Latch final : public QObject
{
    Q_OBJECT

public:
    [[nodiscard]] bool isOpen() const { return m_open; }
    void open()
    {
        if (m_open)
            return;
        m_open = true;
        Q_EMIT opened();
    }

    /** Resumes once the latch is open; at once when it already is. */
    QCoro::Task<> wait()
    {
        if (!m_open)
            co_await qCoro(this, &Latch::opened);
    }

Q_SIGNALS:
    void opened();

private:
    bool m_open = false;
};
