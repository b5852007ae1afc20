#pragma once

#include <QByteArray>
#include <QVector>

class ScenarioBench;

// The electronic load is never switched straight to a heavy setting: it walks there in steps,
// each followed by a pause, and then takes the target itself. The three rules the procedures
// use are built by the named constructors.
struct LoadRamp
{
    const char *format;    // the load line, "%1" for the value
    QVector<double> steps; // the values sent before the target
    double target;
    int stepPauseMs;
    int targetPauseMs; // 0: none

    // 0.5 A, 1.0 A, ... for every value strictly below target, 500 ms apart, then target.
    static LoadRamp currentUp(double target, int targetPauseMs);
    // from, from ± 0.5 A, ... while the value has not passed to, 500 ms apart; then to and
    // 1000 ms.
    static LoadRamp current(double from, double to);
    // The same with the resistance, steps of 1 Ω 250 ms apart; then to and 500 ms.
    static LoadRamp resistance(double from, double to);

    // The load lines in the order they are sent.
    QVector<QByteArray> lines() const;
    void run(ScenarioBench &bench) const;
};
