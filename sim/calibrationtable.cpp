#include "calibrationtable.h"

#include <QtMath>

#include <algorithm>

namespace {

// Maps x through the polyline (xs[i], ys[i]) (xs ascending), extending its end segments.
double throughPolyline(const QVector<double> &xs, const QVector<double> &ys, double x)
{
    if (xs.size() == 1)
        return x + (ys.first() - xs.first());
    int segment = 0;
    while (segment < xs.size() - 2 && x > xs.at(segment + 1))
        ++segment;
    const double x0 = xs.at(segment);
    const double x1 = xs.at(segment + 1);
    const double y0 = ys.at(segment);
    const double y1 = ys.at(segment + 1);
    if (qAbs(x1 - x0) < 1e-12)
        return x + (y0 - x0);
    return y0 + (x - x0) * (y1 - y0) / (x1 - x0);
}

} // namespace

bool CalibrationTable::addPoint(const Point &point)
{
    for (Point &existing : points) {
        if (qAbs(existing.drive - point.drive) < 1e-9) {
            existing = point;
            return true;
        }
    }
    if (points.size() >= maxPoints)
        return false;
    points.append(point);
    std::sort(points.begin(), points.end(),
              [](const Point &a, const Point &b) { return a.drive < b.drive; });
    return true;
}

double CalibrationTable::driveFor(double setPoint) const
{
    if (points.isEmpty())
        return setPoint;
    QVector<double> measured;
    QVector<double> drives;
    for (const Point &p : points) {
        measured.append(p.measured);
        drives.append(p.drive);
    }
    return throughPolyline(measured, drives, setPoint);
}

double CalibrationTable::correctedReading(double raw) const
{
    if (points.isEmpty())
        return raw;
    QVector<Point> byRaw = points;
    std::sort(byRaw.begin(), byRaw.end(),
              [](const Point &a, const Point &b) { return a.raw < b.raw; });
    QVector<double> raws;
    QVector<double> measured;
    for (const Point &p : byRaw) {
        raws.append(p.raw);
        measured.append(p.measured);
    }
    return throughPolyline(raws, measured, raw);
}
