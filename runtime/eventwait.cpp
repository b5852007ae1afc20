#include "eventwait.h"

#include "timefacility.h"

#include <QElapsedTimer>

#include <algorithm>

namespace {
// The longest the wait goes without looking at its condition, should no signal wake it.
constexpr qint64 maxSliceMs = 100;
} // namespace

bool EventWait::until(const std::function<bool()> &ready)
{
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        if (ready())
            return true;
        const qint64 left = budgetMs - waited.elapsed();
        if (left <= 0)
            return false;
        TimeFacility::instance().runNested(loop, int(std::min(left, maxSliceMs)));
    }
}
