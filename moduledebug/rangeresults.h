#pragma once

#include "toleranceband.h"

#include <QStringList>
#include <QVector>

#include <optional>

// The results of a range-and-error procedure as parallel lists of texts, one entry per point,
// in the protocol's column order. Values enter as their protocol text; the evaluation reads
// them back from those texts.
class RangeResults
{
public:
    // One measured point: the set-point, the module's own mean reading and the multimeter's
    // mean (none when no reading arrived).
    void addPoint(double setPoint, double moduleMean, const std::optional<double> &meterMean);

    // Reproduction error (set-point − multimeter), measurement error (module − multimeter),
    // both × 1000, and the limit × 1000 from bands; a point passes when the limit is strictly
    // greater than both errors' magnitudes. A point without a multimeter reading fails with
    // its error cells left empty.
    void evaluate(const QVector<ToleranceBand> &bands);

    int size() const { return setPoints.size(); }
    // The protocol cells of point i after its number: set-point, module mean, multimeter mean,
    // the two errors, "±" and the limit, the verdict.
    QStringList cells(int i) const;

private:
    QStringList setPoints;
    QStringList moduleMeans;
    QStringList meterMeans;
    QStringList reproductionErrors;
    QStringList measurementErrors;
    QStringList limits;
    QStringList verdicts;
};
