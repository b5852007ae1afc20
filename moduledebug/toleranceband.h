#pragma once

#include <QVector>

// One band of a procedure's error limits: for a set-point between lower and upper (both
// inclusive) the limit is slope × set-point + offset, in volts or amperes.
struct ToleranceBand
{
    double slope;
    double offset;
    double lower;
    double upper;

    // The limit from the first band, in table order, that holds setPoint; 0 (no point can
    // pass) when none does.
    static double limitFor(const QVector<ToleranceBand> &bands, double setPoint);
};
