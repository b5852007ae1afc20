#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGINT and SIGTERM into a signal of the event loop while it lives: the handler only
// writes a byte to a pipe, and the pipe's notifier emits received() from the loop, where it is
// safe to ask a scenario to stop. The handlers before it are put back when it goes.
class StopSignals : public QObject
{
    Q_OBJECT
public:
    explicit StopSignals(QObject *parent = nullptr);
    ~StopSignals() override;

signals:
    void received();

private:
    QSocketNotifier *notifier = nullptr;
};
