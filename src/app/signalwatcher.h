#pragma once

#include <QObject>

#include <initializer_list>

class QSocketNotifier;

/**
 * Turns Unix signals (SIGINT, SIGTERM) into a Qt signal on the GUI thread, so the app quits
 * through its event loop — settings flushed, objects destroyed — instead of dying mid-write.
 * One instance per process.
 */
class SignalWatcher final : public QObject
{
    Q_OBJECT

public:
    explicit SignalWatcher(std::initializer_list<int> signalNumbers, QObject *parent = nullptr);
    ~SignalWatcher() override;
    Q_DISABLE_COPY_MOVE(SignalWatcher)

Q_SIGNALS:
    void received(int signalNumber);

private:
    void readPending();

    QSocketNotifier *m_notifier = nullptr;
};
