#pragma once

#include <QVector>

// One calibrated quantity of the module (output voltage or output current). Each point says:
// while the converter was driven with `drive`, the module's own uncorrected read-back was `raw`
// and the true output (as measured by the operator's instrument) was `measured`. The module
// derives the drive for a set-point from the drive -> measured line and corrects its read-back
// with the raw -> measured line, both piecewise linear between the points and extrapolated
// linearly beyond the outermost ones. Because each point records the drive actually applied,
// points taken while an earlier partial calibration was active stay consistent with the rest.
// No point means no correction; one point corrects an offset only.
class CalibrationTable
{
public:
    struct Point
    {
        double drive;
        double raw;
        double measured;
    };

    static constexpr int maxPoints = 64;

    // Adds a point, replacing one taken at (practically) the same drive; false when full.
    bool addPoint(const Point &point);
    void clear() { points.clear(); }
    bool isEmpty() const { return points.isEmpty(); }
    QVector<Point> pointList() const { return points; }

    // The drive that makes the true output equal setPoint.
    double driveFor(double setPoint) const;
    // The true output value that corresponds to a raw read-back.
    double correctedReading(double raw) const;

private:
    QVector<Point> points; // sorted by drive
};
