#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <functional>

class SimModule;

// Does something once inside the first point's 5 s settling pause of the current range
// procedure: a second after the module has received that point's current set-point (the
// second "CURR 0.100000"; the first comes with the procedure's preparation), by then past the
// point's shorter pauses. acted() runs from that moment.
class SettlingPause : public QObject
{
public:
    SettlingPause(SimModule *module, std::function<void()> action);

    const QElapsedTimer &acted() const { return since; }

private:
    void look();

    SimModule *module;
    std::function<void()> action;
    QTimer poll;
    QElapsedTimer armed;
    QElapsedTimer since;
};
