#include "rangeresults.h"

#include "verificationframe.h"
#include "verificationtext.h"

#include <QtGlobal>

namespace {
constexpr double milli = 1000.0;
} // namespace

void RangeResults::addPoint(double setPoint, double moduleMean,
                            const std::optional<double> &meterMean)
{
    setPoints.append(verificationText(setPoint));
    moduleMeans.append(verificationText(moduleMean));
    meterMeans.append(meterMean ? verificationText(*meterMean) : QString());
}

void RangeResults::evaluate(const QVector<ToleranceBand> &bands)
{
    reproductionErrors.clear();
    measurementErrors.clear();
    limits.clear();
    verdicts.clear();
    for (int i = 0; i < size(); ++i) {
        const double setPoint = verificationValue(setPoints.at(i));
        limits.append(verificationText(ToleranceBand::limitFor(bands, setPoint) * milli));
        if (meterMeans.at(i).isEmpty()) {
            reproductionErrors.append(QString());
            measurementErrors.append(QString());
            verdicts.append(VerificationFrame::verdict(false));
            continue;
        }
        const double meter = verificationValue(meterMeans.at(i));
        const double own = verificationValue(moduleMeans.at(i));
        reproductionErrors.append(verificationText((setPoint - meter) * milli));
        measurementErrors.append(verificationText((own - meter) * milli));
        const double limit = verificationValue(limits.last());
        const bool passes = limit > qAbs(verificationValue(reproductionErrors.last())) &&
                            limit > qAbs(verificationValue(measurementErrors.last()));
        verdicts.append(VerificationFrame::verdict(passes));
    }
}

QStringList RangeResults::cells(int i) const
{
    return {setPoints.at(i),
            moduleMeans.at(i),
            meterMeans.at(i),
            reproductionErrors.value(i),
            measurementErrors.value(i),
            QStringLiteral("±") + limits.value(i),
            verdicts.value(i)};
}
