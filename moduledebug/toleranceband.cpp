#include "toleranceband.h"

double ToleranceBand::limitFor(const QVector<ToleranceBand> &bands, double setPoint)
{
    for (const ToleranceBand &band : bands)
        if (setPoint >= band.lower && setPoint <= band.upper)
            return band.slope * setPoint + band.offset;
    return 0.0;
}
